// SPDX-License-Identifier: Apache-2.0
// What certificates hold: fields, key and signature, the extensions of each profile, the serial number,
// and the automatic subject alternative name.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <openssl/core_names.h>

#include <ctime>
#include <optional>

namespace certmgr_test {
namespace {

bool IsCritical(X509* cert, int nid) {
    const int index = X509_get_ext_by_NID(cert, nid, -1);
    return index >= 0 && X509_EXTENSION_get_critical(X509_get_ext(cert, index)) == 1;
}

bool Has(X509* cert, int nid) {
    return X509_get_ext_by_NID(cert, nid, -1) >= 0;
}

std::string Hex(const ASN1_OCTET_STRING* id) {
    return id == nullptr ? std::string("none")
                         : std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(id)),
                                       static_cast<std::size_t>(ASN1_STRING_length(id)));
}

std::string SignatureName(X509* cert) {
    return OBJ_nid2ln(X509_get_signature_nid(cert));
}

void ExpectFreshRsaKey(EVP_PKEY* key, int bits) {
    EXPECT_TRUE(EVP_PKEY_is_a(key, "RSA"));
    EXPECT_EQ(KeyBits(key), bits);
    BIGNUM* exponent = nullptr;
    ASSERT_EQ(EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &exponent), 1);
    EXPECT_EQ(BN_get_word(exponent), 65537U);
    BN_free(exponent);
}

// Valid from five minutes before it was made, between `before` and `after`. X509_cmp_time: -1 when the
// certificate's time is at or before the given one, 1 when after.
void ExpectStartsFiveMinutesBefore(X509* cert, std::time_t before, std::time_t after) {
    before -= 301;
    after -= 300;
    EXPECT_EQ(X509_cmp_time(X509_get0_notBefore(cert), &before), 1);
    EXPECT_EQ(X509_cmp_time(X509_get0_notBefore(cert), &after), -1);
}

TEST(CertMgrCertificate, SelfSignedSignsItselfWithItsNewKey) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
    ASSERT_EQ(component.Apply("CertValidityTime=30"), 0);
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(component.CreateSelfSigned("CN=root.example", 4294967295U), 0) << component.Error();
    const std::time_t after = std::time(nullptr);
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    X509* cert = pfx->cert.get();

    EXPECT_EQ(X509_get_version(cert), X509_VERSION_3);
    uint64_t serial = 0;
    ASSERT_EQ(ASN1_INTEGER_get_uint64(&serial, X509_get0_serialNumber(cert)), 1) << "negative or too large";
    EXPECT_EQ(serial, 4294967295U);
    EXPECT_EQ(X509_NAME_cmp(X509_get_issuer_name(cert), X509_get_subject_name(cert)), 0);
    ExpectStartsFiveMinutesBefore(cert, before, after);
    EXPECT_EQ(ValidityOf(cert), std::make_pair(30, 300));
    ExpectFreshRsaKey(pfx->key.get(), 1024);
    EXPECT_EQ(X509_check_private_key(cert, pfx->key.get()), 1);
    EXPECT_EQ(SignatureName(cert), "sha256WithRSAEncryption");
    EXPECT_TRUE(VerifiesWith(cert, X509_get0_pubkey(cert)));
    EXPECT_TRUE(pfx->chain == nullptr || sk_X509_num(pfx->chain.get()) == 0);
}

TEST(CertMgrCertificate, IssuedIsSignedByItsSigner) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Aes256), kSignerPassword), 0) << component.Error();
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(component.IssueSigned("O=Acme,CN=leaf.example", 7), 0) << component.Error();
    const std::time_t after = std::time(nullptr);
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    X509* cert = pfx->cert.get();
    X509* signer = RsaCa();

    EXPECT_EQ(ASN1_INTEGER_get(X509_get0_serialNumber(cert)), 7);
    EXPECT_EQ(X509_NAME_cmp(X509_get_issuer_name(cert), X509_get_subject_name(signer)), 0);
    EXPECT_EQ(NameEntry(X509_get_subject_name(cert), NID_commonName), "leaf.example");
    ExpectStartsFiveMinutesBefore(cert, before, after);
    ExpectFreshRsaKey(pfx->key.get(), 1024);
    EXPECT_EQ(SignatureName(cert), "sha256WithRSAEncryption");
    EXPECT_TRUE(VerifiesWith(cert, X509_get0_pubkey(signer)));
    EXPECT_FALSE(VerifiesWith(cert, pfx->key.get()));
    ASSERT_EQ(sk_X509_num(pfx->chain.get()), 1);
    EXPECT_EQ(X509_cmp(sk_X509_value(pfx->chain.get(), 0), signer), 0);
}

struct ProfileCase {
    const char* name;
    bool authority;                    // the CertAuthority setting
    std::optional<SignerKind> signer;  // none: self-signed
    bool ca;
    long pathLength;  // -1: none
    uint32_t keyUsage;
    uint32_t extendedKeyUsage;  // 0: no such extension
};

void PrintTo(const ProfileCase& row, std::ostream* out) {
    *out << row.name;
}

class ProfileTest : public testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileTest, CarriesTheExtensionsOfItsProfile) {
    const ProfileCase& row = GetParam();
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Apply(std::string("CertAuthority=") + (row.authority ? "1" : "0")), 0);
    if (row.signer) {
        ASSERT_EQ(component.Load(SignerFile(*row.signer), kSignerPassword), 0) << component.Error();
        ASSERT_EQ(component.IssueSigned("CN=profile.example", 0), 0) << component.Error();
    } else {
        ASSERT_EQ(component.CreateSelfSigned("CN=profile.example", 0), 0) << component.Error();
    }
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    X509* cert = pfx->cert.get();

    EXPECT_TRUE(IsCritical(cert, NID_basic_constraints));
    EXPECT_EQ((X509_get_extension_flags(cert) & EXFLAG_CA) != 0, row.ca);
    EXPECT_EQ(X509_get_pathlen(cert), row.pathLength);
    EXPECT_TRUE(IsCritical(cert, NID_key_usage));
    EXPECT_EQ(X509_get_key_usage(cert), row.keyUsage);
    EXPECT_EQ(Has(cert, NID_ext_key_usage), row.extendedKeyUsage != 0);
    if (row.extendedKeyUsage != 0) {
        EXPECT_EQ(X509_get_extended_key_usage(cert), row.extendedKeyUsage);
    }
    EXPECT_EQ(AltNamesOf(cert), std::vector<std::string>{"DNS:profile.example"});
    ASSERT_NE(X509_get0_subject_key_id(cert), nullptr);
    if (row.signer) {
        EXPECT_EQ(Hex(X509_get0_authority_key_id(cert)),
                  Hex(X509_get0_subject_key_id(SignerCertificate(*row.signer))));
    } else if (row.authority) {
        EXPECT_EQ(Hex(X509_get0_authority_key_id(cert)), Hex(X509_get0_subject_key_id(cert)));
    }
}

constexpr uint32_t kEndEntityUsage = KU_DIGITAL_SIGNATURE | KU_KEY_ENCIPHERMENT;
constexpr uint32_t kAuthorityUsage = KU_DIGITAL_SIGNATURE | KU_KEY_CERT_SIGN | KU_CRL_SIGN;
constexpr uint32_t kTls = XKU_SSL_SERVER | XKU_SSL_CLIENT;

// One row per line, so that the table reads as one.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    CertMgr, ProfileTest,
    testing::Values(
        ProfileCase{"SelfSigned", false, std::nullopt, false, -1, kEndEntityUsage, kTls},
        ProfileCase{"SelfSignedAuthority", true, std::nullopt, true, -1, kAuthorityUsage, 0},
        ProfileCase{"Issued", false, SignerKind::Aes256, false, -1, kEndEntityUsage, kTls},
        ProfileCase{"IssuedBelowPathLength0", false, SignerKind::PathLength0, false, -1, kEndEntityUsage, kTls},
        ProfileCase{"IssuedAuthority", true, SignerKind::Aes256, true, -1, kAuthorityUsage, 0},
        ProfileCase{"IssuedAuthorityBelowPathLength1", true, SignerKind::PathLength1, true, 0, kAuthorityUsage, 0}),
    [](const testing::TestParamInfo<ProfileCase>& info) { return info.param.name; });
// clang-format on

BignumPtr SerialOf(X509* cert) {
    return BignumPtr(ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr));
}

// Serial 0 asks for a random one, so that no two certificates of one issuer share issuer and serial.
TEST(CertMgrCertificate, SerialZeroDrawsARandomPositiveSerial) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=first.example", 0), 0) << component.Error();
    auto first = ExportAndOpen(component, dir, "first.pfx");
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Aes256), kSignerPassword), 0) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=second.example", 0), 0) << component.Error();
    auto second = ExportAndOpen(component, dir, "second.pfx");
    ASSERT_TRUE(first && second);

    for (X509* cert : {first->cert.get(), second->cert.get()}) {
        const BignumPtr serial = SerialOf(cert);
        ASSERT_TRUE(serial);
        EXPECT_FALSE(BN_is_negative(serial.get()));
        // 127 random bits: below 64 only once in 2^63 draws.
        EXPECT_LE(BN_num_bits(serial.get()), 127);
        EXPECT_GT(BN_num_bits(serial.get()), 64);
        // RFC 5280 allows at most 20 octets of content.
        const int encoded = i2d_ASN1_INTEGER(X509_get0_serialNumber(cert), nullptr);
        EXPECT_LE(encoded - 2, 20);
    }
    EXPECT_NE(BN_cmp(SerialOf(first->cert.get()).get(), SerialOf(second->cert.get()).get()), 0);
}

struct AltNameCase {
    const char* name;
    std::string commonName;
    std::vector<std::string> expected;
};

// Test names and failure messages show the row by its name.
void PrintTo(const AltNameCase& row, std::ostream* out) {
    *out << row.name;
}

class AltNameTest : public testing::TestWithParam<AltNameCase> {};

const std::string kLabel63(63, 'a');

TEST_P(AltNameTest, FollowsTheCommonName) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned(SubjectText("US", "", "", "Acme", "", GetParam().commonName), 1), 0)
        << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    EXPECT_EQ(AltNamesOf(pfx->cert.get()), GetParam().expected);
    EXPECT_EQ(NameEntry(X509_get_subject_name(pfx->cert.get()), NID_commonName), GetParam().commonName);
}

// One row per line, so that the table reads as one.
// clang-format off
INSTANTIATE_TEST_SUITE_P(CertMgr, AltNameTest,
                         testing::Values(AltNameCase{"HostName", "www.example.com", {"DNS:www.example.com"}},
                                         AltNameCase{"SingleLabel", "localhost", {"DNS:localhost"}},
                                         AltNameCase{"Wildcard", "*.example.com", {"DNS:*.example.com"}},
                                         AltNameCase{"WildcardOverTopLevelDomain", "*.com", {}},
                                         AltNameCase{"HyphenInside", "my-host.example", {"DNS:my-host.example"}},
                                         AltNameCase{"HyphenFirst", "-host.example", {}},
                                         AltNameCase{"HyphenLast", "host-.example", {}},
                                         AltNameCase{"LongestLabel", kLabel63, {"DNS:" + kLabel63}},
                                         AltNameCase{"LabelTooLong", kLabel63 + "a", {}},
                                         AltNameCase{"IPv4", "192.168.1.10", {"IP:192.168.1.10"}},
                                         AltNameCase{"IPv6", "2001:db8::1", {"IP:2001:db8::1"}},
                                         AltNameCase{"PersonName", "John Smith", {}},
                                         AltNameCase{"Underscore", "my_host.example", {"DNS:my_host.example"}},
                                         AltNameCase{"WildcardInside", "www.*.example", {}},
                                         AltNameCase{"IncompleteAddress", "10.0.0", {}},
                                         AltNameCase{"EmptyLabel", "example..com", {}},
                                         AltNameCase{"NoCommonName", "", {}},
                                         AltNameCase{"Idn", "b\xC3\xBC" "cher.example", {"DNS:xn--bcher-kva.example"}},
                                         AltNameCase{"IdnCapitals", "B\xC3\xBC" "cher.Example", {"DNS:xn--bcher-kva.example"}},
                                         AltNameCase{"IdnSharpSKept", "fa\xC3\x9F.de", {"DNS:xn--fa-hia.de"}},
                                         AltNameCase{"IdnWildcard", "*.b\xC3\xBC" "cher.example", {"DNS:*.xn--bcher-kva.example"}},
                                         AltNameCase{"IdnHyphenFirst", "-b\xC3\xBC" "cher.example", {}},
                                         AltNameCase{"IdnDisallowed", "\xE2\x98\x83.example", {}}),
                         [](const testing::TestParamInfo<AltNameCase>& info) { return info.param.name; });
// clang-format on

}  // namespace
}  // namespace certmgr_test
