// SPDX-License-Identifier: Apache-2.0
#include "core/generate.h"

#include "core/certmgr.h"

#include <string>

bool CheckOutputFile(IFormAccess& form) {
    if (form.GetDlgItemText(IDC_OUTPUT_FILE).empty()) {
        form.MessageBox("Enter an output certificate file.", kAppCaption, MessageIcon::Error);
        return false;
    }
    return true;
}

namespace {

// The settings are written as unsigned decimals: a validity beyond 2^31 - 1 days must
// not reach the component as a negative number.
std::string Setting(const char* name, std::uint32_t value) {
    return std::string(name) + "=" + std::to_string(value);
}

}  // namespace

void GenerateCertificate(IFormAccess& form, const std::vector<std::string>& extraSettings) {
    if (!CheckOutputFile(form)) {
        return;
    }
    // Declared before the run's texts, so it is destroyed after them and after the message
    // box, on every way out of the run.
    CCertMgr certMgr;

    const CertRequest request = ReadCertRequest(form);
    std::string subject;
    BuildSubjectName(request, subject);

    // A refused setting does not stop the run.
    certMgr.ApplySetting(Setting("CertValidityTime", request.validDays));
    certMgr.ApplySetting(Setting("CertKeyLength", static_cast<std::uint32_t>(request.keyLength)));
    for (const std::string& setting : extraSettings) {
        certMgr.ApplySetting(setting);
    }

    std::string note;
    bool made = false;
    if (HasSigningFile(request)) {
        if (certMgr.LoadSigningCertificate(request.signingFile, request.signingPassword, std::string()) !=
            0) {
            note = "Wrong Password?";
        } else {
            made = certMgr.IssueSigned(subject, request.serialNumber) == 0;
        }
    } else {
        made = certMgr.CreateSelfSigned(subject, request.serialNumber) == 0;
    }

    if (made) {
        const std::int32_t exported = certMgr.ExportToFile(request.outputFile, request.password);
        certMgr.DiscardCertificate();
        if (exported == 0) {
            form.MessageBox("Certificate successfully created!", kAppCaption, MessageIcon::Information);
            return;
        }
    }

    const std::string error = certMgr.GetLastErrorText();
    const std::string message = note.empty() ? error : error + " (" + note + ")";
    form.MessageBox(message, kAppCaption, MessageIcon::Error);
}
