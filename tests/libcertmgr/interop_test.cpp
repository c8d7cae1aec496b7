// SPDX-License-Identifier: Apache-2.0
// Independent readers open both formats, and OpenSSL's verifier accepts the certificates made here:
// self-signed, issued by a self-signed one of this same component, and issued below an intermediate.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <sys/wait.h>

#include <cstdio>

namespace certmgr_test {
namespace {

struct Outcome {
    int status;
    std::string output;
};

Outcome Shell(const std::string& command) {
    Outcome run{-1, {}};
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        run.output += buffer;
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

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

    Outcome openssl =
        Shell("openssl pkcs12 -in " + Quote(file) + " -noout -passin pass:" + Quote(row.password));
    EXPECT_EQ(openssl.status, 0) << openssl.output;
    Outcome wrong = Shell("openssl pkcs12 -in " + Quote(file) + " -noout -passin pass:not-it");
    EXPECT_NE(wrong.status, 0) << wrong.output;

    const std::string gnutlsPassword =
        row.password.empty() ? "--empty-password" : "--password=" + Quote(row.password);
    Outcome gnutls = Shell("certtool --p12-info --inder --infile " + Quote(file) + " " + gnutlsPassword);
    EXPECT_EQ(gnutls.status, 0) << gnutls.output;
    EXPECT_NE(gnutls.output.find("reader.example"), std::string::npos) << gnutls.output;

    const std::string db = "sql:" + dir.File("nssdb");
    Outcome made =
        Shell("mkdir " + Quote(dir.File("nssdb")) + " && certutil -N -d " + Quote(db) + " --empty-password");
    ASSERT_EQ(made.status, 0) << made.output;
    Outcome nss = Shell("pk12util -l " + Quote(file) + " -d " + Quote(db) + " -W " + Quote(row.password));
    EXPECT_EQ(nss.status, 0) << nss.output;
    EXPECT_NE(nss.output.find("reader.example"), std::string::npos) << nss.output;
}

INSTANTIATE_TEST_SUITE_P(CertMgr, ReaderTest,
                         testing::Values(ReaderCase{"Aes256", "PfxEncryption=AES256", "Interop-Pass-1"},
                                         ReaderCase{"TripleDes", "PfxEncryption=3DES", "Interop-Pass-1"},
                                         ReaderCase{"Aes256EmptyPassword", "PfxEncryption=AES256", ""},
                                         ReaderCase{"TripleDesEmptyPassword", "PfxEncryption=3DES", ""}),
                         [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

Outcome Verify(const TempDir& dir, const std::string& trusted, const std::string& untrusted,
               const std::string& leaf) {
    std::string command = "openssl verify -purpose sslserver -CAfile " + Quote(dir.File(trusted));
    if (!untrusted.empty()) {
        command += " -untrusted " + Quote(dir.File(untrusted));
    }
    return Shell(command + " " + Quote(dir.File(leaf)));
}

// As the tool runs it: one instance makes the CA, a later one loads it and issues.
TEST(CertMgrInterop, CertificateIssuedByASelfSignedOneVerifies) {
    TempDir dir;
    {
        Component maker;
        ASSERT_EQ(maker.Apply("CertKeyLength=1024"), 0);
        ASSERT_EQ(maker.CreateSelfSigned(SubjectText("US", "", "", "Acme", "", "Acme Root"), 1), 0)
            << maker.Error();
        ASSERT_EQ(maker.Export(dir.File("ca.pfx"), "ca-pw"), 0) << maker.Error();
    }
    Component issuer;
    ASSERT_EQ(issuer.Apply("CertKeyLength=1024"), 0);
    ASSERT_EQ(issuer.Load(dir.File("ca.pfx"), "ca-pw"), 0) << issuer.Error();
    ASSERT_EQ(issuer.IssueSigned(SubjectText("US", "", "", "Acme", "", "www.example.com"), 2), 0)
        << issuer.Error();
    auto leaf = ExportAndOpen(issuer, dir, "leaf.pfx");
    auto ca = OpenPfx(dir.File("ca.pfx"), "ca-pw");
    ASSERT_TRUE(leaf && ca);
    WritePem(dir.File("ca.pem"), ca->cert.get());
    WritePem(dir.File("leaf.pem"), leaf->cert.get());

    Outcome self = Verify(dir, "ca.pem", "", "ca.pem");
    EXPECT_EQ(self.status, 0) << self.output;
    Outcome issued = Verify(dir, "ca.pem", "", "leaf.pem");
    EXPECT_EQ(issued.status, 0) << issued.output;
    Outcome hostname = Shell("openssl verify -verify_hostname www.example.com -CAfile " +
                             Quote(dir.File("ca.pem")) + " " + Quote(dir.File("leaf.pem")));
    EXPECT_EQ(hostname.status, 0) << hostname.output;
}

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

    Outcome run = Verify(dir, "root.pem", "intermediate.pem", "leaf.pem");
    EXPECT_EQ(run.status, 0) << run.output;
}

}  // namespace
}  // namespace certmgr_test
