// SPDX-License-Identifier: Apache-2.0
#include "pkcs12.h"

#include "errors.h"

namespace certmgr {

namespace {

Pkcs12Ptr Decode(OSSL_LIB_CTX* libctx, const std::string& der, const std::string& file) {
    // Decoding into an object made for our context keeps the decryption in that context, where the
    // legacy provider lives.
    PKCS12* raw = PKCS12_init_ex(NID_pkcs7_data, libctx, nullptr);
    if (raw == nullptr) {
        FailOssl("The signing certificate file " + file + " could not be read");
    }
    const auto* in = reinterpret_cast<const unsigned char*>(der.data());
    Pkcs12Ptr p12(d2i_PKCS12(&raw, &in, static_cast<long>(der.size())));  // frees `raw` itself on failure
    if (!p12) {
        const OsslError error = TakeOsslError();
        if (error.reason == OsslReason::OutOfMemory) {
            Fail("The signing certificate file " + file + " could not be read: " + PlainReason(error) + ".");
        }
        Fail("The signing certificate file " + file + " is not a PKCS #12 (.pfx) file.");
    }
    return p12;
}

// Checks the MAC before anything is decrypted, so a wrong password is told apart from a file that is
// damaged or uses an algorithm we lack. Returns the password that fits: files made with an empty
// password differ in whether they took it as empty or as absent.
const char* CheckPassword(PKCS12* p12, const char* password, const std::string& file) {
    const bool empty = *password == '\0';
    if (!PKCS12_mac_present(p12)) {
        return empty ? nullptr : password;
    }
    if (!empty && PKCS12_verify_mac(p12, password, -1) == 1) {
        return password;
    }
    if (empty && PKCS12_verify_mac(p12, nullptr, 0) == 1) {
        return nullptr;
    }
    if (empty && PKCS12_verify_mac(p12, "", 0) == 1) {
        return "";
    }
    const OsslError error = TakeOsslError();
    if (error.reason == OsslReason::WrongPassword || error.reason == OsslReason::None) {
        Fail("The password of the signing certificate file " + file +
             " is wrong: the file's integrity check (MAC) did not verify with it.");
    }
    Fail("The integrity check (MAC) of the signing certificate file " + file +
         " could not be computed: " + PlainReason(error) + ".");
}

[[noreturn]] void FailParse(const CryptoContext& context, const std::string& file) {
    const OsslError error = TakeOsslError();
    switch (error.reason) {
        case OsslReason::Unsupported:
            if (!context.HasLegacy()) {
                Fail("The signing certificate file " + file +
                     " is protected with an old algorithm (such as RC2 or 40-bit encryption) that needs "
                     "OpenSSL's legacy provider, which is not installed on this system.");
            }
            Fail("The signing certificate file " + file +
                 " is protected with an algorithm that this system's OpenSSL does not support (" +
                 error.detail + ").");
        case OsslReason::WrongPassword:
            Fail("The signing certificate file " + file +
                 " could not be decrypted: the password is wrong or the file is damaged.");
        case OsslReason::OutOfMemory:
            Fail("The signing certificate file " + file + " could not be read: " + PlainReason(error) + ".");
        default:
            Fail("The signing certificate file " + file + " is damaged: " + PlainReason(error) + ".");
    }
}

}  // namespace

Identity DecodePkcs12(const CryptoContext& context, const std::string& der, const std::string& path,
                      const char* password) {
    const std::string file = Quoted(path);
    Pkcs12Ptr p12 = Decode(context.Get(), der, file);
    const char* fitting = CheckPassword(p12.get(), password, file);

    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    STACK_OF(X509)* others = nullptr;
    if (PKCS12_parse(p12.get(), fitting, &key, &cert, &others) != 1) {
        FailParse(context, file);
    }
    Identity identity{X509Ptr(cert), EvpPkeyPtr(key), X509StackPtr(others)};
    if (!identity.chain) {
        identity.chain.reset(sk_X509_new_null());
        if (!identity.chain) {
            FailOssl("The signing certificate file " + file + " could not be read");
        }
    }
    if (!identity.key) {
        Fail("The signing certificate file " + file +
             " holds no private key, so it cannot sign certificates.");
    }
    if (!identity.cert) {
        Fail("The signing certificate file " + file +
             (sk_X509_num(identity.chain.get()) == 0
                  ? std::string(" holds no certificate.")
                  : std::string(" holds no certificate that matches its private key.")));
    }
    return identity;
}

}  // namespace certmgr
