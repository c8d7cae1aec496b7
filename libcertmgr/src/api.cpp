// SPDX-License-Identifier: Apache-2.0
// The four exported C functions: argument checks, and the one place where failures become the
// instance's error text. No exception leaves these functions.
#include "errors.h"
#include "instance.h"

#include <certmgr.h>

#include <openssl/err.h>

#include <cstdint>
#include <new>
#include <string>

namespace {

using certmgr::Fail;
using certmgr::Instance;

const char kNoInstance[] =
    "No certificate manager instance: the handle is null or not one that CertMgr_Create returned.";

struct Method {
    std::int32_t number;
    const char* name;
    std::int32_t count;
};

constexpr Method kMethods[] = {
    {CERTMGR_APPLY_SETTING, "ApplySetting", 1},
    {CERTMGR_CREATE_SELF_SIGNED, "CreateSelfSigned", 2},
    {CERTMGR_DISCARD_CERTIFICATE, "DiscardCertificate", 0},
    {CERTMGR_EXPORT_TO_FILE, "ExportToFile", 2},
    {CERTMGR_LOAD_SIGNING_CERTIFICATE, "LoadSigningCertificate", 3},
    {CERTMGR_ISSUE_SIGNED, "IssueSigned", 2},
};

const Method& FindMethod(std::int32_t number) {
    for (const Method& method : kMethods) {
        if (method.number == number) {
            return method;
        }
    }
    Fail("Unknown method " + std::to_string(number) + "; the methods are 1, 2, 4, 6, 8 and 10.");
}

const char* Text(const intptr_t* params, int index, const char* what) {
    if (params[index] == 0) {
        Fail(std::string(what) + " is missing: parameter " + std::to_string(index + 1) +
             " is a null pointer.");
    }
    return reinterpret_cast<const char*>(params[index]);
}

// Unsigned 32 bits, taken whether the caller widened it with or without its sign.
std::uint32_t Serial(intptr_t value) {
    const auto wide = static_cast<long long>(value);
    if (wide < INT32_MIN || wide > static_cast<long long>(UINT32_MAX)) {
        Fail("The serial number " + std::to_string(wide) +
             " is out of range: it must be from 1 to 4294967295.");
    }
    return static_cast<std::uint32_t>(wide);
}

void Dispatch(Instance& instance, std::int32_t number, std::int32_t count, const intptr_t* params,
              const intptr_t* lengths) {
    const Method& method = FindMethod(number);
    const std::string called = "Method " + std::to_string(number) + " (" + method.name + ")";
    if (count != method.count) {
        Fail(called + " takes " + std::to_string(method.count) + " parameters, not " + std::to_string(count) +
             ".");
    }
    if (params == nullptr || lengths == nullptr) {
        Fail(called + " needs a parameter array and a length array, each closed by a 0 entry.");
    }
    if (params[count] != 0) {
        Fail(called + " needs its parameter array closed by a 0 entry, at index " + std::to_string(count) +
             ".");
    }
    switch (number) {
        case CERTMGR_APPLY_SETTING:
            instance.ApplySetting(Text(params, 0, "The setting"));
            break;
        case CERTMGR_CREATE_SELF_SIGNED:
        case CERTMGR_ISSUE_SIGNED:
            instance.Make(Text(params, 0, "The subject"), Serial(params[1]), number == CERTMGR_ISSUE_SIGNED);
            break;
        case CERTMGR_DISCARD_CERTIFICATE:
            instance.Discard();
            break;
        case CERTMGR_EXPORT_TO_FILE:
            instance.Export(Text(params, 0, "The output file path"), Text(params, 1, "The password"));
            break;
        case CERTMGR_LOAD_SIGNING_CERTIFICATE:
            // The third text has no meaning yet and is not read.
            instance.LoadSigner(Text(params, 0, "The signing certificate file path"),
                                Text(params, 1, "The signing certificate's password"));
            break;
        default:
            break;
    }
}

void ReportInternal(Instance& instance, const char* what) noexcept {
    try {
        instance.SetError(("Internal error: " + std::string(what)).c_str());
    } catch (...) {
        instance.SetError("Internal error.");
    }
}

Instance* AsInstance(void* handle) {
    auto* instance = static_cast<Instance*>(handle);
    return instance != nullptr && instance->IsInstance() ? instance : nullptr;
}

}  // namespace

extern "C" {

CERTMGR_API void* CertMgr_Create(CertMgrEventSink sink, void* context) {
    try {
        return new Instance(sink, context);
    } catch (...) {
        return nullptr;
    }
}

CERTMGR_API int32_t CertMgr_Do(void* handle, int32_t method, int32_t count, intptr_t* params,
                               intptr_t* lengths) {
    Instance* instance = AsInstance(handle);
    if (instance == nullptr) {
        return 1;
    }
    // Errors left in this thread's queue by earlier calls would blur the reason of this one.
    ERR_clear_error();
    int32_t result = 1;
    try {
        Dispatch(*instance, method, count, params, lengths);
        result = 0;
    } catch (const certmgr::Failure& failure) {
        instance->SetError(failure.what());
        result = failure.Result();
    } catch (const std::bad_alloc&) {
        instance->SetError("Out of memory.");
    } catch (const std::exception& error) {
        ReportInternal(*instance, error.what());
    } catch (...) {
        instance->SetError("Internal error.");
    }
    ERR_clear_error();
    return result;
}

CERTMGR_API const char* CertMgr_GetLastError(void* handle) {
    const Instance* instance = AsInstance(handle);
    return instance != nullptr ? instance->ErrorText() : kNoInstance;
}

CERTMGR_API int32_t CertMgr_Destroy(void* handle) {
    if (handle == nullptr) {
        return 0;
    }
    Instance* instance = AsInstance(handle);
    if (instance == nullptr) {
        return 1;
    }
    delete instance;
    return 0;
}

}  // extern "C"
