// SPDX-License-Identifier: Apache-2.0
#include "signers.h"

#include "ossl.h"
#include "pfx.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/provider.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

namespace certmgr_test {

namespace {

struct CertSpec {
    std::string commonName;
    const char* basicConstraints = "critical,CA:TRUE";  // nullptr: none
    const char* keyUsage = "critical,keyCertSign,cRLSign,digitalSignature";
    long fromDays = -1;
    long toDays = 3650;  // outlives what the tests issue below it
    long toSeconds = 0;
    const char* nameConstraints = nullptr;
    bool version1 = false;  // no extensions at all
};

void Check(bool ok, const char* what) {
    if (!ok) {
        ERR_print_errors_fp(stderr);
        throw std::runtime_error(std::string("making a signing file failed: ") + what);
    }
}

class Factory {
public:
    Factory() : m_libctx(OSSL_LIB_CTX_new()) {
        // The legacy provider's own folder, named outright: the tests that hide it from the component
        // still need it here to write an RC2 file.
        OSSL_PROVIDER_set_default_search_path(m_libctx.get(), OPENSSL_info(OPENSSL_INFO_MODULES_DIR));
        m_default = OSSL_PROVIDER_load(m_libctx.get(), "default");
        m_legacy = OSSL_PROVIDER_load(m_libctx.get(), "legacy");
        Check(m_default != nullptr && m_legacy != nullptr, "providers");
    }
    ~Factory() {
        m_files.clear();
        m_certs.clear();
        m_keys.clear();
        OSSL_PROVIDER_unload(m_legacy);
        OSSL_PROVIDER_unload(m_default);
    }

    const std::string& File(SignerKind kind) {
        auto found = m_files.find(kind);
        if (found == m_files.end()) {
            // Kinds made from other kinds' files keep what those were written with to themselves.
            X509* outer = std::exchange(m_lastSigner, nullptr);
            found = m_files.emplace(kind, Make(kind)).first;
            m_signers[kind] = std::exchange(m_lastSigner, outer);
        }
        return found->second;
    }

    X509* Cert(const std::string& name) {
        File(name == "root" ? SignerKind::Intermediate : SignerKind::Aes256);
        return m_certs.at(name).get();
    }

    X509* SignerCert(SignerKind kind) {
        File(kind);
        return m_signers.at(kind);
    }

private:
    EVP_PKEY* Key(const std::string& name, bool ec) {
        auto found = m_keys.find(name);
        if (found == m_keys.end()) {
            EVP_PKEY* key = ec ? EVP_PKEY_Q_keygen(m_libctx.get(), nullptr, "EC", "P-256")
                               : EVP_PKEY_Q_keygen(m_libctx.get(), nullptr, "RSA", static_cast<size_t>(1024));
            Check(key != nullptr, "key");
            found = m_keys.emplace(name, EvpPkeyPtr(key)).first;
        }
        return found->second.get();
    }

    X509* MakeCert(const std::string& name, EVP_PKEY* key, const CertSpec& spec, X509* issuer,
                   EVP_PKEY* issuerKey) {
        X509Ptr cert(X509_new_ex(m_libctx.get(), nullptr));
        X509_NAME* subject = X509_get_subject_name(cert.get());
        Check(X509_set_version(cert.get(), spec.version1 ? X509_VERSION_1 : X509_VERSION_3) == 1 &&
                  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()),
                                   static_cast<long>(m_certs.size() + 100)) == 1 &&
                  X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_UTF8,
                                             reinterpret_cast<const unsigned char*>("Ombrel Tests"), -1, -1,
                                             0) == 1 &&
                  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                             reinterpret_cast<const unsigned char*>(spec.commonName.c_str()),
                                             -1, -1, 0) == 1 &&
                  X509_set_issuer_name(cert.get(),
                                       issuer != nullptr ? X509_get_subject_name(issuer) : subject) == 1 &&
                  X509_time_adj_ex(X509_getm_notBefore(cert.get()), static_cast<int>(spec.fromDays), 0,
                                   nullptr) &&
                  X509_time_adj_ex(X509_getm_notAfter(cert.get()), static_cast<int>(spec.toDays),
                                   spec.toSeconds, nullptr) &&
                  X509_set_pubkey(cert.get(), key) == 1,
              "certificate fields");
        X509V3_CTX v3;
        X509V3_set_ctx(&v3, issuer != nullptr ? issuer : cert.get(), cert.get(), nullptr, nullptr, 0);
        auto add = [&](int nid, const char* value) {
            if (value != nullptr) {
                X509_EXTENSION* extension = X509V3_EXT_nconf_nid(nullptr, &v3, nid, value);
                Check(extension != nullptr && X509_add_ext(cert.get(), extension, -1) == 1, "extension");
                X509_EXTENSION_free(extension);
            }
        };
        if (!spec.version1) {
            add(NID_basic_constraints, spec.basicConstraints);
            add(NID_key_usage, spec.keyUsage);
            add(NID_subject_key_identifier, "hash");
            add(NID_name_constraints, spec.nameConstraints);
        }
        Check(X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0, "signature");
        return m_certs.emplace(name, std::move(cert)).first->second.get();
    }

    std::string Write(const std::string& fileName, const char* password, EVP_PKEY* key, X509* cert,
                      STACK_OF(X509) * chain, int keyCipher, int certCipher) {
        m_lastSigner = cert;
        Pkcs12Ptr p12(PKCS12_create_ex(password, "Test CA", key, cert, chain, keyCipher, certCipher,
                                       PKCS12_DEFAULT_ITER, -1, 0, m_libctx.get(), nullptr));
        Check(p12 != nullptr, "PKCS #12");
        Check(PKCS12_set_mac(p12.get(), password, password != nullptr ? -1 : 0, nullptr, 0,
                             PKCS12_DEFAULT_ITER, nullptr) == 1,
              "MAC");
        unsigned char* der = nullptr;
        const int size = i2d_PKCS12(p12.get(), &der);
        Check(size > 0, "encoding");
        const std::string path = m_dir.File(fileName);
        WriteFileBytes(path, std::string(reinterpret_cast<char*>(der), static_cast<std::size_t>(size)));
        OPENSSL_free(der);
        return path;
    }

    X509* Root() {
        if (!m_certs.count("root")) {
            MakeCert("root", Key("root", true), {"Test Root CA"}, nullptr, nullptr);
        }
        return m_certs.at("root").get();
    }
    EVP_PKEY* IntermediateKey() { return Key("intermediate", true); }
    X509* Intermediate() {
        if (!m_certs.count("intermediate")) {
            MakeCert("intermediate", IntermediateKey(), {"Test Intermediate CA"}, Root(), Key("root", true));
        }
        return m_certs.at("intermediate").get();
    }
    // A stack that holds its own references, as PKCS12_create takes it.
    static X509StackPtr Stack(std::initializer_list<X509*> certs) {
        X509StackPtr stack(sk_X509_new_null());
        for (X509* cert : certs) {
            X509_up_ref(cert);
            sk_X509_push(stack.get(), cert);
        }
        return stack;
    }

    std::string Make(SignerKind kind) {
        const int aes = NID_aes_256_cbc;
        const int des = NID_pbe_WithSHA1And3_Key_TripleDES_CBC;
        auto rsaCa = [&] {
            EVP_PKEY* key = Key("rsa", false);
            X509* cert = m_certs.count("rsa") ? m_certs.at("rsa").get()
                                              : MakeCert("rsa", key, {"Test RSA CA"}, nullptr, nullptr);
            return std::make_pair(key, cert);
        };
        switch (kind) {
            case SignerKind::Aes256: {
                auto [key, cert] = rsaCa();
                return Write("aes256.pfx", kSignerPassword, key, cert, nullptr, aes, aes);
            }
            case SignerKind::TripleDes: {
                auto [key, cert] = rsaCa();
                return Write("3des.pfx", kSignerPassword, key, cert, nullptr, des, des);
            }
            case SignerKind::Rc2: {
                auto [key, cert] = rsaCa();
                return Write("rc2.pfx", kSignerPassword, key, cert, nullptr, des,
                             NID_pbe_WithSHA1And40BitRC2_CBC);
            }
            case SignerKind::EmptyPassword: {
                auto [key, cert] = rsaCa();
                return Write("empty-password.pfx", "", key, cert, nullptr, des, des);
            }
            case SignerKind::AbsentPassword: {
                auto [key, cert] = rsaCa();
                return Write("absent-password.pfx", nullptr, key, cert, nullptr, des, des);
            }
            case SignerKind::Ec: {
                EVP_PKEY* key = Key("ec", true);
                return Write("ec.pfx", kSignerPassword, key,
                             MakeCert("ec", key, {"Test EC CA"}, nullptr, nullptr), nullptr, aes, aes);
            }
            case SignerKind::Intermediate:
                return Write("intermediate.pfx", kSignerPassword, IntermediateKey(), Intermediate(),
                             Stack({Root()}).get(), aes, aes);
            case SignerKind::WithUnrelated: {
                auto [key, cert] = rsaCa();
                return Write("with-unrelated.pfx", kSignerPassword, IntermediateKey(), Intermediate(),
                             Stack({cert, Root()}).get(), aes, aes);
            }
            case SignerKind::BadSignature: {
                CertSpec spec{"Test Intermediate CA"};
                X509* damaged = MakeCert("damaged", IntermediateKey(), spec, Root(), Key("root", true));
                const ASN1_BIT_STRING* signature = nullptr;
                X509_get0_signature(&signature, nullptr, damaged);
                // The last byte of the signature value, so the certificate still decodes.
                auto* bits = const_cast<ASN1_BIT_STRING*>(signature);
                bits->data[bits->length - 1] ^= 0x01;
                return Write("bad-signature.pfx", kSignerPassword, IntermediateKey(), damaged,
                             Stack({Root()}).get(), aes, aes);
            }
            case SignerKind::Version1Root: {
                EVP_PKEY* key = Key("ec", true);
                CertSpec spec{"Test Version 1 Root"};
                spec.version1 = true;
                return Write("version1.pfx", kSignerPassword, key,
                             MakeCert("version1", key, spec, nullptr, nullptr), nullptr, aes, aes);
            }
            case SignerKind::NameConstrained: {
                EVP_PKEY* key = Key("rsa", false);
                CertSpec spec{"Test Constrained CA"};
                spec.nameConstraints = "critical,permitted;DNS:example.com,excluded;DNS:bad.example.com";
                return Write("constrained.pfx", kSignerPassword, key,
                             MakeCert("constrained", key, spec, nullptr, nullptr), nullptr, aes, aes);
            }
            case SignerKind::PathLength0:
            case SignerKind::PathLength1: {
                const bool zero = kind == SignerKind::PathLength0;
                EVP_PKEY* key = Key("ec", true);
                CertSpec spec{zero ? "Test Path Length 0 CA" : "Test Path Length 1 CA",
                              zero ? "critical,CA:TRUE,pathlen:0" : "critical,CA:TRUE,pathlen:1"};
                const std::string name = zero ? "pathlen0" : "pathlen1";
                return Write(name + ".pfx", kSignerPassword, key, MakeCert(name, key, spec, nullptr, nullptr),
                             nullptr, aes, aes);
            }
            case SignerKind::BelowPathLength1: {
                EVP_PKEY* rootKey = Key("rsa", false);
                X509* root =
                    MakeCert("pathlen1-root", rootKey,
                             {"Test Path Length 1 Root", "critical,CA:TRUE,pathlen:1"}, nullptr, nullptr);
                X509* below = MakeCert("below-pathlen1", IntermediateKey(),
                                       {"Test Unlimited Intermediate CA"}, root, rootKey);
                return Write("below-pathlen1.pfx", kSignerPassword, IntermediateKey(), below,
                             Stack({root}).get(), aes, aes);
            }
            case SignerKind::ShortLived: {
                EVP_PKEY* key = Key("ec", true);
                CertSpec spec{"Test Short-Lived CA"};
                spec.toDays = 79;
                spec.toSeconds = 12 * 3600;  // half a day from any day boundary, so the days left are sure
                return Write("short-lived.pfx", kSignerPassword, key,
                             MakeCert("short-lived", key, spec, nullptr, nullptr), nullptr, aes, aes);
            }
            case SignerKind::NoKey: {
                auto [key, cert] = rsaCa();
                return Write("no-key.pfx", kSignerPassword, nullptr, cert, nullptr, aes, aes);
            }
            case SignerKind::NotCa: {
                EVP_PKEY* key = Key("ec", true);
                CertSpec spec{"Test Leaf", "critical,CA:FALSE", "critical,digitalSignature"};
                return Write("not-ca.pfx", kSignerPassword, key,
                             MakeCert("not-ca", key, spec, nullptr, nullptr), nullptr, aes, aes);
            }
            case SignerKind::NoCertSign: {
                EVP_PKEY* key = Key("ec", true);
                CertSpec spec{"Test No Cert Sign", "critical,CA:TRUE", "critical,digitalSignature,cRLSign"};
                return Write("no-cert-sign.pfx", kSignerPassword, key,
                             MakeCert("no-cert-sign", key, spec, nullptr, nullptr), nullptr, aes, aes);
            }
            case SignerKind::NoBasicConstraints: {
                EVP_PKEY* key = Key("ec", true);
                CertSpec spec{"Test No Basic Constraints", nullptr};
                return Write("no-basic-constraints.pfx", kSignerPassword, key,
                             MakeCert("no-basic-constraints", key, spec, nullptr, nullptr), nullptr, aes,
                             aes);
            }
            case SignerKind::Expired: {
                EVP_PKEY* key = Key("ec", true);
                CertSpec spec{"Test Expired CA"};
                spec.fromDays = -30;
                spec.toDays = -1;
                return Write("expired.pfx", kSignerPassword, key,
                             MakeCert("expired", key, spec, nullptr, nullptr), nullptr, aes, aes);
            }
            case SignerKind::Mismatch: {
                auto [rsaKey, rsaCert] = rsaCa();
                X509StackPtr others(sk_X509_new_null());
                X509_up_ref(rsaCert);
                sk_X509_push(others.get(), rsaCert);
                return Write("mismatch.pfx", kSignerPassword, Key("ec", true), nullptr, others.get(), aes,
                             aes);
            }
            case SignerKind::NotPkcs12: {
                auto [key, cert] = rsaCa();
                const std::string path = m_dir.File("certificate.pem");
                WritePem(path, cert);
                return path;
            }
            case SignerKind::EmptyFile: {
                const std::string path = m_dir.File("empty.pfx");
                WriteFileBytes(path, "");
                return path;
            }
            case SignerKind::Truncated: {
                const std::string good = ReadFileBytes(File(SignerKind::Aes256));
                const std::string path = m_dir.File("truncated.pfx");
                WriteFileBytes(path, good.substr(0, good.size() / 2));
                return path;
            }
        }
        throw std::logic_error("unknown signer kind");
    }

    TempDir m_dir;
    LibCtxPtr m_libctx;
    OSSL_PROVIDER* m_default = nullptr;
    OSSL_PROVIDER* m_legacy = nullptr;
    std::map<std::string, EvpPkeyPtr> m_keys;
    std::map<std::string, X509Ptr> m_certs;
    std::map<SignerKind, std::string> m_files;
    std::map<SignerKind, X509*> m_signers;  // owned by m_certs; null for kinds without one
    X509* m_lastSigner = nullptr;
};

Factory& TheFactory() {
    static Factory factory;
    return factory;
}

}  // namespace

const std::string& SignerFile(SignerKind kind) {
    return TheFactory().File(kind);
}

X509* IntermediateRoot() {
    return TheFactory().Cert("root");
}

X509* RsaCa() {
    return TheFactory().Cert("rsa");
}

X509* SignerCertificate(SignerKind kind) {
    return TheFactory().SignerCert(kind);
}

void ExpectIntermediateChain(const STACK_OF(X509) * chain) {
    ASSERT_EQ(sk_X509_num(chain), 2);
    EXPECT_EQ(NameEntry(X509_get_subject_name(sk_X509_value(chain, 0)), NID_commonName), "Test Intermediate CA");
    EXPECT_EQ(X509_cmp(sk_X509_value(chain, 1), IntermediateRoot()), 0);
}

}  // namespace certmgr_test
