// SPDX-License-Identifier: Apache-2.0
// RSA key generation raced on several cores: its time is random with a long tail, so the first of
// several independent generations arrives much sooner than one alone.
#pragma once

#include "errors.h"
#include "ossl.h"

#include <certmgr.h>

#include <cstddef>

namespace certmgr {

// The length of every event's argument arrays: room for the entries that a sink handling events 1
// and 2 writes, though the events raised have one parameter.
inline constexpr std::size_t kEventArrayEntries = 8;

// The caller's event sink, told now and then how the search for primes goes. An answer other than 0
// stops the generation.
struct KeygenProgress {
    CertMgrEventSink sink = nullptr;
    void* context = nullptr;
};

// The failure of a generation that the event sink stopped.
class Cancelled : public Failure {
public:
    Cancelled() : Failure("The certificate generation was cancelled.") {}
};

// How many generations to race: one per available core, at most four.
unsigned KeygenRacers();

// A new RSA key with exponent 65537, made by OpenSSL's own generator in `racers` threads at once
// (the calling thread included); the first key kept, the others cancelled. Threads end before it
// returns. Throws a Failure when every generation failed, and Cancelled when `progress` asked to stop.
// Progress events come from the calling thread only: first at once, then at most every 50 ms.
EvpPkeyPtr GenerateRsaKey(OSSL_LIB_CTX* libctx, int bits, unsigned racers,
                          const KeygenProgress* progress = nullptr);

}  // namespace certmgr
