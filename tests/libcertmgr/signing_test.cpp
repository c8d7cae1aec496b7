// SPDX-License-Identifier: Apache-2.0
// Signing files that load, in every protection and key type, and what the issued certificate
// carries from them.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <ctime>

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
                    SignerCase{"Intermediate", SignerKind::Intermediate, kSignerPassword, kEcdsa, 2},
                    SignerCase{"Version1Root", SignerKind::Version1Root, kSignerPassword, kEcdsa, 1}),
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
    ExpectIntermediateChain(pfx->chain.get());
}

// The signer is valid for 79 days and a half more: 79 days fit below it, 80 end with it (a CA and
// a certificate it issues at once for the same days differ by seconds), 81 would outlive it.
TEST(CertMgrSigning, IssuedCertificateMayNotOutliveItsSigner) {
    X509* signer = SignerCertificate(SignerKind::ShortLived);
    std::tm last{};
    ASSERT_EQ(ASN1_TIME_to_tm(X509_get0_notAfter(signer), &last), 1);
    char lastDay[16] = {};
    std::strftime(lastDay, sizeof lastDay, "%Y-%m-%d", &last);
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::ShortLived), kSignerPassword), 0) << component.Error();

    ASSERT_EQ(component.Apply("CertValidityTime=81"), 0);
    EXPECT_NE(component.IssueSigned("CN=issued.example", 3), 0);
    EXPECT_NE(component.Error().find(std::string("\"Test Short-Lived CA\", which is valid until ") + lastDay +
                                     "; at most 79 days are possible."),
              std::string::npos)
        << component.Error();

    ASSERT_EQ(component.Apply("CertValidityTime=79"), 0);
    ASSERT_EQ(component.IssueSigned("CN=issued.example", 3), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    EXPECT_LT(ASN1_TIME_compare(X509_get0_notAfter(pfx->cert.get()), X509_get0_notAfter(signer)), 0);

    ASSERT_EQ(component.Apply("CertValidityTime=80"), 0);
    ASSERT_EQ(component.IssueSigned("CN=issued.example", 3), 0) << component.Error();
    pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    EXPECT_EQ(ASN1_TIME_compare(X509_get0_notAfter(pfx->cert.get()), X509_get0_notAfter(signer)), 0);
}

struct NameCase {
    const char* name;
    std::string subject;
    std::string altNames;  // a CertSubjectAltNames value, or empty for the one from the common name
    std::string refusal;   // a part of the message, or empty when the certificate is issued
};

void PrintTo(const NameCase& row, std::ostream* out) {
    *out << row.name;
}

class NameConstraintTest : public testing::TestWithParam<NameCase> {};

// The signer may issue for example.com and below, except bad.example.com; the names are checked as
// OpenSSL's verifier checks them, so that nothing is issued that would not verify.
TEST_P(NameConstraintTest, IssuesOnlyNamesTheSignerAllows) {
    const NameCase& row = GetParam();
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    if (!row.altNames.empty()) {
        ASSERT_EQ(component.Apply("CertSubjectAltNames=" + row.altNames), 0) << component.Error();
    }
    ASSERT_EQ(component.Load(SignerFile(SignerKind::NameConstrained), kSignerPassword), 0)
        << component.Error();
    const int32_t result = component.IssueSigned(row.subject, 5);
    if (row.refusal.empty()) {
        EXPECT_EQ(result, 0) << component.Error();
        return;
    }
    EXPECT_EQ(result, CERTMGR_FAILED);
    EXPECT_NE(component.Error().find(row.refusal), std::string::npos) << component.Error();
    EXPECT_NE(component.Error().find("\"Test Constrained CA\""), std::string::npos) << component.Error();
}

INSTANTIATE_TEST_SUITE_P(
    CertMgr, NameConstraintTest,
    testing::Values(
        NameCase{"Permitted", "CN=www.example.com", "", ""},
        NameCase{"OutsidePermitted", "CN=www.example.org", "", "\"DNS:www.example.org\" is outside"},
        NameCase{"InsideExcluded", "CN=www.bad.example.com", "", "\"DNS:www.bad.example.com\" is among"},
        NameCase{"OneAltNameOutside", "CN=www.example.com", "www.example.com,www.example.net",
                 "\"DNS:www.example.net\" is outside"},
        // Without a DNS name, the verifier takes a common name that looks like a host name as one.
        NameCase{"CommonNameTakenAsHostName", "CN=www.example.org", "192.0.2.1",
                 "common name of \"CN=www.example.org\", taken as a host name, is outside"},
        NameCase{"CommonNameNotAHostName", "CN=Test Device", "192.0.2.1", ""}),
    [](const testing::TestParamInfo<NameCase>& info) { return info.param.name; });

}  // namespace
}  // namespace certmgr_test
