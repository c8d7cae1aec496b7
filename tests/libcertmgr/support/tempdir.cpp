// SPDX-License-Identifier: Apache-2.0
#include "tempdir.h"

#include "component.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace certmgr_test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "certmgr-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> TempDir::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string SubjectText(const std::string& c, const std::string& st, const std::string& l,
                        const std::string& o, const std::string& ou, const std::string& cn) {
    return "C=" + c + ",ST=" + st + ",L=" + l + ",O=" + o + ",OU=" + ou + ",CN=" + cn;
}

}  // namespace certmgr_test
