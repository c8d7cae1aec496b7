// SPDX-License-Identifier: Apache-2.0
#include "core/generate.h"
#include "fakecertmgr.h"
#include "fakeform.h"

#include <certmgr.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr std::int32_t kLastError = -1;  // how Sequence() shows CertMgr_GetLastError

class GenerateTest : public ::testing::Test {
protected:
    void SetUp() override {
        component.Reset();
        form = FakeForm{};
        form.texts = {{IDC_VALID_DAYS, "365"},
                      {IDC_COUNTRY, "US"},
                      {IDC_STATE, "Texas"},
                      {IDC_CITY, "Austin"},
                      {IDC_ORGANIZATION, "Acme"},
                      {IDC_ORGANIZATIONAL_UNIT, "IT"},
                      {IDC_COMMON_NAME, "www.example.com"},
                      {IDC_SERIAL_NUMBER, "1"},
                      {IDC_PASSWORD, "out-pw"},
                      {IDC_OUTPUT_FILE, "/tmp/out.pfx"}};
    }

    // The calls of one method, in order.
    std::vector<fake::Call> CallsOf(std::int32_t method) const {
        std::vector<fake::Call> calls;
        for (const fake::Call& call : component.Calls()) {
            if (call.function == fake::Function::Do && call.method == method) {
                calls.push_back(call);
            }
        }
        return calls;
    }
    std::vector<std::vector<std::string>> TextsOf(std::int32_t method) const {
        std::vector<std::vector<std::string>> texts;
        for (const fake::Call& call : CallsOf(method)) {
            texts.push_back(call.texts);
        }
        return texts;
    }

    fake::Component& component = fake::Component::Instance();
    FakeForm form;
};

TEST_F(GenerateTest, EveryOutcomeShowsOneBoxAndDestroysTheInstanceAfterIt) {
    struct Case {
        const char* name;
        bool signing;
        std::vector<std::pair<std::int32_t, std::string>> failures;  // method and its error text
        std::vector<std::int32_t> calls;                             // after the two settings
        std::string message;
        MessageIcon icon;
    };
    const Case cases[] = {
        {"self-signed written",
         false,
         {},
         {2, 6, 4},
         "Certificate successfully created!",
         MessageIcon::Information},
        {"issued written",
         true,
         {},
         {8, 10, 6, 4},
         "Certificate successfully created!",
         MessageIcon::Information},
        {"a failed discard changes nothing",
         false,
         {{4, "discard failed"}},
         {2, 6, 4},
         "Certificate successfully created!",
         MessageIcon::Information},
        {"signing certificate does not load",
         true,
         {{8, "Cannot read /ca.pfx."}},
         {8, kLastError},
         "Cannot read /ca.pfx.",
         MessageIcon::Error},
        {"wrong signing password",
         true,
         {{8, "The password is wrong."}},
         {8, kLastError},
         "The password is wrong. (Wrong Password?)",
         MessageIcon::Error},
        {"wrong password without a text",
         true,
         {{8, ""}},
         {8, kLastError},
         " (Wrong Password?)",
         MessageIcon::Error},
        {"self-signed not made",
         false,
         {{2, "Key generation failed."}},
         {2, kLastError},
         "Key generation failed.",
         MessageIcon::Error},
        {"issued not made",
         true,
         {{10, "Signer expired."}},
         {8, 10, kLastError},
         "Signer expired.",
         MessageIcon::Error},
        {"self-signed not written",
         false,
         {{6, "Disk full."}},
         {2, 6, 4, kLastError},
         "Disk full.",
         MessageIcon::Error},
        {"issued not written",
         true,
         {{6, "Disk full."}},
         {8, 10, 6, 4, kLastError},
         "Disk full.",
         MessageIcon::Error},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.signing) {
            form.texts[IDC_SIGNING_FILE] = "/ca.pfx";
            form.texts[IDC_SIGNING_PASSWORD] = "ca-pw";
        }
        for (const auto& [method, error] : c.failures) {
            // A load fails with the wrong-password result when the row says so.
            const bool wrongPassword = error.empty() || error.starts_with("The password is wrong");
            component.SetResult(method, method == 8 && wrongPassword ? CERTMGR_WRONG_PASSWORD : CERTMGR_FAILED,
                                error);
        }

        GenerateCertificate(form);

        std::vector<std::int32_t> expected{1, 1};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(component.Sequence(), expected) << c.name;
        ASSERT_EQ(form.boxes.size(), 1u) << c.name;
        EXPECT_EQ(form.boxes[0].text, c.message) << c.name;
        EXPECT_EQ(form.boxes[0].caption, "Ombrel") << c.name;
        EXPECT_EQ(form.boxes[0].icon, c.icon) << c.name;
        EXPECT_EQ(form.boxes[0].instancesAlive, 1u) << c.name << ": destroyed before the box closed";
        EXPECT_EQ(component.Created(), 1) << c.name;
        EXPECT_EQ(component.Destroyed(), 1) << c.name;
        EXPECT_EQ(component.BadDestroys(), 0) << c.name;
        EXPECT_EQ(component.Calls().back().function, fake::Function::Destroy) << c.name;
    }
}

TEST_F(GenerateTest, PassesTheFormsValuesToTheComponent) {
    form.texts[IDC_SIGNING_FILE] = " ";
    form.texts[IDC_SIGNING_PASSWORD] = "ca-pw";
    form.texts[IDC_SERIAL_NUMBER] = "4294967295";
    form.texts[IDC_OUTPUT_FILE] = "   ";

    GenerateCertificate(form);

    EXPECT_EQ(TextsOf(CERTMGR_APPLY_SETTING),
              (std::vector<std::vector<std::string>>{{"CertValidityTime=365"}, {"CertKeyLength=2048"}}));
    EXPECT_EQ(TextsOf(CERTMGR_LOAD_SIGNING_CERTIFICATE),
              (std::vector<std::vector<std::string>>{{" ", "ca-pw", ""}}));
    EXPECT_EQ(
        TextsOf(CERTMGR_ISSUE_SIGNED),
        (std::vector<std::vector<std::string>>{{"C=US,ST=Texas,L=Austin,O=Acme,OU=IT,CN=www.example.com"}}));
    // A path of blanks counts as an output file and is passed as it stands.
    EXPECT_EQ(TextsOf(CERTMGR_EXPORT_TO_FILE), (std::vector<std::vector<std::string>>{{"   ", "out-pw"}}));
    ASSERT_EQ(CallsOf(CERTMGR_ISSUE_SIGNED).size(), 1u);
    EXPECT_EQ(CallsOf(CERTMGR_ISSUE_SIGNED)[0].numbers,
              (std::vector<std::intptr_t>{static_cast<std::intptr_t>(4294967295u)}));
}

TEST_F(GenerateTest, SettingsAreUnsignedDecimals) {
    struct Case {
        const char* validDays;
        std::int32_t selection;
        std::vector<std::vector<std::string>> settings;
    };
    const Case cases[] = {
        {"", -1, {{"CertValidityTime=0"}, {"CertKeyLength=2048"}}},
        {"4294967295", 0, {{"CertValidityTime=4294967295"}, {"CertKeyLength=1024"}}},
        {"2147483648", 3, {{"CertValidityTime=2147483648"}, {"CertKeyLength=4096"}}},
    };
    for (const Case& c : cases) {
        SetUp();
        form.texts[IDC_VALID_DAYS] = c.validDays;
        form.selection = c.selection;
        GenerateCertificate(form);
        EXPECT_EQ(TextsOf(CERTMGR_APPLY_SETTING), c.settings) << c.validDays;
    }
}

TEST_F(GenerateTest, ExtraSettingsFollowTheFormsOwn) {
    GenerateCertificate(form, {"PfxEncryption=3DES", "CertSubjectAltNames=a.example,10.0.0.1"});
    EXPECT_EQ(TextsOf(CERTMGR_APPLY_SETTING),
              (std::vector<std::vector<std::string>>{{"CertValidityTime=365"},
                                                     {"CertKeyLength=2048"},
                                                     {"PfxEncryption=3DES"},
                                                     {"CertSubjectAltNames=a.example,10.0.0.1"}}));
    EXPECT_EQ(component.Sequence(), (std::vector<std::int32_t>{1, 1, 1, 1, 2, 6, 4}));
}

// The run stops at the first setting the component refuses, before any key is made, and shows
// the component's own words for it.
TEST_F(GenerateTest, ARefusedSettingEndsTheRunBeforeAnyKey) {
    const std::vector<std::string> extras = {"PfxEncryption=3DES", "CertSubjectAltNames=a.example"};
    for (std::size_t refused = 0; refused < 2 + extras.size(); ++refused) {
        SetUp();
        int seen = 0;
        component.OnCall(CERTMGR_APPLY_SETTING, [&](const fake::RaiseEvent&) {
            if (seen++ == static_cast<int>(refused)) {
                component.SetResult(CERTMGR_APPLY_SETTING, 1, "refused #" + std::to_string(refused));
            }
        });

        GenerateCertificate(form, extras);

        std::vector<std::int32_t> expected(refused + 1, CERTMGR_APPLY_SETTING);
        expected.push_back(kLastError);
        EXPECT_EQ(component.Sequence(), expected) << refused;
        ASSERT_EQ(form.boxes.size(), 1u);
        EXPECT_EQ(form.boxes[0].text, "refused #" + std::to_string(refused));
        EXPECT_EQ(form.boxes[0].icon, MessageIcon::Error);
        EXPECT_EQ(component.Destroyed(), 1);
    }
}

TEST_F(GenerateTest, EmptyOutputFileStopsBeforeAnyInstance) {
    form.texts[IDC_OUTPUT_FILE] = "";
    form.texts[IDC_SIGNING_FILE] = "/ca.pfx";

    GenerateCertificate(form);

    ASSERT_EQ(form.boxes.size(), 1u);
    EXPECT_EQ(form.boxes[0].text, "Enter an output certificate file.");
    EXPECT_EQ(form.boxes[0].caption, "Ombrel");
    EXPECT_EQ(form.boxes[0].icon, MessageIcon::Error);
    EXPECT_TRUE(component.Calls().empty());
    EXPECT_EQ(form.reads, std::vector<int>{IDC_OUTPUT_FILE});
}

TEST_F(GenerateTest, AnExceptionLeavingTheRunStillDestroysTheInstanceOnce) {
    struct Case {
        const char* name;
        int throwOnRead;
        bool throwFromBox;
    };
    const Case cases[] = {{"while reading the form", IDC_COMMON_NAME, false},
                          {"while the message box is up", 0, true}};
    for (const Case& c : cases) {
        SetUp();
        form.throwOnRead = c.throwOnRead;
        if (c.throwFromBox) {
            form.onMessageBox = [] { throw std::bad_alloc(); };
        }
        EXPECT_ANY_THROW(GenerateCertificate(form)) << c.name;
        EXPECT_EQ(component.Created(), 1) << c.name;
        EXPECT_EQ(component.Destroyed(), 1) << c.name;
        EXPECT_TRUE(component.Alive().empty()) << c.name;
    }
}

TEST_F(GenerateTest, TwoRunsUseTwoInstancesAndLoadTheSignerEachTime) {
    form.texts[IDC_SIGNING_FILE] = "/ca.pfx";
    GenerateCertificate(form);
    EXPECT_TRUE(component.Alive().empty());
    GenerateCertificate(form);

    EXPECT_EQ(component.Created(), 2);
    EXPECT_EQ(component.Destroyed(), 2);
    EXPECT_EQ(TextsOf(CERTMGR_LOAD_SIGNING_CERTIFICATE).size(), 2u);
    EXPECT_NE(component.Calls().front().handle, component.Calls().back().handle);
    EXPECT_EQ(form.boxes.size(), 2u);
}

}  // namespace
