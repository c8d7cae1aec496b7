// SPDX-License-Identifier: Apache-2.0
#include "pfx.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <stdexcept>

namespace certmgr_test {

namespace {

Pkcs12Ptr ReadPkcs12(const std::string& path) {
    const std::string der = ReadFileBytes(path);
    const auto* in = reinterpret_cast<const unsigned char*>(der.data());
    return Pkcs12Ptr(d2i_PKCS12(nullptr, &in, static_cast<long>(der.size())));
}

std::string DescribeAlgorithm(const X509_ALGOR* algorithm) {
    const ASN1_OBJECT* oid = nullptr;
    const void* parameter = nullptr;
    int parameterType = 0;
    X509_ALGOR_get0(&oid, &parameterType, &parameter, algorithm);
    const int nid = OBJ_obj2nid(oid);
    const auto* type = static_cast<const ASN1_TYPE*>(algorithm->parameter);
    if (nid == NID_pbes2) {
        auto* pbe2 = static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), type));
        if (pbe2 == nullptr) {
            return "PBES2/unreadable";
        }
        std::string text = "PBES2/";
        if (OBJ_obj2nid(pbe2->keyfunc->algorithm) == NID_id_pbkdf2) {
            auto* kdf = static_cast<PBKDF2PARAM*>(
                ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbe2->keyfunc->parameter));
            const int prf =
                kdf != nullptr && kdf->prf != nullptr ? OBJ_obj2nid(kdf->prf->algorithm) : NID_hmacWithSHA1;
            text += std::string("PBKDF2/") + OBJ_nid2sn(OBJ_obj2nid(pbe2->encryption->algorithm)) + "/" +
                    OBJ_nid2sn(prf) + "/" + std::to_string(kdf != nullptr ? ASN1_INTEGER_get(kdf->iter) : -1);
            PBKDF2PARAM_free(kdf);
        } else {
            text += OBJ_nid2sn(OBJ_obj2nid(pbe2->keyfunc->algorithm));
        }
        PBE2PARAM_free(pbe2);
        return text;
    }
    auto* pbe = static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), type));
    std::string text = std::string(OBJ_nid2sn(nid)) + "/" +
                       std::to_string(pbe != nullptr ? ASN1_INTEGER_get(pbe->iter) : -1);
    PBEPARAM_free(pbe);
    return text;
}

}  // namespace

std::optional<OpenedPfx> OpenPfx(const std::string& path, const std::string& password) {
    Pkcs12Ptr p12 = ReadPkcs12(path);
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    STACK_OF(X509)* chain = nullptr;
    if (!p12 || PKCS12_parse(p12.get(), password.c_str(), &key, &cert, &chain) != 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    OpenedPfx opened{
        EvpPkeyPtr(key), X509Ptr(cert), X509StackPtr(chain != nullptr ? chain : sk_X509_new_null()), {}};
    int length = 0;
    if (cert != nullptr) {
        const unsigned char* alias = X509_alias_get0(cert, &length);
        opened.friendlyName.assign(reinterpret_cast<const char*>(alias), alias != nullptr ? length : 0);
    }
    return opened;
}

PfxProtection DescribePfx(const std::string& path) {
    Pkcs12Ptr p12 = ReadPkcs12(path);
    if (!p12) {
        throw std::runtime_error("not a PKCS #12 file: " + path);
    }
    PfxProtection protection;
    const ASN1_OCTET_STRING* mac = nullptr;
    const X509_ALGOR* macAlgorithm = nullptr;
    const ASN1_OCTET_STRING* salt = nullptr;
    const ASN1_INTEGER* iterations = nullptr;
    PKCS12_get0_mac(&mac, &macAlgorithm, &salt, &iterations, p12.get());
    if (macAlgorithm != nullptr) {
        protection.macDigest = OBJ_nid2sn(OBJ_obj2nid(macAlgorithm->algorithm));
        protection.macIterations = iterations != nullptr ? ASN1_INTEGER_get(iterations) : 1;
    }
    STACK_OF(PKCS7)* safes = PKCS12_unpack_authsafes(p12.get());
    for (int i = 0; i < sk_PKCS7_num(safes); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes, i);
        if (OBJ_obj2nid(safe->type) == NID_pkcs7_encrypted) {
            protection.certificates = DescribeAlgorithm(safe->d.encrypted->enc_data->algorithm);
        } else if (OBJ_obj2nid(safe->type) == NID_pkcs7_data) {
            STACK_OF(PKCS12_SAFEBAG)* bags = PKCS12_unpack_p7data(safe);
            for (int j = 0; j < sk_PKCS12_SAFEBAG_num(bags); ++j) {
                const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, j);
                if (PKCS12_SAFEBAG_get_nid(bag) == NID_pkcs8ShroudedKeyBag) {
                    const X509_ALGOR* algorithm = nullptr;
                    X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
                    protection.key = DescribeAlgorithm(algorithm);
                } else if (PKCS12_SAFEBAG_get_nid(bag) == NID_keyBag) {
                    protection.key = "unencrypted";
                }
            }
            sk_PKCS12_SAFEBAG_pop_free(bags, PKCS12_SAFEBAG_free);
        }
    }
    sk_PKCS7_pop_free(safes, PKCS7_free);
    return protection;
}

std::string NameEntry(X509_NAME* name, int nid) {
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0) {
        return {};
    }
    const ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(data)),
                       static_cast<std::size_t>(ASN1_STRING_length(data)));
}

std::string Pem(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(size));
    BIO_free(bio);
    return text;
}

void WritePem(const std::string& path, X509* cert) {
    WriteFileBytes(path, Pem(cert));
}

bool VerifiesWith(X509* cert, EVP_PKEY* key) {
    return X509_verify(cert, key) == 1;
}

std::vector<std::string> AltNamesOf(X509* cert) {
    std::vector<std::string> names;
    GeneralNamesPtr list(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; i < sk_GENERAL_NAME_num(list.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(list.get(), i);
        int type = 0;
        const auto* value = static_cast<const ASN1_STRING*>(GENERAL_NAME_get0_value(name, &type));
        const auto* bytes = ASN1_STRING_get0_data(value);
        const int size = ASN1_STRING_length(value);
        if (type == GEN_DNS) {
            names.push_back(
                "DNS:" + std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)));
        } else if (type == GEN_IPADD) {
            char text[INET6_ADDRSTRLEN] = {};
            inet_ntop(size == 4 ? AF_INET : AF_INET6, bytes, text, sizeof text);
            names.push_back(std::string("IP:") + text);
        } else {
            names.push_back("other:" + std::to_string(type));
        }
    }
    return names;
}

std::pair<int, int> ValidityOf(X509* cert) {
    int days = -1;
    int seconds = -1;
    ASN1_TIME_diff(&days, &seconds, X509_get0_notBefore(cert), X509_get0_notAfter(cert));
    return {days, seconds};
}

int KeyBits(EVP_PKEY* key) {
    return EVP_PKEY_get_bits(key);
}

std::optional<OpenedPfx> ExportAndOpen(Component& component, const TempDir& dir, const std::string& name,
                                       const std::string& password) {
    const std::string path = dir.File(name);
    if (component.Export(path, password) != 0) {
        ADD_FAILURE() << "export failed: " << component.Error();
        return std::nullopt;
    }
    auto opened = OpenPfx(path, password);
    if (!opened) {
        ADD_FAILURE() << "the exported file does not open with its password";
    }
    return opened;
}

}  // namespace certmgr_test
