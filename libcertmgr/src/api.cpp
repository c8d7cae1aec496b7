// The four exported C functions. Every method still reports failure; the real work follows.
#include <certmgr.h>

#include <new>

namespace {

const char kNotReady[] = "The certificate manager is not built yet.";

}  // namespace

extern "C" {

CERTMGR_API void* CertMgr_Create(CertMgrEventSink /*sink*/, void* /*context*/) {
    return new (std::nothrow) int(0);
}

CERTMGR_API int32_t CertMgr_Do(void* /*handle*/, int32_t /*method*/, int32_t /*count*/, intptr_t* /*params*/,
                               intptr_t* /*lengths*/) {
    return 1;
}

CERTMGR_API const char* CertMgr_GetLastError(void* /*handle*/) { return kNotReady; }

CERTMGR_API int32_t CertMgr_Destroy(void* handle) {
    delete static_cast<int*>(handle);
    return 0;
}

}  // extern "C"
