// SPDX-License-Identifier: Apache-2.0
// ombrel-cli as scripts meet it: the real program on the real library, its output files
// read back with the openssl command.
#include "process.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kCli = OMBREL_CLI;
const std::string kOpenssl = OPENSSL_PROGRAM;
const std::string kSuccess = "Certificate successfully created!\n";
const std::string kTryHelp = "Try 'ombrel-cli --help' for more information.";

class CliTest : public ::testing::Test {
protected:
    ScratchDir dir;

    Outcome Cli(const std::vector<std::string>& args,
                const std::optional<std::string>& input = std::nullopt) {
        return RunProgram(kCli, args, dir, input);
    }
    Outcome Openssl(const std::vector<std::string>& args) { return RunProgram(kOpenssl, args, dir); }

    // Extracts the file's own certificate to name.pem; false when the password does not open it.
    bool ExtractCertificate(const std::string& pfx, const std::string& password, const std::string& pem) {
        return Openssl(
                   {"pkcs12", "-in", pfx, "-passin", "pass:" + password, "-nokeys", "-clcerts", "-out", pem})
                   .status == 0;
    }
    std::string X509(const std::string& pem, std::vector<std::string> args) {
        args.insert(args.begin(), {"x509", "-in", pem, "-noout"});
        const Outcome outcome = Openssl(args);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        return outcome.out;
    }
};

// One command line and what a script sees of it. Every row writes to out.pfx.
struct Case {
    std::string name;
    std::vector<std::string> args;
    std::optional<std::string> input;  // standard input; /dev/null without
    int status;
    std::string out;                       // the whole of standard output
    std::string errHas;                    // a part of standard error; empty: standard error stays empty
    std::optional<std::string> opensWith;  // out.pfx is written and this password opens it
    bool outExists = false;                // out.pfx holds other data before the run
};

// Test names show the row's name rather than its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class CliTableTest : public CliTest, public ::testing::WithParamInterface<Case> {};

// The common name keeps every row's subject non-empty; 1024-bit keys keep the table quick.
std::vector<std::string> Make(std::vector<std::string> args) {
    args.insert(args.begin(), {"--key-length", "1024", "--common-name", "table.example.test"});
    return args;
}

// One row per line where it fits, so that the table reads as one.
// clang-format off
const Case kCases[] = {
    // Passwords: each source, and what reaches the file.
    {"PasswordOnCommandLine", Make({"--password", "pw", "--out", "out.pfx"}), {}, 0, kSuccess, "", "pw"},
    {"PasswordFileFirstLineOnly", Make({"--password-file", "pw.txt", "--out", "out.pfx"}), {}, 0, kSuccess, "",
     "filepw"},
    {"PasswordFileWithCrLf", Make({"--password-file", "crlf.txt", "--out", "out.pfx"}), {}, 0, kSuccess, "",
     "crlfpw"},
    {"EmptyPasswordFile", Make({"--password-file", "empty.txt", "--out", "out.pfx"}), {}, 0, kSuccess,
     "warning: the private key is saved without a password", ""},
    {"PasswordFromStdin", Make({"--password-file", "-", "--out", "out.pfx"}), "stdinpw\nnext line\n", 0, kSuccess,
     "", "stdinpw"},
    {"NoPasswordAndNoTerminal", Make({"--out", "out.pfx"}), {}, 2, "", "use --password-file", {}},
    {"MissingPasswordFile", Make({"--password-file", "missing.txt", "--out", "out.pfx"}), {}, 2, "",
     "cannot open the password file 'missing.txt'", {}},
    {"PasswordFileIsAFolder", Make({"--password-file", ".", "--out", "out.pfx"}), {}, 2, "",
     "cannot read the password from '.'", {}},
    {"PasswordFileWithZeroByte", Make({"--password-file", "zero.txt", "--out", "out.pfx"}), {}, 2, "",
     "holds a zero byte", {}},
    {"PasswordTwice", Make({"--password", "pw", "--password-file", "pw.txt", "--out", "out.pfx"}), {}, 2, "",
     "either --password or --password-file", {}},
    {"BothPasswordsFromStdin",
     Make({"--password-file", "-", "--signer", "ca.pfx", "--signer-password-file", "-", "--out", "out.pfx"}),
     "a\nb\n", 2, "", "only one password can come from standard input", {}},

    // Failures of the generation itself.
    {"NoOutputFile", Make({"--password", "pw"}), {}, 1, "", "ombrel-cli: Enter an output certificate file.\n", {}},
    {"MissingSigningFile", Make({"--signer", "nosuch.pfx", "--signer-password", "x", "--password", "pw", "--out",
                                 "out.pfx"}),
     {}, 1, "", "(Wrong Password?)\n", {}},
    {"OutputFolderMissing", Make({"--password", "pw", "--out", "nosuch/out.pfx"}), {}, 1, "", "ombrel-cli: Cannot write", {}},
    {"EmptySubject", {"--key-length", "1024", "--password", "pw", "--out", "out.pfx"}, {}, 1, "",
     "The subject is empty", {}},

    // An existing file is replaced only on request.
    {"ExistingOutputKept", Make({"--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "'out.pfx' exists; add --force to replace it", {}, true},
    {"ExistingOutputForced", Make({"--force", "--password", "pw", "--out", "out.pfx"}), {}, 0, kSuccess, "", "pw",
     true},

    // Usage errors.
    {"UnknownOption", Make({"--colour", "red", "--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "unknown or malformed option '--colour'", {}},
    {"ValueMissing", Make({"--password", "pw", "--out"}), {}, 2, "", "option '--out' needs a value", {}},
    {"ValueGivenToFlag", Make({"--force=yes", "--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "unknown or malformed option '--force=yes'", {}},
    {"StrayArgument", Make({"--password", "pw", "--out", "out.pfx", "extra"}), {}, 2, "",
     "unexpected argument 'extra'", {}},
    {"KeyLengthNotOffered", Make({"--key-length", "768", "--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "--key-length takes 1024, 2048, 3072 or 4096, not '768'", {}},
    {"DaysWithSign", Make({"--days", "-5", "--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "--days takes a whole number from 0 to 4294967295, not '-5'", {}},
    {"DaysEmpty", Make({"--days", "", "--password", "pw", "--out", "out.pfx"}), {}, 2, "", "--days takes", {}},
    {"SerialBeyond32Bits", Make({"--serial", "4294967296", "--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "--serial takes a whole number", {}},
    // Values the library refuses end the run with its own words, before any key is made.
    {"DaysZeroRefused", Make({"--days", "0", "--password", "pw", "--out", "out.pfx"}), {}, 1, "",
     "ombrel-cli: CertValidityTime must be", {}},
    {"DaysPastYear9999", Make({"--days", "4294967295", "--password", "pw", "--out", "out.pfx"}), {}, 1, "",
     "9999-12-31", {}},
    {"SanEmpty", Make({"--san", "", "--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "--san takes one name or address", {}},
    {"SanWithComma", Make({"--san", "a.test,b.test", "--password", "pw", "--out", "out.pfx"}), {}, 2, "",
     "--san takes one name or address", {}},
    {"SanNeitherNameNorAddress", Make({"--san", "not a host", "--password", "pw", "--out", "out.pfx"}), {}, 1, "",
     "ombrel-cli: CertSubjectAltNames", {}},

    {"Version", {"--version"}, {}, 0, "Ombrel 2.1\n", "", {}},
};
// clang-format on

TEST_P(CliTableTest, Outcome) {
    const Case& c = GetParam();
    dir.Write("pw.txt", "filepw\nsecond line\n");
    dir.Write("crlf.txt", "crlfpw\r\n");
    dir.Write("empty.txt", "");
    dir.Write("zero.txt", std::string("ab\0cd\n", 6));
    if (c.outExists) {
        dir.Write("out.pfx", "older data");
    }

    const Outcome outcome = Cli(c.args, c.input);

    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_EQ(outcome.out, c.out);
    if (c.errHas.empty()) {
        EXPECT_EQ(outcome.err, "");
    } else {
        EXPECT_NE(outcome.err.find(c.errHas), std::string::npos) << outcome.err;
    }
    if (c.status == 2) {
        EXPECT_NE(outcome.err.find(kTryHelp), std::string::npos) << outcome.err;
    }
    if (c.opensWith) {
        EXPECT_TRUE(ExtractCertificate("out.pfx", *c.opensWith, "out.pem"));
    } else if (c.outExists) {
        EXPECT_EQ(dir.Read("out.pfx"), "older data");
    } else {
        EXPECT_FALSE(dir.Has("out.pfx"));
    }
    // No run leaves a temporary file behind, written or not.
    const std::set<std::string> known = {"pw.txt",  "crlf.txt", "empty.txt", "zero.txt", "out.pfx",
                                         "out.pem", ".stdin",   ".stdout",   ".stderr"};
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_TRUE(known.contains(entry.path().filename().string())) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLines, CliTableTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST_F(CliTest, HelpNamesEveryOption) {
    const Outcome outcome = Cli({"--help"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out.rfind("Usage: ombrel-cli", 0), 0u) << outcome.out;
    for (const char* option : {"--country",
                               "--state",
                               "--city",
                               "--org",
                               "--org-unit",
                               "--common-name",
                               "--key-length",
                               "--days",
                               "--serial",
                               "--out",
                               "--signer",
                               "--password",
                               "--password-file",
                               "--signer-password",
                               "--signer-password-file",
                               "--legacy-pfx",
                               "--san",
                               "--force",
                               "--help",
                               "--version"}) {
        EXPECT_NE(outcome.out.find(std::string(option) + " "), std::string::npos) << option;
    }
}

// Each option lands in its own field: distinct values catch two fields swapped.
TEST_F(CliTest, OptionsReachTheirFields) {
    const Outcome outcome =
        Cli({"--country",    "DE",        "--state",    "Bavaria",   "--city",        "M\xC3\xBCnchen",
             "--org",        "Acme GmbH", "--org-unit", "Build",     "--common-name", "build.example.test",
             "--key-length", "1024",      "--days",     "2",         "--serial",      "4294967295",
             "--password",   "pw",        "--out",      "fields.pfx"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    ASSERT_TRUE(ExtractCertificate("fields.pfx", "pw", "fields.pem"));

    EXPECT_EQ(X509("fields.pem", {"-subject", "-nameopt", "RFC2253,-esc_msb"}),
              "subject=CN=build.example.test,OU=Build,O=Acme GmbH,L=M\xC3\xBCnchen,ST=Bavaria,C=DE\n");
    EXPECT_EQ(X509("fields.pem", {"-serial"}), "serial=FFFFFFFF\n");
    EXPECT_NE(X509("fields.pem", {"-text"}).find("Public-Key: (1024 bit)"), std::string::npos);
    // Two days: still valid in one day, no longer in three.
    EXPECT_EQ(Openssl({"x509", "-in", "fields.pem", "-noout", "-checkend", "86400"}).status, 0);
    EXPECT_EQ(Openssl({"x509", "-in", "fields.pem", "-noout", "-checkend", "259200"}).status, 1);
}

}  // namespace

namespace {

// A certificate issued by one that ombrel-cli made: the chain verifies, and a wrong
// signing password fails without showing the password.
TEST_F(CliTest, IssuesWithSigningCertificate) {
    dir.Write("ca.pass", "ca-secret\n");
    ASSERT_EQ(Cli({"--common-name", "Test CA", "--org", "Acme", "--key-length", "1024", "--password-file",
                   "ca.pass", "--out", "ca.pfx"})
                  .status,
              0);

    const Outcome issued =
        Cli({"--common-name", "leaf.example.test", "--key-length", "1024", "--serial", "7", "--signer",
             "ca.pfx", "--signer-password-file", "ca.pass", "--password", "leaf", "--out", "leaf.pfx"});
    ASSERT_EQ(issued.status, 0) << issued.err;
    EXPECT_EQ(issued.out, kSuccess);
    ASSERT_TRUE(ExtractCertificate("ca.pfx", "ca-secret", "ca.pem"));
    ASSERT_TRUE(ExtractCertificate("leaf.pfx", "leaf", "leaf.pem"));
    EXPECT_EQ(X509("leaf.pem", {"-issuer", "-nameopt", "RFC2253"}), "issuer=CN=Test CA,O=Acme\n");
    // Level 0 lets the small test keys through; the signature and the chain are still checked.
    const Outcome verified = Openssl({"verify", "-auth_level", "0", "-CAfile", "ca.pem", "leaf.pem"});
    EXPECT_EQ(verified.status, 0) << verified.out << verified.err;

    const std::string wrong = "not-the-ca-password";
    const Outcome refused =
        Cli({"--common-name", "leaf2.example.test", "--key-length", "1024", "--signer", "ca.pfx",
             "--signer-password", wrong, "--password", "leaf", "--out", "leaf2.pfx"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(refused.err.ends_with(" (Wrong Password?)\n")) << refused.err;
    EXPECT_EQ(refused.err.find(wrong), std::string::npos) << refused.err;
    EXPECT_FALSE(dir.Has("leaf2.pfx"));
}

// The two extras the form does not have, read back by openssl.
TEST_F(CliTest, LegacyPfxSwitchesTheEncryption) {
    struct Row {
        std::vector<std::string> extra;
        const char* present;
        const char* absent;
    };
    for (const Row& row : {Row{{}, "AES-256-CBC", "TripleDES"}, Row{{"--legacy-pfx"}, "TripleDES", "AES"}}) {
        std::vector<std::string> args = {"--common-name", "pfx.example.test", "--key-length", "1024",
                                         "--force",       "--password",       "pw",           "--out",
                                         "enc.pfx"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        ASSERT_EQ(Cli(args).status, 0);
        const Outcome info = Openssl({"pkcs12", "-in", "enc.pfx", "-info", "-noout", "-passin", "pass:pw"});
        ASSERT_EQ(info.status, 0) << info.err;
        const std::string text = info.out + info.err;  // openssl writes the details to standard error
        EXPECT_NE(text.find(row.present), std::string::npos) << text;
        EXPECT_EQ(text.find(row.absent), std::string::npos) << text;
    }
}

TEST_F(CliTest, SanReplacesTheAutomaticName) {
    ASSERT_EQ(Cli({"--common-name", "cn.example.test", "--key-length", "1024", "--san", "www.example.test",
                   "--san", "192.0.2.7", "--san", "2001:db8::1", "--password", "pw", "--out", "san.pfx"})
                  .status,
              0);
    ASSERT_TRUE(ExtractCertificate("san.pfx", "pw", "san.pem"));
    const std::string ext = X509("san.pem", {"-ext", "subjectAltName"});
    EXPECT_NE(ext.find("DNS:www.example.test, IP Address:192.0.2.7, IP Address:2001:DB8:0:0:0:0:0:1\n"),
              std::string::npos)
        << ext;
    EXPECT_EQ(ext.find("cn.example.test"), std::string::npos) << ext;
}

}  // namespace
