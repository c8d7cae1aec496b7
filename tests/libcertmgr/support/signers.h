// SPDX-License-Identifier: Apache-2.0
// Signing files made by the tests themselves, each once per test process and only when asked for.
#pragma once

#include <openssl/x509.h>

#include <string>

namespace certmgr_test {

enum class SignerKind {
    Aes256,              // an RSA CA, PBES2/AES-256 protection
    TripleDes,           // the same CA, PBE-SHA1-3DES
    Rc2,                 // the same CA, certificates under 40-bit RC2 (needs the legacy provider)
    EmptyPassword,       // the same CA under an empty password, taken as empty
    AbsentPassword,      // the same CA under an empty password, taken as absent
    Ec,                  // an EC (P-256) CA
    Intermediate,        // an intermediate CA below a root, the root in the file as its chain
    WithUnrelated,       // the same intermediate and root, and an unrelated CA besides
    BadSignature,        // the same intermediate with a damaged signature, and its root
    Version1Root,        // a version 1 self-signed root: no extensions at all
    NameConstrained,     // an RSA CA that may issue for example.com, except bad.example.com
    PathLength0,         // an EC CA with pathlen:0: it may issue end entities only
    PathLength1,         // an EC CA with pathlen:1
    BelowPathLength1,    // an intermediate without a path length below a root with pathlen:1, the root as its
                         // chain
    ShortLived,          // an EC CA valid for 79 days and 12 hours more
    NoKey,               // certificates only
    NotCa,               // basicConstraints CA:FALSE
    NoCertSign,          // CA:TRUE, but keyUsage without keyCertSign
    NoBasicConstraints,  // keyUsage with keyCertSign, but no basicConstraints
    Expired,             // a CA whose validity ended yesterday
    Mismatch,            // a key and a certificate of another key
    NotPkcs12,           // a PEM certificate
    EmptyFile,           // zero bytes
    Truncated,           // the first half of a good .pfx
};

inline constexpr char kSignerPassword[] = "Signer-Pass-1";

// The path of the signing file; made on first use in a folder removed at exit.
const std::string& SignerFile(SignerKind kind);

// The root above SignerKind::Intermediate, and the RSA CA of the first five kinds.
X509* IntermediateRoot();
X509* RsaCa();
// The signing certificate of a kind that has one.
X509* SignerCertificate(SignerKind kind);

}  // namespace certmgr_test
