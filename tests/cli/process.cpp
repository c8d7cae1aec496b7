// SPDX-License-Identifier: Apache-2.0
#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ombrel-cli-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void ScratchDir::Write(const std::string& name, const std::string& content) const {
    std::ofstream(m_path / name, std::ios::binary | std::ios::trunc) << content;
}

std::string ScratchDir::Read(const std::string& name) const {
    std::ifstream in(m_path / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args, const ScratchDir& dir,
                   const std::optional<std::string>& input) {
    // The streams go through files, so a chatty child can never block on a full pipe.
    const std::string in = input ? (dir / ".stdin").string() : "/dev/null";
    const std::string out = (dir / ".stdout").string();
    const std::string err = (dir / ".stderr").string();
    if (input) {
        dir.Write(".stdin", *input);
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
    pid_t pid;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + program);
    }

    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("cannot wait for " + program);
        }
    }
    Outcome outcome;
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    outcome.out = dir.Read(".stdout");
    outcome.err = dir.Read(".stderr");
    return outcome;
}
