// SPDX-License-Identifier: Apache-2.0
// One "Generate Certificate" run on a worker thread, so that the window stays responsive
// while a key is made. The dialog reads the form and asks its questions first; the run itself
// touches no widget, and its outcome comes back on the thread of the receiver.
#pragma once

#include "core/certrequest.h"
#include "core/generate.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class GenerationRun {
public:
    using Done = std::function<void(const GenerationOutcome&)>;

    // Starts at once. done runs on the receiver's thread once the run has ended, unless it was
    // cancelled first. The receiver must outlive the run.
    GenerationRun(CertRequest request, std::vector<std::string> settings, QObject* receiver, Done done);
    // Cancels and waits.
    ~GenerationRun();
    GenerationRun(const GenerationRun&) = delete;
    GenerationRun& operator=(const GenerationRun&) = delete;

    // Asks the component to stop at its next progress event; nothing is written then.
    void Cancel() { m_cancel.store(true); }
    // Blocks until the worker has ended.
    void Wait();

private:
    void Run(CertRequest request, std::vector<std::string> settings, QObject* receiver, Done done);

    std::atomic<bool> m_cancel{false};
    std::thread m_worker;
};
