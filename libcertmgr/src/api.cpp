// SPDX-License-Identifier: Apache-2.0
// The four exported C functions: argument checks, and the one place where failures become the
// instance's error text. No exception leaves these functions.
#include "errors.h"
#include "instance.h"
#include "keygen.h"
#include "secret.h"

#include <certmgr.h>

#include <openssl/err.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

using certmgr::Fail;
using certmgr::Instance;

const char kNoInstance[] =
    "No certificate manager instance: the handle is null or not one that CertMgr_Create returned.";
const char kBusy[] =
    "The certificate manager instance is busy with a call from another thread; an instance serves one "
    "thread at a time.";

// Far beyond any path, subject, setting or password; a larger length is a mistake, not a text.
constexpr intptr_t kLongestText = 1024 * 1024;

// The instance on which this thread's last call was refused as busy. Its error text is then kBusy,
// so that reading it does not race with the call still running on the other thread.
thread_local const void* t_refusedAsBusy = nullptr;

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

// A text parameter: the caller's own zero-terminated text, or a terminated copy of the counted bytes,
// wiped when the call ends since it may be a password.
class TextParam {
public:
    explicit TextParam(const char* text) : m_text(text) {}
    explicit TextParam(std::string_view bytes) : m_copy(bytes), m_text(m_copy.c_str()) {}
    TextParam(const TextParam&) = delete;
    TextParam& operator=(const TextParam&) = delete;

    const char* c_str() const { return m_text; }

private:
    certmgr::SecretText m_copy;
    const char* m_text;
};

TextParam Text(const intptr_t* params, const intptr_t* lengths, int index, const char* what) {
    if (params[index] == 0) {
        Fail(std::string(what) + " is missing: parameter " + std::to_string(index + 1) +
             " is a null pointer.");
    }
    const auto* text = reinterpret_cast<const char*>(params[index]);
    const intptr_t length = lengths[index];
    if (length == 0) {
        return TextParam(text);
    }
    if (length < 0 || length > kLongestText) {
        Fail(std::string(what) + " has a length of " + std::to_string(length) + " bytes in entry " +
             std::to_string(index) + " of the length array; it must be from 1 to " +
             std::to_string(kLongestText) + ", or 0 for a zero-terminated text.");
    }
    const std::string_view bytes(text, static_cast<std::size_t>(length));
    if (const auto zero = bytes.find('\0'); zero != std::string_view::npos) {
        // Cut there, the text would silently mean something shorter than the caller gave.
        Fail(std::string(what) + " holds a zero byte at byte " + std::to_string(zero + 1) + " of its " +
             std::to_string(length) + "; a text cannot hold one.");
    }
    return TextParam(bytes);
}

// Unsigned 32 bits, taken whether the caller widened it with or without its sign; 0 asks for a random one.
std::uint32_t Serial(intptr_t value) {
    const auto wide = static_cast<long long>(value);
    if (wide < INT32_MIN || wide > static_cast<long long>(UINT32_MAX)) {
        Fail("The serial number " + std::to_string(wide) +
             " is out of range: it must be from 1 to 4294967295, or 0 for a random one.");
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
            instance.ApplySetting(Text(params, lengths, 0, "The setting").c_str());
            break;
        case CERTMGR_CREATE_SELF_SIGNED:
        case CERTMGR_ISSUE_SIGNED:
            instance.Make(Text(params, lengths, 0, "The subject").c_str(), Serial(params[1]),
                          number == CERTMGR_ISSUE_SIGNED);
            break;
        case CERTMGR_DISCARD_CERTIFICATE:
            instance.Discard();
            break;
        case CERTMGR_EXPORT_TO_FILE: {
            const TextParam path = Text(params, lengths, 0, "The output file path");
            const TextParam password = Text(params, lengths, 1, "The password");
            instance.Export(path.c_str(), password.c_str());
            break;
        }
        case CERTMGR_LOAD_SIGNING_CERTIFICATE: {
            // The third text has no meaning yet and is not read.
            const TextParam path = Text(params, lengths, 0, "The signing certificate file path");
            const TextParam password = Text(params, lengths, 1, "The signing certificate's password");
            instance.LoadSigner(path.c_str(), password.c_str());
            break;
        }
        default:
            break;
    }
}

// The calling program's own OpenSSL errors, set aside for the length of a call and put back after it:
// the reasons of a failure are read from a queue that holds the call's errors alone, and the caller
// finds its queue as it left it. A mark alone would not do, since reading errors takes them from the
// bottom of the queue, where the caller's are.
class CallerErrors {
public:
    CallerErrors() noexcept {
        const char* file = nullptr;
        const char* func = nullptr;
        const char* data = nullptr;
        int line = 0;
        int flags = 0;
        unsigned long code = 0;
        while ((code = ERR_get_error_all(&file, &line, &func, &data, &flags)) != 0) {
            try {
                const bool text = (flags & ERR_TXT_STRING) != 0 && data != nullptr;
                m_saved.push_back({code, file != nullptr ? file : "", line, func != nullptr ? func : "", text,
                                   text ? data : ""});
            } catch (...) {
                // Short of memory, the rest is dropped: the call itself matters more.
            }
        }
    }
    ~CallerErrors() {
        ERR_clear_error();
        for (const Saved& error : m_saved) {
            ERR_new();
            ERR_set_debug(error.file.c_str(), error.line, error.func.c_str());
            if (error.hasText) {
                ERR_set_error(ERR_GET_LIB(error.code), ERR_GET_REASON(error.code), "%s", error.text.c_str());
            } else {
                ERR_set_error(ERR_GET_LIB(error.code), ERR_GET_REASON(error.code), nullptr);
            }
        }
    }
    CallerErrors(const CallerErrors&) = delete;
    CallerErrors& operator=(const CallerErrors&) = delete;

private:
    struct Saved {
        unsigned long code;
        std::string file;  // copies: the queue owns its texts and frees them when it is cleared
        int line;
        std::string func;
        bool hasText;
        std::string text;
    };
    std::vector<Saved> m_saved;
};

// Holds the instance for one call.
class Claim {
public:
    explicit Claim(Instance& instance) : m_instance(instance) {}
    ~Claim() { m_instance.Leave(); }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

private:
    Instance& m_instance;
};

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
    t_refusedAsBusy = nullptr;
    Instance* instance = AsInstance(handle);
    if (instance == nullptr) {
        return CERTMGR_FAILED;
    }
    if (!instance->Enter()) {
        // The running call's error text is left alone: it belongs to the other thread.
        t_refusedAsBusy = instance;
        return CERTMGR_BUSY;
    }
    const Claim claim(*instance);
    const CallerErrors callerErrors;
    int32_t result = CERTMGR_FAILED;
    try {
        Dispatch(*instance, method, count, params, lengths);
        result = CERTMGR_OK;
    } catch (const certmgr::Cancelled& cancelled) {
        instance->SetError(cancelled.what());
        result = CERTMGR_CANCELLED;
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
    // An event sink that called back into this instance was refused; this call's text is the one to read.
    t_refusedAsBusy = nullptr;
    return result;
}

CERTMGR_API const char* CertMgr_GetLastError(void* handle) {
    if (handle != nullptr && handle == t_refusedAsBusy) {
        return kBusy;
    }
    const Instance* instance = AsInstance(handle);
    return instance != nullptr ? instance->ErrorText() : kNoInstance;
}

CERTMGR_API int32_t CertMgr_Destroy(void* handle) {
    if (handle == nullptr) {
        return 0;
    }
    Instance* instance = AsInstance(handle);
    if (instance == nullptr) {
        return CERTMGR_FAILED;
    }
    if (!instance->Enter()) {
        return CERTMGR_BUSY;  // freeing it under the running call would pull the ground from under it
    }
    delete instance;
    return CERTMGR_OK;
}

}  // extern "C"
