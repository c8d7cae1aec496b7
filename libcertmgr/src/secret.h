// SPDX-License-Identifier: Apache-2.0
// Copies of passwords that are wiped when they go, so that no freed heap block keeps one.
#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace certmgr {

// A zero-terminated copy of some bytes, made once at its full size and wiped with OPENSSL_cleanse
// when it goes. It never grows, so no reallocation leaves an unwiped copy behind.
class SecretText {
public:
    SecretText() = default;
    explicit SecretText(std::string_view bytes)
        : m_bytes(std::make_unique<char[]>(bytes.size() + 1)), m_size(bytes.size()) {
        std::memcpy(m_bytes.get(), bytes.data(), bytes.size());
    }
    ~SecretText() {
        if (m_bytes) {
            OPENSSL_cleanse(m_bytes.get(), m_size + 1);
        }
    }
    SecretText(SecretText&&) noexcept = default;
    SecretText& operator=(SecretText&&) = delete;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;

    const char* c_str() const { return m_bytes ? m_bytes.get() : ""; }
    std::size_t size() const { return m_size; }

private:
    std::unique_ptr<char[]> m_bytes;
    std::size_t m_size = 0;
};

}  // namespace certmgr
