// SPDX-License-Identifier: Apache-2.0
// Keeping passwords out of the places where they would outlive a run: freed memory and core dumps.
#pragma once

#include <string>

struct CertRequest;

// Overwrites the whole buffer of the text, its unused capacity included, and leaves it empty.
void WipeString(std::string& text);

// Wipes the request's passwords, once the run is done with them.
void WipeSecrets(CertRequest& request);

// Turns off core dumps and marks the process as not dumpable, so that neither a crash nor another
// user's debugger can read keys and passwords out of it. Call it first thing in main(); false when
// either step failed.
bool DisableCoreDumps();
