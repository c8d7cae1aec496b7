// What the "Generate Certificate" button runs.
#pragma once

#include "core/certrequest.h"

inline constexpr const char* kAppCaption = "Ombrel";

// True when an output file was given; otherwise shows why and returns false.
bool CheckOutputFile(IFormAccess& form);

// One run: reads the form, drives one component instance, shows exactly one message box.
void GenerateCertificate(IFormAccess& form);
