// SPDX-License-Identifier: Apache-2.0
// Every bad input in one table: the call fails, says what is wrong in terms the user knows, and
// never repeats a password.
#include "component.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <vector>

namespace certmgr_test {
namespace {

constexpr char kWrongPassword[] = "Wrong-Pass-2";
constexpr char kOutputPassword[] = "Out-Pass-3";

using Call = std::function<int32_t(Component&, const TempDir&)>;

struct BadInput {
    const char* name;
    Call call;
    std::vector<std::string> expected;  // "{dir}" stands for the test's folder
};

// Test names and failure messages show the row by its name.
void PrintTo(const BadInput& row, std::ostream* out) {
    *out << row.name;
}

int32_t Raw(Component& c, int32_t method, int32_t count, intptr_t* params, intptr_t* lengths) {
    return CertMgr_Do(c.Handle(), method, count, params, lengths);
}

Call Setting(std::string text) {
    return [text](Component& c, const TempDir&) { return c.Apply(text); };
}

Call SelfSigned(std::string subject, uint32_t serial = 1) {
    return [subject, serial](Component& c, const TempDir&) {
        c.Apply("CertKeyLength=512");
        return c.CreateSelfSigned(subject, serial);
    };
}

Call Subject(const std::string& c, const std::string& st, const std::string& l, const std::string& o,
             const std::string& ou, const std::string& cn) {
    return SelfSigned(SubjectText(c, st, l, o, ou, cn));
}

Call LoadSigner(SignerKind kind, std::string password = kSignerPassword) {
    return [kind, password](Component& c, const TempDir&) { return c.Load(SignerFile(kind), password); };
}

// A certificate authority issued by the signer of `kind`.
Call IssueAuthority(SignerKind kind) {
    return [kind](Component& c, const TempDir&) {
        c.Apply("CertKeyLength=512");
        c.Apply("CertAuthority=1");
        c.Load(SignerFile(kind), kSignerPassword);
        return c.IssueSigned("CN=x", 0);
    };
}

const std::string kLongText(65, 'x');
const std::string kLongerText(129, 'x');
std::string Repeat(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

const std::vector<BadInput>& Cases() {
    static const std::vector<BadInput> cases = {
        // The interface itself.
        {"UnknownMethod", [](Component& c, const TempDir&) { return c.Do(3, {}); }, {"Unknown method 3"}},
        {"NegativeMethod", [](Component& c, const TempDir&) { return c.Do(-1, {}); }, {"Unknown method -1"}},
        {"CountNotTheMethods",
         [](Component& c, const TempDir&) {
             static const std::string subject = "CN=x";
             intptr_t params[] = {TextArg(subject), 0};
             intptr_t lengths[] = {0, 0};
             return Raw(c, CERTMGR_CREATE_SELF_SIGNED, 1, params, lengths);
         },
         {"CreateSelfSigned", "takes 2 parameters, not 1"}},
        {"NullParameterArray",
         [](Component& c, const TempDir&) {
             intptr_t lengths[] = {0};
             return Raw(c, CERTMGR_DISCARD_CERTIFICATE, 0, nullptr, lengths);
         },
         {"DiscardCertificate", "parameter array"}},
        {"NullLengthArray",
         [](Component& c, const TempDir&) {
             static const std::string setting = "CertKeyLength=1024";
             intptr_t params[] = {TextArg(setting), 0};
             return Raw(c, CERTMGR_APPLY_SETTING, 1, params, nullptr);
         },
         {"ApplySetting", "length array"}},
        {"ParameterArrayNotClosed",
         [](Component& c, const TempDir&) {
             static const std::string setting = "CertKeyLength=1024";
             intptr_t params[] = {TextArg(setting), 7};
             intptr_t lengths[] = {0, 0};
             return Raw(c, CERTMGR_APPLY_SETTING, 1, params, lengths);
         },
         {"closed by a 0 entry"}},
        {"CountedTextWithZeroByte",
         [](Component& c, const TempDir& dir) {
             c.Apply("CertKeyLength=512");
             c.CreateSelfSigned("CN=x", 1);
             static const std::string password("Out\0Pass-3", 10);
             const std::string path = dir.File("out.pfx");
             intptr_t params[] = {TextArg(path), TextArg(password), 0};
             intptr_t lengths[] = {0, static_cast<intptr_t>(password.size()), 0};
             return Raw(c, CERTMGR_EXPORT_TO_FILE, 2, params, lengths);
         },
         {"The password holds a zero byte at byte 4 of its 10"}},
        {"NegativeLength",
         [](Component& c, const TempDir&) {
             static const std::string setting = "CertKeyLength=1024";
             intptr_t params[] = {TextArg(setting), 0};
             intptr_t lengths[] = {-1, 0};
             return Raw(c, CERTMGR_APPLY_SETTING, 1, params, lengths);
         },
         {"The setting has a length of -1 bytes", "0 for a zero-terminated text"}},
        {"NullSubjectText",
         [](Component& c, const TempDir&) {
             return c.Do(CERTMGR_CREATE_SELF_SIGNED, {0, 1});
         },
         {"The subject is missing"}},

        // Settings.
        {"UnknownSetting", Setting("CertColour=red"), {"\"CertColour\"", "unknown"}},
        {"SettingNameOtherCase", Setting("certkeylength=1024"), {"\"certkeylength\"", "unknown"}},
        {"SettingWithoutEquals", Setting("CertKeyLength"), {"name=value"}},
        {"ValidityZero", Setting("CertValidityTime=0"), {"CertValidityTime", "1 or more"}},
        {"ValidityNotANumber", Setting("CertValidityTime=ten"), {"CertValidityTime", "\"ten\""}},
        {"ValidityNegative", Setting("CertValidityTime=-5"), {"CertValidityTime"}},
        {"ValidityWithBlank", Setting("CertValidityTime= 5"), {"CertValidityTime"}},
        {"ValidityBeyond32Bits", Setting("CertValidityTime=4294967296"), {"CertValidityTime"}},
        {"ValidityPastYear9999", Setting("CertValidityTime=4294967295"), {"CertValidityTime", "9999-12-31"}},
        {"KeyTooShort", Setting("CertKeyLength=511"), {"CertKeyLength", "512 to 8192"}},
        {"KeyTooLong", Setting("CertKeyLength=8193"), {"CertKeyLength", "512 to 8192"}},
        {"KeyEmpty", Setting("CertKeyLength="), {"CertKeyLength"}},
        {"PfxEncryptionUnknown", Setting("PfxEncryption=RC2"), {"PfxEncryption", "AES256 or 3DES"}},
        {"PfxEncryptionOtherCase", Setting("PfxEncryption=aes256"), {"PfxEncryption"}},
        {"AuthorityNotOneOrZero",
         Setting("CertAuthority=yes"),
         {"CertAuthority must be 1", "or 0", "\"yes\""}},
        {"AltNameNotAHost",
         Setting("CertSubjectAltNames=www.example.com, not a host"),
         {"CertSubjectAltNames", "\"not a host\""}},
        {"AltNameWildcardOverTopLevelDomain",
         Setting("CertSubjectAltNames=*.com"),
         {"CertSubjectAltNames", "\"*.com\"", "at least two labels"}},
        {"AltNameLabelEndsWithHyphen",
         Setting("CertSubjectAltNames=www-.example.com"),
         {"CertSubjectAltNames", "\"www-.example.com\""}},
        {"ReplaceExistingNotABoolean",
         Setting("ReplaceExisting=yes"),
         {"ReplaceExisting must be 1 or 0, not \"yes\"."}},
        {"AltNameEmptyEntry",
         Setting("CertSubjectAltNames=a.example,,b.example"),
         {"CertSubjectAltNames", "empty entry"}},

        // The subject, field by field, as the form labels the fields.
        {"SubjectEmpty", Subject("", "", "", "", "", ""), {"subject is empty"}},
        {"SubjectOnlyBlanks", Subject(" ", "", "", "  ", "", " "), {"subject is empty"}},
        {"CountryThreeLetters",
         Subject("USA", "", "", "", "", "x"),
         {"Country (C) must be a two-letter code, for example US."}},
        {"CountryDigit", Subject("U1", "", "", "", "", "x"), {"Country (C) must be a two-letter code"}},
        {"CountryNotAscii",
         Subject("\xC3\x9C"
                 "S",
                 "", "", "", "", "x"),
         {"Country (C)"}},
        {"StateTooLong", Subject("", kLongerText, "", "", "", "x"), {"State (ST) may hold at most 128"}},
        {"CityTooLong", Subject("", "", kLongerText, "", "", "x"), {"City (L) may hold at most 128"}},
        {"OrganizationTooLong",
         Subject("", "", "", kLongText, "", "x"),
         {"Organization (O) may hold at most 64 characters; it holds 65."}},
        {"UnitTooLong",
         Subject("", "", "", "", kLongText, "x"),
         {"Organizational Unit (OU) may hold at most 64"}},
        {"CommonNameTooLong",
         Subject("", "", "", "", "", kLongText),
         {"Common Name (CN) may hold at most 64"}},
        {"CommonNameTooLongInCharacters",
         Subject("", "", "", "", "", Repeat("\xC3\xA9", 65)),
         {"Common Name (CN)", "it holds 65."}},
        {"OrganizationNotUtf8",
         Subject("", "", "", "Acme \xFF", "", "x"),
         {"Organization (O) is not valid UTF-8 text."}},

        // Characters that do not show, in any field: controls, bidirectional controls, zero widths.
        {"CommonNameWithLineFeed",
         Subject("", "", "", "", "", "host\nname"),
         {"Common Name (CN) holds a control character (U+000A)"}},
        {"StateWithTabInside",
         Subject("", "a\tb", "", "", "", "x"),
         {"State (ST) holds a control character (U+0009)"}},
        {"CityWithDelete",
         Subject("", "", "a\x7F", "", "", "x"),
         {"City (L) holds a control character (U+007F)"}},
        {"UnitWithC1Control",
         Subject("", "", "", "", "a\xC2\x85", "x"),
         {"Organizational Unit (OU) holds a control character (U+0085)"}},
        {"OrganizationWithRightToLeftOverride",
         Subject("", "", "", "Acme\xE2\x80\xAEtxt.exe", "", "x"),
         {"Organization (O) holds a bidirectional control character (U+202E)"}},
        {"CommonNameWithIsolate",
         Subject("", "", "", "", "", "\xE2\x81\xA6x"),
         {"Common Name (CN) holds a bidirectional control character (U+2066)"}},
        {"CommonNameWithZeroWidthSpace",
         Subject("", "", "", "", "", "pay\xE2\x80\x8Bpal.com"),
         {"Common Name (CN) holds a zero-width character (U+200B)"}},
        {"CommonNameWithZeroWidthJoiner",
         Subject("", "", "", "", "", "a\xE2\x80\x8D"),
         {"Common Name (CN) holds a zero-width character (U+200D)"}},
        {"OrganizationWithByteOrderMark",
         Subject("", "", "",
                 "\xEF\xBB\xBF"
                 "Acme",
                 "", "x"),
         {"Organization (O) holds a zero-width character (U+FEFF)"}},
        {"SubjectWithoutAttribute", SelfSigned("hello, world"), {"does not start with an attribute"}},
        {"EmailNotAscii", SelfSigned("CN=x,emailAddress=j\xC3\xB6@example.com"), {"emailAddress"}},

        // Serial numbers and the order of calls.
        {"SerialBeyond32Bits",
         [](Component& c, const TempDir&) {
             static const std::string subject = "CN=x";
             return c.Do(CERTMGR_CREATE_SELF_SIGNED, {TextArg(subject), static_cast<intptr_t>(1LL << 40)});
         },
         {"serial number", "out of range", "0 for a random one"}},
        // A certificate authority's issuer and serial number must name one certificate.
        {"SerialOfTheSigner",
         [](Component& c, const TempDir&) {
             c.Load(SignerFile(SignerKind::Aes256), kSignerPassword);
             return c.IssueSigned("CN=x",
                                  static_cast<uint32_t>(ASN1_INTEGER_get(X509_get0_serialNumber(RsaCa()))));
         },
         {"is the signing certificate's own (\"Test RSA CA\")", "Firefox refuses a repeat"}},
        {"AuthorityBelowPathLength0",
         IssueAuthority(SignerKind::PathLength0),
         {"\"Test Path Length 0 CA\" may not sign further certificate authorities (its path length is 0)"}},
        {"AuthorityBelowARootOfPathLength1",
         IssueAuthority(SignerKind::BelowPathLength1),
         {"\"Test Path Length 1 Root\" allows no more certificate authorities below the signing certificate "
          "(its "
          "path length is 1)"}},
        {"IssueWithoutSigningCertificate",
         [](Component& c, const TempDir&) { return c.IssueSigned("CN=x", 1); },
         {"No signing certificate is loaded"}},
        {"ExportWithoutCertificate",
         [](Component& c, const TempDir& dir) { return c.Export(dir.File("out.pfx"), kOutputPassword); },
         {"no certificate to export"}},
        {"ExportAfterDiscard",
         [](Component& c, const TempDir& dir) {
             c.Apply("CertKeyLength=512");
             c.CreateSelfSigned("CN=x", 1);
             c.Discard();
             return c.Export(dir.File("out.pfx"), kOutputPassword);
         },
         {"no certificate to export"}},
        // A failed creation must not leave the earlier certificate to be written in its place.
        {"ExportAfterFailedCreation",
         [](Component& c, const TempDir& dir) {
             c.Apply("CertKeyLength=512");
             c.CreateSelfSigned("CN=first", 1);
             c.CreateSelfSigned("C=USA,CN=second", 2);
             return c.Export(dir.File("out.pfx"), kOutputPassword);
         },
         {"no certificate to export"}},
        {"ExportToEmptyPath",
         [](Component& c, const TempDir&) {
             c.Apply("CertKeyLength=512");
             c.CreateSelfSigned("CN=x", 1);
             return c.Export("", kOutputPassword);
         },
         {"No output file was given"}},

        // Signing files.
        {"LoadMissingFile",
         [](Component& c, const TempDir& dir) { return c.Load(dir.File("none.pfx"), "pw"); },
         {"{dir}/none.pfx", "does not exist"}},
        {"LoadFolder",
         [](Component& c, const TempDir& dir) { return c.Load(dir.Path().string(), "pw"); },
         {"{dir}", "is a folder"}},
        {"LoadEmptyPath",
         [](Component& c, const TempDir&) { return c.Load("", "pw"); },
         {"No signing certificate file was given"}},
        {"LoadNotPkcs12", LoadSigner(SignerKind::NotPkcs12), {"certificate.pem", "is not a PKCS #12"}},
        {"LoadEmptyFile", LoadSigner(SignerKind::EmptyFile), {"is not a PKCS #12"}},
        {"LoadTruncatedFile", LoadSigner(SignerKind::Truncated), {"is not a PKCS #12"}},
        {"LoadWrongPassword",
         LoadSigner(SignerKind::Aes256, kWrongPassword),
         {"password", "is wrong", "(MAC)"}},
        {"LoadWrongPasswordOfRc2File", LoadSigner(SignerKind::Rc2, kWrongPassword), {"password", "is wrong"}},
        {"LoadEmptyPasswordOfProtectedFile", LoadSigner(SignerKind::TripleDes, ""), {"password", "is wrong"}},
        {"LoadPasswordOfUnprotectedFile",
         LoadSigner(SignerKind::EmptyPassword, kWrongPassword),
         {"password", "is wrong"}},
        {"LoadWithoutKey", LoadSigner(SignerKind::NoKey), {"no-key.pfx", "no private key"}},
        {"LoadKeyWithoutItsCertificate",
         LoadSigner(SignerKind::Mismatch),
         {"no certificate that matches its private key"}},
        {"LoadNotACa",
         LoadSigner(SignerKind::NotCa),
         {"not-ca.pfx", "cannot sign certificates", "CA:FALSE",
          "\"Can sign other certificates (certificate authority)\" checked (ombrel-cli: --ca)"}},
        {"LoadWithoutCertSign",
         LoadSigner(SignerKind::NoCertSign),
         {"cannot sign certificates", "keyCertSign"}},
        {"LoadExpired", LoadSigner(SignerKind::Expired), {"expired.pfx", "expired on"}},
        {"LoadWithoutBasicConstraints",
         LoadSigner(SignerKind::NoBasicConstraints),
         {"no-basic-constraints.pfx", "not marked as a certificate authority"}},
        {"LoadDamagedSignature",
         LoadSigner(SignerKind::BadSignature),
         {"bad-signature.pfx", "signature does not verify", "\"Test Root CA\""}},
    };
    return cases;
}

class BadInputTest : public testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, FailsWithAClearText) {
    const BadInput& row = GetParam();
    TempDir dir;
    Component component;
    EXPECT_NE(row.call(component, dir), 0);
    const std::string text = component.Error();
    for (std::string expected : row.expected) {
        if (const auto at = expected.find("{dir}"); at != std::string::npos) {
            expected.replace(at, 5, dir.Path().string());
        }
        EXPECT_NE(text.find(expected), std::string::npos) << "expected \"" << expected << "\" in: " << text;
    }
    EXPECT_EQ(text.find("-Pass-"), std::string::npos) << "a password leaked into: " << text;
    EXPECT_EQ(text.back(), '.') << text;
}

INSTANTIATE_TEST_SUITE_P(CertMgr, BadInputTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<BadInput>& info) { return info.param.name; });

}  // namespace
}  // namespace certmgr_test
