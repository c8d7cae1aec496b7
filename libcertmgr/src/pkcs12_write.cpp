// SPDX-License-Identifier: Apache-2.0
#include "pkcs12.h"

#include "errors.h"

namespace certmgr {

namespace {

// Copies of the chain without friendly names or local key IDs: PKCS12_create would carry over what the
// certificates hold, and readers take a certificate with the key's ID for the key's own certificate.
X509StackPtr BareChain(const STACK_OF(X509) * chain) {
    X509StackPtr bare(sk_X509_new_null());
    if (!bare) {
        FailOssl("The certificate chain could not be kept");
    }
    for (int i = 0; i < sk_X509_num(chain); ++i) {
        X509Ptr copy(X509_dup(sk_X509_value(chain, i)));
        if (!copy || X509_alias_set1(copy.get(), nullptr, 0) != 1 ||
            X509_keyid_set1(copy.get(), nullptr, 0) != 1 || sk_X509_push(bare.get(), copy.get()) == 0) {
            FailOssl("The certificate chain could not be kept");
        }
        copy.release();  // the stack holds it now
    }
    return bare;
}

}  // namespace

std::string EncodePkcs12(OSSL_LIB_CTX* libctx, PfxFormat format, const char* password,
                         const std::string& friendlyName, const Identity& identity) {
    const bool aes = format == PfxFormat::Aes256;
    const int cipher = aes ? NID_aes_256_cbc : NID_pbe_WithSHA1And3_Key_TripleDES_CBC;
    const X509StackPtr chain = BareChain(identity.chain.get());
    // A MAC iteration count of -1 leaves the MAC out here: PKCS12_create would use 1 iteration and SHA-1.
    Pkcs12Ptr p12(PKCS12_create_ex(password, friendlyName.c_str(), identity.key.get(), identity.cert.get(),
                                   chain.get(), cipher, cipher, PKCS12_DEFAULT_ITER, -1, 0, libctx, nullptr));
    if (!p12) {
        FailOssl("The PKCS #12 file could not be built");
    }
    EvpMdPtr digest(EVP_MD_fetch(libctx, aes ? "SHA256" : "SHA1", nullptr));
    if (!digest ||
        PKCS12_set_mac(p12.get(), password, -1, nullptr, 0, PKCS12_DEFAULT_ITER, digest.get()) != 1) {
        FailOssl("The PKCS #12 file's integrity check (MAC) could not be made");
    }
    const int size = i2d_PKCS12(p12.get(), nullptr);
    if (size <= 0) {
        FailOssl("The PKCS #12 file could not be encoded");
    }
    std::string der(static_cast<std::size_t>(size), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    if (i2d_PKCS12(p12.get(), &out) != size) {
        FailOssl("The PKCS #12 file could not be encoded");
    }
    return der;
}

}  // namespace certmgr
