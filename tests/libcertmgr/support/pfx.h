// SPDX-License-Identifier: Apache-2.0
// Reads the component's output back with OpenSSL, independently of the component's own code.
#pragma once

#include "component.h"
#include "ossl.h"
#include "tempdir.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace certmgr_test {

using namespace certmgr;  // the owning pointer types

struct OpenedPfx {
    EvpPkeyPtr key;
    X509Ptr cert;
    X509StackPtr chain;
    std::string friendlyName;
};

// Opens a .pfx with the password in OpenSSL's default context; nothing when it does not open.
std::optional<OpenedPfx> OpenPfx(const std::string& path, const std::string& password);

// The protection of a .pfx as text, for example "PBES2/PBKDF2/AES-256-CBC/hmacWithSHA256/2048" or
// "PBE-SHA1-3DES/2048", and its MAC digest and iteration count.
struct PfxProtection {
    std::string certificates;
    std::string key;
    std::string macDigest;
    long macIterations = 0;
};
PfxProtection DescribePfx(const std::string& path);

// Certificate details used by several tests.
std::string NameEntry(X509_NAME* name, int nid);  // the first value of an attribute, or "" without one
std::string Pem(X509* cert);
void WritePem(const std::string& path, X509* cert);
bool VerifiesWith(X509* cert, EVP_PKEY* key);
// "DNS:name" and "IP:address" entries of the subject alternative name, in order.
std::vector<std::string> AltNamesOf(X509* cert);
// Whole days from notBefore to notAfter, and the seconds left over.
std::pair<int, int> ValidityOf(X509* cert);
int KeyBits(EVP_PKEY* key);

// Exports the component's current certificate to `name` in `dir` and opens it again; fails the
// test (by an empty result) when either step fails.
std::optional<OpenedPfx> ExportAndOpen(Component& component, const TempDir& dir,
                                       const std::string& name = "out.pfx",
                                       const std::string& password = "pw");

}  // namespace certmgr_test
