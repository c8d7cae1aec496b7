// SPDX-License-Identifier: Apache-2.0
// Reads a signing file by walking its PKCS #12 structure in the component's own OpenSSL context, where
// the legacy provider lives: every key-derivation cost is read and bounded before anything is derived,
// the MAC is computed once per password candidate, and each encrypted part is opened with the
// candidate that fits.
#include "pkcs12.h"

#include "errors.h"
#include "pbecost.h"
#include "signer.h"

#include <openssl/err.h>

#include <vector>

namespace certmgr {

namespace {

inline void FreePkcs7Stack(STACK_OF(PKCS7) * s) {
    sk_PKCS7_pop_free(s, PKCS7_free);
}
inline void FreeSafeBagStack(STACK_OF(PKCS12_SAFEBAG) * s) {
    sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free);
}
using Pkcs7StackPtr = OsslPtr<STACK_OF(PKCS7), FreePkcs7Stack>;
using SafeBagStackPtr = OsslPtr<STACK_OF(PKCS12_SAFEBAG), FreeSafeBagStack>;
using P8InfoPtr = OsslPtr<PKCS8_PRIV_KEY_INFO, PKCS8_PRIV_KEY_INFO_free>;  // clears the key on free

// Real files hold one encrypted part, for the certificates; each costs a key derivation.
constexpr int kMostEncryptedParts = 8;
// Bags inside bags: real files have none.
constexpr int kDeepestNesting = 4;

// The passwords that may fit: the one given, or for an empty one both ways files take it, as absent
// or as empty. Narrowed to one by the MAC or by the first part that decrypts.
class Passwords {
public:
    explicit Passwords(const char* given) {
        if (*given != '\0') {
            m_candidates = {given};
        } else {
            m_candidates = {nullptr, ""};
        }
    }
    const std::vector<const char*>& Candidates() const { return m_candidates; }
    void Fits(const char* password) {
        m_candidates = {password};
        m_proven = true;
    }
    // Whether the password is known to open the file, so that a later failure means damage.
    bool Proven() const { return m_proven; }

private:
    std::vector<const char*> m_candidates;
    bool m_proven = false;
};

int LengthOf(const char* password) {
    return password != nullptr ? -1 : 0;
}

class Reader {
public:
    Reader(const CryptoContext& context, const std::string& path, const char* password)
        : m_context(context), m_file(Quoted(path)), m_passwords(password) {}

    Identity Read(const std::string& der);

private:
    Pkcs12Ptr Decode(const std::string& der) const;
    void CheckBags(const STACK_OF(PKCS12_SAFEBAG) * bags, int depth) const;
    void VerifyMac(PKCS12* p12);
    SafeBagStackPtr DecryptPart(const PKCS7* part);
    void Collect(const STACK_OF(PKCS12_SAFEBAG) * bags);
    EvpPkeyPtr KeyOf(const PKCS12_SAFEBAG* bag);
    X509Ptr CertOf(const PKCS12_SAFEBAG* bag) const;
    [[noreturn]] void FailDecryption(const std::string& what) const;
    [[noreturn]] void FailDamaged(const std::string& why) const;

    const CryptoContext& m_context;
    std::string m_file;
    Passwords m_passwords;
    std::vector<SafeBagStackPtr> m_parts;  // the bags of each part, in file order, decrypted once opened
    EvpPkeyPtr m_key;
    bool m_keyEncrypted = false;
    X509StackPtr m_certs{sk_X509_new_null()};
};

void Reader::FailDamaged(const std::string& why) const {
    Fail("The signing certificate file " + m_file + " is damaged: " + why + ".");
}

Pkcs12Ptr Reader::Decode(const std::string& der) const {
    // Decoding into an object made for our context keeps the MAC computation in that context.
    PKCS12* raw = PKCS12_init_ex(NID_pkcs7_data, m_context.Get(), nullptr);
    if (raw == nullptr) {
        FailOssl("The signing certificate file " + m_file + " could not be read");
    }
    const auto* in = reinterpret_cast<const unsigned char*>(der.data());
    const auto* end = in + der.size();
    Pkcs12Ptr p12(d2i_PKCS12(&raw, &in, static_cast<long>(der.size())));  // frees `raw` itself on failure
    if (!p12) {
        const OsslError error = TakeOsslError();
        if (error.reason == OsslReason::OutOfMemory) {
            Fail("The signing certificate file " + m_file + " could not be read: " + PlainReason(error) +
                 ".");
        }
        Fail("The signing certificate file " + m_file + " is not a PKCS #12 (.pfx) file.");
    }
    if (in != end) {
        FailDamaged(std::to_string(end - in) + " bytes follow the end of its PKCS #12 content");
    }
    return p12;
}

// Bounds the cost of every shrouded key before the first derivation; nested bags are walked alike.
void Reader::CheckBags(const STACK_OF(PKCS12_SAFEBAG) * bags, int depth) const {
    if (depth > kDeepestNesting) {
        FailDamaged("its bags are nested more than " + std::to_string(kDeepestNesting) + " deep");
    }
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
            case NID_pkcs8ShroudedKeyBag: {
                const X509_ALGOR* algorithm = nullptr;
                X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
                CheckDecryptionCost(algorithm, "its private key", m_file);
                break;
            }
            case NID_safeContentsBag:
                CheckBags(PKCS12_SAFEBAG_get0_safes(bag), depth + 1);
                break;
            default:
                break;
        }
    }
}

void Reader::VerifyMac(PKCS12* p12) {
    for (const char* candidate : m_passwords.Candidates()) {
        if (PKCS12_verify_mac(p12, candidate, LengthOf(candidate)) == 1) {
            ERR_clear_error();  // a candidate tried before may have left its reason
            m_passwords.Fits(candidate);
            return;
        }
    }
    const OsslError error = TakeOsslError();
    if (error.reason == OsslReason::WrongPassword || error.reason == OsslReason::None) {
        FailWrongPassword("The password of the signing certificate file " + m_file +
                          " is wrong: the file's integrity check (MAC) did not verify with it.");
    }
    Fail("The integrity check (MAC) of the signing certificate file " + m_file +
         " could not be computed: " + PlainReason(error) + ".");
}

void Reader::FailDecryption(const std::string& what) const {
    const OsslError error = TakeOsslError();
    switch (error.reason) {
        case OsslReason::Unsupported:
            if (!m_context.HasLegacy()) {
                Fail("The signing certificate file " + m_file +
                     " is protected with an old algorithm (such as RC2 or 40-bit encryption) that needs "
                     "OpenSSL's legacy provider, which is not installed on this system.");
            }
            Fail("The signing certificate file " + m_file +
                 " is protected with an algorithm that this system's OpenSSL does not support (" +
                 error.detail + ").");
        case OsslReason::OutOfMemory:
            Fail("The signing certificate file " + m_file + " could not be read: " + PlainReason(error) +
                 ".");
        default:
            break;
    }
    if (!m_passwords.Proven()) {
        FailWrongPassword("The password of the signing certificate file " + m_file + " is wrong: " + what +
                          " did not decrypt with it.");
    }
    Fail("The signing certificate file " + m_file + " is damaged: " + what +
         " did not decrypt with the password that opened the rest of the file.");
}

SafeBagStackPtr Reader::DecryptPart(const PKCS7* part) {
    const X509_ALGOR* algorithm = part->d.encrypted->enc_data->algorithm;
    const ASN1_OCTET_STRING* data = part->d.encrypted->enc_data->enc_data;
    if (data == nullptr) {
        FailDamaged("an encrypted part holds no data");
    }
    for (const char* candidate : m_passwords.Candidates()) {
        SafeBagStackPtr bags(static_cast<STACK_OF(PKCS12_SAFEBAG)*>(
            PKCS12_item_decrypt_d2i_ex(algorithm, ASN1_ITEM_rptr(PKCS12_SAFEBAGS), candidate,
                                       LengthOf(candidate), data, 1, m_context.Get(), nullptr)));
        if (bags) {
            ERR_clear_error();
            m_passwords.Fits(candidate);
            return bags;
        }
    }
    FailDecryption("its certificates");
}

EvpPkeyPtr Reader::KeyOf(const PKCS12_SAFEBAG* bag) {
    const PKCS8_PRIV_KEY_INFO* info = PKCS12_SAFEBAG_get0_p8inf(bag);
    P8InfoPtr decrypted;
    if (PKCS12_SAFEBAG_get_nid(bag) == NID_pkcs8ShroudedKeyBag) {
        m_keyEncrypted = true;
        const X509_SIG* shrouded = PKCS12_SAFEBAG_get0_pkcs8(bag);
        for (const char* candidate : m_passwords.Candidates()) {
            decrypted.reset(
                PKCS8_decrypt_ex(shrouded, candidate, LengthOf(candidate), m_context.Get(), nullptr));
            if (decrypted) {
                ERR_clear_error();
                m_passwords.Fits(candidate);
                break;
            }
        }
        if (!decrypted) {
            FailDecryption("its private key");
        }
        info = decrypted.get();
    }
    EvpPkeyPtr key(info != nullptr ? EVP_PKCS82PKEY_ex(info, m_context.Get(), nullptr) : nullptr);
    if (!key) {
        const OsslError error = TakeOsslError();
        Fail("The private key of the signing certificate file " + m_file +
             " could not be read: " + PlainReason(error) + ".");
    }
    return key;
}

// Steps through DER one element at a time, checking each element's tag, class and form.
class DerWalk {
public:
    DerWalk(const unsigned char* der, long size) : m_p(der), m_left(size) {}
    // Into a constructed element: its content is what follows.
    bool Enter(int tag, int tagClass) {
        long length = 0;
        if (!Header(tag, tagClass, true, length)) {
            return false;
        }
        m_left = length;
        return true;
    }
    bool Skip(int tag, int tagClass) {
        long length = 0;
        if (!Header(tag, tagClass, false, length)) {
            return false;
        }
        m_p += length;
        m_left -= length;
        return true;
    }
    // The content of a primitive element.
    bool Take(int tag, int tagClass, const unsigned char** content, long* length) {
        if (!Header(tag, tagClass, false, *length)) {
            return false;
        }
        *content = m_p;
        return true;
    }

private:
    bool Header(int tag, int tagClass, bool constructed, long& length) {
        const unsigned char* start = m_p;
        int gotTag = 0;
        int gotClass = 0;
        // 0x80 is an error (a length past the end included), 0x01 an indefinite length.
        const int flags = ASN1_get_object(&m_p, &length, &gotTag, &gotClass, m_left);
        if ((flags & 0x81) != 0 || gotTag != tag || gotClass != tagClass ||
            ((flags & V_ASN1_CONSTRUCTED) != 0) != constructed) {
            return false;
        }
        m_left -= m_p - start;
        return true;
    }

    const unsigned char* m_p;
    long m_left;
};

// OpenSSL 3.0 decodes the certificate of a bag only in the default context, and decoding it twice
// doubles the cost of a file with many certificates; so the certificate's DER is taken from the
// encoded bag: SafeBag ::= SEQUENCE { bagId, [0] EXPLICIT CertBag ::= SEQUENCE { certId,
// [0] EXPLICIT OCTET STRING }, attributes }.
X509Ptr Reader::CertOf(const PKCS12_SAFEBAG* bag) const {
    unsigned char* encoded = nullptr;
    const int size = i2d_PKCS12_SAFEBAG(bag, &encoded);
    const unsigned char* der = nullptr;
    long length = 0;
    DerWalk walk(encoded, size);
    const bool found = size > 0 && walk.Enter(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL) &&
                       walk.Skip(V_ASN1_OBJECT, V_ASN1_UNIVERSAL) && walk.Enter(0, V_ASN1_CONTEXT_SPECIFIC) &&
                       walk.Enter(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL) &&
                       walk.Skip(V_ASN1_OBJECT, V_ASN1_UNIVERSAL) && walk.Enter(0, V_ASN1_CONTEXT_SPECIFIC) &&
                       walk.Take(V_ASN1_OCTET_STRING, V_ASN1_UNIVERSAL, &der, &length);
    X509Ptr cert(found ? static_cast<X509*>(static_cast<void*>(ASN1_item_d2i_ex(
                             nullptr, &der, length, ASN1_ITEM_rptr(X509), m_context.Get(), nullptr)))
                       : nullptr);
    OPENSSL_free(encoded);
    if (!cert) {
        const OsslError error = TakeOsslError();
        if (error.reason == OsslReason::OutOfMemory) {
            Fail("The signing certificate file " + m_file + " could not be read: " + PlainReason(error) +
                 ".");
        }
        FailDamaged("a certificate in it does not decode" +
                    (error.detail.empty() ? std::string() : " (" + error.detail + ")"));
    }
    return cert;
}

// The first key of the file in file order, as other readers take it, and every X.509 certificate.
void Reader::Collect(const STACK_OF(PKCS12_SAFEBAG) * bags) {
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
            case NID_keyBag:
            case NID_pkcs8ShroudedKeyBag:
                if (!m_key) {
                    m_key = KeyOf(bag);
                }
                break;
            case NID_certBag:
                if (PKCS12_SAFEBAG_get_bag_nid(bag) == NID_x509Certificate) {
                    X509Ptr cert = CertOf(bag);
                    if (sk_X509_push(m_certs.get(), cert.get()) == 0) {
                        FailOssl("The signing certificate file " + m_file + " could not be read");
                    }
                    cert.release();  // the stack holds it now
                }
                break;
            case NID_safeContentsBag:
                Collect(PKCS12_SAFEBAG_get0_safes(bag));
                break;
            default:
                break;  // CRLs and secrets have no part in signing
        }
    }
}

Identity Reader::Read(const std::string& der) {
    if (!m_certs) {
        FailOssl("The signing certificate file " + m_file + " could not be read");
    }
    Pkcs12Ptr p12 = Decode(der);

    // Everything that can be read without the password comes first, and with it every cost.
    CheckMacCost(p12.get(), m_file);
    Pkcs7StackPtr parts(PKCS12_unpack_authsafes(p12.get()));
    if (!parts) {
        FailDamaged("its contents do not decode");
    }
    int encrypted = 0;
    for (int i = 0; i < sk_PKCS7_num(parts.get()); ++i) {
        PKCS7* part = sk_PKCS7_value(parts.get(), i);
        switch (OBJ_obj2nid(part->type)) {
            case NID_pkcs7_data: {
                SafeBagStackPtr bags(PKCS12_unpack_p7data(part));
                if (!bags) {
                    FailDamaged("a part of its contents does not decode");
                }
                CheckBags(bags.get(), 0);
                m_parts.push_back(std::move(bags));
                break;
            }
            case NID_pkcs7_encrypted:
                if (++encrypted > kMostEncryptedParts) {
                    Fail("The signing certificate file " + m_file + " has more than " +
                         std::to_string(kMostEncryptedParts) +
                         " encrypted parts; each costs a key derivation, so such files are refused.");
                }
                if (part->d.encrypted == nullptr || part->d.encrypted->enc_data == nullptr) {
                    FailDamaged("an encrypted part of its contents does not decode");
                }
                CheckDecryptionCost(part->d.encrypted->enc_data->algorithm, "its certificates", m_file);
                m_parts.emplace_back();  // opened below, once the password is known
                break;
            case NID_pkcs7_enveloped:
                Fail("The signing certificate file " + m_file +
                     " is protected with a public key instead of a password, which is not supported.");
            default:
                FailDamaged("a part of its contents is of an unknown type");
        }
    }

    if (PKCS12_mac_present(p12.get())) {
        VerifyMac(p12.get());
    }
    for (int i = 0; i < sk_PKCS7_num(parts.get()); ++i) {
        if (!m_parts[static_cast<std::size_t>(i)]) {
            SafeBagStackPtr bags = DecryptPart(sk_PKCS7_value(parts.get(), i));
            CheckBags(bags.get(), 0);
            m_parts[static_cast<std::size_t>(i)] = std::move(bags);
        }
    }
    for (const SafeBagStackPtr& bags : m_parts) {
        Collect(bags.get());
    }

    if (!m_key) {
        Fail("The signing certificate file " + m_file +
             " holds no private key, so it cannot sign certificates.");
    }
    X509* signer = nullptr;
    for (int i = 0; i < sk_X509_num(m_certs.get()) && signer == nullptr; ++i) {
        X509* cert = sk_X509_value(m_certs.get(), i);
        ERR_set_mark();
        if (X509_check_private_key(cert, m_key.get()) == 1) {
            signer = cert;
        }
        ERR_pop_to_mark();
    }
    if (signer == nullptr) {
        if (sk_X509_num(m_certs.get()) == 0) {
            Fail("The signing certificate file " + m_file + " holds no certificate.");
        }
        const std::string text =
            "The signing certificate file " + m_file + " holds no certificate that matches its private key";
        // Without a MAC, only the key's match shows that the password decrypted it rightly.
        if (m_keyEncrypted && !PKCS12_mac_present(p12.get())) {
            FailWrongPassword(text + ": the password is wrong, or the file is damaged.");
        }
        Fail(text + ".");
    }
    if (X509_up_ref(signer) != 1) {
        FailOssl("The signing certificate file " + m_file + " could not be read");
    }
    X509Ptr cert(signer);
    X509StackPtr chain = IssuersOf(signer, m_certs.get(), m_file);
    return Identity{std::move(cert), std::move(m_key), std::move(chain)};
}

}  // namespace

Identity DecodePkcs12(const CryptoContext& context, const std::string& der, const std::string& path,
                      const char* password) {
    return Reader(context, path, password).Read(der);
}

}  // namespace certmgr
