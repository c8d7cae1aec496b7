// SPDX-License-Identifier: Apache-2.0
// The CA files of NIST's PKITS suite (as PKCS #12 files from python3-cryptography-vectors) as signing
// files: the ones listed below are refused for the reason given, every other one loads and issues a
// certificate that OpenSSL's verifier accepts with it as the trust anchor.
#include "component.h"
#include "shell.h"
#include "pfx.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace certmgr_test {
namespace {

namespace fs = std::filesystem;

constexpr char kPkitsPassword[] = "password";

// Reasons as the messages word them.
constexpr char kNotCertSign[] = "lacks certificate signing (keyCertSign)";
constexpr char kCaFalse[] = "its basic constraints say CA:FALSE";

const std::map<std::string, std::string>& Refused() {
    static const std::map<std::string, std::string> refused = {
        {"BadnotAfterDateCACert.p12", "expired on 2011-01-01"},
        {"BadnotBeforeDateCACert.p12", "is not valid before 2047-01-01"},
        {"MissingbasicConstraintsCACert.p12", "not marked as a certificate authority"},
        {"basicConstraintsCriticalcAFalseCACert.p12", kCaFalse},
        {"basicConstraintsNotCriticalcAFalseCACert.p12", kCaFalse},
        {"keyUsageCriticalkeyCertSignFalseCACert.p12", kNotCertSign},
        {"keyUsageNotCriticalkeyCertSignFalseCACert.p12", kNotCertSign},
        // CRL signers: their key usage is cRLSign alone.
        {"SeparateCertificateandCRLKeysCA2CRLSigningCert.p12", kNotCertSign},
        {"indirectCRLCA3cRLIssuerCert.p12", kNotCertSign},
        {"indirectCRLCA4cRLIssuerCert.p12", kNotCertSign},
        // End entities: the "CA" in their names is about the CA above them.
        {"InvalidCASignatureTest2EE.p12", kNotCertSign},
        {"InvalidCAnotAfterDateTest5EE.p12", kNotCertSign},
        {"InvalidCAnotBeforeDateTest1EE.p12", kNotCertSign},
        {"InvalidRevokedCATest2EE.p12", kNotCertSign},
        {"InvalidonlyContainsCACertsTest12EE.p12", kNotCertSign},
        // Its public key takes the DSA parameters from its issuer, which the file does not hold: the
        // key cannot be matched, and nothing could verify what it signed.
        {"DSAParametersInheritedCACert.p12", "no certificate that matches its private key"},
    };
    return refused;
}

// Subjects inside the permitted subtrees of the name-constrained CAs; the others issue for
// CN=pkits.example, which none of them excludes.
const std::map<std::string, std::string>& Subjects() {
    static const std::string kO = "C=US,O=Test Certificates 2011,";
    static const std::map<std::string, std::string> subjects = {
        {"nameConstraintsDN1CACert.p12", kO + "OU=permittedSubtree1,CN=pkits.example"},
        {"nameConstraintsDN1subCA1Cert.p12",
         kO + "OU=permittedSubtree1,OU=permittedSubtree2,CN=pkits.example"},
        {"nameConstraintsDN1subCA2Cert.p12", kO + "OU=permittedSubtree2,CN=pkits.example"},
        {"nameConstraintsDN2CACert.p12", kO + "OU=permittedSubtree2,CN=pkits.example"},
        {"nameConstraintsDN3subCA2Cert.p12", kO + "CN=pkits.example"},
        {"nameConstraintsDN5CACert.p12", kO + "OU=permittedSubtree1,CN=pkits.example"},
        {"nameConstraintsDNS1CACert.p12", "CN=pkits.testcertificates.gov"},
    };
    return subjects;
}

class Pkits : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(m_folder)) {
            GTEST_SKIP() << "PKITS files not found in " << m_folder
                         << "; install python3-cryptography-vectors (scripts/install-deps)";
        }
    }
    std::vector<std::string> CaFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder)) {
            const std::string name = entry.path().filename().string();
            if (name.find("CA") != std::string::npos && entry.path().extension() == ".p12") {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string File(const std::string& name) const { return (m_folder / name).string(); }

    const fs::path m_folder = OMBREL_PKITS_PKCS12_DIR;
};

TEST_F(Pkits, CaFilesLoadAndIssueUnlessTheyMayNotSign) {
    const std::vector<std::string> names = CaFiles();
    for (const auto& [name, reason] : Refused()) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end())
            << name << " is not among the files";
    }
    TempDir dir;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Component component;
        ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
        // Within the CAs' validity, which ends with 2030.
        ASSERT_EQ(component.Apply("CertValidityTime=30"), 0);
        const int32_t loaded = component.Load(File(name), kPkitsPassword);
        if (const auto refused = Refused().find(name); refused != Refused().end()) {
            EXPECT_EQ(loaded, CERTMGR_FAILED);
            EXPECT_NE(component.Error().find(refused->second), std::string::npos) << component.Error();
            continue;
        }
        ASSERT_EQ(loaded, CERTMGR_OK) << component.Error();
        const auto subject = Subjects().find(name);
        ASSERT_EQ(
            // A random serial: a fixed one would be some CA's own among so many.
            component.IssueSigned(subject != Subjects().end() ? subject->second : "CN=pkits.example", 0),
            CERTMGR_OK)
            << component.Error();
        auto issued = ExportAndOpen(component, dir);
        ASSERT_TRUE(issued);
        ASSERT_EQ(sk_X509_num(issued->chain.get()), 1);  // each file holds its CA alone
        WritePem(dir.File("signer.pem"), sk_X509_value(issued->chain.get(), 0));
        WritePem(dir.File("issued.pem"), issued->cert.get());
        const ShellOutcome verified = Shell("openssl verify -partial_chain -trusted " +
                                       Quote(dir.File("signer.pem")) + " " + Quote(dir.File("issued.pem")));
        EXPECT_EQ(verified.status, 0) << verified.output;
    }
}

struct NameRefusal {
    const char* file;
    std::string subject;
    std::string message;
};

// The names checked before signing are those that OpenSSL's verifier would refuse.
TEST_F(Pkits, NamesOutsideTheConstraintsAreRefused) {
    const NameRefusal refusals[] = {
        {"nameConstraintsDN1CACert.p12", "CN=pkits.example", "\"CN=pkits.example\" is outside"},
        {"nameConstraintsDN3CACert.p12", "C=US,O=Test Certificates 2011,OU=excludedSubtree1,CN=pkits.example",
         "\"C=US, O=Test Certificates 2011, OU=excludedSubtree1, CN=pkits.example\" is among"},
        {"nameConstraintsDNS1CACert.p12", "CN=pkits.example", "\"DNS:pkits.example\" is outside"},
        {"nameConstraintsDNS2CACert.p12", "CN=host.invalidcertificates.gov",
         "\"DNS:host.invalidcertificates.gov\" is among"},
    };
    for (const NameRefusal& row : refusals) {
        SCOPED_TRACE(row.file);
        Component component;
        ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
        ASSERT_EQ(component.Load(File(row.file), kPkitsPassword), CERTMGR_OK) << component.Error();
        EXPECT_EQ(component.IssueSigned(row.subject, 8), CERTMGR_FAILED);
        EXPECT_NE(component.Error().find(row.message), std::string::npos) << component.Error();
    }
}

}  // namespace
}  // namespace certmgr_test
