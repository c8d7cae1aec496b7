// SPDX-License-Identifier: Apache-2.0
// The output file: its protection in both formats, its password, names, chain and mode.
#include "component.h"
#include "pfx.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>

namespace certmgr_test {
namespace {

struct FormatCase {
    const char* name;
    const char* setting;
    std::string protection;
    std::string macDigest;
};

// Test names and failure messages show the row by its name.
void PrintTo(const FormatCase& row, std::ostream* out) {
    *out << row.name;
}

class FormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, ProtectsKeyAndCertificatesAndOpensOnlyWithItsPassword) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Apply(GetParam().setting), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=format.example", 1), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir, "out.pfx", "Format-Pass");
    ASSERT_TRUE(pfx);
    EXPECT_EQ(X509_check_private_key(pfx->cert.get(), pfx->key.get()), 1);
    EXPECT_FALSE(OpenPfx(dir.File("out.pfx"), "format-pass"));
    EXPECT_FALSE(OpenPfx(dir.File("out.pfx"), ""));

    const PfxProtection protection = DescribePfx(dir.File("out.pfx"));
    EXPECT_EQ(protection.certificates, GetParam().protection);
    EXPECT_EQ(protection.key, GetParam().protection);
    EXPECT_EQ(protection.macDigest, GetParam().macDigest);
    EXPECT_EQ(protection.macIterations, 2048);
}

INSTANTIATE_TEST_SUITE_P(CertMgr, FormatTest,
                         testing::Values(FormatCase{"Aes256", "PfxEncryption=AES256",
                                                    "PBES2/PBKDF2/AES-256-CBC/hmacWithSHA256/2048", "SHA256"},
                                         FormatCase{"TripleDes", "PfxEncryption=3DES", "PBE-SHA1-3DES/2048",
                                                    "SHA1"}),
                         [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST(CertMgrPkcs12, FriendlyNameIsTheCommonNameOrElseTheWholeSubject) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned(SubjectText("DE", "", "", "Acme", "", "Zo\xC3\xAB"), 1), 0);
    auto named = ExportAndOpen(component, dir, "named.pfx");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->friendlyName, "Zo\xC3\xAB");

    ASSERT_EQ(component.CreateSelfSigned(SubjectText("US", "", "", "Acme, Inc.", "IT", ""), 2), 0);
    auto unnamed = ExportAndOpen(component, dir, "unnamed.pfx");
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->friendlyName, "C=US, O=Acme, Inc., OU=IT");
}

TEST(CertMgrPkcs12, EmptyPasswordIsAllowedAndReadsBack) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Apply("CertAuthority=1"), 0);  // loaded as a signer below
    ASSERT_EQ(component.CreateSelfSigned("CN=empty.example", 1), 0);
    auto pfx = ExportAndOpen(component, dir, "out.pfx", "");
    ASSERT_TRUE(pfx);
    EXPECT_EQ(component.Load(dir.File("out.pfx"), ""), 0) << component.Error();
}

TEST(CertMgrPkcs12, ReplacesAnExistingFileWithAnOwnerOnlyOne) {
    TempDir dir;
    const std::string path = dir.File("out.pfx");
    WriteFileBytes(path, "old content");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=mode.example", 1), 0);
    ASSERT_TRUE(ExportAndOpen(component, dir));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600U);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.pfx"});
}

}  // namespace
}  // namespace certmgr_test
