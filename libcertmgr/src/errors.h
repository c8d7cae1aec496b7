// SPDX-License-Identifier: Apache-2.0
// Failures inside the component travel as exceptions up to the C functions, which turn them into the
// instance's error text. The OpenSSL error queue is read here and nowhere else.
#pragma once

#include <certmgr.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace certmgr {

// A failure with a text meant for the user, and the result CertMgr_Do returns for it.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& text, std::int32_t result = CERTMGR_FAILED)
        : std::runtime_error(text), m_result(result) {}
    std::int32_t Result() const { return m_result; }

private:
    std::int32_t m_result;
};

[[noreturn]] void Fail(const std::string& text);
// A password that does not open a file: the caller can tell it from every other failure.
[[noreturn]] void FailWrongPassword(const std::string& text);

// What the drained OpenSSL errors amount to, for the reasons users meet most.
enum class OsslReason {
    None,           // the queue was empty
    WrongPassword,  // a MAC did not verify, or a decryption came out wrong
    Unsupported,    // an algorithm this OpenSSL cannot provide
    Malformed,      // the data does not decode
    OutOfMemory,
    Other,
};

struct OsslError {
    OsslReason reason = OsslReason::None;
    std::string detail;  // OpenSSL's own words for the first error, for the cases without a plain sentence
};

// Empties the calling thread's OpenSSL error queue and sums it up.
OsslError TakeOsslError();

// A plain sentence for a reason, ending without a full stop so that callers can join it.
std::string PlainReason(const OsslError& error);

// Drains the queue and fails with "<what>: <plain reason>."
[[noreturn]] void FailOssl(const std::string& what);

// A path or other user-given text inside quotes, as every message shows it.
std::string Quoted(const std::string& text);

}  // namespace certmgr
