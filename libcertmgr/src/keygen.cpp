// SPDX-License-Identifier: Apache-2.0
#include "keygen.h"

#include "errors.h"

#include <openssl/rsa.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace certmgr {

namespace {

constexpr unsigned kMaxRacers = 4;

struct Race {
    std::atomic<bool> finished{false};
    std::mutex mutex;
    EvpPkeyPtr winner;
    std::string firstError;
    std::atomic<bool> outOfMemory{false};
};

// OpenSSL calls this while it searches for primes; a 0 makes it give up.
int KeepGoing(EVP_PKEY_CTX* ctx) {
    const auto* race = static_cast<const Race*>(EVP_PKEY_CTX_get_app_data(ctx));
    return race->finished.load(std::memory_order_relaxed) ? 0 : 1;
}

EvpPkeyPtr Generate(Race& race, OSSL_LIB_CTX* libctx, int bits) {
    EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new_from_name(libctx, "RSA", nullptr));
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), bits) != 1) {
        return nullptr;
    }
    EVP_PKEY_CTX_set_app_data(ctx.get(), &race);
    EVP_PKEY_CTX_set_cb(ctx.get(), KeepGoing);
    EVP_PKEY* key = nullptr;
    const bool made = EVP_PKEY_generate(ctx.get(), &key) == 1;
    EvpPkeyPtr owned(key);
    return made ? std::move(owned) : nullptr;
}

void Run(Race& race, OSSL_LIB_CTX* libctx, int bits) noexcept {
    try {
        EvpPkeyPtr owned = Generate(race, libctx, bits);
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

EvpPkeyPtr GenerateRsaKey(OSSL_LIB_CTX* libctx, int bits, unsigned racers) {
    Race race;
    {
        std::vector<std::jthread> helpers;
        for (unsigned i = 1; i < racers; ++i) {
            try {
                helpers.emplace_back([&race, libctx, bits] { Run(race, libctx, bits); });
            } catch (const std::system_error&) {
                break;  // fewer racers is still correct, only slower
            }
        }
        Run(race, libctx, bits);
    }  // the helpers are joined here
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
