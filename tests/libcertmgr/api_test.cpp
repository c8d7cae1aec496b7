// The C interface's contract beyond single methods: null handles, the error text's lifetime, events.
#include "component.h"
#include "tempdir.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace certmgr_test
