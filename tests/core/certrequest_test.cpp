// SPDX-License-Identifier: Apache-2.0
#include "core/certrequest.h"
#include "decimal_cases.h"
#include "fakeform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

TEST(BuildSubjectName, CopiesEveryFieldByteForByteInFixedOrder) {
    struct Case {
        const char* name;
        CertRequest request;
        std::string expected;
    };
    CertRequest all;
    all.country = "US";
    all.state = "Texas";
    all.city = "Austin";
    all.organization = "Acme";
    all.organizationalUnit = "IT";
    all.commonName = "www.example.com";
    CertRequest special;
    special.organization = "Acme, Inc.";
    special.organizationalUnit = "a=b";
    special.commonName = "100% %s %d";
    CertRequest blanks;
    blanks.city = "  Zürich ";
    blanks.commonName = " ";
    const Case cases[] = {
        {"all empty", CertRequest{}, "C=,ST=,L=,O=,OU=,CN="},
        {"all filled", all, "C=US,ST=Texas,L=Austin,O=Acme,OU=IT,CN=www.example.com"},
        {"comma, equals, per cent", special, "C=,ST=,L=,O=Acme, Inc.,OU=a=b,CN=100% %s %d"},
        {"blanks and UTF-8 kept", blanks, "C=,ST=,L=  Zürich ,O=,OU=,CN= "},
    };
    for (const Case& c : cases) {
        std::string subject = "C=XX,CN=left over from before";
        BuildSubjectName(c.request, subject);
        EXPECT_EQ(subject, c.expected) << c.name;
    }
}

TEST(CutToBuffer, KeepsAtMostBufferMinusOneBytesWithoutSplittingACharacter) {
    const std::string a1022(1022, 'a');
    const std::string a1021(1021, 'a');
    struct Case {
        const char* name;
        std::string text;
        std::size_t buffer;
        std::string expected;
    };
    const Case cases[] = {
        {"short text whole", "Acme", 1024, "Acme"},
        {"exactly 1023 bytes", std::string(1023, 'x'), 1024, std::string(1023, 'x')},
        {"1,500 bytes", std::string(1500, 'x'), 1024, std::string(1023, 'x')},
        {"two-byte character fits whole", a1021 + "é" + "z", 1024, a1021 + "é"},
        {"two-byte character would be split", a1022 + "é", 1024, a1022},
        {"three-byte character would be split", a1021 + "€", 1024, a1021},
        {"four-byte character would be split", a1021 + "😀", 1024, a1021},
        {"not UTF-8: cut at the limit", std::string(1030, '\x80'), 1024, std::string(1023, '\x80')},
        {"buffer of one byte", "abc", 1, ""},
        {"buffer of no bytes", "abc", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CutToBuffer(c.text, c.buffer), c.expected) << c.name;
    }
}

TEST(ParseUnsigned, AcceptsOnlyPlainDecimalsWithinTheLimit) {
    for (const DecimalCase& c : kDecimalCases) {
        EXPECT_EQ(ParseUnsigned(c.text, UINT32_MAX), c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(ParseUnsigned("8192", 8192), 8192u);
    EXPECT_EQ(ParseUnsigned("8193", 8192), std::nullopt);
}

TEST(GetDlgItemInt, ReadsZeroForAnythingButANumber) {
    for (const DecimalCase& c : kDecimalCases) {
        FakeForm form;
        form.texts[IDC_VALID_DAYS] = c.text;
        EXPECT_EQ(form.GetDlgItemInt(IDC_VALID_DAYS), c.value.value_or(0)) << '"' << c.text << '"';
    }
}

TEST(KeyLengthFromSelection, MapsPositionsAndFallsBackTo2048) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {0, 1024}, {1, 2048}, {2, 3072}, {3, 4096}, {-1, 2048}, {4, 2048}, {INT_MIN, 2048}, {INT_MAX, 2048},
    };
    for (const auto& [position, bits] : cases) {
        EXPECT_EQ(KeyLengthFromSelection(position), bits) << position;
    }
}

TEST(ReadCertRequest, ReadsEachFieldOnceInOrder) {
    FakeForm form;
    const std::string longPath = "/tmp/" + std::string(2000, 'p') + ".pfx";
    const std::string longPassword(1500, 'w');
    form.texts = {{IDC_VALID_DAYS, "30"},
                  {IDC_COUNTRY, "US"},
                  {IDC_STATE, "Texas"},
                  {IDC_CITY, "Austin"},
                  {IDC_ORGANIZATION, "Acme"},
                  {IDC_ORGANIZATIONAL_UNIT, std::string(1500, 'u')},
                  {IDC_COMMON_NAME, "example.org"},
                  {IDC_SERIAL_NUMBER, "42"},
                  {IDC_PASSWORD, longPassword},
                  {IDC_OUTPUT_FILE, longPath},
                  {IDC_SIGNING_FILE, "/ca.pfx"},
                  {IDC_SIGNING_PASSWORD, "secret"}};
    form.selection = 0;

    const CertRequest r = ReadCertRequest(form);

    EXPECT_EQ(form.reads,
              (std::vector<int>{IDC_VALID_DAYS, IDC_COUNTRY, IDC_STATE, IDC_CITY, IDC_ORGANIZATION,
                                IDC_ORGANIZATIONAL_UNIT, IDC_COMMON_NAME, IDC_SERIAL_NUMBER, IDC_PASSWORD,
                                IDC_KEY_LENGTH, IDC_OUTPUT_FILE, IDC_SIGNING_FILE, IDC_SIGNING_PASSWORD}));
    EXPECT_EQ(r.validDays, 30u);
    EXPECT_EQ(r.country, "US");
    EXPECT_EQ(r.state, "Texas");
    EXPECT_EQ(r.city, "Austin");
    EXPECT_EQ(r.organization, "Acme");
    EXPECT_EQ(r.organizationalUnit, std::string(1023, 'u'));
    EXPECT_EQ(r.commonName, "example.org");
    EXPECT_EQ(r.serialNumber, 42u);
    EXPECT_EQ(r.keyLength, 1024);
    // Paths and passwords are taken whole, whatever their length.
    EXPECT_EQ(r.password, longPassword);
    EXPECT_EQ(r.outputFile, longPath);
    EXPECT_EQ(r.signingFile, "/ca.pfx");
    EXPECT_EQ(r.signingPassword, "secret");
}

TEST(ReadCertRequest, EmptyFormGivesZeroNumbersAndDefaultKeyLength) {
    FakeForm form;
    form.selection = -1;
    const CertRequest r = ReadCertRequest(form);
    EXPECT_EQ(r.validDays, 0u);
    EXPECT_EQ(r.serialNumber, 0u);
    EXPECT_EQ(r.keyLength, 2048);
    EXPECT_FALSE(HasSigningFile(r));
}

TEST(ReadCertRequest, ReadsSigningPasswordOnlyWithASigningFile) {
    const std::pair<const char*, bool> cases[] = {{"", false}, {" ", true}, {"/ca.pfx", true}};
    for (const auto& [signingFile, hasFile] : cases) {
        FakeForm form;
        form.texts = {{IDC_SIGNING_FILE, signingFile}, {IDC_SIGNING_PASSWORD, "secret"}};
        const CertRequest r = ReadCertRequest(form);
        const bool passwordRead =
            std::find(form.reads.begin(), form.reads.end(), IDC_SIGNING_PASSWORD) != form.reads.end();
        EXPECT_EQ(HasSigningFile(r), hasFile) << '"' << signingFile << '"';
        EXPECT_EQ(passwordRead, hasFile) << '"' << signingFile << '"';
        EXPECT_EQ(r.signingPassword, hasFile ? "secret" : "") << '"' << signingFile << '"';
    }
}

}  // namespace
