// SPDX-License-Identifier: Apache-2.0
// Signing files made by the tests themselves, each once per test process and only when asked for.
#pragma once

#include <openssl/x509.h>

#include <string>

namespace certmgr_test {

enum class SignerKind {
    Aes256,          // an RSA CA, PBES2/AES-256 protection
    TripleDes,       // the same CA, PBE-SHA1-3DES
    Rc2,             // the same CA, certificates under 40-bit RC2 (needs the legacy provider)
    EmptyPassword,   // the same CA under an empty password, taken as empty
    AbsentPassword,  // the same CA under an empty password, taken as absent
    Ec,              // an EC (P-256) CA
    Intermediate,    // an intermediate CA below a root, the root in the file as its chain
    NoKey,           // certificates only
    NotCa,           // basicConstraints CA:FALSE
    NoCertSign,      // CA:TRUE, but keyUsage without keyCertSign
    Expired,         // a CA whose validity ended yesterday
    Mismatch,        // a key and a certificate of another key
    NotPkcs12,       // a PEM certificate
    EmptyFile,       // zero bytes
    Truncated,       // the first half of a good .pfx
    // The intermediate and root of Intermediate, and an unrelated CA besides.
    WithUnrelated,
    // The intermediate of Intermediate with a damaged signature, and its root.
    BadSignature,
    // A version 1 self-signed root: no extensions at all.
    Version1Root,
    // An RSA CA that may issue for example.com and below, except bad.example.com.
    NameConstrained,
    // keyUsage with keyCertSign, but no basicConstraints.
    NoBasicConstraints,
    // An EC CA with pathlen:0: it may issue end entities only.
    PathLength0,
    // An EC CA with pathlen:1.
    PathLength1,
    // An intermediate without a path length below a root with pathlen:1, the root as its chain.
    BelowPathLength1,
    // An EC CA valid for 79 days and 12 hours more.
    ShortLived,
};

inline constexpr char kSignerPassword[] = "Signer-Pass-1";

// The path of the signing file; made on first use in a folder removed at exit.
const std::string& SignerFile(SignerKind kind);

// The root above SignerKind::Intermediate, and the RSA CA of the first five kinds.
X509* IntermediateRoot();
X509* RsaCa();
// The signing certificate of a kind that has one.
X509* SignerCertificate(SignerKind kind);

// Checks that an issued file's chain is SignerKind::Intermediate's: the intermediate, then its root.
void ExpectIntermediateChain(const STACK_OF(X509) * chain);

}  // namespace certmgr_test
