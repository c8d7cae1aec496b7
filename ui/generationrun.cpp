// SPDX-License-Identifier: Apache-2.0
#include "ui/generationrun.h"

#include "core/certmgr.h"
#include "core/secret.h"

#include <exception>

namespace {

// Answers the component's progress events with the run's cancel flag.
class CancellableCertMgr final : public CCertMgr {
public:
    explicit CancellableCertMgr(const std::atomic<bool>& cancel) : m_cancel(cancel) {}

    std::int32_t OnComponentEvent3(std::intptr_t*) override { return m_cancel.load() ? 1 : 0; }

private:
    const std::atomic<bool>& m_cancel;
};

}  // namespace

GenerationRun::GenerationRun(CertRequest request, std::vector<std::string> settings, QObject* receiver,
                             Done done)
    : m_worker(&GenerationRun::Run, this, std::move(request), std::move(settings), receiver,
               std::move(done)) {}

GenerationRun::~GenerationRun() {
    Cancel();
    Wait();
}

void GenerationRun::Wait() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void GenerationRun::Run(CertRequest request, std::vector<std::string> settings, QObject* receiver,
                        Done done) {
    GenerationOutcome outcome;
    try {
        CancellableCertMgr certMgr(m_cancel);
        outcome = RunGeneration(certMgr, request, settings);
    } catch (const std::exception& error) {
        // Nothing may escape the thread; the user hears of it like any other failure.
        outcome = {false, error.what(), MessageIcon::Error};
    }
    // Password copies do not outlive the run in freed memory.
    WipeSecrets(request);
    if (m_cancel.load()) {
        return;
    }
    // Queued to the receiver's thread. The owner joins this thread before the receiver goes, and
    // a destroyed receiver drops what was still queued for it.
    QMetaObject::invokeMethod(
        receiver, [done = std::move(done), outcome] { done(outcome); }, Qt::QueuedConnection);
}
