// SPDX-License-Identifier: Apache-2.0
// Owning pointers for the OpenSSL objects the component uses: one line per type, so no path can
// forget a free. Key material and big numbers go through the clearing free functions.
#pragma once

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace certmgr {

template <typename T, void (*Free)(T*)>
struct OsslDeleter {
    void operator()(T* p) const noexcept { Free(p); }
};

template <typename T, void (*Free)(T*)>
using OsslPtr = std::unique_ptr<T, OsslDeleter<T, Free>>;

inline void FreeX509Stack(STACK_OF(X509) * s) {
    sk_X509_pop_free(s, X509_free);
}

using X509Ptr = OsslPtr<X509, X509_free>;
using X509NamePtr = OsslPtr<X509_NAME, X509_NAME_free>;
using X509ExtPtr = OsslPtr<X509_EXTENSION, X509_EXTENSION_free>;
using X509StackPtr = OsslPtr<STACK_OF(X509), FreeX509Stack>;
using EvpPkeyPtr = OsslPtr<EVP_PKEY, EVP_PKEY_free>;  // frees key material with clearing
using EvpPkeyCtxPtr = OsslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using EvpMdCtxPtr = OsslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;
using EvpMdPtr = OsslPtr<EVP_MD, EVP_MD_free>;
using BignumPtr = OsslPtr<BIGNUM, BN_clear_free>;
using Asn1IntegerPtr = OsslPtr<ASN1_INTEGER, ASN1_INTEGER_free>;
using Asn1TimePtr = OsslPtr<ASN1_TIME, ASN1_TIME_free>;
using Asn1StringPtr = OsslPtr<ASN1_STRING, ASN1_STRING_free>;
using BasicConstraintsPtr = OsslPtr<BASIC_CONSTRAINTS, BASIC_CONSTRAINTS_free>;
using GeneralNamePtr = OsslPtr<GENERAL_NAME, GENERAL_NAME_free>;
using GeneralNamesPtr = OsslPtr<GENERAL_NAMES, GENERAL_NAMES_free>;
using Pkcs12Ptr = OsslPtr<PKCS12, PKCS12_free>;
using LibCtxPtr = OsslPtr<OSSL_LIB_CTX, OSSL_LIB_CTX_free>;

}  // namespace certmgr
