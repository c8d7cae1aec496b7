// SPDX-License-Identifier: Apache-2.0
#include "cli/cliform.h"

#include <cstdio>
#include <utility>

CliForm::CliForm(std::map<int, std::string> texts, std::int32_t keyLengthPosition)
    : m_texts(std::move(texts)), m_keyLengthPosition(keyLengthPosition) {}

void CliForm::MessageBox(const std::string& text, const std::string& /*caption*/, MessageIcon icon) {
    m_outcome = icon;
    if (icon == MessageIcon::Information) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "ombrel-cli: %s\n", text.c_str());
    }
}

std::string CliForm::ControlText(int control) {
    const auto it = m_texts.find(control);
    return it == m_texts.end() ? std::string() : it->second;
}
