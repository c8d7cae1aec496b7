// SPDX-License-Identifier: Apache-2.0
#include "certificate.h"

#include "errors.h"
#include "signer.h"

#include <openssl/rand.h>

#include <ctime>
#include <optional>
#include <string>

namespace certmgr {

namespace {

// Seconds before the moment of making that a certificate is already valid.
constexpr long kClockSkew = 5 * 60;

void AddExtension(X509* cert, X509V3_CTX* v3, int nid, const char* value) {
    X509ExtPtr extension(X509V3_EXT_nconf_nid(nullptr, v3, nid, value));
    if (!extension || X509_add_ext(cert, extension.get(), -1) != 1) {
        FailOssl(std::string("The certificate's ") + OBJ_nid2ln(nid) + " extension could not be made");
    }
}

// Built from structures rather than a configuration text, so no name can smuggle in other entries.
void AddAltNames(X509* cert, const std::vector<AltName>& names) {
    GeneralNamesPtr list(GENERAL_NAMES_new());
    if (!list) {
        FailOssl("The subject alternative names could not be made");
    }
    for (const AltName& name : names) {
        GeneralNamePtr entry(GENERAL_NAME_new());
        const bool dns = name.kind == AltName::Kind::Dns;
        Asn1StringPtr value(dns ? ASN1_IA5STRING_new() : ASN1_OCTET_STRING_new());
        if (!entry || !value ||
            ASN1_STRING_set(value.get(), name.value.data(), static_cast<int>(name.value.size())) != 1) {
            FailOssl("The subject alternative names could not be made");
        }
        GENERAL_NAME_set0_value(entry.get(), dns ? GEN_DNS : GEN_IPADD, value.release());
        if (sk_GENERAL_NAME_push(list.get(), entry.get()) == 0) {
            FailOssl("The subject alternative names could not be made");
        }
        entry.release();
    }
    if (X509_add1_ext_i2d(cert, NID_subject_alt_name, list.get(), 0, X509V3_ADD_DEFAULT) != 1) {
        FailOssl("The subject alternative name extension could not be made");
    }
}

std::vector<AltName> AltNamesFor(const Subject& subject, const Settings& settings) {
    if (settings.altNames) {
        return *settings.altNames;
    }
    std::vector<AltName> names;
    if (auto name = AltNameOf(subject.commonName)) {
        names.push_back(std::move(*name));
    }
    return names;
}

// SHA-256 wherever the key's scheme takes a digest; Ed25519 and Ed448 sign with their own.
void Sign(X509* cert, EVP_PKEY* key, OSSL_LIB_CTX* libctx) {
    char mandatory[64] = {};
    const char* digest = "SHA256";
    if (EVP_PKEY_get_default_digest_name(key, mandatory, sizeof mandatory) == 2) {
        digest = std::string(mandatory) == "UNDEF" ? nullptr : mandatory;
    }
    EvpMdCtxPtr ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestSignInit_ex(ctx.get(), nullptr, digest, libctx, nullptr, key, nullptr) != 1 ||
        X509_sign_ctx(cert, ctx.get()) <= 0) {
        FailOssl("The certificate could not be signed");
    }
}

}  // namespace

X509StackPtr ShareCertificates(const STACK_OF(X509) * certs) {
    X509StackPtr shared(certs != nullptr ? X509_chain_up_ref(const_cast<STACK_OF(X509)*>(certs))
                                         : sk_X509_new_null());
    if (!shared) {
        FailOssl("The certificate chain could not be kept");
    }
    return shared;
}

Asn1IntegerPtr ChooseSerial(OSSL_LIB_CTX* libctx, std::uint32_t requested) {
    Asn1IntegerPtr serial(ASN1_INTEGER_new());
    if (!serial) {
        FailOssl("The serial number could not be made");
    }
    if (requested != 0) {
        if (ASN1_INTEGER_set_uint64(serial.get(), requested) != 1) {
            FailOssl("The serial number could not be made");
        }
        return serial;
    }
    // 16 random bytes with the top bit cleared: positive, and at most 16 bytes once DER-encoded, well
    // within the 20 that RFC 5280 allows. A zero is drawn again rather than patched.
    unsigned char bytes[16];
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (RAND_bytes_ex(libctx, bytes, sizeof bytes, 0) != 1) {
            FailOssl("No random serial number could be drawn");
        }
        bytes[0] &= 0x7F;
        const BignumPtr number(BN_bin2bn(bytes, sizeof bytes, nullptr));
        if (!number) {
            FailOssl("The serial number could not be made");
        }
        if (!BN_is_zero(number.get())) {
            if (BN_to_ASN1_INTEGER(number.get(), serial.get()) == nullptr) {
                FailOssl("The serial number could not be made");
            }
            return serial;
        }
    }
    Fail("The random generator gave only zeros; no serial number could be drawn.");
}

X509StackPtr ChainFrom(const Identity& issuer) {
    X509StackPtr chain = ShareCertificates(issuer.chain.get());
    if (X509_up_ref(issuer.cert.get()) != 1) {
        FailOssl("The certificate chain could not be kept");
    }
    X509Ptr reference(issuer.cert.get());
    if (sk_X509_insert(chain.get(), reference.get(), 0) == 0) {
        FailOssl("The certificate chain could not be kept");
    }
    reference.release();  // the chain holds it now
    return chain;
}

X509Ptr BuildCertificate(OSSL_LIB_CTX* libctx, const Subject& subject, const ASN1_INTEGER* serial,
                         std::time_t now, const Settings& settings, EVP_PKEY* key, const Identity* issuer) {
    CheckEndsInTime(now, settings.validityDays);
    X509Ptr cert(X509_new_ex(libctx, nullptr));
    if (!cert || X509_set_version(cert.get(), X509_VERSION_3) != 1 ||
        X509_set_serialNumber(cert.get(), const_cast<ASN1_INTEGER*>(serial)) != 1 ||
        X509_set_subject_name(cert.get(), subject.name.get()) != 1 ||
        X509_set_issuer_name(cert.get(), issuer != nullptr ? X509_get_subject_name(issuer->cert.get())
                                                           : subject.name.get()) != 1 ||
        X509_time_adj_ex(X509_getm_notBefore(cert.get()), 0, -kClockSkew, &now) == nullptr ||
        X509_time_adj_ex(X509_getm_notAfter(cert.get()), static_cast<int>(settings.validityDays), 0, &now) ==
            nullptr ||
        X509_set_pubkey(cert.get(), key) != 1) {
        FailOssl("The certificate could not be built");
    }

    X509V3_CTX v3;
    X509V3_set_ctx(&v3, issuer != nullptr ? issuer->cert.get() : cert.get(), cert.get(), nullptr, nullptr, 0);
    if (settings.authority) {
        // Below a signer, as long a path as the signer and the authorities above it still allow.
        const std::optional<long> pathLength = issuer != nullptr ? PathLengthBelow(*issuer) : std::nullopt;
        const std::string constraints =
            "critical,CA:TRUE" + (pathLength ? ",pathlen:" + std::to_string(*pathLength) : std::string());
        AddExtension(cert.get(), &v3, NID_basic_constraints, constraints.c_str());
        AddExtension(cert.get(), &v3, NID_key_usage, "critical,digitalSignature,keyCertSign,cRLSign");
    } else {
        // An end entity: browsers refuse a certificate authority as a web site's certificate, and whoever
        // trusts this one trusts nothing else its key might sign.
        AddExtension(cert.get(), &v3, NID_basic_constraints, "critical,CA:FALSE");
        AddExtension(cert.get(), &v3, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        AddExtension(cert.get(), &v3, NID_ext_key_usage, "serverAuth,clientAuth");
    }
    AddExtension(cert.get(), &v3, NID_subject_key_identifier, "hash");
    if (issuer != nullptr) {
        // The issuer's key identifier when it has one, its name and serial number otherwise.
        AddExtension(cert.get(), &v3, NID_authority_key_identifier, "keyid,issuer");
    } else if (settings.authority) {
        // Its own key identifier, added above, is the one to point at.
        AddExtension(cert.get(), &v3, NID_authority_key_identifier, "keyid:always");
    }
    const std::vector<AltName> altNames = AltNamesFor(subject, settings);
    if (!altNames.empty()) {
        AddAltNames(cert.get(), altNames);
    }
    Sign(cert.get(), issuer != nullptr ? issuer->key.get() : key, libctx);
    return cert;
}

X509Ptr NamesOnly(const Subject& subject, const Settings& settings) {
    X509Ptr cert(X509_new());
    if (!cert || X509_set_subject_name(cert.get(), subject.name.get()) != 1) {
        FailOssl("The certificate's names could not be checked");
    }
    const std::vector<AltName> altNames = AltNamesFor(subject, settings);
    if (!altNames.empty()) {
        AddAltNames(cert.get(), altNames);
    }
    // OpenSSL's name-constraint checks read the names from the extension cache, which the first query
    // fills: the names are complete now.
    X509_get_extension_flags(cert.get());
    return cert;
}

}  // namespace certmgr
