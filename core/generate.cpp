// SPDX-License-Identifier: Apache-2.0
#include "core/generate.h"

#include "core/secret.h"

#include <certmgr.h>

#include <string>

bool CheckOutputFile(IFormAccess& form) {
    if (form.GetDlgItemText(IDC_OUTPUT_FILE).empty()) {
        form.MessageBox("Enter an output certificate file.", kAppCaption, MessageIcon::Error);
        return false;
    }
    return true;
}

// Written as unsigned decimals: a validity beyond 2^31 - 1 days must not reach the component
// as a negative number.
std::string SettingText(const char* name, std::uint32_t value) {
    return std::string(name) + "=" + std::to_string(value);
}

namespace {

GenerationOutcome Failed(const std::string& message) {
    return {false, message, MessageIcon::Error};
}

}  // namespace

GenerationOutcome RunGeneration(CCertMgr& certMgr, const CertRequest& request,
                                const std::vector<std::string>& extraSettings) {
    std::string subject;
    BuildSubjectName(request, subject);

    // A refused setting would otherwise give a certificate with the component's default and a
    // success message for something the user did not ask for.
    std::vector<std::string> settings = {
        SettingText(CERTMGR_SETTING_VALIDITY_DAYS, request.validDays),
        SettingText(CERTMGR_SETTING_KEY_LENGTH, static_cast<std::uint32_t>(request.keyLength))};
    settings.insert(settings.end(), extraSettings.begin(), extraSettings.end());
    for (const std::string& setting : settings) {
        if (certMgr.ApplySetting(setting) != 0) {
            return Failed(certMgr.GetLastErrorText());
        }
    }

    if (HasSigningFile(request)) {
        const std::int32_t loaded =
            certMgr.LoadSigningCertificate(request.signingFile, request.signingPassword, std::string());
        if (loaded != 0) {
            // Only a password that does not open the file earns the hint; a missing file or a
            // certificate that cannot sign is told as the component words it.
            const std::string error = certMgr.GetLastErrorText();
            return Failed(loaded == CERTMGR_WRONG_PASSWORD ? error + " (Wrong Password?)" : error);
        }
        if (certMgr.IssueSigned(subject, request.serialNumber) != 0) {
            return Failed(certMgr.GetLastErrorText());
        }
    } else if (certMgr.CreateSelfSigned(subject, request.serialNumber) != 0) {
        return Failed(certMgr.GetLastErrorText());
    }

    const std::int32_t exported = certMgr.ExportToFile(request.outputFile, request.password);
    certMgr.DiscardCertificate();
    if (exported != 0) {
        return Failed(certMgr.GetLastErrorText());
    }
    return {true, kSuccessMessage, MessageIcon::Information};
}

void GenerateCertificate(IFormAccess& form, const std::vector<std::string>& extraSettings) {
    if (!CheckOutputFile(form)) {
        return;
    }
    // Declared before the run's texts, so it is destroyed after them and after the message
    // box, on every way out of the run.
    CCertMgr certMgr;
    CertRequest request = ReadCertRequest(form);
    const GenerationOutcome outcome = RunGeneration(certMgr, request, extraSettings);
    WipeSecrets(request);
    form.MessageBox(outcome.message, kAppCaption, outcome.icon);
}
