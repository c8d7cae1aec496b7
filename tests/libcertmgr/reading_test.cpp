// SPDX-License-Identifier: Apache-2.0
// Reading signing files: the costs a file asks for, the old ciphers, files without a MAC, extra
// data, what travels into issued files, what a failed load leaves, and the result a wrong password
// gives. Crafted files are made here, from the RSA CA of the shared signing files.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "shell.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <stdexcept>

namespace certmgr_test {
namespace {

void FreeParts(STACK_OF(PKCS7) * parts) {
    sk_PKCS7_pop_free(parts, PKCS7_free);
}
void FreeBags(STACK_OF(PKCS12_SAFEBAG) * bags) {
    sk_PKCS12_SAFEBAG_pop_free(bags, PKCS12_SAFEBAG_free);
}
using Pkcs7StackPtr = OsslPtr<STACK_OF(PKCS7), FreeParts>;
using SafeBagStackPtr = OsslPtr<STACK_OF(PKCS12_SAFEBAG), FreeBags>;

constexpr char kPassword[] = "Read-Pass-1";

const OpenedPfx& RsaCaPfx() {
    static const OpenedPfx ca = [] {
        auto opened = OpenPfx(SignerFile(SignerKind::Aes256), kSignerPassword);
        if (!opened) {
            throw std::runtime_error("the RSA CA's signing file does not open");
        }
        return std::move(*opened);
    }();
    return ca;
}

std::string DerOf(PKCS12* p12) {
    unsigned char* der = nullptr;
    const int size = i2d_PKCS12(p12, &der);
    std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(size > 0 ? size : 0));
    OPENSSL_free(der);
    return bytes;
}

// The RSA CA as PBES2/AES-256 throughout with a 2048-iteration MAC, after `parts` and `mac` had
// their way with it: the MAC is computed before `mac` runs, so a changed count is never computed.
std::string Crafted(const std::function<void(STACK_OF(PKCS7) *)>& parts,
                    const std::function<void(PKCS12*)>& mac) {
    const OpenedPfx& ca = RsaCaPfx();
    Pkcs12Ptr made(PKCS12_create_ex(kPassword, "Test CA", ca.key.get(), ca.cert.get(), nullptr,
                                    NID_aes_256_cbc, NID_aes_256_cbc, 2048, -1, 0, nullptr, nullptr));
    Pkcs7StackPtr safes(made ? PKCS12_unpack_authsafes(made.get()) : nullptr);
    if (!safes) {
        throw std::runtime_error("crafting a signing file failed");
    }
    parts(safes.get());
    Pkcs12Ptr p12(PKCS12_init(NID_pkcs7_data));
    if (!p12 || PKCS12_pack_authsafes(p12.get(), safes.get()) != 1 ||
        PKCS12_set_mac(p12.get(), kPassword, -1, nullptr, 0, 2048, nullptr) != 1) {
        throw std::runtime_error("crafting a signing file failed");
    }
    mac(p12.get());
    return DerOf(p12.get());
}

void SetPbkdf2Iterations(X509_ALGOR* algorithm, long count) {
    auto* pbes2 =
        static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter));
    auto* kdf = static_cast<PBKDF2PARAM*>(
        ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbes2->keyfunc->parameter));
    ASN1_INTEGER_set(kdf->iter, count);
    ASN1_TYPE_pack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), kdf, &pbes2->keyfunc->parameter);
    ASN1_TYPE_pack_sequence(ASN1_ITEM_rptr(PBE2PARAM), pbes2, &algorithm->parameter);
    PBKDF2PARAM_free(kdf);
    PBE2PARAM_free(pbes2);
}

void KeyIterations(STACK_OF(PKCS7) * safes, long count) {
    for (int i = 0; i < sk_PKCS7_num(safes); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes, i);
        if (OBJ_obj2nid(safe->type) != NID_pkcs7_data) {
            continue;
        }
        SafeBagStackPtr bags(PKCS12_unpack_p7data(safe));
        for (int j = 0; j < sk_PKCS12_SAFEBAG_num(bags.get()); ++j) {
            const X509_SIG* shrouded = PKCS12_SAFEBAG_get0_pkcs8(sk_PKCS12_SAFEBAG_value(bags.get(), j));
            if (shrouded != nullptr) {
                X509_ALGOR* algorithm = nullptr;
                X509_SIG_getm(const_cast<X509_SIG*>(shrouded), &algorithm, nullptr);
                SetPbkdf2Iterations(algorithm, count);
            }
        }
        sk_PKCS7_set(safes, i, PKCS12_pack_p7data(bags.get()));
        PKCS7_free(safe);
    }
}

void CertificateIterations(STACK_OF(PKCS7) * safes, long count) {
    for (int i = 0; i < sk_PKCS7_num(safes); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes, i);
        if (OBJ_obj2nid(safe->type) == NID_pkcs7_encrypted) {
            SetPbkdf2Iterations(safe->d.encrypted->enc_data->algorithm, count);
        }
    }
}

void MacIterations(PKCS12* p12, long count) {
    const ASN1_INTEGER* iterations = nullptr;
    PKCS12_get0_mac(nullptr, nullptr, nullptr, &iterations, p12);
    ASN1_INTEGER_set(const_cast<ASN1_INTEGER*>(iterations), count);
}

struct CostCase {
    const char* name;
    std::function<std::string()> make;
    std::string refusal;  // the count and what it protects
};

void PrintTo(const CostCase& row, std::ostream* out) {
    *out << row.name;
}

class CostTest : public testing::TestWithParam<CostCase> {};

// Unbounded, 2^31-1 MAC iterations keep a load busy for about three minutes before it can say the
// password is wrong; ctest's timeout for these tests is far below that.
TEST_P(CostTest, RefusesBeforeDerivingAndNamesTheCount) {
    TempDir dir;
    const std::string path = dir.File("costly.pfx");
    WriteFileBytes(path, GetParam().make());
    Component component;
    EXPECT_EQ(component.Load(path, kPassword), CERTMGR_FAILED);
    EXPECT_NE(component.Error().find(GetParam().refusal), std::string::npos) << component.Error();
}

const auto kNothing = [](auto*) {};

INSTANTIATE_TEST_SUITE_P(
    CertMgr, CostTest,
    testing::Values(
        CostCase{"Mac", [] { return Crafted(kNothing, [](PKCS12* p12) { MacIterations(p12, 2147483647); }); },
                 "2147483647 iterations to derive the key of its integrity check (MAC)"},
        CostCase{
            "KeyBag",
            [] { return Crafted([](STACK_OF(PKCS7) * safes) { KeyIterations(safes, 10000001); }, kNothing); },
            "10000001 iterations to derive the key of its private key"},
        CostCase{"CertificatePart",
                 [] {
                     return Crafted([](STACK_OF(PKCS7) * safes) { CertificateIterations(safes, 10000001); },
                                    kNothing);
                 },
                 "10000001 iterations to derive the key of its certificates"}),
    [](const testing::TestParamInfo<CostCase>& info) { return info.param.name; });

int Run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A .pfx of the RSA CA made by the openssl command, with `options` choosing its protection.
std::string OpensslPfx(const TempDir& dir, const std::string& options) {
    const OpenedPfx& ca = RsaCaPfx();
    const std::string cert = dir.File("ca.pem");
    const std::string key = dir.File("ca.key");
    const std::string out = dir.File("openssl.pfx");
    WritePem(cert, ca.cert.get());
    // The key stays encrypted on disk, as any key should.
    BIO* bio = BIO_new_file(key.c_str(), "w");
    const bool written =
        bio != nullptr && PEM_write_bio_PrivateKey(bio, ca.key.get(), EVP_aes_256_cbc(), nullptr, 0, nullptr,
                                                   const_cast<char*>("key-pass")) == 1;
    BIO_free(bio);
    if (!written ||
        Run("openssl pkcs12 -export " + options + " -in " + Quote(cert) + " -inkey " + Quote(key) +
            " -passin pass:key-pass -passout pass:" + kPassword + " -out " + Quote(out)) != 0) {
        ADD_FAILURE() << "openssl pkcs12 -export " << options << " failed";
    }
    return out;
}

class LegacyCipherTest : public testing::TestWithParam<const char*> {};

// Each decrypts in the component's own context, where the legacy provider is.
TEST_P(LegacyCipherTest, KeyAndCertificatesLoadAndSign) {
    TempDir dir;
    const std::string algorithm = GetParam();
    const std::string path = OpensslPfx(dir, "-legacy -keypbe " + algorithm + " -certpbe " + algorithm);
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Load(path, kPassword), CERTMGR_OK) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=legacy.example", 2), 0) << component.Error();
    auto issued = ExportAndOpen(component, dir);
    ASSERT_TRUE(issued);
    EXPECT_TRUE(VerifiesWith(issued->cert.get(), X509_get0_pubkey(RsaCaPfx().cert.get())));
}

INSTANTIATE_TEST_SUITE_P(CertMgr, LegacyCipherTest,
                         testing::Values("PBE-SHA1-RC2-40", "PBE-SHA1-RC2-128", "PBE-SHA1-RC4-128",
                                         "PBE-SHA1-RC4-40", "des-cbc", "PBE-MD5-DES"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// Without a MAC, the key's decryption and its match with the certificate prove the password.
TEST(CertMgrReading, FileWithoutMacLoadsWithItsPasswordOnly) {
    TempDir dir;
    const std::string path = OpensslPfx(dir, "-nomac");
    Component component;
    EXPECT_EQ(component.Load(path, "Other-Pass-9"), CERTMGR_WRONG_PASSWORD) << component.Error();
    EXPECT_NE(component.Error().find("is wrong"), std::string::npos) << component.Error();
    EXPECT_EQ(component.Load(path, kPassword), CERTMGR_OK) << component.Error();
}

TEST(CertMgrReading, RefusesDataAfterThePkcs12Content) {
    TempDir dir;
    const std::string path = dir.File("trailing.pfx");
    WriteFileBytes(path, ReadFileBytes(SignerFile(SignerKind::Aes256)) + "extra");
    Component component;
    EXPECT_EQ(component.Load(path, kSignerPassword), CERTMGR_FAILED);
    EXPECT_NE(component.Error().find("5 bytes follow the end"), std::string::npos) << component.Error();
}

// Copying every certificate of the signing file would put unrelated ones, thousands from a large
// store, into each issued file.
TEST(CertMgrReading, IssuedFileCarriesOnlyTheSignersIssuers) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::WithUnrelated), kSignerPassword), 0) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=issued.example", 3), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    ExpectIntermediateChain(pfx->chain.get());
}

// open() on a FIFO without a writer would wait for one forever.
TEST(CertMgrReading, FifoAsSigningFileFailsAtOnce) {
    TempDir dir;
    const std::string path = dir.File("signer.pfx");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    Component component;
    EXPECT_EQ(component.Load(path, kSignerPassword), CERTMGR_FAILED);
    EXPECT_NE(component.Error().find("not a regular file"), std::string::npos) << component.Error();
}

struct ResultCase {
    const char* name;
    SignerKind kind;
    std::string password;
    std::int32_t result;
};

void PrintTo(const ResultCase& row, std::ostream* out) {
    *out << row.name;
}

class ResultTest : public testing::TestWithParam<ResultCase> {};

// Only a password that does not open the file gives CERTMGR_WRONG_PASSWORD.
TEST_P(ResultTest, TellsAWrongPasswordFromOtherFailures) {
    Component component;
    EXPECT_EQ(component.Load(SignerFile(GetParam().kind), GetParam().password), GetParam().result)
        << component.Error();
}

INSTANTIATE_TEST_SUITE_P(
    CertMgr, ResultTest,
    testing::Values(ResultCase{"Right", SignerKind::Aes256, kSignerPassword, CERTMGR_OK},
                    ResultCase{"Wrong", SignerKind::Aes256, "Wrong-Pass-2", CERTMGR_WRONG_PASSWORD},
                    ResultCase{"WrongForRc2", SignerKind::Rc2, "Wrong-Pass-2", CERTMGR_WRONG_PASSWORD},
                    ResultCase{"EmptyForProtected", SignerKind::TripleDes, "", CERTMGR_WRONG_PASSWORD},
                    ResultCase{"GivenForEmpty", SignerKind::EmptyPassword, "Wrong-Pass-2",
                               CERTMGR_WRONG_PASSWORD},
                    ResultCase{"NotPkcs12", SignerKind::NotPkcs12, kSignerPassword, CERTMGR_FAILED},
                    ResultCase{"Truncated", SignerKind::Truncated, kSignerPassword, CERTMGR_FAILED},
                    ResultCase{"NoKey", SignerKind::NoKey, kSignerPassword, CERTMGR_FAILED},
                    ResultCase{"NotCa", SignerKind::NotCa, kSignerPassword, CERTMGR_FAILED}),
    [](const testing::TestParamInfo<ResultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace certmgr_test
