// SPDX-License-Identifier: Apache-2.0
#include "errors.h"

#include <openssl/asn1err.h>
#include <openssl/err.h>
#include <openssl/evperr.h>
#include <openssl/pkcs12err.h>

namespace certmgr {

namespace {

OsslReason Classify(int lib, int reason) {
    if (reason == ERR_R_MALLOC_FAILURE) {
        return OsslReason::OutOfMemory;
    }
    if (reason == ERR_R_UNSUPPORTED || reason == ERR_R_FETCH_FAILED) {
        return OsslReason::Unsupported;
    }
    if (lib == ERR_LIB_PKCS12) {
        switch (reason) {
            case PKCS12_R_MAC_VERIFY_FAILURE:
                return OsslReason::WrongPassword;
            case PKCS12_R_UNKNOWN_DIGEST_ALGORITHM:
            case PKCS12_R_UNSUPPORTED_PKCS12_MODE:
                return OsslReason::Unsupported;
            default:
                return OsslReason::Other;
        }
    }
    if (lib == ERR_LIB_EVP) {
        switch (reason) {
            case EVP_R_BAD_DECRYPT:
                return OsslReason::WrongPassword;
            case EVP_R_UNSUPPORTED_ALGORITHM:
            case EVP_R_UNSUPPORTED_CIPHER:
            case EVP_R_UNKNOWN_CIPHER:
            case EVP_R_UNKNOWN_DIGEST:
            case EVP_R_UNSUPPORTED_PRF:
            case EVP_R_UNSUPPORTED_KEY_DERIVATION_FUNCTION:
            case EVP_R_UNKNOWN_PBE_ALGORITHM:
            case EVP_R_UNSUPPORTED_KEYLENGTH:
            case EVP_R_UNSUPPORTED_KEY_SIZE:
                return OsslReason::Unsupported;
            default:
                return OsslReason::Other;
        }
    }
    if (lib == ERR_LIB_ASN1) {
        return OsslReason::Malformed;
    }
    return OsslReason::Other;
}

// Of several reasons in the queue the highest-ranked is reported: the one most useful to the user.
int Rank(OsslReason reason) {
    switch (reason) {
        case OsslReason::OutOfMemory:
            return 5;
        case OsslReason::WrongPassword:
            return 4;
        case OsslReason::Unsupported:
            return 3;
        case OsslReason::Malformed:
            return 2;
        case OsslReason::Other:
            return 1;
        case OsslReason::None:
            break;
    }
    return 0;
}

}  // namespace

void Fail(const std::string& text) {
    throw Failure(text);
}

void FailWrongPassword(const std::string& text) {
    throw Failure(text, CERTMGR_WRONG_PASSWORD);
}

OsslError TakeOsslError() {
    OsslError result;
    const char* data = nullptr;
    int flags = 0;
    unsigned long code = 0;
    while ((code = ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags)) != 0) {
        const OsslReason reason = Classify(ERR_GET_LIB(code), ERR_GET_REASON(code));
        if (Rank(reason) > Rank(result.reason)) {
            result.reason = reason;
        }
        if (result.detail.empty()) {
            const char* text = ERR_reason_error_string(code);
            result.detail = text != nullptr ? text : "error " + std::to_string(ERR_GET_REASON(code));
            if ((flags & ERR_TXT_STRING) != 0 && data != nullptr && *data != '\0') {
                result.detail += " (";
                result.detail += data;
                result.detail += ")";
            }
        }
    }
    return result;
}

std::string PlainReason(const OsslError& error) {
    switch (error.reason) {
        case OsslReason::WrongPassword:
            return "the password is wrong";
        case OsslReason::Unsupported:
            return "it needs an algorithm that this system's OpenSSL does not provide (" + error.detail + ")";
        case OsslReason::Malformed:
            return "the data is damaged or not in the expected format (" + error.detail + ")";
        case OsslReason::OutOfMemory:
            return "there is not enough memory";
        case OsslReason::Other:
            return "OpenSSL reported: " + error.detail;
        case OsslReason::None:
            break;
    }
    return "OpenSSL gave no reason";
}

void FailOssl(const std::string& what) {
    Fail(what + ": " + PlainReason(TakeOsslError()) + ".");
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace certmgr
