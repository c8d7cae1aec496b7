// SPDX-License-Identifier: Apache-2.0
#include "cli/options.h"

#include "core/generate.h"

#include <certmgr.h>
#include <getopt.h>

#include <string_view>

namespace {

enum OptionId : int {
    kCountry = 256,
    kState,
    kCity,
    kOrg,
    kOrgUnit,
    kCommonName,
    kKeyLength,
    kDays,
    kSerial,
    kOut,
    kSigner,
    kPassword,
    kPasswordFile,
    kSignerPassword,
    kSignerPasswordFile,
    kLegacyPfx,
    kCa,
    kSan,
    kForce,
    kHelp,
    kVersion,
};

const option kOptions[] = {
    {"country", required_argument, nullptr, kCountry},
    {"state", required_argument, nullptr, kState},
    {"city", required_argument, nullptr, kCity},
    {"org", required_argument, nullptr, kOrg},
    {"org-unit", required_argument, nullptr, kOrgUnit},
    {"common-name", required_argument, nullptr, kCommonName},
    {"key-length", required_argument, nullptr, kKeyLength},
    {"days", required_argument, nullptr, kDays},
    {"serial", required_argument, nullptr, kSerial},
    {"out", required_argument, nullptr, kOut},
    {"signer", required_argument, nullptr, kSigner},
    {"password", required_argument, nullptr, kPassword},
    {"password-file", required_argument, nullptr, kPasswordFile},
    {"signer-password", required_argument, nullptr, kSignerPassword},
    {"signer-password-file", required_argument, nullptr, kSignerPasswordFile},
    {"legacy-pfx", no_argument, nullptr, kLegacyPfx},
    {"ca", no_argument, nullptr, kCa},
    {"san", required_argument, nullptr, kSan},
    {"force", no_argument, nullptr, kForce},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// RSA lengths the command takes: from what older readers still open to what is still quick
// enough to make.
constexpr std::uint64_t kMinKeyLength = 1024;
constexpr std::uint64_t kMaxKeyLength = 8192;

// The desktop program keeps a subject field to what fits its buffer; the command does the same,
// so that both make the same certificate from the same text.
std::string SubjectField(const std::string& value) {
    return CutToBuffer(value, kSubjectFieldBuffer);
}

}  // namespace

ParseResult ParseCommandLine(int argc, char* argv[]) {
    ParseResult result;
    CliOptions& o = result.options;
    CertRequest& r = o.request;
    r.validDays = 365;
    r.serialNumber = 0;  // the component chooses a random one
    r.keyLength = 2048;

    opterr = 0;  // every complaint is worded here
    optind = 0;  // restart, so that parsing twice in one process works
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };

    int id;
    int index = -1;
    while ((id = getopt_long(argc, argv, "+:", kOptions, &index)) != -1) {
        const std::string name = index >= 0 ? std::string("--") + kOptions[index].name : std::string();
        const std::string value = optarg ? optarg : "";
        index = -1;
        switch (id) {
            case kCountry:
                r.country = SubjectField(value);
                break;
            case kState:
                r.state = SubjectField(value);
                break;
            case kCity:
                r.city = SubjectField(value);
                break;
            case kOrg:
                r.organization = SubjectField(value);
                break;
            case kOrgUnit:
                r.organizationalUnit = SubjectField(value);
                break;
            case kCommonName:
                r.commonName = SubjectField(value);
                break;
            case kOut:
                r.outputFile = value;
                break;
            case kSigner:
                r.signingFile = value;
                break;
            case kDays:
            case kSerial: {
                const auto number = ParseUnsigned(value, UINT32_MAX);
                if (!number) {
                    return fail(name + " takes a whole number from 0 to 4294967295, not '" + value + "'");
                }
                (id == kDays ? r.validDays : r.serialNumber) = static_cast<std::uint32_t>(*number);
                break;
            }
            case kKeyLength: {
                const auto bits = ParseUnsigned(value, kMaxKeyLength);
                if (!bits || *bits < kMinKeyLength) {
                    return fail("--key-length takes a number of bits from " + std::to_string(kMinKeyLength) +
                                " to " + std::to_string(kMaxKeyLength) + ", not '" + value + "'");
                }
                r.keyLength = static_cast<std::int32_t>(*bits);
                break;
            }
            case kPassword:
                o.password.text = value;
                break;
            case kPasswordFile:
                o.password.file = value;
                break;
            case kSignerPassword:
                o.signerPassword.text = value;
                break;
            case kSignerPasswordFile:
                o.signerPassword.file = value;
                break;
            case kLegacyPfx:
                o.legacyPfx = true;
                break;
            case kCa:
                o.authority = true;
                break;
            case kSan:
                // The names travel to the library as one comma-separated list.
                if (value.empty() || value.find(',') != std::string::npos) {
                    return fail("--san takes one name or address, not '" + value + "'");
                }
                o.subjectAltNames.push_back(value);
                break;
            case kForce:
                o.force = true;
                break;
            case kHelp:
                o.help = true;
                break;
            case kVersion:
                o.version = true;
                break;
            case ':':
                return fail(std::string("option '") + argv[optind - 1] + "' needs a value");
            default:
                // For an unknown or ambiguous long option getopt leaves it at optind - 1; a
                // value given to a flag ("--force=yes") arrives here too.
                return fail(std::string("unknown or malformed option '") + argv[optind - 1] + "'");
        }
    }
    if (optind < argc) {
        return fail(std::string("unexpected argument '") + argv[optind] + "'");
    }
    if (o.password.text && o.password.file) {
        return fail("give either --password or --password-file, not both");
    }
    if (o.signerPassword.text && o.signerPassword.file) {
        return fail("give either --signer-password or --signer-password-file, not both");
    }
    if (o.password.file == "-" && o.signerPassword.file == "-") {
        return fail("only one password can come from standard input");
    }
    return result;
}

std::vector<std::string> ExtraSettings(const CliOptions& options) {
    std::vector<std::string> settings;
    if (options.authority) {
        settings.push_back(SettingText(CERTMGR_SETTING_AUTHORITY, 1));
    }
    if (options.legacyPfx) {
        settings.push_back(std::string(CERTMGR_SETTING_PFX_ENCRYPTION) + "=3DES");
    }
    if (!options.subjectAltNames.empty()) {
        std::string names;
        for (const std::string& name : options.subjectAltNames) {
            names += (names.empty() ? "" : ",") + name;
        }
        settings.push_back(std::string(CERTMGR_SETTING_SUBJECT_ALT_NAMES) + "=" + names);
    }
    return settings;
}

std::string UsageText() {
    return R"(Usage: ombrel-cli --out FILE [OPTION]...
Make an X.509 certificate with a new RSA key and write both to a password-protected
PKCS #12 (.pfx) file, self-signed or issued by a signing certificate.

Subject:
  --country TEXT          country (C), e.g. DE
  --state TEXT            state or province (ST)
  --city TEXT             city or locality (L)
  --org TEXT              organization (O)
  --org-unit TEXT         organizational unit (OU)
  --common-name TEXT      common name (CN); for a web site, its host name

Certificate:
  --key-length BITS       RSA key length, 1024 to 8192 (default 2048; TLS libraries
                          refuse keys under 2048 bits)
  --days N                validity in days (default 365)
  --serial N              serial number (default: a random 128-bit number)
  --ca                    make a certificate authority, which can sign other
                          certificates; without it, a certificate for a web site
                          or a client
  --san NAME              subject alternative name: a DNS name or an IP address;
                          repeat for more; replaces the one taken from the common name
  --legacy-pfx            protect the file with 3DES, for readers that know no AES

Output:
  --out FILE              the .pfx file to write
  --force                 replace FILE if it exists
  --password-file FILE    read its password from the first line of FILE (- for stdin)
  --password TEXT         its password on the command line, visible to other users

Signing certificate (optional; without it the certificate signs itself):
  --signer FILE           the .pfx file of the issuing certificate
  --signer-password-file FILE
                          read its password from the first line of FILE (- for stdin)
  --signer-password TEXT  its password on the command line, visible to other users

  --help                  show this help and exit
  --version               show the version and exit

Without a password option, ombrel-cli asks for the password when standard input is a
terminal, and stops otherwise. A password file gives its first line, at most 4096 bytes.

Exit status: 0 when the certificate was written, 1 when making or writing it failed,
2 for a usage error (including a refused value and a password that could not be read).
)";
}
