// SPDX-License-Identifier: Apache-2.0
#include "certificate.h"

#include "errors.h"

#include <ctime>
#include <string>

namespace certmgr {

namespace {

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

void CheckSerialAndValidity(std::uint32_t serial, const Settings& settings) {
    if (serial == 0) {
        Fail("The serial number must be 1 or more: a certificate's serial number is a positive number.");
    }
    if (!EndsInTime(std::time(nullptr), settings.validityDays)) {
        Fail("A validity of " + std::to_string(settings.validityDays) +
             " days would end the certificate after 9999-12-31, the last date a certificate can hold.");
    }
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

X509Ptr BuildCertificate(OSSL_LIB_CTX* libctx, const Subject& subject, std::uint32_t serial,
                         const Settings& settings, EVP_PKEY* key, const Identity* issuer) {
    CheckSerialAndValidity(serial, settings);
    std::time_t now = std::time(nullptr);
    X509Ptr cert(X509_new_ex(libctx, nullptr));
    if (!cert || X509_set_version(cert.get(), X509_VERSION_3) != 1 ||
        ASN1_INTEGER_set_uint64(X509_get_serialNumber(cert.get()), serial) != 1 ||
        X509_set_subject_name(cert.get(), subject.name.get()) != 1 ||
        X509_set_issuer_name(cert.get(), issuer != nullptr ? X509_get_subject_name(issuer->cert.get())
                                                           : subject.name.get()) != 1 ||
        X509_time_adj_ex(X509_getm_notBefore(cert.get()), 0, 0, &now) == nullptr ||
        X509_time_adj_ex(X509_getm_notAfter(cert.get()), static_cast<int>(settings.validityDays), 0, &now) ==
            nullptr ||
        X509_set_pubkey(cert.get(), key) != 1) {
        FailOssl("The certificate could not be built");
    }

    X509V3_CTX v3;
    X509V3_set_ctx(&v3, issuer != nullptr ? issuer->cert.get() : cert.get(), cert.get(), nullptr, nullptr, 0);
    if (issuer == nullptr) {
        AddExtension(cert.get(), &v3, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(cert.get(), &v3, NID_key_usage,
                     "critical,digitalSignature,keyEncipherment,keyCertSign,cRLSign");
        AddExtension(cert.get(), &v3, NID_subject_key_identifier, "hash");
        // Its own key identifier, added above, is the one to point at.
        AddExtension(cert.get(), &v3, NID_authority_key_identifier, "keyid:always");
    } else {
        AddExtension(cert.get(), &v3, NID_basic_constraints, "critical,CA:FALSE");
        AddExtension(cert.get(), &v3, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        AddExtension(cert.get(), &v3, NID_ext_key_usage, "serverAuth,clientAuth");
        AddExtension(cert.get(), &v3, NID_subject_key_identifier, "hash");
        // The issuer's key identifier when it has one, its name and serial number otherwise.
        AddExtension(cert.get(), &v3, NID_authority_key_identifier, "keyid,issuer");
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
