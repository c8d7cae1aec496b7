// SPDX-License-Identifier: Apache-2.0
// ombrel-cli as scripts meet it: the real program on the real library, its output files
// read back with the openssl command.
#include "process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <thread>
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
    {"PasswordFileWithByteOrderMark", Make({"--password-file", "bom.txt", "--out", "out.pfx"}), {}, 0, kSuccess, "",
     "bompw"},
    {"PasswordFileLongestLine", Make({"--password-file", "longest.txt", "--out", "out.pfx"}), {}, 0, kSuccess, "",
     std::string(4096, 'x')},
    {"PasswordFileLineTooLong", Make({"--password-file", "toolong.txt", "--out", "out.pfx"}), {}, 2, "",
     "the first line of 'toolong.txt' is longer than 4096 bytes", {}},
    {"PasswordFileEndless", Make({"--password-file", "/dev/zero", "--out", "out.pfx"}), {}, 2, "",
     "the first line of '/dev/zero' is longer than 4096 bytes", {}},
    {"PasswordFromStdinTooLong", Make({"--password-file", "-", "--out", "out.pfx"}), std::string(5000, 'y'), 2, "",
     "the first line of standard input is longer than 4096 bytes", {}},
    {"PasswordTwice", Make({"--password", "pw", "--password-file", "pw.txt", "--out", "out.pfx"}), {}, 2, "",
     "either --password or --password-file", {}},
    {"BothPasswordsFromStdin",
     Make({"--password-file", "-", "--signer", "ca.pfx", "--signer-password-file", "-", "--out", "out.pfx"}),
     "a\nb\n", 2, "", "only one password can come from standard input", {}},

    // Failures of the generation itself.
    {"NoOutputFile", Make({"--password", "pw"}), {}, 1, "", "ombrel-cli: Enter an output certificate file.\n", {}},
    {"MissingSigningFile", Make({"--signer", "nosuch.pfx", "--signer-password", "x", "--password", "pw", "--out",
                                 "out.pfx"}),
     {}, 1, "", "ombrel-cli: The signing certificate file \"nosuch.pfx\" does not exist.\n", {}},
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
     "--key-length takes a number of bits from 1024 to 8192, not '768'", {}},
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
    dir.Write("bom.txt",
              "\xEF\xBB\xBF"
              "bompw\r\n");
    dir.Write("longest.txt", std::string(4096, 'x') + "\n");
    dir.Write("toolong.txt", std::string(4097, 'x') + "\n");
    if (c.outExists) {
        dir.Write("out.pfx", "older data");
    }

    const Outcome outcome = Cli(c.args, c.input);

    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_EQ(outcome.out, c.out);
    // The rows' small keys earn a warning of their own, which is not what a row is about.
    std::string err = outcome.err;
    const std::string smallKey = "ombrel-cli: warning: keys under 2048 bits are refused by current TLS libraries\n";
    if (err.starts_with(smallKey)) {
        err.erase(0, smallKey.size());
    }
    if (c.errHas.empty()) {
        EXPECT_EQ(err, "");
    } else {
        EXPECT_NE(err.find(c.errHas), std::string::npos) << err;
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
    const std::set<std::string> known = {"pw.txt",  "crlf.txt",    "empty.txt",   "zero.txt",
                                         "bom.txt", "longest.txt", "toolong.txt", "out.pfx",
                                         "out.pem", ".stdin",      ".stdout",     ".stderr"};
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
    ASSERT_EQ(Cli({"--ca", "--common-name", "Test CA", "--org", "Acme", "--key-length", "1024", "--password-file",
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

// Password files that are pipes, as shells make them; and standard input keeps what follows the
// password line for the next reader, whether it is a pipe or a file.
TEST_F(CliTest, PasswordFromPipes) {
    dir.Write("stdin.txt", "file-pw\nnext line\n");
    const std::string cli = "\"$0\" --key-length 1024 --common-name pipe.example.test --force --out out.pfx ";
    const struct {
        const char* name;
        std::string script;
        std::string password;
        std::string out;
    } rows[] = {
        {"ProcessSubstitution", cli + "--password-file <(printf 'subst-pw\\n')", "subst-pw", kSuccess},
        {"PipeOnStdin", "printf 'pipe-pw\\nnext line\\n' | { " + cli + "--password-file -; cat; }", "pipe-pw",
         kSuccess + "next line\n"},
        {"FileOnStdin", "{ " + cli + "--password-file -; cat; } < stdin.txt", "file-pw",
         kSuccess + "next line\n"},
    };
    for (const auto& row : rows) {
        const Outcome outcome = RunProgram(BASH_PROGRAM, {"-c", row.script, kCli}, dir);
        EXPECT_EQ(outcome.status, 0) << row.name << ": " << outcome.err;
        EXPECT_EQ(outcome.out, row.out) << row.name;
        EXPECT_TRUE(ExtractCertificate("out.pfx", row.password, "out.pem")) << row.name;
    }
}

// A named pipe whose writer comes later and is slow: the read waits for the line instead of taking
// the empty pipe for an empty password.
TEST_F(CliTest, PasswordFromANamedPipeWaitsForItsWriter) {
    const std::string fifo = (dir / "pw.fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] {
        const int fd = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);  // waits for ombrel-cli to open it
        if (fd >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            [[maybe_unused]] const ssize_t written = write(fd, "fifo-pw\n", 8);
            close(fd);
        }
    });
    const Outcome outcome = Cli(Make({"--password-file", "pw.fifo", "--out", "out.pfx"}));
    writer.join();
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(ExtractCertificate("out.pfx", "fifo-pw", "out.pem"));
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

// Two runs to one new output file without --force: the component puts the file in place only
// if nothing is there yet, so whichever comes second fails and the first one's key survives.
TEST_F(CliTest, TwoRunsToOneOutputKeepTheFirstFile) {
    ScratchDir shared;
    const std::string out = (shared / "out.pfx").string();
    for (int round = 0; round < 4; ++round) {
        std::filesystem::remove(out);
        ScratchDir dirA, dirB;
        Outcome a, b;
        auto run = [&out](const ScratchDir& dir, const std::string& password, Outcome& outcome) {
            outcome = RunProgram(kCli,
                                 {"--key-length", "1024", "--common-name", "race.example", "--password",
                                  password, "--out", out},
                                 dir);
        };
        std::thread first(run, std::cref(dirA), "password-a", std::ref(a));
        std::thread second(run, std::cref(dirB), "password-b", std::ref(b));
        first.join();
        second.join();

        ASSERT_EQ((a.status == 0) + (b.status == 0), 1) << a.err << b.err;
        const Outcome& loser = a.status == 0 ? b : a;
        EXPECT_TRUE(loser.err.find("exists") != std::string::npos) << loser.err;
        const std::string winner = a.status == 0 ? "password-a" : "password-b";
        const std::string other = a.status == 0 ? "password-b" : "password-a";
        EXPECT_TRUE(ExtractCertificate(out, winner, (dir / "race.pem").string()));
        EXPECT_FALSE(ExtractCertificate(out, other, (dir / "race.pem").string()));
        for (const auto& entry : std::filesystem::directory_iterator(shared.Path())) {
            EXPECT_EQ(entry.path().filename(), "out.pfx") << "left behind: " << entry.path();
        }
    }
}

// Choices that work but that some clients refuse are made with a word on standard error.
TEST_F(CliTest, WarnsAboutChoicesThatClientsRefuse) {
    struct Row {
        std::vector<std::string> args;
        const char* warning;  // nothing: no warning at all
    };
    const Row rows[] = {
        {{"--key-length", "2048", "--password", "pw"}, nullptr},
        {{"--key-length", "1024", "--password", "pw"}, "keys under 2048 bits are refused"},
        {{"--days", "826", "--password", "pw"}, "valid for more than 825 days"},
        {{"--days", "826", "--ca", "--password", "pw"}, nullptr},
        {{"--password", "p\xc3\xa4ss"}, "Java's keytool cannot open"},
        {{"--password", ""}, "saved without a password"},
        {{"--common-name", "not a host name", "--password", "pw"}, "browsers will refuse it"},
        {{"--common-name", "not a host name", "--ca", "--password", "pw"}, nullptr},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--common-name", "warn.example.test", "--force", "--out", "out.pfx"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Outcome outcome = Cli(args);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        if (row.warning == nullptr) {
            EXPECT_EQ(outcome.err, "") << args[args.size() - 1];
        } else {
            EXPECT_TRUE(outcome.err.starts_with("ombrel-cli: warning: ")) << outcome.err;
            EXPECT_NE(outcome.err.find(row.warning), std::string::npos) << outcome.err;
        }
    }
}

// Left to itself the command picks a fresh random serial each time, so that a CA and what it
// issues, or two certificates for one name, never share issuer and serial.
TEST_F(CliTest, DefaultSerialIsRandomAndLarge) {
    std::set<std::string> serials;
    for (const char* out : {"a.pfx", "b.pfx"}) {
        ASSERT_EQ(Cli({"--common-name", "serial.example.test", "--password", "pw", "--out", out}).status, 0);
        ASSERT_TRUE(ExtractCertificate(out, "pw", "serial.pem"));
        const std::string serial = X509("serial.pem", {"-serial"});
        EXPECT_GE(serial.size(), std::string("serial=\n").size() + 24) << serial;  // about 128 bits
        serials.insert(serial);
    }
    EXPECT_EQ(serials.size(), 2u);
}

// SIGINT while the key is being made stops the run through the component's progress event:
// nothing is written and no temporary file is left.
TEST_F(CliTest, InterruptCancelsWithoutLeavingAFile) {
    const Outcome outcome = RunProgram("/usr/bin/timeout",
                                       {"--preserve-status", "-s", "INT", "1", kCli, "--key-length", "8192",
                                        "--common-name", "slow.example.test", "--password", "pw", "--out",
                                        "out.pfx"},
                                       dir);
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_NE(outcome.err.find("cancelled"), std::string::npos) << outcome.err;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_TRUE(entry.path().filename().string().starts_with(".std")) << "left behind: " << entry.path();
    }
}
