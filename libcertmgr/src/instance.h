// SPDX-License-Identifier: Apache-2.0
// One component instance: its settings, the signing certificate loaded, the certificate made
// last, and the text of the last failure. The OpenSSL context is shared; see CryptoContext::Shared.
#pragma once

#include "context.h"
#include "fileio.h"
#include "identity.h"
#include "settings.h"

#include <certmgr.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace certmgr {

class Instance {
public:
    Instance(CertMgrEventSink sink, void* context);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // Tells an instance from a stray pointer handed to the C functions, as far as that can be told.
    bool IsInstance() const { return m_magic == kMagic; }

    // Claims the instance for one call; false while another thread is inside one.
    bool Enter() noexcept { return !m_busy.exchange(true, std::memory_order_acquire); }
    void Leave() noexcept { m_busy.store(false, std::memory_order_release); }

    void ApplySetting(const char* text);
    void Make(const char* subject, std::uint32_t serial, bool issued);
    void Discard();
    void Export(const char* path, const char* password);
    void LoadSigner(const char* path, const char* password);

    void SetError(const char* text) noexcept;
    // Valid until the next call on the instance; a success leaves it as it was.
    const char* ErrorText() const noexcept {
        return m_errorFallback != nullptr ? m_errorFallback : m_error.c_str();
    }

private:
    // Tells the caller, through its event sink, of a certificate that clients will refuse for some use.
    void Warn(const std::string& text) const;
    static constexpr std::uint64_t kMagic = 0x43657274'4D677231ULL;

    const CryptoContext& Crypto() const;

    std::uint64_t m_magic = kMagic;
    std::atomic<bool> m_busy{false};
    // Told about the progress of key generation, and may cancel it.
    CertMgrEventSink m_sink;
    void* m_context;
    Settings m_settings;
    std::optional<Identity> m_signer;
    FileIdentity m_signerFile;  // where m_signer came from, so that no export replaces it
    std::optional<Identity> m_current;
    std::string m_currentName;  // the friendly name the current certificate is exported with
    std::string m_error;
    const char* m_errorFallback = nullptr;
};

}  // namespace certmgr
