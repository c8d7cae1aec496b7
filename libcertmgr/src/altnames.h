// SPDX-License-Identifier: Apache-2.0
// Subject alternative names: a DNS name or an IP address each. Browsers ignore the common name
// and look only here, so a certificate for a host needs one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace certmgr {

struct AltName {
    enum class Kind { Dns, Ip };
    Kind kind = Kind::Dns;
    std::string value;  // the DNS name, or the address in network byte order (4 or 16 bytes)
};

// The alternative name a text stands for: an IPv4 or IPv6 address, or a host name: labels of 1 to 63
// letters, digits, hyphens (not first or last) and underscores joined by dots, at most 253 characters,
// optionally starting with "*." before at least two labels. A name with characters beyond ASCII is
// taken in its IDNA "xn--" form, to which the same rule applies. Anything else gives none.
std::optional<AltName> AltNameOf(std::string_view text);

// A comma-separated list of DNS names and IP addresses; blanks around entries are ignored.
// Throws a Failure naming the first bad entry.
std::vector<AltName> ParseAltNameList(std::string_view list, std::string_view settingName);

}  // namespace certmgr
