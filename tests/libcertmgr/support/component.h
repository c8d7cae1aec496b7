// SPDX-License-Identifier: Apache-2.0
// Drives the component through its four C functions with the same arrays that the tool's owner
// builds: count + 1 parameters closed by 0, and as many lengths, all 0.
#pragma once

#include <certmgr.h>

#include <cstdint>
#include <string>
#include <vector>

namespace certmgr_test {

inline std::intptr_t TextArg(const std::string& text) {
    return reinterpret_cast<std::intptr_t>(text.c_str());
}

class Component {
public:
    Component() : m_handle(CertMgr_Create(nullptr, nullptr)) {}
    Component(CertMgrEventSink sink, void* context) : m_handle(CertMgr_Create(sink, context)) {}
    ~Component() { CertMgr_Destroy(m_handle); }
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    void* Handle() const { return m_handle; }

    std::int32_t Do(std::int32_t method, std::vector<std::intptr_t> params) {
        const auto count = static_cast<std::int32_t>(params.size());
        params.push_back(0);
        std::vector<std::intptr_t> lengths(params.size(), 0);
        return CertMgr_Do(m_handle, method, count, params.data(), lengths.data());
    }

    std::int32_t Apply(const std::string& setting) { return Do(CERTMGR_APPLY_SETTING, {TextArg(setting)}); }
    std::int32_t CreateSelfSigned(const std::string& subject, std::uint32_t serial) {
        return Do(CERTMGR_CREATE_SELF_SIGNED, {TextArg(subject), static_cast<std::intptr_t>(serial)});
    }
    std::int32_t IssueSigned(const std::string& subject, std::uint32_t serial) {
        return Do(CERTMGR_ISSUE_SIGNED, {TextArg(subject), static_cast<std::intptr_t>(serial)});
    }
    std::int32_t Export(const std::string& path, const std::string& password) {
        return Do(CERTMGR_EXPORT_TO_FILE, {TextArg(path), TextArg(password)});
    }
    std::int32_t Load(const std::string& path, const std::string& password) {
        static const std::string kEmpty;
        return Do(CERTMGR_LOAD_SIGNING_CERTIFICATE, {TextArg(path), TextArg(password), TextArg(kEmpty)});
    }
    std::int32_t Discard() { return Do(CERTMGR_DISCARD_CERTIFICATE, {}); }

    std::string Error() const { return CertMgr_GetLastError(m_handle); }

private:
    void* m_handle;
};

// Subject texts as the tool composes them.
std::string SubjectText(const std::string& c, const std::string& st, const std::string& l,
                        const std::string& o, const std::string& ou, const std::string& cn);

}  // namespace certmgr_test
