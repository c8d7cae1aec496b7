// SPDX-License-Identifier: Apache-2.0
// A recording stand-in for the certificate manager's four C functions. It records every
// call in order, answers with scripted results and error texts, can raise events through
// the sink during a call, and tracks which instances are alive.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

enum class Function { Create, Do, GetLastError, Destroy };

struct Call {
    Function function;
    void* handle = nullptr;
    std::int32_t method = 0;
    std::int32_t count = 0;
    // Texts of the method's text parameters, in order; numbers go to `numbers`.
    std::vector<std::string> texts;
    std::vector<std::intptr_t> numbers;
    // Every entry of both arrays, closing entry included.
    std::vector<std::intptr_t> params;
    std::vector<std::intptr_t> lengths;
};

// Raises events through the instance's sink; returns the sink's result.
using RaiseEvent =
    std::function<std::int32_t(std::int32_t event, std::intptr_t* params, std::intptr_t* lengths)>;

class Component {
public:
    static Component& Instance();

    // Forgets every call, script and instance.
    void Reset();

    // Scripts the result of a method; a failing method sets the last-error text given here.
    void SetResult(std::int32_t method, std::int32_t result, const std::string& error = {});
    // Runs during every call of the method, with a way to raise events.
    void OnCall(std::int32_t method, std::function<void(const RaiseEvent&)> action);

    const std::vector<Call>& Calls() const { return m_calls; }
    // Method numbers of the CertMgr_Do calls, with -1 for CertMgr_GetLastError, in order.
    std::vector<std::int32_t> Sequence() const;
    const std::set<void*>& Alive() const { return m_alive; }
    int Created() const { return m_created; }
    int Destroyed() const { return m_destroyed; }
    // Handles passed to CertMgr_Destroy that were not alive.
    int BadDestroys() const { return m_badDestroys; }

    // The four functions forward here.
    void* Create(std::int32_t (*sink)(void*, std::int32_t, std::int32_t, std::intptr_t*, std::intptr_t*),
                 void* context);
    std::int32_t Do(void* handle, std::int32_t method, std::int32_t count, std::intptr_t* params,
                    std::intptr_t* lengths);
    const char* GetLastError(void* handle);
    std::int32_t Destroy(void* handle);

private:
    struct Live {
        std::int32_t (*sink)(void*, std::int32_t, std::int32_t, std::intptr_t*, std::intptr_t*) = nullptr;
        void* context = nullptr;
        std::string lastError;
    };
    struct Script {
        std::int32_t result = 0;
        std::string error;
        std::function<void(const RaiseEvent&)> action;
    };

    std::vector<Call> m_calls;
    std::map<std::int32_t, Script> m_scripts;
    std::map<void*, Live> m_instances;
    std::set<void*> m_alive;
    std::intptr_t m_nextHandle = 0x1000;
    int m_created = 0;
    int m_destroyed = 0;
    int m_badDestroys = 0;
};

}  // namespace fake
