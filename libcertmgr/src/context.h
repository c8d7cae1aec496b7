// SPDX-License-Identifier: Apache-2.0
// The component's own OpenSSL library context, so that loading the legacy provider for old .pfx
// files changes nothing in the OpenSSL state of the program that loads the component.
#pragma once

#include "ossl.h"

#include <openssl/provider.h>

#include <string>

namespace certmgr {

class CryptoContext {
public:
    // The one context of the process, made on first use and shared by every instance: providers,
    // fetched algorithms and the random generator are set up once, not once per instance. It is
    // never freed, so an instance destroyed late during exit still finds it.
    static const CryptoContext& Shared();

    CryptoContext(const CryptoContext&) = delete;
    CryptoContext& operator=(const CryptoContext&) = delete;

    OSSL_LIB_CTX* Get() const { return m_libctx.get(); }
    bool Ready() const { return m_startError.empty(); }
    const std::string& StartError() const { return m_startError; }
    // Without it, RC2 and the other old algorithms of older .pfx files are missing.
    bool HasLegacy() const { return m_legacy != nullptr; }

private:
    // Never fails outright: what went wrong is kept in StartError, and every method reports it.
    CryptoContext();

    struct Unload {
        void operator()(OSSL_PROVIDER* provider) const noexcept { OSSL_PROVIDER_unload(provider); }
    };
    using ProviderPtr = std::unique_ptr<OSSL_PROVIDER, Unload>;

    // Declared first, so the providers are unloaded before their context is freed.
    LibCtxPtr m_libctx;
    ProviderPtr m_default;
    ProviderPtr m_legacy;
    std::string m_startError;
};

}  // namespace certmgr
