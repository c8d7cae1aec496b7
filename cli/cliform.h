// SPDX-License-Identifier: Apache-2.0
// The form, filled from the command line: the generation logic reads it as it reads the
// desktop program's dialog, and its one message box becomes a line of output.
#pragma once

#include "core/certrequest.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class CliForm : public IFormAccess {
public:
    CliForm(std::map<int, std::string> texts, std::int32_t keyLengthPosition);

    std::int32_t GetKeyLengthSelection() override { return m_keyLengthPosition; }
    // Success goes to standard output, failure to standard error.
    void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;

    // The icon of the last box shown; nothing when none was shown.
    std::optional<MessageIcon> Outcome() const { return m_outcome; }

protected:
    std::string ControlText(int control) override;

private:
    std::map<int, std::string> m_texts;
    std::int32_t m_keyLengthPosition;
    std::optional<MessageIcon> m_outcome;
};
