// SPDX-License-Identifier: Apache-2.0
// ombrel-cli: the generation procedure of the desktop program, driven by options.
#include "cli/cliform.h"
#include "cli/options.h"
#include "cli/password.h"
#include "core/certmgr.h"
#include "core/generate.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
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

bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// The generation procedure does not look at the results of settings, so a value the library
// refuses would quietly give a certificate without it: a validity the library cannot use, or
// a name that is none. Offering them to a scratch instance first makes that a usage error.
// Each setting comes with the option that asked for it, to name in the error.
bool SettingsAccepted(const std::vector<std::pair<std::string, std::string>>& settings, std::string& error) {
    CCertMgr probe;
    for (const auto& [option, setting] : settings) {
        if (probe.ApplySetting(setting) != 0) {
            error = option + ": " + probe.GetLastErrorText();
            return false;
        }
    }
    return true;
}

// The password from its option, its file or the terminal. A new password is asked twice,
// since a mistyped one would lock the key away for good.
std::optional<std::string> ResolvePassword(const PasswordSource& source, const std::string& prompt,
                                           bool confirm, std::string& error) {
    if (source.text) {
        return source.text;
    }
    // "-" on a terminal means the user types it, so it gets the prompt without echo.
    const bool typed = StdinIsTerminal() && (!source.file || *source.file == "-");
    if (source.file && !typed) {
        return ReadPasswordFile(*source.file, error);
    }
    if (!typed) {
        return std::string();
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
    ParseResult parsed = ParseCommandLine(argc, argv);
    if (!parsed.error.empty()) {
        return UsageError(parsed.error);
    }
    CliOptions& options = parsed.options;
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kSucceeded;
    }
    if (options.version) {
        std::puts("Ombrel " OMBREL_VERSION);
        return kSucceeded;
    }

    const std::string& out = options.texts[IDC_OUTPUT_FILE];
    const std::string& signer = options.texts[IDC_SIGNING_FILE];
    // The desktop program's save dialog asks before it replaces a file; a replaced .pfx
    // takes its private key with it.
    if (!out.empty() && !options.force && Exists(out)) {
        return UsageError("'" + out + "' exists; add --force to replace it");
    }

    const std::vector<std::string> extras = ExtraSettings(options);
    std::vector<std::pair<std::string, std::string>> checked = {
        {"--days", "CertValidityTime=" + std::to_string(ParseUnsigned(options.texts[IDC_VALID_DAYS]))}};
    for (const std::string& extra : extras) {
        checked.emplace_back(extra.starts_with("PfxEncryption=") ? "--legacy-pfx" : "--san", extra);
    }
    std::string error;
    if (!SettingsAccepted(checked, error)) {
        return UsageError(error);
    }

    // Without an output file the run stops before it reads a password, so none is asked for.
    if (!out.empty()) {
        auto password = ResolvePassword(options.password, "Password for '" + out + "': ", true, error);
        if (!password) {
            return UsageError(error);
        }
        options.texts[IDC_PASSWORD] = *password;
        if (!signer.empty()) {
            auto signerPassword =
                ResolvePassword(options.signerPassword, "Password of '" + signer + "': ", false, error);
            if (!signerPassword) {
                return UsageError(error);
            }
            options.texts[IDC_SIGNING_PASSWORD] = *signerPassword;
        }
    }

    CliForm form(std::move(options.texts), options.keyLengthPosition);
    GenerateCertificate(form, extras);
    return form.Outcome() == MessageIcon::Information ? kSucceeded : kGenerationFailed;
}
