// SPDX-License-Identifier: Apache-2.0
// What the "Generate Certificate" button runs.
#pragma once

#include "core/certrequest.h"

#include <string>
#include <vector>

inline constexpr const char* kAppCaption = "Ombrel";

// True when an output file was given; otherwise shows why and returns false.
bool CheckOutputFile(IFormAccess& form);

// One run: reads the form, drives one component instance, shows exactly one message box.
// Extra settings ("name=value") are applied after the form's own two, for front ends that
// offer more than the form does; the form's run passes none.
void GenerateCertificate(IFormAccess& form, const std::vector<std::string>& extraSettings = {});
