// SPDX-License-Identifier: Apache-2.0
// The C interface's contract beyond single methods: null handles, the error text's lifetime, events.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

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

struct Recorded {
    int events = 0;
};

int32_t RecordingSink(void* context, int32_t, int32_t, intptr_t*, intptr_t*) {
    ++static_cast<Recorded*>(context)->events;
    return 0;
}

TEST(CertMgrApi, RaisesNoEventsDuringARun) {
    TempDir dir;
    Recorded recorded;
    Component component(RecordingSink, &recorded);
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=ca.example", 1), 0) << component.Error();
    ASSERT_EQ(component.Export(dir.File("ca.pfx"), "pw"), 0) << component.Error();
    ASSERT_EQ(component.Load(dir.File("ca.pfx"), "pw"), 0) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=leaf.example", 2), 0) << component.Error();
    EXPECT_NE(component.Load(dir.File("missing.pfx"), "pw"), 0);
    EXPECT_EQ(recorded.events, 0);
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
