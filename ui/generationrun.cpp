// SPDX-License-Identifier: Apache-2.0
#include "ui/generationrun.h"

#include "core/certmgr.h"

#include <exception>

namespace {

// Answers the component's progress events with the run's cancel flag.
class CancellableCertMgr final : public CCertMgr {
public:
    CancellableCertMgr(const std::atomic<bool>& cancel, std::atomic<int>& events)
        : m_cancel(cancel), m_events(events) {}

    std::int32_t OnComponentEvent3(std::intptr_t*) override {
        ++m_events;
        return m_cancel.load() ? 1 : 0;
    }

private:
    const std::atomic<bool>& m_cancel;
    std::atomic<int>& m_events;
};

// Password copies do not outlive the run in freed memory.
void Wipe(std::string& text) {
    volatile char* bytes = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[i] = 0;
    }
    text.clear();
}

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
        CancellableCertMgr certMgr(m_cancel, m_progressEvents);
        outcome = RunGeneration(certMgr, request, settings);
    } catch (const std::exception& error) {
        // Nothing may escape the thread; the user hears of it like any other failure.
        outcome = {false, error.what(), MessageIcon::Error};
    }
    Wipe(request.password);
    Wipe(request.signingPassword);
    if (m_cancel.load()) {
        return;
    }
    // Queued to the receiver's thread. The owner joins this thread before the receiver goes, and
    // a destroyed receiver drops what was still queued for it.
    QMetaObject::invokeMethod(
        receiver, [done = std::move(done), outcome] { done(outcome); }, Qt::QueuedConnection);
}
