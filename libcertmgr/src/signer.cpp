// SPDX-License-Identifier: Apache-2.0
#include "signer.h"

#include "errors.h"

#include <openssl/bio.h>
#include <openssl/err.h>

#include <ctime>
#include <vector>

namespace certmgr {

namespace {

using NameConstraintsPtr = OsslPtr<NAME_CONSTRAINTS, NAME_CONSTRAINTS_free>;
using BioPtr = OsslPtr<BIO, BIO_free_all>;

std::string DateOf(const ASN1_TIME* time) {
    std::tm parts{};
    char text[32] = "an unreadable date";
    if (ASN1_TIME_to_tm(time, &parts) == 1) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    }
    return text;
}

// The day alone, as the user counts validity.
std::string DayOf(const std::tm& parts) {
    char text[16] = "an unknown day";
    std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}

std::string DecimalOf(const ASN1_INTEGER* number) {
    const BignumPtr value(ASN1_INTEGER_to_BN(number, nullptr));
    char* text = value ? BN_bn2dec(value.get()) : nullptr;
    if (text == nullptr) {
        ERR_clear_error();
        return "in use";
    }
    std::string decimal(text);
    OPENSSL_free(text);
    return decimal;
}

std::string TextOf(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

// "C=US, O=Acme, CN=www.example.com", in UTF-8 and without escapes, as users read names.
std::string NameText(const X509_NAME* name) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    constexpr unsigned long kFlags = (XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB & ~XN_FLAG_SPC_EQ);
    if (!bio || X509_NAME_print_ex(bio.get(), name, 0, kFlags) < 0) {
        return "an unprintable name";
    }
    return TextOf(bio.get());
}

// A certificate as the user knows it: its common name, or else its whole subject.
std::string LabelOf(X509* cert) {
    const X509_NAME* subject = X509_get_subject_name(cert);
    const int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
    if (index >= 0) {
        const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index));
        unsigned char* utf8 = nullptr;
        const int size = ASN1_STRING_to_UTF8(&utf8, value);
        if (size >= 0) {
            std::string text(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(size));
            OPENSSL_free(utf8);
            return Quoted(text);
        }
    }
    return Quoted(NameText(subject));
}

std::string AltNameText(GENERAL_NAME* name) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || GENERAL_NAME_print(bio.get(), name) != 1) {
        return "an unprintable alternative name";
    }
    return TextOf(bio.get());
}

GeneralNamesPtr AltNamesOf(X509* cert) {
    return GeneralNamesPtr(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
}

bool HasDnsAltName(X509* cert) {
    const GeneralNamesPtr names = AltNamesOf(cert);
    for (int i = 0; i < sk_GENERAL_NAME_num(names.get()); ++i) {
        if (sk_GENERAL_NAME_value(names.get(), i)->type == GEN_DNS) {
            return true;
        }
    }
    return false;
}

// OpenSSL's checks read the names from the certificate's extension cache, which is filled on the
// first query; the probes below are complete before that query.
X509Ptr Probe(const X509_NAME* subject, GENERAL_NAME* altName) {
    X509Ptr probe(X509_new());
    if (!probe || (subject != nullptr && X509_set_subject_name(probe.get(), subject) != 1)) {
        FailOssl("The names of the certificate could not be checked");
    }
    if (altName != nullptr) {
        GeneralNamesPtr list(GENERAL_NAMES_new());
        GeneralNamePtr copy(GENERAL_NAME_dup(altName));
        if (!list || !copy || sk_GENERAL_NAME_push(list.get(), copy.get()) == 0) {
            FailOssl("The names of the certificate could not be checked");
        }
        copy.release();
        if (X509_add1_ext_i2d(probe.get(), NID_subject_alt_name, list.get(), 0, X509V3_ADD_DEFAULT) != 1) {
            FailOssl("The names of the certificate could not be checked");
        }
    }
    X509_get_extension_flags(probe.get());
    return probe;
}

int CheckAll(X509* names, NAME_CONSTRAINTS* constraints) {
    int result = NAME_CONSTRAINTS_check(names, constraints);
    if (result == X509_V_OK && !HasDnsAltName(names)) {
        result = NAME_CONSTRAINTS_check_CN(names, constraints);
    }
    return result;
}

// `name` starts the sentence, for example: The name "DNS:www.example.com"
[[noreturn]] void FailName(const std::string& name, int result, const std::string& ca) {
    switch (result) {
        case X509_V_ERR_PERMITTED_VIOLATION:
            Fail(name + " is outside the names that " + ca +
                 " may issue certificates for (its name constraints).");
        case X509_V_ERR_EXCLUDED_VIOLATION:
            Fail(name + " is among the names that " + ca +
                 " may not issue certificates for (its name constraints).");
        default:
            Fail(name + " cannot be checked against the name constraints of " + ca + ": " +
                 X509_verify_cert_error_string(result) + ".");
    }
}

// The names one by one, to tell the user which of them the constraints refuse.
[[noreturn]] void FailFirstName(X509* names, NAME_CONSTRAINTS* constraints, int wholeResult,
                                const std::string& ca) {
    const X509_NAME* subject = X509_get_subject_name(names);
    X509Ptr subjectOnly = Probe(subject, nullptr);
    if (const int result = NAME_CONSTRAINTS_check(subjectOnly.get(), constraints); result != X509_V_OK) {
        FailName("The name " + Quoted(NameText(subject)), result, ca);
    }
    const GeneralNamesPtr altNames = AltNamesOf(names);
    for (int i = 0; i < sk_GENERAL_NAME_num(altNames.get()); ++i) {
        GENERAL_NAME* altName = sk_GENERAL_NAME_value(altNames.get(), i);
        X509Ptr one = Probe(nullptr, altName);
        if (const int result = NAME_CONSTRAINTS_check(one.get(), constraints); result != X509_V_OK) {
            FailName("The name " + Quoted(AltNameText(altName)), result, ca);
        }
    }
    if (const int result =
            HasDnsAltName(names) ? X509_V_OK : NAME_CONSTRAINTS_check_CN(subjectOnly.get(), constraints);
        result != X509_V_OK) {
        FailName("The common name of " + Quoted(NameText(subject)) + ", taken as a host name,", result, ca);
    }
    FailName("The name " + Quoted(NameText(subject)), wholeResult, ca);
}

}  // namespace

X509StackPtr IssuersOf(X509* signer, STACK_OF(X509) * certs, const std::string& file) {
    X509StackPtr chain(sk_X509_new_null());
    if (!chain) {
        FailOssl("The certificate chain could not be kept");
    }
    const std::string forged = "The signing certificate in " + file +
                               " cannot be used: its signature does not verify with the key of ";
    const std::string why = "; the file is damaged or the certificate is forged.";
    if (X509_self_signed(signer, 0) == 1) {
        if (X509_verify(signer, X509_get0_pubkey(signer)) != 1) {
            ERR_clear_error();
            Fail(forged + "its own, although it names itself as its issuer" + why);
        }
        return chain;
    }
    auto taken = [&](X509* cert) {
        if (cert == signer) {
            return true;
        }
        for (int i = 0; i < sk_X509_num(chain.get()); ++i) {
            if (sk_X509_value(chain.get(), i) == cert) {
                return true;
            }
        }
        return false;
    };
    // Each round takes one issuer whose key verifies the certificate below; the certificates of the
    // file bound the rounds, since each is taken once.
    X509* current = signer;
    while (X509_self_signed(current, 0) != 1) {
        X509* issuer = nullptr;
        X509* failing = nullptr;
        for (int i = 0; i < sk_X509_num(certs) && issuer == nullptr; ++i) {
            X509* candidate = sk_X509_value(certs, i);
            if (taken(candidate) || X509_check_issued(candidate, current) != X509_V_OK) {
                continue;
            }
            ERR_set_mark();
            if (X509_verify(current, X509_get0_pubkey(candidate)) == 1) {
                issuer = candidate;
            } else if (failing == nullptr) {
                failing = candidate;
            }
            ERR_pop_to_mark();
        }
        if (issuer == nullptr) {
            if (current == signer && failing != nullptr) {
                Fail(forged + "its issuer " + LabelOf(failing) + ", which the file also holds" + why);
            }
            break;
        }
        if (X509_up_ref(issuer) != 1 || sk_X509_push(chain.get(), issuer) == 0) {
            FailOssl("The certificate chain could not be kept");
        }
        current = issuer;
    }
    return chain;
}

void CheckCanSign(X509* cert, const std::string& file) {
    const std::string cannot = "The signing certificate in " + Quoted(file) + " cannot sign certificates: ";
    // Certificates made here for servers are no authorities, so the likeliest way out is to make one.
    const std::string remedy =
        " Make the signing certificate with \"Can sign other certificates (certificate authority)\" checked"
        " (ombrel-cli: --ca).";
    const BasicConstraintsPtr constraints(
        static_cast<BASIC_CONSTRAINTS*>(X509_get_ext_d2i(cert, NID_basic_constraints, nullptr, nullptr)));
    if (constraints && constraints->ca == 0) {
        Fail(cannot + "its basic constraints say CA:FALSE." + remedy);
    }
    if ((X509_get_key_usage(cert) & KU_KEY_CERT_SIGN) == 0) {
        Fail(cannot + "its key usage lacks certificate signing (keyCertSign)." + remedy);
    }
    // 1: basic constraints with CA:TRUE; 3: a version 1 self-signed root, which predates them. OpenSSL's
    // other answers (key usage or a Netscape type alone) are what its strict verification refuses.
    const int ca = X509_check_ca(cert);
    if (ca != 1 && ca != 3) {
        Fail(cannot +
             "it is not marked as a certificate authority (it has no basic constraints with CA:TRUE)." +
             remedy);
    }
    if (X509_cmp_current_time(X509_get0_notAfter(cert)) < 0) {
        Fail("The signing certificate in " + Quoted(file) + " expired on " +
             DateOf(X509_get0_notAfter(cert)) + "; certificates it issued would not verify.");
    }
    if (X509_cmp_current_time(X509_get0_notBefore(cert)) > 0) {
        Fail("The signing certificate in " + Quoted(file) + " is not valid before " +
             DateOf(X509_get0_notBefore(cert)) + ".");
    }
}

void CheckCanIssue(const Identity& signer, const ASN1_INTEGER* serial, std::time_t now, std::uint32_t days) {
    X509* cert = signer.cert.get();
    if (ASN1_INTEGER_cmp(serial, X509_get0_serialNumber(cert)) == 0) {
        Fail("The serial number " + DecimalOf(serial) + " is the signing certificate's own (" +
             LabelOf(cert) +
             "). Issuer and serial number must identify one certificate, and Firefox refuses a repeat; choose"
             " another serial number, or let one be chosen at random.");
    }
    const Asn1TimePtr start(ASN1_TIME_set(nullptr, now));
    int daysLeft = 0;
    int secondsLeft = 0;
    if (!start || ASN1_TIME_diff(&daysLeft, &secondsLeft, start.get(), X509_get0_notAfter(cert)) != 1) {
        FailOssl("The validity of the signing certificate could not be read");
    }
    // Both parts share their sign, so whole days left are what a new certificate can have.
    if (static_cast<long long>(days) > daysLeft) {
        const std::time_t end = now + static_cast<std::time_t>(days) * 86400;
        std::tm endParts{};
        std::tm lastParts{};
        gmtime_r(&end, &endParts);
        ASN1_TIME_to_tm(X509_get0_notAfter(cert), &lastParts);
        const int most = daysLeft > 0 ? daysLeft : 0;
        Fail("A validity of " + std::to_string(days) + " days would end the certificate on " +
             DayOf(endParts) + ", after the signing certificate " + LabelOf(cert) +
             ", which is valid until " + DayOf(lastParts) + "; at most " + std::to_string(most) +
             (most == 1 ? " day is" : " days are") + " possible.");
    }
}

std::optional<long> PathLengthBelow(const Identity& signer) {
    std::vector<X509*> cas{signer.cert.get()};
    for (int i = 0; i < sk_X509_num(signer.chain.get()); ++i) {
        cas.push_back(sk_X509_value(signer.chain.get(), i));
    }
    // Each authority's path length counts the authorities below it down to the new one, except the
    // self-issued ones, which verifiers skip.
    std::optional<long> allowed;
    X509* limiting = nullptr;
    long between = 0;
    for (X509* ca : cas) {
        const long length = X509_get_pathlen(ca);
        if (length >= 0 && (!allowed || length - between < *allowed)) {
            allowed = length - between;
            limiting = ca;
        }
        if ((X509_get_extension_flags(ca) & EXFLAG_SI) == 0) {
            ++between;
        }
    }
    if (!allowed) {
        return std::nullopt;
    }
    if (*allowed <= 0) {
        const std::string length = "(its path length is " + std::to_string(X509_get_pathlen(limiting)) + ").";
        if (limiting == signer.cert.get()) {
            Fail("The signing certificate " + LabelOf(limiting) +
                 " may not sign further certificate authorities " + length);
        }
        Fail("The certificate authority " + LabelOf(limiting) +
             " allows no more certificate authorities below the signing certificate " + length);
    }
    return *allowed - 1;
}

void CheckNamesAllowed(X509* names, const Identity& signer) {
    std::vector<X509*> cas{signer.cert.get()};
    for (int i = 0; i < sk_X509_num(signer.chain.get()); ++i) {
        cas.push_back(sk_X509_value(signer.chain.get(), i));
    }
    for (X509* ca : cas) {
        const std::string label =
            (ca == signer.cert.get() ? "the signing certificate " : "the certificate authority ") +
            LabelOf(ca);
        int found = -1;
        NameConstraintsPtr constraints(
            static_cast<NAME_CONSTRAINTS*>(X509_get_ext_d2i(ca, NID_name_constraints, &found, nullptr)));
        if (!constraints) {
            if (found != -1) {
                Fail("The name constraints of " + label +
                     " cannot be read, so nothing can be issued under it.");
            }
            continue;
        }
        if (const int result = CheckAll(names, constraints.get()); result != X509_V_OK) {
            FailFirstName(names, constraints.get(), result, label);
        }
    }
}

}  // namespace certmgr
