// SPDX-License-Identifier: Apache-2.0
#include "keygen.h"

#include "errors.h"

#include <openssl/rsa.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace certmgr {

namespace {

constexpr unsigned kMaxRacers = 4;
// Often enough for a progress bar and a prompt cancel, rarely enough to cost nothing.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

struct Race {
    std::atomic<bool> finished{false};
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    EvpPkeyPtr winner;
    std::string firstError;
    std::atomic<bool> outOfMemory{false};
};

// Raises the progress events. Only the calling thread's racer has one, so the sink is never called
// from another thread or from two at once.
class Reporter {
public:
    explicit Reporter(const KeygenProgress& progress) : m_progress(progress) {}

    // One step of the prime search; false when the sink asked to stop.
    bool Step() {
        ++m_steps;
        const auto now = std::chrono::steady_clock::now();
        if (m_steps > 1 && now - m_last < kProgressInterval) {
            return true;
        }
        m_last = now;
        intptr_t params[kEventArrayEntries] = {static_cast<intptr_t>(m_steps)};
        intptr_t lengths[kEventArrayEntries] = {};
        return m_progress.sink(m_progress.context, CERTMGR_EVENT_PROGRESS, 1, params, lengths) == 0;
    }

private:
    KeygenProgress m_progress;
    std::int64_t m_steps = 0;
    std::chrono::steady_clock::time_point m_last;
};

struct Racer {
    Race& race;
    Reporter* reporter;  // null on the helper threads
};

// OpenSSL calls this while it searches for primes; a 0 makes it give up.
int KeepGoing(EVP_PKEY_CTX* ctx) {
    auto* racer = static_cast<Racer*>(EVP_PKEY_CTX_get_app_data(ctx));
    Race& race = racer->race;
    if (racer->reporter != nullptr && !race.finished.load(std::memory_order_relaxed) &&
        !racer->reporter->Step()) {
        race.cancelled.store(true);
        race.finished.store(true);  // stops the helpers at their next step
    }
    return race.finished.load(std::memory_order_relaxed) ? 0 : 1;
}

EvpPkeyPtr Generate(Racer& racer, OSSL_LIB_CTX* libctx, int bits) {
    EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new_from_name(libctx, "RSA", nullptr));
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), bits) != 1) {
        return nullptr;
    }
    EVP_PKEY_CTX_set_app_data(ctx.get(), &racer);
    EVP_PKEY_CTX_set_cb(ctx.get(), KeepGoing);
    EVP_PKEY* key = nullptr;
    const bool made = EVP_PKEY_generate(ctx.get(), &key) == 1;
    EvpPkeyPtr owned(key);
    return made ? std::move(owned) : nullptr;
}

void Run(Race& race, Reporter* reporter, OSSL_LIB_CTX* libctx, int bits) noexcept {
    try {
        Racer racer{race, reporter};
        EvpPkeyPtr owned = Generate(racer, libctx, bits);
        const bool made = owned != nullptr;
        if (made) {
            if (!race.finished.exchange(true)) {
                std::lock_guard lock(race.mutex);
                race.winner = std::move(owned);
            }
            return;
        }
        // Each thread has its own error queue, so it is emptied here, in the thread that filled it.
        const OsslError error = TakeOsslError();
        if (!race.finished.load()) {
            std::lock_guard lock(race.mutex);
            if (race.firstError.empty()) {
                race.firstError = PlainReason(error);
            }
        }
    } catch (...) {
        race.outOfMemory.store(true);  // only allocation can throw here
    }
}

}  // namespace

unsigned KeygenRacers() {
    unsigned cores = std::thread::hardware_concurrency();
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const auto usable = static_cast<unsigned>(CPU_COUNT(&set));
        cores = cores == 0 ? usable : std::min(cores, usable);
    }
    return std::clamp(cores, 1U, kMaxRacers);
}

EvpPkeyPtr GenerateRsaKey(OSSL_LIB_CTX* libctx, int bits, unsigned racers, const KeygenProgress* progress) {
    Race race;
    std::optional<Reporter> reporter;
    if (progress != nullptr && progress->sink != nullptr) {
        reporter.emplace(*progress);
        // One event before the race, so that every generation raises at least one, even when a
        // helper wins before the calling thread's first step, and a cancel can stop it at once.
        if (!reporter->Step()) {
            throw Cancelled();
        }
    }
    {
        std::vector<std::jthread> helpers;
        for (unsigned i = 1; i < racers; ++i) {
            try {
                helpers.emplace_back([&race, libctx, bits] { Run(race, nullptr, libctx, bits); });
            } catch (const std::system_error&) {
                break;  // fewer racers is still correct, only slower
            }
        }
        Run(race, reporter ? &*reporter : nullptr, libctx, bits);
    }  // the helpers are joined here
    if (race.cancelled.load()) {
        throw Cancelled();
    }
    if (!race.winner) {
        std::string reason = race.firstError;
        if (reason.empty()) {
            reason = race.outOfMemory.load() ? "there is not enough memory" : "OpenSSL gave no reason";
        }
        Fail("The " + std::to_string(bits) + "-bit RSA key could not be generated: " + reason + ".");
    }
    return std::move(race.winner);
}

}  // namespace certmgr
