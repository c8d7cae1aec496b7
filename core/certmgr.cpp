// SPDX-License-Identifier: Apache-2.0
#include "core/certmgr.h"

#include <certmgr.h>

#include <array>
#include <cstddef>

namespace {

std::intptr_t TextParam(const std::string& text) {
    return reinterpret_cast<std::intptr_t>(text.c_str());
}

// Builds the two arrays of one call on the stack: the parameters closed by a 0 entry,
// and as many lengths, all 0, since every text is zero-terminated.
template <typename... Params>
std::int32_t Invoke(void* handle, std::int32_t method, Params... params) {
    constexpr std::size_t count = sizeof...(Params);
    std::array<std::intptr_t, count + 1> values{params..., 0};
    std::array<std::intptr_t, count + 1> lengths{};
    return CertMgr_Do(handle, method, static_cast<std::int32_t>(count), values.data(), lengths.data());
}

}  // namespace

CCertMgr::CCertMgr() : m_handle(CertMgr_Create(&ComponentEventSink, this)) {}

CCertMgr::~CCertMgr() {
    CertMgr_Destroy(m_handle);
}

std::int32_t CCertMgr::ApplySetting(const std::string& setting) {
    return Invoke(m_handle, CERTMGR_APPLY_SETTING, TextParam(setting));
}

std::int32_t CCertMgr::CreateSelfSigned(const std::string& subject, std::uint32_t serialNumber) {
    return Invoke(m_handle, CERTMGR_CREATE_SELF_SIGNED, TextParam(subject),
                  static_cast<std::intptr_t>(serialNumber));
}

std::int32_t CCertMgr::DiscardCertificate() {
    return Invoke(m_handle, CERTMGR_DISCARD_CERTIFICATE);
}

std::int32_t CCertMgr::ExportToFile(const std::string& file, const std::string& password) {
    return Invoke(m_handle, CERTMGR_EXPORT_TO_FILE, TextParam(file), TextParam(password));
}

std::int32_t CCertMgr::LoadSigningCertificate(const std::string& file, const std::string& password,
                                              const std::string& third) {
    return Invoke(m_handle, CERTMGR_LOAD_SIGNING_CERTIFICATE, TextParam(file), TextParam(password),
                  TextParam(third));
}

std::int32_t CCertMgr::IssueSigned(const std::string& subject, std::uint32_t serialNumber) {
    return Invoke(m_handle, CERTMGR_ISSUE_SIGNED, TextParam(subject),
                  static_cast<std::intptr_t>(serialNumber));
}

std::string CCertMgr::GetLastErrorText() const {
    const char* text = CertMgr_GetLastError(m_handle);
    return text != nullptr ? std::string(text) : std::string();
}

std::int32_t CCertMgr::OnComponentEvent1(std::intptr_t*) {
    return 0;
}
std::int32_t CCertMgr::OnComponentEvent2(std::intptr_t*) {
    return 0;
}
std::int32_t CCertMgr::OnComponentEvent3(std::intptr_t*) {
    return 0;
}
std::int32_t CCertMgr::OnComponentEvent4(std::intptr_t*) {
    return 0;
}
std::int32_t CCertMgr::OnComponentEvent5(std::intptr_t*) {
    return 0;
}

extern "C" std::int32_t ComponentEventSink(void* context, std::int32_t event, std::int32_t /*count*/,
                                           std::intptr_t* params, std::intptr_t* lengths) {
    auto* owner = static_cast<CCertMgr*>(context);
    // The component is C: an exception from a handler must not unwind through it.
    try {
        switch (event) {
            case 1:
                // Puts the length of the first parameter where the handler can read it.
                params[6] = lengths[0];
                return owner->OnComponentEvent1(params);
            case 2:
                params[5] = lengths[0];
                return owner->OnComponentEvent2(params);
            case 3:
                return owner->OnComponentEvent3(params);
            case 4:
                return owner->OnComponentEvent4(params);
            case 5:
                return owner->OnComponentEvent5(params);
            default:
                return 0;
        }
    } catch (...) {
        return -1;
    }
}
