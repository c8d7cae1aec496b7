// SPDX-License-Identifier: Apache-2.0
// Runs with OPENSSL_MODULES pointing at an empty place, so the component cannot load the legacy
// provider: only files that need it fail, and they say why.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/provider.h>

namespace certmgr_test {
namespace {

TEST(CertMgrWithoutLegacyProvider, OnlyFilesThatNeedItFailAndSaySo) {
    // Without this, the test would prove nothing.
    LibCtxPtr probe(OSSL_LIB_CTX_new());
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(probe.get(), "legacy");
    ASSERT_EQ(legacy, nullptr) << "the legacy provider is reachable; run this test through CTest";
    ERR_clear_error();

    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    EXPECT_NE(component.Load(SignerFile(SignerKind::Rc2), kSignerPassword), 0);
    EXPECT_NE(component.Error().find("legacy provider"), std::string::npos) << component.Error();
    EXPECT_NE(component.Error().find("rc2.pfx"), std::string::npos) << component.Error();

    for (SignerKind kind : {SignerKind::Aes256, SignerKind::TripleDes}) {
        ASSERT_EQ(component.Load(SignerFile(kind), kSignerPassword), 0) << component.Error();
    }
    TempDir dir;
    ASSERT_EQ(component.IssueSigned("CN=still.example", 1), 0) << component.Error();
    EXPECT_TRUE(ExportAndOpen(component, dir));
}

}  // namespace
}  // namespace certmgr_test
