// SPDX-License-Identifier: Apache-2.0
// Signing files that load, in every protection and key type, and what the issued certificate
// carries from them.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

namespace certmgr_test {
namespace {

struct SignerCase {
    const char* name;
    SignerKind kind;
    std::string password;
    std::string signature;
    int chainLength;  // the signer and the certificates above it
};

// Test names and failure messages show the row by its name.
void PrintTo(const SignerCase& row, std::ostream* out) {
    *out << row.name;
}

class SignerTest : public testing::TestWithParam<SignerCase> {};

TEST_P(SignerTest, LoadsAndIssues) {
    const SignerCase& row = GetParam();
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Load(SignerFile(row.kind), row.password), 0) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=issued.example", 3), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    ASSERT_EQ(sk_X509_num(pfx->chain.get()), row.chainLength);
    X509* signer = sk_X509_value(pfx->chain.get(), 0);
    EXPECT_EQ(X509_NAME_cmp(X509_get_issuer_name(pfx->cert.get()), X509_get_subject_name(signer)), 0);
    EXPECT_TRUE(VerifiesWith(pfx->cert.get(), X509_get0_pubkey(signer)));
    EXPECT_EQ(OBJ_nid2ln(X509_get_signature_nid(pfx->cert.get())), row.signature);
}

const std::string kRsa = "sha256WithRSAEncryption";
const std::string kEcdsa = "ecdsa-with-SHA256";

INSTANTIATE_TEST_SUITE_P(
    CertMgr, SignerTest,
    testing::Values(SignerCase{"Aes256", SignerKind::Aes256, kSignerPassword, kRsa, 1},
                    SignerCase{"TripleDes", SignerKind::TripleDes, kSignerPassword, kRsa, 1},
                    SignerCase{"Rc2", SignerKind::Rc2, kSignerPassword, kRsa, 1},
                    SignerCase{"EmptyPassword", SignerKind::EmptyPassword, "", kRsa, 1},
                    SignerCase{"AbsentPassword", SignerKind::AbsentPassword, "", kRsa, 1},
                    SignerCase{"Ec", SignerKind::Ec, kSignerPassword, kEcdsa, 1},
                    SignerCase{"Intermediate", SignerKind::Intermediate, kSignerPassword, kEcdsa, 2}),
    [](const testing::TestParamInfo<SignerCase>& info) { return info.param.name; });

// Issuing with the signer of an earlier load, after the latest one failed, would sign with a
// certificate the user no longer asked for.
TEST(CertMgrSigning, FailedLoadLeavesNoSigner) {
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Ec), kSignerPassword), 0) << component.Error();
    ASSERT_NE(component.Load(SignerFile(SignerKind::Aes256), "Wrong-Pass"), 0);
    EXPECT_NE(component.IssueSigned("CN=issued.example", 3), 0);
    EXPECT_NE(component.Error().find("No signing certificate is loaded"), std::string::npos)
        << component.Error();
}

// The file carries the chain of the certificate's own issuer, even after another signer was loaded.
TEST(CertMgrSigning, ExportCarriesTheChainOfTheIssuerNotOfTheLatestSigner) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Intermediate), kSignerPassword), 0) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=issued.example", 3), 0) << component.Error();
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Aes256), kSignerPassword), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    ASSERT_EQ(sk_X509_num(pfx->chain.get()), 2);
    EXPECT_EQ(NameEntry(X509_get_subject_name(sk_X509_value(pfx->chain.get(), 0)), NID_commonName),
              "Test Intermediate CA");
    EXPECT_EQ(X509_cmp(sk_X509_value(pfx->chain.get(), 1), IntermediateRoot()), 0);
}

}  // namespace
}  // namespace certmgr_test
