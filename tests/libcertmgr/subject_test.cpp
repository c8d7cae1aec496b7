// SPDX-License-Identifier: Apache-2.0
// The subject text the tool composes comes out as the attributes it names, in its order, with the
// country as PrintableString and the rest as UTF8String.
#include "component.h"
#include "pfx.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace certmgr_test {
namespace {

struct Entry {
    std::string name;  // OpenSSL's short name
    int type;
    std::string value;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << entry.name << "(" << ASN1_tag2str(entry.type) << ")=" << entry.value;
}

struct SubjectCase {
    const char* name;
    std::string text;
    std::vector<Entry> expected;
};

// Test names and failure messages show the row by its name.
void PrintTo(const SubjectCase& row, std::ostream* out) {
    *out << row.name;
}

std::string Repeat(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

constexpr int kPrintable = V_ASN1_PRINTABLESTRING;
constexpr int kUtf8 = V_ASN1_UTF8STRING;

const std::vector<SubjectCase>& Cases() {
    static const std::vector<SubjectCase> cases = {
        {"AllSixFields",
         SubjectText("US", "California", "San Francisco", "Acme", "IT", "www.example.com"),
         {{"C", kPrintable, "US"},
          {"ST", kUtf8, "California"},
          {"L", kUtf8, "San Francisco"},
          {"O", kUtf8, "Acme"},
          {"OU", kUtf8, "IT"},
          {"CN", kUtf8, "www.example.com"}}},
        {"EmptyFieldsLeftOut",
         SubjectText("", "", "", "Acme", "", "host"),
         {{"O", kUtf8, "Acme"}, {"CN", kUtf8, "host"}}},
        {"CommaStaysInTheValue",
         SubjectText("US", "", "", "Acme, Inc.", "", "x"),
         {{"C", kPrintable, "US"}, {"O", kUtf8, "Acme, Inc."}, {"CN", kUtf8, "x"}}},
        {"UnknownNameContinuesTheValue",
         SubjectText("", "", "", "Acme,foo=bar", "", "x"),
         {{"O", kUtf8, "Acme,foo=bar"}, {"CN", kUtf8, "x"}}},
        // OpenSSL knows "RSA" as an algorithm, not as a name attribute.
        {"AlgorithmNameContinuesTheValue",
         SubjectText("", "", "", "Acme,RSA=x", "", "x"),
         {{"O", kUtf8, "Acme,RSA=x"}, {"CN", kUtf8, "x"}}},
        {"EqualsAndPercentStay",
         SubjectText("", "", "", "a=b 100%s", "", "x"),
         {{"O", kUtf8, "a=b 100%s"}, {"CN", kUtf8, "x"}}},
        {"Utf8Values",
         SubjectText("DE", "", "M\xC3\xBCnchen",
                     "B\xC3\xA4"
                     "ckerei",
                     "", "Zo\xC3\xAB"),
         {{"C", kPrintable, "DE"},
          {"L", kUtf8, "M\xC3\xBCnchen"},
          {"O", kUtf8,
           "B\xC3\xA4"
           "ckerei"},
          {"CN", kUtf8, "Zo\xC3\xAB"}}},
        {"BlanksAroundValuesTrimmed",
         SubjectText(" US ", "", "", "  Acme ", "", " host "),
         {{"C", kPrintable, "US"}, {"O", kUtf8, "Acme"}, {"CN", kUtf8, "host"}}},
        // Bounds count characters, not bytes: 64 two-byte characters fit.
        {"SixtyFourCharactersFit",
         SubjectText("", "", "", std::string(64, 'o'), "", Repeat("\xC3\xA9", 64)),
         {{"O", kUtf8, std::string(64, 'o')}, {"CN", kUtf8, Repeat("\xC3\xA9", 64)}}},
        // Next to the characters that are refused: no-break space, hair space, narrow no-break space.
        {"VisibleSpacesStay",
         SubjectText("", "", "",
                     "a\xC2\xA0"
                     "b\xE2\x80\x8A"
                     "c\xE2\x80\xAF"
                     "d",
                     "", "x"),
         {{"O", kUtf8,
           "a\xC2\xA0"
           "b\xE2\x80\x8A"
           "c\xE2\x80\xAF"
           "d"},
          {"CN", kUtf8, "x"}}},
        // A field holding ",DC=example" names another attribute OpenSSL knows, with its own type.
        {"OtherKnownAttribute",
         "CN=host,DC=example",
         {{"CN", kUtf8, "host"}, {"DC", V_ASN1_IA5STRING, "example"}}},
    };
    return cases;
}

class SubjectTest : public testing::TestWithParam<SubjectCase> {};

TEST_P(SubjectTest, ComesOutAsTheAttributesInOrder) {
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned(GetParam().text, 1), 0) << component.Error();
    auto pfx = ExportAndOpen(component, dir);
    ASSERT_TRUE(pfx);
    X509_NAME* subject = X509_get_subject_name(pfx->cert.get());
    std::vector<Entry> entries;
    for (int i = 0; i < X509_NAME_entry_count(subject); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
        const ASN1_STRING* data = X509_NAME_ENTRY_get_data(entry);
        entries.push_back({OBJ_nid2sn(OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry))), ASN1_STRING_type(data),
                           std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(data)),
                                       static_cast<std::size_t>(ASN1_STRING_length(data)))});
    }
    EXPECT_EQ(entries, GetParam().expected);
    EXPECT_EQ(X509_NAME_cmp(subject, X509_get_issuer_name(pfx->cert.get())), 0);
}

INSTANTIATE_TEST_SUITE_P(CertMgr, SubjectTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<SubjectCase>& info) { return info.param.name; });

}  // namespace
}  // namespace certmgr_test
