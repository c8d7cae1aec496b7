// SPDX-License-Identifier: Apache-2.0
// The values one "Generate Certificate" run reads from the form, and the
// subject name composed from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Control numbers by which the logic addresses the form.
enum ControlId : int {
    IDC_GENERATE = 1000,
    IDC_SIGNING_FILE = 1001,
    IDC_BROWSE_SIGNING_FILE = 1002,
    IDC_KEY_LENGTH = 1003,
    IDC_VALID_DAYS = 1004,
    IDC_COMMON_NAME = 1005,
    IDC_COUNTRY = 1006,
    IDC_CITY = 1007,
    IDC_STATE = 1008,
    IDC_ORGANIZATION = 1009,
    IDC_ORGANIZATIONAL_UNIT = 1010,
    IDC_OUTPUT_FILE = 1011,
    IDC_BROWSE_OUTPUT_FILE = 1012,
    IDC_SERIAL_NUMBER = 1013,
    IDC_PASSWORD = 1014,
    IDC_SIGNING_PASSWORD = 1015,
    IDC_LINK_LABEL = 1016,
    IDC_CERT_AUTHORITY = 1017,
};

// The buffer through which each subject field is read: at most 1,023 bytes are kept.
inline constexpr std::size_t kSubjectFieldBuffer = 1024;

// The message-box icons the logic asks for; each front end maps them to its own.
enum class MessageIcon { Error, Information };

// The key lengths the form offers, in the order of its list.
inline constexpr std::array<std::int32_t, 4> kKeyLengths = {1024, 2048, 3072, 4096};
// What a key-length position outside the list (nothing selected) stands for.
inline constexpr std::int32_t kDefaultKeyLength = 2048;

struct CertRequest {
    std::uint32_t validDays = 0;
    std::string country;
    std::string state;
    std::string city;
    std::string organization;
    std::string organizationalUnit;
    std::string commonName;
    std::uint32_t serialNumber = 0;
    std::string password;
    std::int32_t keyLength = kDefaultKeyLength;
    std::string outputFile;
    std::string signingFile;
    std::string signingPassword;
};

// The logic's only way to the form and its message box. Texts are UTF-8; lengths count bytes.
// Front ends supply the raw control text; the bounded and numeric reads are shared here so
// that every front end cuts and parses the same way.
class IFormAccess {
public:
    virtual ~IFormAccess() = default;

    // The control's whole text; empty when the control holds none or does not exist.
    std::string GetDlgItemText(int control) { return ControlText(control); }
    // At most bufferSize - 1 bytes of the control's text, never ending inside a character.
    std::string GetDlgItemText(int control, std::size_t bufferSize);
    // The decimal number the control holds; 0 when it holds anything else.
    std::uint32_t GetDlgItemInt(int control);

    // Zero-based position of the key-length list's selection; -1 when nothing is selected.
    virtual std::int32_t GetKeyLengthSelection() = 0;
    // Modal: returns once the user has closed the box.
    virtual void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) = 0;

protected:
    virtual std::string ControlText(int control) = 0;
};

// The beginning of text that fits a zero-terminated buffer of bufferSize bytes. A UTF-8
// character that would not fit whole is left out rather than split.
std::string CutToBuffer(std::string_view text, std::size_t bufferSize);

// A decimal number made only of ASCII digits (no sign, no blanks) of at most limit; nothing
// for anything else, an empty text included.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t limit);


CertRequest ReadCertRequest(IFormAccess& form);
bool HasSigningFile(const CertRequest& request);
std::int32_t KeyLengthFromSelection(std::int32_t position);
// Replaces the whole of subject by the request's distinguished name.
void BuildSubjectName(const CertRequest& request, std::string& subject);
