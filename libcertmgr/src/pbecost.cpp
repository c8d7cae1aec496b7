// SPDX-License-Identifier: Apache-2.0
#include "pbecost.h"

#include "errors.h"

#include <openssl/crypto.h>

namespace certmgr {

namespace {

using Pbe2ParamPtr = OsslPtr<PBE2PARAM, PBE2PARAM_free>;
using Pbkdf2ParamPtr = OsslPtr<PBKDF2PARAM, PBKDF2PARAM_free>;
using PbeParamPtr = OsslPtr<PBEPARAM, PBEPARAM_free>;
using ScryptParamsPtr = OsslPtr<SCRYPT_PARAMS, SCRYPT_PARAMS_free>;

// What OpenSSL allows for scrypt's memory in a PKCS #12 file (32 MiB) lets N·r reach 2^18; the
// limit on N·r·p keeps the work near that of kMostIterations iterations of PBKDF2.
constexpr std::uint64_t kMostScryptWork = std::uint64_t{1} << 24;

std::string DecimalOf(const ASN1_INTEGER* number) {
    char* text = i2s_ASN1_INTEGER(nullptr, number);
    std::string decimal = text != nullptr ? text : "an unreadable number of";
    OPENSSL_free(text);
    return decimal;
}

[[noreturn]] void FailDamaged(const std::string& file, const std::string& what) {
    Fail("The signing certificate file " + file + " is damaged: the protection of " + what +
         " cannot be read.");
}

void CheckCount(const ASN1_INTEGER* count, const std::string& what, const std::string& file) {
    std::int64_t value = 0;
    if (count == nullptr) {
        FailDamaged(file, what);
    }
    const bool read = ASN1_INTEGER_get_int64(&value, count) == 1;
    if (read && value >= 1 && value <= kMostIterations) {
        return;
    }
    if (ASN1_STRING_type(count) == V_ASN1_NEG_INTEGER || (read && value < 1)) {
        Fail("The signing certificate file " + file + " is damaged: the protection of " + what +
             " has an iteration count of " + DecimalOf(count) + ".");
    }
    Fail("The signing certificate file " + file + " asks for " + DecimalOf(count) +
         " iterations to derive the key of " + what + "; more than " + std::to_string(kMostIterations) +
         " are refused, since they would keep the computer busy for minutes.");
}

void CheckScrypt(const ASN1_TYPE* parameter, const std::string& what, const std::string& file) {
    ScryptParamsPtr scrypt(
        static_cast<SCRYPT_PARAMS*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(SCRYPT_PARAMS), parameter)));
    std::uint64_t n = 0;
    std::uint64_t r = 0;
    std::uint64_t p = 0;
    if (!scrypt || ASN1_INTEGER_get_uint64(&n, scrypt->costParameter) != 1 ||
        ASN1_INTEGER_get_uint64(&r, scrypt->blockSize) != 1 ||
        ASN1_INTEGER_get_uint64(&p, scrypt->parallelizationParameter) != 1) {
        FailDamaged(file, what);
    }
    // Each factor is checked on its own first, so the product cannot overflow.
    if (n <= kMostScryptWork && r <= kMostScryptWork && p <= kMostScryptWork && n * r <= kMostScryptWork &&
        n * r * p <= kMostScryptWork) {
        return;
    }
    Fail("The signing certificate file " + file + " asks for scrypt with N=" + std::to_string(n) +
         ", r=" + std::to_string(r) + " and p=" + std::to_string(p) + " to derive the key of " + what +
         "; a product N·r·p above " + std::to_string(kMostScryptWork) +
         " is refused, since it would keep the computer busy for minutes.");
}

}  // namespace

void CheckMacCost(const PKCS12* p12, const std::string& file) {
    const ASN1_INTEGER* iterations = nullptr;
    PKCS12_get0_mac(nullptr, nullptr, nullptr, &iterations, p12);
    // An absent count means one iteration.
    if (iterations != nullptr) {
        CheckCount(iterations, "its integrity check (MAC)", file);
    }
}

void CheckDecryptionCost(const X509_ALGOR* algorithm, const std::string& what, const std::string& file) {
    if (algorithm == nullptr) {
        FailDamaged(file, what);
    }
    const int nid = OBJ_obj2nid(algorithm->algorithm);
    if (nid == NID_pbes2) {
        Pbe2ParamPtr pbes2(static_cast<PBE2PARAM*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter)));
        if (!pbes2 || pbes2->keyfunc == nullptr) {
            FailDamaged(file, what);
        }
        const int kdf = OBJ_obj2nid(pbes2->keyfunc->algorithm);
        if (kdf == NID_id_pbkdf2) {
            Pbkdf2ParamPtr pbkdf2(static_cast<PBKDF2PARAM*>(
                ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbes2->keyfunc->parameter)));
            if (!pbkdf2) {
                FailDamaged(file, what);
            }
            CheckCount(pbkdf2->iter, what, file);
        } else if (kdf == NID_id_scrypt) {
            CheckScrypt(pbes2->keyfunc->parameter, what, file);
        }
        return;
    }
    // The PBES1 schemes of PKCS #5 and PKCS #12 all take a salt and an iteration count.
    if (EVP_PBE_find(EVP_PBE_TYPE_OUTER, nid, nullptr, nullptr, nullptr) == 1) {
        PbeParamPtr pbe(static_cast<PBEPARAM*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter)));
        if (!pbe) {
            FailDamaged(file, what);
        }
        CheckCount(pbe->iter, what, file);
    }
}

}  // namespace certmgr
