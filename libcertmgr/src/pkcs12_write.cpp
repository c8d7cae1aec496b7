// SPDX-License-Identifier: Apache-2.0
#include "pkcs12.h"

#include "errors.h"

namespace certmgr {

std::string EncodePkcs12(OSSL_LIB_CTX* libctx, PfxFormat format, const char* password,
                         const std::string& friendlyName, const Identity& identity) {
    const bool aes = format == PfxFormat::Aes256;
    const int cipher = aes ? NID_aes_256_cbc : NID_pbe_WithSHA1And3_Key_TripleDES_CBC;
    // A MAC iteration count of -1 leaves the MAC out here: PKCS12_create would use 1 iteration and SHA-1.
    Pkcs12Ptr p12(PKCS12_create_ex(password, friendlyName.c_str(), identity.key.get(), identity.cert.get(),
                                   identity.chain.get(), cipher, cipher, PKCS12_DEFAULT_ITER, -1, 0, libctx,
                                   nullptr));
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
