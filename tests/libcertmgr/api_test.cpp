// SPDX-License-Identifier: Apache-2.0
// The C interface's contract beyond single methods: null handles, the error text's lifetime, events.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/pkcs12err.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace certmgr_test {
namespace {

TEST(CertMgrApi, NullHandleFailsWithAFixedTextAndDestroyAcceptsIt) {
    const std::string setting = "CertKeyLength=1024";
    intptr_t params[] = {TextArg(setting), 0};
    intptr_t lengths[] = {0, 0};
    EXPECT_NE(CertMgr_Do(nullptr, CERTMGR_APPLY_SETTING, 1, params, lengths), 0);
    const char* text = CertMgr_GetLastError(nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find("handle"), std::string::npos) << text;
    EXPECT_EQ(CertMgr_Destroy(nullptr), 0);
}

// The tool reads the text only after DiscardCertificate, which follows a failed export.
TEST(CertMgrApi, ErrorTextOutlivesLaterSuccesses) {
    Component component;
    EXPECT_STREQ(CertMgr_GetLastError(component.Handle()), "");
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=example.com", 1), 0) << component.Error();
    const std::string missing = "/nonexistent-folder-for-certmgr/out.pfx";
    ASSERT_NE(component.Export(missing, "pw"), 0);
    const std::string exportError = component.Error();
    EXPECT_NE(exportError.find(missing), std::string::npos) << exportError;

    EXPECT_EQ(component.Discard(), 0);
    EXPECT_EQ(component.Apply("CertValidityTime=10"), 0);
    EXPECT_EQ(component.Error(), exportError);
}

// What a sink saw of the progress events, and how it answers them.
struct Recorded {
    std::thread::id caller = std::this_thread::get_id();
    int32_t answer = 0;
    std::vector<intptr_t> steps;
    int otherEvents = 0;
    bool layoutKept = true;
    bool fromOtherThread = false;
};

int32_t RecordingSink(void* context, int32_t event, int32_t count, intptr_t* params, intptr_t* lengths) {
    auto& recorded = *static_cast<Recorded*>(context);
    if (event != CERTMGR_EVENT_PROGRESS) {
        ++recorded.otherEvents;
        return 0;
    }
    recorded.steps.push_back(params[0]);
    recorded.layoutKept = recorded.layoutKept && count == 1 && params[1] == 0 &&
                          std::all_of(lengths, lengths + 8, [](intptr_t length) { return length == 0; });
    recorded.fromOtherThread = recorded.fromOtherThread || std::this_thread::get_id() != recorded.caller;
    // What the tool's sink does for events 1 and 2; the sanitizers catch arrays too short for it.
    params[6] = lengths[0];
    params[5] = lengths[0];
    return recorded.answer;
}

// Only key generation raises events: progress, on the calling thread, in the header's layout.
TEST(CertMgrApi, RaisesProgressEventsOnTheCallingThreadOnly) {
    TempDir dir;
    Recorded recorded;
    Component component(RecordingSink, &recorded);
    ASSERT_EQ(component.Apply("CertAuthority=1"), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=ca.example", 1), 0) << component.Error();  // 2048 bits
    EXPECT_FALSE(recorded.steps.empty());
    ASSERT_EQ(component.Export(dir.File("ca.pfx"), "pw"), 0) << component.Error();
    ASSERT_EQ(component.Load(dir.File("ca.pfx"), "pw"), 0) << component.Error();
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Apply("CertAuthority=0"), 0);
    ASSERT_EQ(component.Apply("CertValidityTime=30"), 0);  // within the authority's 365 days
    const std::size_t beforeIssue = recorded.steps.size();
    ASSERT_EQ(component.IssueSigned("CN=leaf.example", 2), 0) << component.Error();
    EXPECT_GT(recorded.steps.size(), beforeIssue);
    EXPECT_NE(component.Load(dir.File("missing.pfx"), "pw"), 0);

    EXPECT_EQ(recorded.otherEvents, 0);
    EXPECT_TRUE(recorded.layoutKept);
    EXPECT_FALSE(recorded.fromOtherThread);
    EXPECT_TRUE(std::is_sorted(recorded.steps.begin(), recorded.steps.begin() + beforeIssue));
    EXPECT_GT(recorded.steps.front(), 0);
}

// A sink that says stop ends the generation at once and leaves no certificate to export.
TEST(CertMgrApi, CancelAtTheFirstEventLeavesNothing) {
    TempDir dir;
    Recorded recorded;
    recorded.answer = 1;
    Component component(RecordingSink, &recorded);
    ASSERT_EQ(component.Apply("CertKeyLength=2048"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Aes256), kSignerPassword), 0) << component.Error();
    for (const bool issued : {false, true}) {
        recorded.steps.clear();
        const int32_t result = issued ? component.IssueSigned("CN=leaf.example", 2)
                                      : component.CreateSelfSigned("CN=ca.example", 1);
        EXPECT_EQ(result, CERTMGR_CANCELLED);
        EXPECT_EQ(component.Error(), "The certificate generation was cancelled.");
        EXPECT_EQ(recorded.steps.size(), 1U);
        EXPECT_NE(component.Export(dir.File("out.pfx"), "pw"), 0);
        EXPECT_NE(component.Error().find("no certificate to export"), std::string::npos) << component.Error();
    }
    EXPECT_TRUE(dir.Names().empty());

    recorded.answer = 0;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    EXPECT_EQ(component.CreateSelfSigned("CN=again.example", 3), 0) << component.Error();
}

// Holds the first progress event until the test lets it go, so that a call is surely running.
struct Gate {
    std::promise<void> inside;
    std::promise<void> release;
    std::once_flag once;
};

int32_t GateSink(void* context, int32_t, int32_t, intptr_t*, intptr_t*) {
    auto& gate = *static_cast<Gate*>(context);
    std::call_once(gate.once, [&gate] {
        gate.inside.set_value();
        gate.release.get_future().wait();
    });
    return 0;
}

TEST(CertMgrApi, ASecondThreadIsRefusedWhileACallRuns) {
    TempDir dir;
    Gate gate;
    Component component(GateSink, &gate);
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    int32_t runningResult = -1;
    std::string runningText = "unset";
    std::thread running([&] {
        runningResult = component.CreateSelfSigned("CN=running.example", 1);
        runningText = component.Error();
    });
    gate.inside.get_future().wait();

    EXPECT_EQ(component.Apply("CertKeyLength=1024"), CERTMGR_BUSY);
    EXPECT_NE(component.Error().find("busy"), std::string::npos) << component.Error();
    EXPECT_EQ(component.Discard(), CERTMGR_BUSY);
    EXPECT_EQ(CertMgr_Destroy(component.Handle()), CERTMGR_BUSY);
    gate.release.set_value();
    running.join();

    EXPECT_EQ(runningResult, 0);
    EXPECT_EQ(runningText, "");
    // The refused calls changed nothing: the certificate is there, with the key length set before.
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    EXPECT_EQ(KeyBits(pfx->key.get()), 512);
    EXPECT_EQ(component.Error(), "");
}

// The calling program's own OpenSSL errors are still there after a call, and do not leak into the
// reason the call gives for its own failure.
TEST(CertMgrApi, KeepsTheCallersOpenSslErrors) {
    ERR_clear_error();
    ERR_raise_data(ERR_LIB_PKCS12, PKCS12_R_MAC_VERIFY_FAILURE, "the caller's own");
    const unsigned long callers = ERR_peek_last_error();
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    // OpenSSL itself refuses this value, and the text passes on its reason.
    EXPECT_NE(component.CreateSelfSigned("CN=x,emailAddress=j\xC3\xB6@example.com", 1), 0);
    EXPECT_EQ(component.Error().find("mac verify"), std::string::npos) << component.Error();
    EXPECT_EQ(component.CreateSelfSigned("CN=x", 2), 0) << component.Error();

    const char* data = nullptr;
    int flags = 0;
    EXPECT_EQ(ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags), callers);
    EXPECT_STREQ((flags & ERR_TXT_STRING) != 0 ? data : "", "the caller's own");
    EXPECT_EQ(ERR_get_error(), 0UL);
}

// A non-zero length takes exactly that many bytes, terminated or not.
TEST(CertMgrApi, TakesCountedTextsToTheirLength) {
    TempDir dir;
    Component component;
    const std::string setting = "CertKeyLength=512 and more";
    const std::string subject = "CN=counted.example,O=not this";
    const std::string path = dir.File("out.pfx") + ".not-this";
    const std::string password = "pw-not-this";
    auto counted = [&component](int32_t method, std::vector<std::pair<const std::string*, std::size_t>> texts,
                                std::vector<intptr_t> numbers = {}) {
        std::vector<intptr_t> params;
        std::vector<intptr_t> lengths;
        for (const auto& [text, length] : texts) {
            params.push_back(TextArg(*text));
            lengths.push_back(static_cast<intptr_t>(length));
        }
        for (const intptr_t number : numbers) {
            params.push_back(number);
            lengths.push_back(0);
        }
        params.push_back(0);
        lengths.push_back(0);
        return CertMgr_Do(component.Handle(), method, static_cast<int32_t>(texts.size() + numbers.size()),
                          params.data(), lengths.data());
    };
    ASSERT_EQ(counted(CERTMGR_APPLY_SETTING, {{&setting, 17}}), 0) << component.Error();
    ASSERT_EQ(counted(CERTMGR_CREATE_SELF_SIGNED, {{&subject, 18}}, {1}), 0) << component.Error();
    ASSERT_EQ(counted(CERTMGR_EXPORT_TO_FILE, {{&path, path.size() - 9}, {&password, 2}}), 0)
        << component.Error();

    auto pfx = OpenPfx(dir.File("out.pfx"), "pw");
    ASSERT_TRUE(pfx);
    EXPECT_EQ(KeyBits(pfx->key.get()), 512);
    EXPECT_EQ(NameEntry(X509_get_subject_name(pfx->cert.get()), NID_commonName), "counted.example");
    EXPECT_EQ(NameEntry(X509_get_subject_name(pfx->cert.get()), NID_organizationName), "");
}

// Instances share one OpenSSL context but nothing a caller can see: each keeps its own settings
// and signer, and the context outlives the instances that used it.
TEST(CertMgrApi, InstancesStayIndependentAndOutliveEachOther) {
    TempDir dir;
    auto signing = std::make_unique<Component>();
    Component plain;
    ASSERT_EQ(signing->Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(signing->Load(SignerFile(SignerKind::Aes256), kSignerPassword), 0) << signing->Error();
    ASSERT_EQ(plain.Apply("CertKeyLength=1024"), 0);

    EXPECT_NE(plain.IssueSigned("CN=no-signer.example", 1), 0);
    ASSERT_EQ(signing->IssueSigned("CN=issued.example", 2), 0) << signing->Error();
    auto issued = ExportAndOpen(*signing, dir, "issued.pfx");
    ASSERT_TRUE(issued);
    EXPECT_EQ(KeyBits(issued->key.get()), 512);

    signing.reset();
    ASSERT_EQ(plain.CreateSelfSigned("CN=after.example", 3), 0) << plain.Error();
    auto after = ExportAndOpen(plain, dir, "after.pfx");
    ASSERT_TRUE(after);
    EXPECT_EQ(KeyBits(after->key.get()), 1024);
    EXPECT_EQ(sk_X509_num(after->chain.get()), 0);

    Component later;
    ASSERT_EQ(later.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(later.Load(SignerFile(SignerKind::Rc2), kSignerPassword), 0) << later.Error();
    EXPECT_EQ(later.IssueSigned("CN=later.example", 4), 0) << later.Error();
}

int ThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) {
            return std::stoi(line.substr(8));
        }
    }
    return -1;
}

// Key generation races on several threads, but the caller sees one synchronous call.
TEST(CertMgrApi, KeyGenerationThreadsEndWithTheCall) {
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
    const int before = ThreadCount();
    for (uint32_t serial = 1; serial <= 3; ++serial) {
        ASSERT_EQ(component.CreateSelfSigned("CN=threads.example", serial), 0) << component.Error();
        EXPECT_EQ(ThreadCount(), before);
    }
}

}  // namespace
}  // namespace certmgr_test
