// SPDX-License-Identifier: Apache-2.0
// Owner of one certificate-manager instance: creates it, wraps each method the tool
// uses, and destroys it. The component's functions are bound at link time.
#pragma once

#include <cstdint>
#include <string>

class CCertMgr {
public:
    CCertMgr();
    virtual ~CCertMgr();
    CCertMgr(const CCertMgr&) = delete;
    CCertMgr& operator=(const CCertMgr&) = delete;

    // Each returns the component's result unchanged: 0 for success.
    std::int32_t ApplySetting(const std::string& setting);
    std::int32_t CreateSelfSigned(const std::string& subject, std::uint32_t serialNumber);
    std::int32_t DiscardCertificate();
    std::int32_t ExportToFile(const std::string& file, const std::string& password);
    std::int32_t LoadSigningCertificate(const std::string& file, const std::string& password,
                                        const std::string& third);
    std::int32_t IssueSigned(const std::string& subject, std::uint32_t serialNumber);

    // A copy of the component's text for its most recent failure.
    std::string GetLastErrorText() const;

    // Event handlers; the result goes back to the component. The tool reacts to no event.
    virtual std::int32_t OnComponentEvent1(std::intptr_t* params);
    virtual std::int32_t OnComponentEvent2(std::intptr_t* params);
    virtual std::int32_t OnComponentEvent3(std::intptr_t* params);
    virtual std::int32_t OnComponentEvent4(std::intptr_t* params);
    virtual std::int32_t OnComponentEvent5(std::intptr_t* params);

private:
    void* m_handle;
};

// Passed to the component at creation; context is the owning CCertMgr.
extern "C" std::int32_t ComponentEventSink(void* context, std::int32_t event, std::int32_t count,
                                           std::intptr_t* params, std::intptr_t* lengths);
