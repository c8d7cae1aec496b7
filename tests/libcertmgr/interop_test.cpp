// SPDX-License-Identifier: Apache-2.0
// Independent readers open both formats, OpenSSL's verifier accepts the certificates made here as
// server certificates: self-signed, below authorities of this same component, and below an
// intermediate; their chains carry no key IDs; and host checks match the names derived here.
#include "component.h"
#include "shell.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <sys/wait.h>

#include <cstdio>
#include <vector>

namespace certmgr_test {
namespace {

struct ReaderCase {
    const char* name;
    const char* setting;
    std::string password;
};

// Test names and failure messages show the row by its name.
void PrintTo(const ReaderCase& row, std::ostream* out) {
    *out << row.name;
}

class ReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, OpensInOpenSslGnuTlsAndNss) {
    const ReaderCase& row = GetParam();
    TempDir dir;
    const std::string file = dir.File("out.pfx");
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
    ASSERT_EQ(component.Apply(row.setting), 0);
    ASSERT_EQ(component.CreateSelfSigned(SubjectText("US", "", "", "Acme, Inc.", "", "reader.example"), 1), 0)
        << component.Error();
    ASSERT_EQ(component.Export(file, row.password), 0) << component.Error();

    ShellOutcome openssl =
        Shell("openssl pkcs12 -in " + Quote(file) + " -noout -passin pass:" + Quote(row.password));
    EXPECT_EQ(openssl.status, 0) << openssl.output;
    ShellOutcome wrong = Shell("openssl pkcs12 -in " + Quote(file) + " -noout -passin pass:not-it");
    EXPECT_NE(wrong.status, 0) << wrong.output;

    const std::string gnutlsPassword =
        row.password.empty() ? "--empty-password" : "--password=" + Quote(row.password);
    ShellOutcome gnutls = Shell("certtool --p12-info --inder --infile " + Quote(file) + " " + gnutlsPassword);
    EXPECT_EQ(gnutls.status, 0) << gnutls.output;
    EXPECT_NE(gnutls.output.find("reader.example"), std::string::npos) << gnutls.output;

    const std::string db = "sql:" + dir.File("nssdb");
    ShellOutcome made =
        Shell("mkdir " + Quote(dir.File("nssdb")) + " && certutil -N -d " + Quote(db) + " --empty-password");
    ASSERT_EQ(made.status, 0) << made.output;
    ShellOutcome nss = Shell("pk12util -l " + Quote(file) + " -d " + Quote(db) + " -W " + Quote(row.password));
    EXPECT_EQ(nss.status, 0) << nss.output;
    EXPECT_NE(nss.output.find("reader.example"), std::string::npos) << nss.output;
}

INSTANTIATE_TEST_SUITE_P(CertMgr, ReaderTest,
                         testing::Values(ReaderCase{"Aes256", "PfxEncryption=AES256", "Interop-Pass-1"},
                                         ReaderCase{"TripleDes", "PfxEncryption=3DES", "Interop-Pass-1"},
                                         ReaderCase{"Aes256EmptyPassword", "PfxEncryption=AES256", ""},
                                         ReaderCase{"TripleDesEmptyPassword", "PfxEncryption=3DES", ""}),
                         [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

ShellOutcome Verify(const TempDir& dir, const std::string& trusted, const std::string& untrusted,
               const std::string& leaf) {
    std::string command = "openssl verify -purpose sslserver -CAfile " + Quote(dir.File(trusted));
    if (!untrusted.empty()) {
        command += " -untrusted " + Quote(dir.File(untrusted));
    }
    return Shell(command + " " + Quote(dir.File(leaf)));
}

// One run of the tool in an instance of its own: a self-signed certificate, or one issued by the
// signing file `signer`; written to `out` and as `out`.pem. The files share one password.
void Make(const TempDir& dir, const std::vector<std::string>& settings, const std::string& signer,
          const std::string& commonName, const std::string& out) {
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
    for (const std::string& setting : settings) {
        ASSERT_EQ(component.Apply(setting), 0) << setting << ": " << component.Error();
    }
    const std::string subject = SubjectText("US", "", "", "Acme", "", commonName);
    if (signer.empty()) {
        ASSERT_EQ(component.CreateSelfSigned(subject, 0), 0) << component.Error();
    } else {
        ASSERT_EQ(component.Load(dir.File(signer), "pw"), 0) << component.Error();
        ASSERT_EQ(component.IssueSigned(subject, 0), 0) << component.Error();
    }
    auto opened = ExportAndOpen(component, dir, out, "pw");
    ASSERT_TRUE(opened);
    WritePem(dir.File(out + ".pem"), opened->cert.get());
}

// A root authority, an authority below it, and a server certificate below that, each made as the tool
// makes it; and a server certificate that is its own trust anchor, as a user trusts a self-signed one.
TEST(CertMgrInterop, CertificatesMadeHereVerifyAsServerCertificates) {
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(
        Make(dir, {"CertAuthority=1", "CertValidityTime=3650"}, "", "Acme Root", "root.pfx"));
    ASSERT_NO_FATAL_FAILURE(Make(dir, {"CertAuthority=1", "CertValidityTime=1000"}, "root.pfx",
                                 "Acme Intermediate", "intermediate.pfx"));
    ASSERT_NO_FATAL_FAILURE(Make(dir, {}, "intermediate.pfx", "www.example.com", "leaf.pfx"));
    ASSERT_NO_FATAL_FAILURE(Make(dir, {}, "", "self.example", "self.pfx"));

    ShellOutcome root = Verify(dir, "root.pfx.pem", "", "root.pfx.pem");
    EXPECT_EQ(root.status, 0) << root.output;
    ShellOutcome leaf = Shell("openssl verify -purpose sslserver -verify_hostname www.example.com -CAfile " +
                         Quote(dir.File("root.pfx.pem")) + " -untrusted " +
                         Quote(dir.File("intermediate.pfx.pem")) + " " + Quote(dir.File("leaf.pfx.pem")));
    EXPECT_EQ(leaf.status, 0) << leaf.output;
    ShellOutcome self = Shell("openssl verify -purpose sslserver -verify_hostname self.example -CAfile " +
                         Quote(dir.File("self.pfx.pem")) + " " + Quote(dir.File("self.pfx.pem")));
    EXPECT_EQ(self.status, 0) << self.output;
}

// Readers take the certificate that carries the key's ID for the key's own; the chain must carry none.
TEST(CertMgrInterop, OnlyTheNewCertificateCarriesKeyIdAndFriendlyName) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Intermediate), kSignerPassword), 0) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=chain.example", 0), 0) << component.Error();
    ASSERT_EQ(component.Export(dir.File("out.pfx"), "pw"), 0) << component.Error();
    auto certificates = [&](const char* which) {
        return Shell("openssl pkcs12 -in " + Quote(dir.File("out.pfx")) + " -passin pass:pw -nokeys " +
                     which);
    };
    auto count = [](const std::string& text, const std::string& part) {
        std::size_t found = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++found;
        }
        return found;
    };

    const ShellOutcome own = certificates("-clcerts");
    ASSERT_EQ(own.status, 0) << own.output;
    EXPECT_EQ(count(own.output, "BEGIN CERTIFICATE"), 1U) << own.output;
    EXPECT_NE(own.output.find("friendlyName: chain.example"), std::string::npos) << own.output;
    EXPECT_EQ(count(own.output, "localKeyID:"), 1U) << own.output;

    const ShellOutcome chain = certificates("-cacerts");
    ASSERT_EQ(chain.status, 0) << chain.output;
    EXPECT_EQ(count(chain.output, "BEGIN CERTIFICATE"), 2U) << chain.output;
    EXPECT_NE(chain.output.find("Test Intermediate CA"), std::string::npos) << chain.output;
    EXPECT_NE(chain.output.find("Test Root CA"), std::string::npos) << chain.output;
    EXPECT_EQ(chain.output.find("localKeyID"), std::string::npos) << chain.output;
    EXPECT_EQ(chain.output.find("friendlyName"), std::string::npos) << chain.output;
}

struct HostCase {
    const char* name;
    std::string commonName;
    std::string host;  // as a client looks it up
};

void PrintTo(const HostCase& row, std::ostream* out) {
    *out << row.name;
}

class HostTest : public testing::TestWithParam<HostCase> {};

// The name derived from the common name is one that OpenSSL's and GnuTLS's host checks match, and
// another host does not.
TEST_P(HostTest, MatchesInOpenSslAndGnuTls) {
    const HostCase& row = GetParam();
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(Make(dir, {"CertAuthority=1"}, "", "Acme Root", "root.pfx"));
    ASSERT_NO_FATAL_FAILURE(Make(dir, {"CertValidityTime=30"}, "root.pfx", row.commonName, "host.pfx"));
    const std::string root = Quote(dir.File("root.pfx.pem"));
    const std::string host = Quote(dir.File("host.pfx.pem"));
    for (const std::string& name : {row.host, std::string("other.example")}) {
        const bool matches = name == row.host;
        ShellOutcome openssl = Shell("openssl verify -purpose sslserver -verify_hostname " + Quote(name) +
                                " -CAfile " + root + " " + host);
        EXPECT_EQ(openssl.status == 0, matches) << name << ": " << openssl.output;
        ShellOutcome gnutls = Shell("certtool --verify --load-ca-certificate " + root + " --infile " + host +
                               " --verify-hostname " + Quote(name));
        EXPECT_EQ(gnutls.status == 0, matches) << name << ": " << gnutls.output;
    }
}

INSTANTIATE_TEST_SUITE_P(CertMgr, HostTest,
                         testing::Values(HostCase{"Underscore", "my_host.example", "my_host.example"},
                                         HostCase{"Idn",
                                                  "b\xC3\xBC"
                                                  "cher.example",
                                                  "xn--bcher-kva.example"},
                                         HostCase{"IdnWildcard",
                                                  "*.b\xC3\xBC"
                                                  "cher.example",
                                                  "www.xn--bcher-kva.example"}),
                         [](const testing::TestParamInfo<HostCase>& info) { return info.param.name; });

TEST(CertMgrInterop, CertificateIssuedBelowAnIntermediateVerifies) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
    ASSERT_EQ(component.Load(SignerFile(SignerKind::Intermediate), kSignerPassword), 0) << component.Error();
    ASSERT_EQ(component.IssueSigned("CN=deep.example", 9), 0) << component.Error();
    auto leaf = ExportAndOpen(component, dir, "leaf.pfx");
    ASSERT_TRUE(leaf);
    ASSERT_EQ(sk_X509_num(leaf->chain.get()), 2);
    WritePem(dir.File("leaf.pem"), leaf->cert.get());
    WritePem(dir.File("intermediate.pem"), sk_X509_value(leaf->chain.get(), 0));
    WritePem(dir.File("root.pem"), IntermediateRoot());

    ShellOutcome run = Verify(dir, "root.pem", "intermediate.pem", "leaf.pem");
    EXPECT_EQ(run.status, 0) << run.output;
}

}  // namespace
}  // namespace certmgr_test
