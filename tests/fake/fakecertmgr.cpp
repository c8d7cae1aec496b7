// SPDX-License-Identifier: Apache-2.0
#include "fakecertmgr.h"

#include <certmgr.h>

namespace fake {

namespace {

// Which parameters of each method are texts; the others are numbers.
std::vector<bool> TextParameters(std::int32_t method) {
    switch (method) {
        case CERTMGR_APPLY_SETTING:
            return {true};
        case CERTMGR_CREATE_SELF_SIGNED:
        case CERTMGR_ISSUE_SIGNED:
            return {true, false};
        case CERTMGR_EXPORT_TO_FILE:
            return {true, true};
        case CERTMGR_LOAD_SIGNING_CERTIFICATE:
            return {true, true, true};
        default:
            return {};
    }
}

}  // namespace

Component& Component::Instance() {
    static Component component;
    return component;
}

void Component::Reset() {
    *this = Component();
}

void Component::SetResult(std::int32_t method, std::int32_t result, const std::string& error) {
    m_scripts[method].result = result;
    m_scripts[method].error = error;
}

void Component::OnCall(std::int32_t method, std::function<void(const RaiseEvent&)> action) {
    m_scripts[method].action = std::move(action);
}

std::vector<std::int32_t> Component::Sequence() const {
    std::vector<std::int32_t> sequence;
    for (const Call& call : m_calls) {
        if (call.function == Function::Do) {
            sequence.push_back(call.method);
        } else if (call.function == Function::GetLastError) {
            sequence.push_back(-1);
        }
    }
    return sequence;
}

void* Component::Create(std::int32_t (*sink)(void*, std::int32_t, std::int32_t, std::intptr_t*,
                                             std::intptr_t*),
                        void* context) {
    void* handle = reinterpret_cast<void*>(m_nextHandle);
    m_nextHandle += 0x10;
    m_instances[handle] = Live{sink, context, {}};
    m_alive.insert(handle);
    ++m_created;
    m_calls.push_back(Call{Function::Create, handle, 0, 0, {}, {}, {}, {}});
    return handle;
}

std::int32_t Component::Do(void* handle, std::int32_t method, std::int32_t count, std::intptr_t* params,
                           std::intptr_t* lengths) {
    Call call{Function::Do, handle, method, count, {}, {}, {}, {}};
    const std::vector<bool> isText = TextParameters(method);
    for (std::int32_t i = 0; i <= count; ++i) {
        call.params.push_back(params[i]);
        call.lengths.push_back(lengths[i]);
        if (i < count && static_cast<std::size_t>(i) < isText.size() && isText[i]) {
            call.texts.emplace_back(reinterpret_cast<const char*>(params[i]));
        } else if (i < count) {
            call.numbers.push_back(params[i]);
        }
    }
    m_calls.push_back(std::move(call));

    Script& script = m_scripts[method];
    auto instance = m_instances.find(handle);
    if (script.action && instance != m_instances.end()) {
        Live& target = instance->second;
        script.action([&target](std::int32_t event, std::intptr_t* eventParams, std::intptr_t* eventLengths) {
            return target.sink(target.context, event, 0, eventParams, eventLengths);
        });
    }
    if (script.result != 0 && instance != m_instances.end()) {
        instance->second.lastError = script.error;
    }
    return script.result;
}

const char* Component::GetLastError(void* handle) {
    m_calls.push_back(Call{Function::GetLastError, handle, 0, 0, {}, {}, {}, {}});
    auto instance = m_instances.find(handle);
    return instance != m_instances.end() ? instance->second.lastError.c_str() : "";
}

std::int32_t Component::Destroy(void* handle) {
    m_calls.push_back(Call{Function::Destroy, handle, 0, 0, {}, {}, {}, {}});
    if (m_alive.erase(handle) == 0) {
        ++m_badDestroys;
    } else {
        ++m_destroyed;
        m_instances.erase(handle);
    }
    return 0;
}

}  // namespace fake

extern "C" {

void* CertMgr_Create(CertMgrEventSink sink, void* context) {
    return fake::Component::Instance().Create(sink, context);
}

int32_t CertMgr_Do(void* handle, int32_t method, int32_t count, intptr_t* params, intptr_t* lengths) {
    return fake::Component::Instance().Do(handle, method, count, params, lengths);
}

const char* CertMgr_GetLastError(void* handle) {
    return fake::Component::Instance().GetLastError(handle);
}

int32_t CertMgr_Destroy(void* handle) {
    return fake::Component::Instance().Destroy(handle);
}

}  // extern "C"
