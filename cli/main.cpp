// SPDX-License-Identifier: Apache-2.0
// ombrel-cli: the desktop program's generation procedure, driven by options.
#include "cli/options.h"
#include "cli/password.h"
#include "core/certmgr.h"
#include "core/generate.h"
#include "core/secret.h"

#include <certmgr.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#ifndef OMBREL_VERSION
#error "OMBREL_VERSION must be defined by the build"
#endif

namespace {

enum ExitStatus { kSucceeded = 0, kGenerationFailed = 1, kUsageError = 2 };

int UsageError(const std::string& message) {
    std::fprintf(stderr, "ombrel-cli: %s\nTry 'ombrel-cli --help' for more information.\n", message.c_str());
    return kUsageError;
}

void Warn(const std::string& message) {
    std::fprintf(stderr, "ombrel-cli: warning: %s\n", message.c_str());
}

bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Set by SIGINT or SIGTERM while a certificate is being made; the component asks through its
// progress event whether to go on, so an interrupted run stops without leaving a file behind.
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

class CommandCertMgr : public CCertMgr {
public:
    // Progress while the key is made: a non-zero answer stops the run.
    std::int32_t OnComponentEvent3(std::intptr_t*) override { return g_interrupted.load() ? 1 : 0; }
    // A certificate that clients will refuse for some use is worth a word to the user.
    std::int32_t OnComponentEvent4(std::intptr_t* params) override {
        if (params != nullptr && params[0] != 0) {
            Warn(reinterpret_cast<const char*>(params[0]));
        }
        return 0;
    }
};

// Catches the two signals for its lifetime only: before and after the run there is nothing to
// clean up, and the default action is what a user expects.
class InterruptScope {
public:
    InterruptScope() {
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~InterruptScope() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
};

// The password from its option, its file or the terminal. A new password is asked twice,
// since a mistyped one would lock the key away for good.
std::optional<std::string> ResolvePassword(const PasswordSource& source, const char* fileOption,
                                           const std::string& prompt, bool confirm, std::string& error) {
    if (source.text) {
        return source.text;
    }
    // "-" on a terminal means the user types it, so it gets the prompt without echo.
    const bool typed = StdinIsTerminal() && (!source.file || *source.file == "-");
    if (source.file && !typed) {
        return ReadPasswordFile(*source.file, error);
    }
    if (!typed) {
        // Nobody to ask: a key saved with an empty password by accident is worse than a stop.
        error = std::string("no password given and no terminal to ask for one; use ") + fileOption;
        return std::nullopt;
    }
    auto first = PromptPassword(prompt, error);
    if (!first || !confirm) {
        return first;
    }
    auto second = PromptPassword("Repeat the password: ", error);
    if (!second) {
        return std::nullopt;
    }
    if (*first != *second) {
        error = "the two passwords differ";
        return std::nullopt;
    }
    return first;
}

}  // namespace

int main(int argc, char* argv[]) {
    DisableCoreDumps();
    ParseResult parsed = ParseCommandLine(argc, argv);
    if (!parsed.error.empty()) {
        return UsageError(parsed.error);
    }
    CliOptions& options = parsed.options;
    CertRequest& request = options.request;
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kSucceeded;
    }
    if (options.version) {
        std::puts("Ombrel " OMBREL_VERSION);
        return kSucceeded;
    }
    // Without an output file the run stops before it reads a password, so none is asked for.
    if (request.outputFile.empty()) {
        std::fputs("ombrel-cli: Enter an output certificate file.\n", stderr);
        return kGenerationFailed;
    }
    // A replaced .pfx takes its private key with it. Asked early, so nobody types a password for
    // nothing; the component checks again as it puts the file in place, for a file that appears
    // meanwhile.
    std::vector<std::string> extras = ExtraSettings(options);
    if (!options.force) {
        if (Exists(request.outputFile)) {
            return UsageError("'" + request.outputFile + "' exists; add --force to replace it");
        }
        extras.push_back(SettingText(CERTMGR_SETTING_REPLACE_EXISTING, 0));
    }

    if (request.keyLength < 2048) {
        Warn("keys under 2048 bits are refused by current TLS libraries");
    }
    // Apple's limit for TLS server certificates; a certificate authority is not held to it.
    if (!options.authority && request.validDays > 825) {
        Warn("web browsers on Apple devices refuse server certificates valid for more than 825 days");
    }

    std::string error;
    auto password = ResolvePassword(options.password, "--password-file",
                                    "Password for '" + request.outputFile + "': ", true, error);
    if (!password) {
        return UsageError(error);
    }
    request.password = *password;
    WipeString(*password);
    if (request.password.empty()) {
        Warn("the private key is saved without a password");
    } else if (!IsAscii(request.password)) {
        Warn("Java's keytool cannot open a file whose password is not ASCII");
    }
    if (HasSigningFile(request)) {
        auto signerPassword = ResolvePassword(options.signerPassword, "--signer-password-file",
                                              "Password of '" + request.signingFile + "': ", false, error);
        if (!signerPassword) {
            return UsageError(error);
        }
        request.signingPassword = *signerPassword;
        WipeString(*signerPassword);
    }

    GenerationOutcome outcome;
    {
        InterruptScope interrupts;
        CommandCertMgr certMgr;
        outcome = RunGeneration(certMgr, request, extras);
    }
    WipeSecrets(request);
    for (PasswordSource* source : {&options.password, &options.signerPassword}) {
        if (source->text) {
            WipeString(*source->text);
        }
    }
    if (outcome.written) {
        std::printf("%s\n", outcome.message.c_str());
        return kSucceeded;
    }
    std::fprintf(stderr, "ombrel-cli: %s\n", outcome.message.c_str());
    return kGenerationFailed;
}
