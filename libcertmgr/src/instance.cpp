// SPDX-License-Identifier: Apache-2.0
#include "instance.h"

#include "certificate.h"
#include "errors.h"
#include "fileio.h"
#include "keygen.h"
#include "pkcs12.h"
#include "signer.h"
#include "subject.h"

#include <array>
#include <ctime>

namespace certmgr {

namespace {

// Far above any real .pfx; stops a wrong path from reading a disk image into memory.
constexpr std::size_t kLargestSigningFile = 16 * 1024 * 1024;

}  // namespace

Instance::Instance(CertMgrEventSink sink, void* context) : m_sink(sink), m_context(context) {}

Instance::~Instance() {
    m_magic = 0;
}

const CryptoContext& Instance::Crypto() const {
    const CryptoContext& crypto = CryptoContext::Shared();
    if (!crypto.Ready()) {
        Fail(crypto.StartError());
    }
    return crypto;
}

void Instance::ApplySetting(const char* text) {
    certmgr::ApplySetting(m_settings, text);
}

void Instance::Make(const char* subjectText, std::uint32_t serial, bool issued) {
    // A failed attempt leaves nothing behind that a later export could write by mistake.
    m_current.reset();
    m_currentName.clear();
    const CryptoContext& crypto = Crypto();
    if (issued && !m_signer) {
        Fail("No signing certificate is loaded: load one before issuing a certificate.");
    }
    const Subject subject = ParseSubject(subjectText);
    // One moment for the checks and the certificate, however long the key takes.
    const std::time_t now = std::time(nullptr);
    CheckEndsInTime(now, m_settings.validityDays);
    const Asn1IntegerPtr serialNumber = ChooseSerial(crypto.Get(), serial);
    if (issued) {
        CheckCanIssue(*m_signer, serialNumber.get(), now, m_settings.validityDays);
        if (m_settings.authority) {
            PathLengthBelow(*m_signer);
        }
        CheckNamesAllowed(NamesOnly(subject, m_settings).get(), *m_signer);
    }
    const KeygenProgress progress{m_sink, m_context};
    EvpPkeyPtr key = GenerateRsaKey(crypto.Get(), m_settings.keyBits, KeygenRacers(), &progress);
    X509Ptr cert = BuildCertificate(crypto.Get(), subject, serialNumber.get(), now, m_settings, key.get(),
                                    issued ? &*m_signer : nullptr);
    X509StackPtr chain = issued ? ChainFrom(*m_signer) : ShareCertificates(nullptr);
    if (!m_settings.authority && X509_get_ext_by_NID(cert.get(), NID_subject_alt_name, -1) < 0) {
        Warn("the certificate has no subject alternative name, because its common name is not a host "
             "name or IP address, so browsers will refuse it for a web site");
    }
    m_currentName = subject.friendlyName;
    m_current = Identity{std::move(cert), std::move(key), std::move(chain)};
}

void Instance::Warn(const std::string& text) const {
    if (m_sink == nullptr) {
        return;
    }
    std::array<intptr_t, kEventArrayEntries> params{};
    std::array<intptr_t, kEventArrayEntries> lengths{};
    params[0] = reinterpret_cast<intptr_t>(text.c_str());
    lengths[0] = static_cast<intptr_t>(text.size());
    m_sink(m_context, CERTMGR_EVENT_WARNING, 1, params.data(), lengths.data());
}

void Instance::Discard() {
    m_current.reset();
    m_currentName.clear();
}

void Instance::Export(const char* path, const char* password) {
    if (!m_current) {
        Fail("There is no certificate to export: create one first.");
    }
    const std::string der =
        EncodePkcs12(Crypto().Get(), m_settings.pfxFormat, password, m_currentName, *m_current);
    const WriteRules rules{m_settings.replaceExisting, m_signer ? &m_signerFile : nullptr};
    WriteFileAtomically(path, der, rules);
}

void Instance::LoadSigner(const char* path, const char* password) {
    // A failed load leaves no signer, so that a later IssueSigned cannot quietly use an earlier one.
    m_signer.reset();
    const CryptoContext& crypto = Crypto();
    const std::string der = ReadWholeFile(path, "signing certificate file", kLargestSigningFile);
    Identity signer = DecodePkcs12(crypto, der, path, password);
    CheckCanSign(signer.cert.get(), path);
    m_signer = std::move(signer);
    m_signerFile = IdentifyFile(path);
}

void Instance::SetError(const char* text) noexcept {
    try {
        m_error = text;
        m_errorFallback = nullptr;
    } catch (...) {
        m_errorFallback = "Out of memory.";  // copying the text is all that can fail here
    }
}

}  // namespace certmgr
