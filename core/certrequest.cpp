// SPDX-License-Identifier: Apache-2.0
#include "core/certrequest.h"

#include <charconv>

std::string IFormAccess::GetDlgItemText(int control, std::size_t bufferSize) {
    return CutToBuffer(ControlText(control), bufferSize);
}

std::uint32_t IFormAccess::GetDlgItemInt(int control) {
    return static_cast<std::uint32_t>(ParseUnsigned(ControlText(control), UINT32_MAX).value_or(0));
}

std::string CutToBuffer(std::string_view text, std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    std::size_t end = bufferSize - 1;
    if (text.size() <= end) {
        return std::string(text);
    }
    // Back up over continuation bytes (10xxxxxx) so the cut falls before the lead byte of
    // the character that straddles the limit. A character has at most three of them; a longer
    // run is not UTF-8, and is cut at the limit like any other bytes.
    const std::size_t limit = end;
    while (end > 0 && limit - end < 3 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        end = limit;
    }
    return std::string(text.substr(0, end));
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t limit) {
    std::uint64_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars accepts no blank; a sign is refused here, and overflow is reported, not wrapped.
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || text.front() == '-' || ec != std::errc{} || ptr != last || value > limit) {
        return std::nullopt;
    }
    return value;
}

CertRequest ReadCertRequest(IFormAccess& form) {
    CertRequest request;
    request.validDays = form.GetDlgItemInt(IDC_VALID_DAYS);
    request.country = form.GetDlgItemText(IDC_COUNTRY, kSubjectFieldBuffer);
    request.state = form.GetDlgItemText(IDC_STATE, kSubjectFieldBuffer);
    request.city = form.GetDlgItemText(IDC_CITY, kSubjectFieldBuffer);
    request.organization = form.GetDlgItemText(IDC_ORGANIZATION, kSubjectFieldBuffer);
    request.organizationalUnit = form.GetDlgItemText(IDC_ORGANIZATIONAL_UNIT, kSubjectFieldBuffer);
    request.commonName = form.GetDlgItemText(IDC_COMMON_NAME, kSubjectFieldBuffer);
    request.serialNumber = form.GetDlgItemInt(IDC_SERIAL_NUMBER);
    request.password = form.GetDlgItemText(IDC_PASSWORD);
    request.keyLength = KeyLengthFromSelection(form.GetKeyLengthSelection());
    request.outputFile = form.GetDlgItemText(IDC_OUTPUT_FILE);
    request.signingFile = form.GetDlgItemText(IDC_SIGNING_FILE);
    if (HasSigningFile(request)) {
        request.signingPassword = form.GetDlgItemText(IDC_SIGNING_PASSWORD);
    }
    return request;
}

bool HasSigningFile(const CertRequest& request) {
    return !request.signingFile.empty();
}

std::int32_t KeyLengthFromSelection(std::int32_t position) {
    if (position < 0 || static_cast<std::size_t>(position) >= kKeyLengths.size()) {
        return kDefaultKeyLength;
    }
    return kKeyLengths[static_cast<std::size_t>(position)];
}

void BuildSubjectName(const CertRequest& request, std::string& subject) {
    // Fields are copied byte for byte: nothing is escaped, trimmed or left out.
    subject.clear();
    subject.append("C=").append(request.country).append(",");
    subject.append("ST=").append(request.state).append(",");
    subject.append("L=").append(request.city).append(",");
    subject.append("O=").append(request.organization).append(",");
    subject.append("OU=").append(request.organizationalUnit).append(",");
    subject.append("CN=").append(request.commonName);
}
