// SPDX-License-Identifier: Apache-2.0
// Settings reach the certificate and the file; a refused value leaves the earlier one in force.
#include "component.h"
#include "decimal_cases.h"
#include "pfx.h"
#include "tempdir.h"

#include <certmgr.h>
#include <gtest/gtest.h>

#include <ctime>

namespace certmgr_test {
namespace {

const std::string kAes = "PBES2/PBKDF2/AES-256-CBC/hmacWithSHA256/2048";
const std::string k3Des = "PBE-SHA1-3DES/2048";

TEST(CertMgrSettings, DefaultsAre365Days2048BitsAes256AndNoAuthority) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.CreateSelfSigned("CN=defaults.example", 1), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    EXPECT_EQ(KeyBits(pfx->key.get()), 2048);
    EXPECT_EQ(ValidityOf(pfx->cert.get()), std::make_pair(365, 300));  // from five minutes ago
    EXPECT_EQ(X509_get_extension_flags(pfx->cert.get()) & EXFLAG_CA, 0U);
    EXPECT_EQ(DescribePfx(dir.File("out.pfx")).certificates, kAes);
}

TEST(CertMgrSettings, RefusedValuesKeepTheEarlierOnes) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=1024"), 0);
    ASSERT_EQ(component.Apply("CertValidityTime=10"), 0);
    ASSERT_EQ(component.Apply("PfxEncryption=3DES"), 0);
    ASSERT_EQ(component.Apply("CertSubjectAltNames=alt.example"), 0);
    ASSERT_EQ(component.Apply("CertAuthority=1"), 0);
    for (const char* refused :
         {"CertKeyLength=99999", "CertKeyLength=", "CertValidityTime=0", "CertValidityTime=x",
          "PfxEncryption=AES128", "CertSubjectAltNames=two words", "CertAuthority=2", "CertAuthority="}) {
        EXPECT_NE(component.Apply(refused), 0) << refused;
    }
    ASSERT_EQ(component.CreateSelfSigned("CN=kept.example", 1), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    EXPECT_EQ(KeyBits(pfx->key.get()), 1024);
    EXPECT_EQ(ValidityOf(pfx->cert.get()), std::make_pair(10, 300));
    EXPECT_EQ(DescribePfx(dir.File("out.pfx")).certificates, k3Des);
    EXPECT_EQ(AltNamesOf(pfx->cert.get()), std::vector<std::string>{"DNS:alt.example"});
    EXPECT_NE(X509_get_extension_flags(pfx->cert.get()) & EXFLAG_CA, 0U);
}

// The library reads numbers by the same rule as the front ends: the cases they share.
TEST(CertMgrSettings, NumbersFollowTheSharedDecimalRule) {
    for (const DecimalCase& c : kDecimalCases) {
        Component component;
        // 1 to a few thousand years of days is a validity; 0 and the largest number are not.
        const bool valid = c.value && *c.value >= 1 && *c.value <= 100000;
        EXPECT_EQ(component.Apply(std::string(CERTMGR_SETTING_VALIDITY_DAYS) + "=" + c.text) == 0, valid)
            << '"' << c.text << '"';
    }
}

// X.509 can say no later than 9999-12-31; one more day must be refused, not wrap around.
TEST(CertMgrSettings, ValidityMayReachTheLastDateAndNoFurther) {
    constexpr long long kLastSecond = 253402300799LL;  // 9999-12-31T23:59:59Z
    // A minute's margin for the time between this line and the component's own clock reading.
    const long long most = (kLastSecond - static_cast<long long>(std::time(nullptr)) - 60) / 86400;
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    EXPECT_NE(component.Apply("CertValidityTime=" + std::to_string(most + 2)), 0);
    ASSERT_EQ(component.Apply("CertValidityTime=" + std::to_string(most)), 0) << component.Error();
    ASSERT_EQ(component.CreateSelfSigned("CN=long.example", 1), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    std::tm end{};
    ASSERT_EQ(ASN1_TIME_to_tm(X509_get0_notAfter(pfx->cert.get()), &end), 1);
    EXPECT_EQ(end.tm_year + 1900, 9999);
    EXPECT_EQ(ValidityOf(pfx->cert.get()).first, most);
}

TEST(CertMgrSettings, AltNamesReplaceTheAutomaticOneUntilCleared) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Apply("CertSubjectAltNames=www.example.com, *.example.org,10.1.2.3 , 2001:db8::7, "
                              "b\xC3\xBC"
                              "cher.example"),
              0)
        << component.Error();
    ASSERT_EQ(component.CreateSelfSigned("CN=auto.example", 1), 0) << component.Error();
    auto listed = ExportAndOpen(component, dir, "listed.pfx");
    ASSERT_TRUE(listed);
    EXPECT_EQ(AltNamesOf(listed->cert.get()),
              (std::vector<std::string>{"DNS:www.example.com", "DNS:*.example.org", "IP:10.1.2.3",
                                        "IP:2001:db8::7", "DNS:xn--bcher-kva.example"}));

    ASSERT_EQ(component.Apply("CertSubjectAltNames="), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=auto.example", 2), 0) << component.Error();
    auto automatic = ExportAndOpen(component, dir, "automatic.pfx");
    ASSERT_TRUE(automatic);
    EXPECT_EQ(AltNamesOf(automatic->cert.get()), std::vector<std::string>{"DNS:auto.example"});
}

// Explicit DNS names follow the same host-name rule as the one derived from the common name, in their
// "xn--" form when they are in another script.
TEST(CertMgrSettings, ExplicitDnsNamesMustBeHostNames) {
    const std::string label(63, 'a');
    const std::string longest = label + "." + label + "." + label + "." + std::string(61, 'b');  // 253
    const struct {
        std::string name;
        bool taken;
    } rows[] = {
        {"host.example", true},
        {"my-host.example", true},
        {"*.example.com", true},
        {label + ".example", true},
        {longest, true},
        {"*.com", false},
        {"*", false},
        {"www.*.example", false},
        {"*.*.example.com", false},
        {"-host.example", false},
        {"host-.example", false},
        {label + "a.example", false},
        {longest + "b", false},
        {"example..com", false},
        {"example.com.", false},
        {"host_name.example", true},
        {"b\xC3\xBC"
         "cher.example",
         true},
        {label + ".b\xC3\xBC"
                 "cher.example",
         true},
        {label.substr(1) + "\xC3\xBC.example", false},  // 63 characters, but its "xn--" form is longer
        {"\xE2\x98\x83.example", false},                // a snowman, which IDNA2008 disallows
    };
    for (const auto& row : rows) {
        Component component;
        EXPECT_EQ(component.Apply("CertSubjectAltNames=" + row.name) == 0, row.taken)
            << row.name << ": " << component.Error();
    }
}

}  // namespace
}  // namespace certmgr_test
