// SPDX-License-Identifier: Apache-2.0
// What the "Generate Certificate" button runs, and the procedure under it that both front
// ends share.
#pragma once

#include "core/certmgr.h"
#include "core/certrequest.h"

#include <string>
#include <vector>

inline constexpr const char* kAppCaption = "Ombrel";
inline constexpr const char* kSuccessMessage = "Certificate successfully created!";

// How one run ended: what to tell the user, and how.
struct GenerationOutcome {
    bool written = false;
    std::string message;
    MessageIcon icon = MessageIcon::Error;
};

// A numeric setting as the component takes it: "name=value".
std::string SettingText(const char* name, std::uint32_t value);

// True when an output file was given; otherwise shows why and returns false.
bool CheckOutputFile(IFormAccess& form);

// Drives one component instance through one request: the validity and key length, then the
// extra settings ("name=value"), then the certificate, then the file. A refused setting ends
// the run before any key is made. Touches no form; the caller shows the outcome.
GenerationOutcome RunGeneration(CCertMgr& certMgr, const CertRequest& request,
                                const std::vector<std::string>& extraSettings = {});

// One run of the form: reads it, runs the procedure above on a fresh instance, shows exactly
// one message box, and destroys the instance after the box has closed.
void GenerateCertificate(IFormAccess& form, const std::vector<std::string>& extraSettings = {});
