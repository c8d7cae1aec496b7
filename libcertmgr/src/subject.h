// SPDX-License-Identifier: Apache-2.0
// Reads the distinguished-name text that the tool composes ("C=..,ST=..,L=..,O=..,OU=..,CN=..").
#pragma once

#include "ossl.h"

#include <string>
#include <string_view>

namespace certmgr {

struct Subject {
    X509NamePtr name;
    std::string commonName;    // the last CN, or empty
    std::string friendlyName;  // the common name, or the whole subject when it has none
};

// A segment starts a new attribute only when it begins with a short name OpenSSL knows and "=";
// any other segment continues the previous value, comma included, so "O=Acme, Inc." stays whole.
// Values are trimmed of blanks at both ends, and empty ones are left out. Throws a Failure whose text
// names the field as the form labels it.
Subject ParseSubject(std::string_view text);

}  // namespace certmgr
