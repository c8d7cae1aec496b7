// SPDX-License-Identifier: Apache-2.0
// RSA key generation raced on several cores: its time is random with a long tail, so the first of
// several independent generations arrives much sooner than one alone.
#pragma once

#include "ossl.h"

namespace certmgr {

// How many generations to race: one per available core, at most four.
unsigned KeygenRacers();

// A new RSA key with exponent 65537, made by OpenSSL's own generator in `racers` threads at once
// (the calling thread included); the first key kept, the others cancelled. Threads end before it
// returns. Throws a Failure when every generation failed.
EvpPkeyPtr GenerateRsaKey(OSSL_LIB_CTX* libctx, int bits, unsigned racers);

}  // namespace certmgr
