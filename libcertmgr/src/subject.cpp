// SPDX-License-Identifier: Apache-2.0
#include "subject.h"

#include "errors.h"
#include "textutil.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>

#include <cstdio>
#include <vector>

namespace certmgr {

namespace {

struct Attribute {
    int nid;
    std::string shortName;
    std::string value;
};

// The labels of the form, so that a message points at the field to correct.
std::string LabelOf(const Attribute& attribute) {
    switch (attribute.nid) {
        case NID_countryName:
            return "Country (C)";
        case NID_stateOrProvinceName:
            return "State (ST)";
        case NID_localityName:
            return "City (L)";
        case NID_organizationName:
            return "Organization (O)";
        case NID_organizationalUnitName:
            return "Organizational Unit (OU)";
        case NID_commonName:
            return "Common Name (CN)";
        default:
            return "The subject attribute " + attribute.shortName;
    }
}

// The attribute a short name stands for. OpenSSL's short names also cover algorithms ("RSA",
// "SHA256"); only the arcs of name attributes count, so "O=Acme,RSA=x" keeps "Acme,RSA=x" whole.
int AttributeNid(std::string_view shortName) {
    static constexpr std::string_view kAttributeArcs[] = {
        "2.5.4.",                    // X.520: C, ST, L, O, OU, CN, serialNumber, title...
        "1.2.840.113549.1.9.",       // PKCS #9: emailAddress, unstructuredName...
        "0.9.2342.19200300.100.1.",  // RFC 4519: DC, UID
        "1.3.6.1.4.1.311.60.2.1.",   // jurisdiction of incorporation
    };
    if (shortName.empty()) {
        return NID_undef;
    }
    const int nid = OBJ_sn2nid(std::string(shortName).c_str());
    const ASN1_OBJECT* object = nid != NID_undef ? OBJ_nid2obj(nid) : nullptr;
    char oid[80] = {};
    if (object == nullptr || OBJ_obj2txt(oid, sizeof oid, object, 1) <= 0) {
        return NID_undef;
    }
    for (const std::string_view arc : kAttributeArcs) {
        if (std::string_view(oid).substr(0, arc.size()) == arc) {
            return nid;
        }
    }
    return NID_undef;
}

std::vector<Attribute> SplitAttributes(std::string_view text) {
    std::vector<Attribute> attributes;
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        const auto segment =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        const auto equals = segment.find('=');
        const int nid =
            equals == std::string_view::npos ? NID_undef : AttributeNid(segment.substr(0, equals));
        if (nid != NID_undef) {
            attributes.push_back(
                {nid, std::string(segment.substr(0, equals)), std::string(segment.substr(equals + 1))});
        } else if (!attributes.empty()) {
            attributes.back().value += ',';
            attributes.back().value += segment;
        } else if (!TrimBlanks(segment).empty()) {
            Fail("The subject " + Quoted(std::string(text)) +
                 " does not start with an attribute such as C=, O= or CN=.");
        }
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return attributes;
}

bool IsTwoLetterCode(std::string_view value) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return value.size() == 2 && letter(value[0]) && letter(value[1]);
}

// The ASN.1 string type of a value: PrintableString for the country, UTF8String wherever the
// attribute allows it, and otherwise the attribute's own type, chosen by OpenSSL's table.
void AddEntry(X509_NAME* name, const Attribute& attribute, const std::string& label) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(attribute.value.data());
    const int size = static_cast<int>(attribute.value.size());
    const ASN1_STRING_TABLE* table = ASN1_STRING_TABLE_get(attribute.nid);
    int type = MBSTRING_UTF8;
    if (attribute.nid == NID_countryName) {
        type = V_ASN1_PRINTABLESTRING;
    } else if (table == nullptr || (table->mask & B_ASN1_UTF8STRING) != 0) {
        type = V_ASN1_UTF8STRING;
    }
    if (X509_NAME_add_entry_by_NID(name, attribute.nid, type, bytes, size, -1, 0) != 1) {
        const OsslError error = TakeOsslError();
        if (error.reason == OsslReason::OutOfMemory) {
            Fail("The subject could not be built: " + PlainReason(error) + ".");
        }
        Fail(label + " cannot hold " + Quoted(attribute.value) + " (" + error.detail + ").");
    }
}

// A character that does not show lets a name pass for another (a zero-width space inside a host
// name, a right-to-left override reversing part of it), and controls break one-line displays of names.
[[noreturn]] void FailHidden(const HiddenCharacter& hidden, const std::string& label) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(hidden.code));
    const char* kind = hidden.kind == HiddenKind::Control         ? "a control character"
                       : hidden.kind == HiddenKind::Bidirectional ? "a bidirectional control character"
                                                                  : "a zero-width character";
    Fail(label + " holds " + kind + " (" + code + "), which does not show as text; remove it.");
}

void CheckValue(const Attribute& attribute, const std::string& label) {
    const auto length = Utf8Length(attribute.value);
    if (!length) {
        Fail(label + " is not valid UTF-8 text.");
    }
    if (const auto hidden = FirstHiddenCharacter(attribute.value)) {
        FailHidden(*hidden, label);
    }
    if (attribute.nid == NID_countryName) {
        if (!IsTwoLetterCode(attribute.value)) {
            Fail(label + " must be a two-letter code, for example US.");
        }
        return;
    }
    const ASN1_STRING_TABLE* table = ASN1_STRING_TABLE_get(attribute.nid);
    if (table != nullptr && table->maxsize > 0 && *length > static_cast<std::size_t>(table->maxsize)) {
        Fail(label + " may hold at most " + std::to_string(table->maxsize) + " characters; it holds " +
             std::to_string(*length) + ".");
    }
}

}  // namespace

Subject ParseSubject(std::string_view text) {
    Subject subject;
    subject.name.reset(X509_NAME_new());
    if (!subject.name) {
        FailOssl("The subject could not be built");
    }
    for (Attribute& attribute : SplitAttributes(text)) {
        attribute.value = std::string(TrimBlanks(attribute.value));
        if (attribute.value.empty()) {
            continue;
        }
        const std::string label = LabelOf(attribute);
        CheckValue(attribute, label);
        AddEntry(subject.name.get(), attribute, label);
        if (attribute.nid == NID_commonName) {
            subject.commonName = attribute.value;
        }
        subject.friendlyName += subject.friendlyName.empty() ? "" : ", ";
        subject.friendlyName += attribute.shortName + "=" + attribute.value;
    }
    if (X509_NAME_entry_count(subject.name.get()) == 0) {
        Fail("The subject is empty: fill in at least one field, for example Common Name (CN).");
    }
    if (!subject.commonName.empty()) {
        subject.friendlyName = subject.commonName;
    }
    return subject;
}

}  // namespace certmgr
