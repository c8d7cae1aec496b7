// SPDX-License-Identifier: Apache-2.0
#include "core/secret.h"

#include "core/certrequest.h"

#include <sys/resource.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cstring>

void WipeString(std::string& text) {
    // Bytes of an earlier, longer value may still sit past the end of the current one.
    text.resize(text.capacity());
    // Unlike memset, explicit_bzero is not left out because the text is cleared right after.
    explicit_bzero(text.data(), text.size());
    text.clear();
}

void WipeSecrets(CertRequest& request) {
    WipeString(request.password);
    WipeString(request.signingPassword);
}

bool DisableCoreDumps() {
    const rlimit none{0, 0};
    bool done = setrlimit(RLIMIT_CORE, &none) == 0;
#if defined(__linux__)
    done = prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && done;
#endif
    return done;
}
