// SPDX-License-Identifier: Apache-2.0
#include "context.h"

#include "errors.h"

#include <mutex>

namespace certmgr {

const CryptoContext& CryptoContext::Shared() {
    static std::once_flag once;
    static const CryptoContext* shared = nullptr;
    std::call_once(once, [] { shared = new CryptoContext; });
    return *shared;
}

CryptoContext::CryptoContext() : m_libctx(OSSL_LIB_CTX_new()) {
    if (!m_libctx) {
        m_startError = "OpenSSL could not set up its library context: " + PlainReason(TakeOsslError()) + ".";
        return;
    }
    m_default.reset(OSSL_PROVIDER_load(m_libctx.get(), "default"));
    if (!m_default) {
        m_startError =
            "OpenSSL's default provider could not be loaded: " + PlainReason(TakeOsslError()) + ".";
        return;
    }
    m_legacy.reset(OSSL_PROVIDER_load(m_libctx.get(), "legacy"));
    if (!m_legacy) {
        TakeOsslError();  // only the files that need it will fail, and they say why
    }
}

}  // namespace certmgr
