// SPDX-License-Identifier: Apache-2.0
#include "core/certmgr.h"
#include "fakecertmgr.h"

#include <certmgr.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace {

class CertMgrTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Component::Instance().Reset(); }
    fake::Component& component = fake::Component::Instance();
};

TEST_F(CertMgrTest, EachOperationBuildsItsArgumentArrays) {
    struct Case {
        const char* name;
        std::function<std::int32_t(CCertMgr&)> call;
        std::int32_t method;
        std::vector<std::string> texts;
        std::vector<std::intptr_t> numbers;
    };
    const Case cases[] = {
        {"ApplySetting",
         [](CCertMgr& m) { return m.ApplySetting("CertKeyLength=2048"); },
         1,
         {"CertKeyLength=2048"},
         {}},
        {"CreateSelfSigned",
         [](CCertMgr& m) { return m.CreateSelfSigned("C=,CN=x", 4294967295u); },
         2,
         {"C=,CN=x"},
         {static_cast<std::intptr_t>(4294967295u)}},
        {"DiscardCertificate", [](CCertMgr& m) { return m.DiscardCertificate(); }, 4, {}, {}},
        {"ExportToFile",
         [](CCertMgr& m) { return m.ExportToFile("/tmp/out.pfx", "pw"); },
         6,
         {"/tmp/out.pfx", "pw"},
         {}},
        {"LoadSigningCertificate",
         [](CCertMgr& m) { return m.LoadSigningCertificate("/ca.pfx", "pw", ""); },
         8,
         {"/ca.pfx", "pw", ""},
         {}},
        {"IssueSigned", [](CCertMgr& m) { return m.IssueSigned("CN=y", 7); }, 10, {"CN=y"}, {7}},
    };
    for (const Case& c : cases) {
        component.Reset();
        component.SetResult(c.method, 17, "failed");
        {
            CCertMgr mgr;
            // The component's result comes back unchanged.
            EXPECT_EQ(c.call(mgr), 17) << c.name;
        }
        ASSERT_EQ(component.Calls().size(), 3u) << c.name;
        const fake::Call& call = component.Calls()[1];
        const std::size_t count = c.texts.size() + c.numbers.size();
        EXPECT_EQ(call.handle, component.Calls()[0].handle) << c.name;
        EXPECT_EQ(call.method, c.method) << c.name;
        EXPECT_EQ(call.count, static_cast<std::int32_t>(count)) << c.name;
        EXPECT_EQ(call.texts, c.texts) << c.name;
        EXPECT_EQ(call.numbers, c.numbers) << c.name;
        // Both arrays have count + 1 entries; the parameters end with 0, the lengths are all 0.
        EXPECT_EQ(call.params.back(), 0) << c.name;
        EXPECT_EQ(call.lengths, std::vector<std::intptr_t>(count + 1, 0)) << c.name;
    }
}

TEST_F(CertMgrTest, DestroysTheCreatedHandleExactlyOnce) {
    {
        CCertMgr mgr;
        EXPECT_EQ(component.Alive().size(), 1u);
    }
    ASSERT_EQ(component.Calls().size(), 2u);
    EXPECT_EQ(component.Calls()[0].function, fake::Function::Create);
    EXPECT_EQ(component.Calls()[1].function, fake::Function::Destroy);
    EXPECT_EQ(component.Calls()[1].handle, component.Calls()[0].handle);
    EXPECT_EQ(component.Destroyed(), 1);
    EXPECT_EQ(component.BadDestroys(), 0);
    EXPECT_TRUE(component.Alive().empty());
}

TEST_F(CertMgrTest, LastErrorTextIsACopyOfTheComponentsText) {
    component.SetResult(CERTMGR_EXPORT_TO_FILE, 1, "Cannot write /x.pfx: no such folder.");
    CCertMgr mgr;
    EXPECT_NE(mgr.ExportToFile("/x.pfx", ""), 0);
    EXPECT_EQ(mgr.GetLastErrorText(), "Cannot write /x.pfx: no such folder.");
}

// Records which handler ran and what it saw.
class RecordingCertMgr : public CCertMgr {
public:
    int handled = 0;
    std::array<std::intptr_t, 8> seen{};
    std::int32_t OnComponentEvent1(std::intptr_t* p) override { return Record(1, p); }
    std::int32_t OnComponentEvent2(std::intptr_t* p) override { return Record(2, p); }
    std::int32_t OnComponentEvent3(std::intptr_t* p) override { return Record(3, p); }
    std::int32_t OnComponentEvent4(std::intptr_t* p) override { return Record(4, p); }
    std::int32_t OnComponentEvent5(std::intptr_t* p) override { return Record(5, p); }

private:
    std::int32_t Record(int event, std::intptr_t* params) {
        handled = event;
        std::copy(params, params + seen.size(), seen.begin());
        return 100 + event;
    }
};

TEST_F(CertMgrTest, SinkDispatchesEventsAndCopiesTheFirstLength) {
    struct Case {
        std::int32_t event;
        int handler;   // 0: none runs
        int copiedTo;  // parameter entry that receives length 0, or -1
    };
    const Case cases[] = {{0, 0, -1}, {6, 0, -1}, {-1, 0, -1}, {1, 1, 6},
                          {2, 2, 5},  {3, 3, -1}, {4, 4, -1},  {5, 5, -1}};
    for (const Case& c : cases) {
        RecordingCertMgr mgr;
        std::array<std::intptr_t, 8> params{11, 12, 13, 14, 15, 16, 17, 0};
        std::array<std::intptr_t, 8> lengths{20, 0, 0, 0, 0, 0, 0, 0};
        const std::array<std::intptr_t, 8> before = params;

        const std::int32_t result = ComponentEventSink(&mgr, c.event, 0, params.data(), lengths.data());

        EXPECT_EQ(mgr.handled, c.handler) << "event " << c.event;
        EXPECT_EQ(result, c.handler == 0 ? 0 : 100 + c.handler) << "event " << c.event;
        std::array<std::intptr_t, 8> expected = before;
        if (c.copiedTo >= 0) {
            expected[c.copiedTo] = 20;
        }
        EXPECT_EQ(params, expected) << "event " << c.event;
        if (c.handler != 0) {
            // The handler saw the arrays as they stand after the copy.
            EXPECT_EQ(mgr.seen, expected) << "event " << c.event;
        }
    }
}

TEST_F(CertMgrTest, BaseHandlersAnswerZeroToEventsRaisedDuringACall) {
    std::vector<std::int32_t> answers;
    component.OnCall(CERTMGR_CREATE_SELF_SIGNED, [&answers](const fake::RaiseEvent& raise) {
        for (std::int32_t event = 1; event <= 5; ++event) {
            std::array<std::intptr_t, 8> params{};
            std::array<std::intptr_t, 8> lengths{5};
            answers.push_back(raise(event, params.data(), lengths.data()));
        }
    });
    CCertMgr mgr;
    mgr.CreateSelfSigned("CN=x", 1);
    EXPECT_EQ(answers, (std::vector<std::int32_t>{0, 0, 0, 0, 0}));
}

TEST_F(CertMgrTest, DerivedHandlerReceivesEventsRaisedDuringACall) {
    component.OnCall(CERTMGR_APPLY_SETTING, [](const fake::RaiseEvent& raise) {
        std::array<std::intptr_t, 8> params{};
        std::array<std::intptr_t, 8> lengths{9};
        EXPECT_EQ(raise(2, params.data(), lengths.data()), 102);
    });
    RecordingCertMgr mgr;
    mgr.ApplySetting("CertValidityTime=1");
    EXPECT_EQ(mgr.handled, 2);
    EXPECT_EQ(mgr.seen[5], 9);
}

}  // namespace
