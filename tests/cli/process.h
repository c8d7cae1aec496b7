// SPDX-License-Identifier: Apache-2.0
// Running a program the way a shell script would, and a scratch folder to run it in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct Outcome {
    int status = -1;  // exit status; 128 + signal number when a signal ended it
    std::string out;
    std::string err;
};

// A folder of its own under the system's temporary folder, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;
    bool Has(const std::string& name) const { return std::filesystem::exists(m_path / name); }

private:
    std::filesystem::path m_path;
};

// Runs program with args in dir; standard input is the given text, or /dev/null without one.
Outcome RunProgram(const std::string& program, const std::vector<std::string>& args, const ScratchDir& dir,
                   const std::optional<std::string>& input = std::nullopt);
