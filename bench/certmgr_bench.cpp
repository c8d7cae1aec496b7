// SPDX-License-Identifier: Apache-2.0
// Times, for 1024, 2048 and 4096 bits: OpenSSL's key generation on one thread (the floor a
// single-threaded tool cannot beat), the component's raced key generation, whole self-signed and
// issued runs through the C functions, and the work besides key generation on its own; and loading a
// 2048-bit signing file.
//
// Key-generation times are random with a long tail, so each repetition is one key and the report
// gives the median and the 90th percentile. OMBREL_BENCH_SCALE (default 1) scales the repetitions.
#include "summary.h"

#include "certificate.h"
#include "context.h"
#include "fileio.h"
#include "keygen.h"
#include "pkcs12.h"
#include "subject.h"

#include <certmgr.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace certmgr_bench {
namespace {

using namespace certmgr;

const char kSubject[] = "C=US,ST=California,L=San Francisco,O=Acme,OU=IT,CN=www.example.com";

class Folder {
public:
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "certmgr-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string File(const char* name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

Folder& Scratch() {
    static Folder folder;
    return folder;
}

const CryptoContext& Crypto() {
    return CryptoContext::Shared();
}

int32_t Call(void* handle, int32_t method, std::vector<intptr_t> params) {
    const auto count = static_cast<int32_t>(params.size());
    params.push_back(0);
    std::vector<intptr_t> lengths(params.size(), 0);
    return CertMgr_Do(handle, method, count, params.data(), lengths.data());
}

intptr_t Text(const std::string& text) {
    return reinterpret_cast<intptr_t>(text.c_str());
}

// A 2048-bit certificate authority made by the component itself, for the issued runs; valid for longer
// than the certificates issued below it.
const std::string& SigningFile() {
    static const std::string path = [] {
        const std::string file = Scratch().File("ca.pfx");
        void* handle = CertMgr_Create(nullptr, nullptr);
        const std::string setting = "CertKeyLength=2048";
        const std::string authority = "CertAuthority=1";
        const std::string validity = "CertValidityTime=3650";
        const std::string subject = "O=Acme,CN=Acme Bench CA";
        const std::string password = "bench";
        Call(handle, CERTMGR_APPLY_SETTING, {Text(setting)});
        Call(handle, CERTMGR_APPLY_SETTING, {Text(authority)});
        Call(handle, CERTMGR_APPLY_SETTING, {Text(validity)});
        Call(handle, CERTMGR_CREATE_SELF_SIGNED, {Text(subject), 1});
        Call(handle, CERTMGR_EXPORT_TO_FILE, {Text(file), Text(password)});
        CertMgr_Destroy(handle);
        return file;
    }();
    return path;
}

void KeygenOneThread(benchmark::State& state) {
    const auto bits = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        EvpPkeyPtr key(EVP_PKEY_Q_keygen(Crypto().Get(), nullptr, "RSA", bits));
        if (!key) {
            state.SkipWithError("key generation failed");
        }
    }
}

void KeygenComponent(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const unsigned racers = KeygenRacers();
    for (auto _ : state) {
        EvpPkeyPtr key = GenerateRsaKey(Crypto().Get(), bits, racers);
        benchmark::DoNotOptimize(key.get());
    }
    state.counters["racers"] = racers;
}

// What the tool does for one press of the button, minus the message box.
void Run(benchmark::State& state, bool issued) {
    const std::string keyLength = "CertKeyLength=" + std::to_string(state.range(0));
    const std::string validity = "CertValidityTime=365";
    const std::string subject = kSubject;
    const std::string output = Scratch().File(issued ? "issued.pfx" : "self-signed.pfx");
    const std::string password = "output password";
    const std::string signing = issued ? SigningFile() : std::string();
    const std::string signingPassword = "bench";
    const std::string empty;
    for (auto _ : state) {
        void* handle = CertMgr_Create(nullptr, nullptr);
        Call(handle, CERTMGR_APPLY_SETTING, {Text(validity)});
        Call(handle, CERTMGR_APPLY_SETTING, {Text(keyLength)});
        int32_t result = 0;
        if (issued) {
            result = Call(handle, CERTMGR_LOAD_SIGNING_CERTIFICATE,
                          {Text(signing), Text(signingPassword), Text(empty)});
            result = result != 0 ? result : Call(handle, CERTMGR_ISSUE_SIGNED, {Text(subject), 2});
        } else {
            result = Call(handle, CERTMGR_CREATE_SELF_SIGNED, {Text(subject), 2});
        }
        result = result != 0 ? result : Call(handle, CERTMGR_EXPORT_TO_FILE, {Text(output), Text(password)});
        Call(handle, CERTMGR_DISCARD_CERTIFICATE, {});
        if (result != 0) {
            state.SkipWithError(CertMgr_GetLastError(handle));
        }
        CertMgr_Destroy(handle);
    }
}

void SelfSignedRun(benchmark::State& state) {
    Run(state, false);
}
void IssuedRun(benchmark::State& state) {
    Run(state, true);
}

// Loading the signing file alone, as the component's own writer makes it (AES-256, 2048 iterations for
// the MAC, the key and the certificates), through the C functions on a fresh instance each time.
void LoadSigningFile(benchmark::State& state) {
    const std::string signing = SigningFile();
    const std::string password = "bench";
    const std::string empty;
    for (auto _ : state) {
        void* handle = CertMgr_Create(nullptr, nullptr);
        if (Call(handle, CERTMGR_LOAD_SIGNING_CERTIFICATE, {Text(signing), Text(password), Text(empty)}) !=
            0) {
            state.SkipWithError(CertMgr_GetLastError(handle));
        }
        CertMgr_Destroy(handle);
    }
}

// Building and signing the certificate, the PKCS #12 encoding and the atomic write, with a key made
// beforehand. Counters split the time into the three steps; the write includes two fsync calls, so
// its share depends on the disk more than on the code.
void WorkBesidesKeygen(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    EvpPkeyPtr key(EVP_PKEY_Q_keygen(Crypto().Get(), nullptr, "RSA", static_cast<size_t>(state.range(0))));
    Settings settings;
    const std::string output = Scratch().File("work.pfx");
    double build = 0;
    double encode = 0;
    double write = 0;
    auto ms = [](Clock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); };
    for (auto _ : state) {
        const auto start = Clock::now();
        const Subject subject = ParseSubject(kSubject);
        const Asn1IntegerPtr serial = ChooseSerial(Crypto().Get(), 0);
        X509Ptr cert = BuildCertificate(Crypto().Get(), subject, serial.get(), std::time(nullptr), settings,
                                        key.get(), nullptr);
        const auto built = Clock::now();
        EVP_PKEY_up_ref(key.get());
        const Identity identity{std::move(cert), EvpPkeyPtr(key.get()), ShareCertificates(nullptr)};
        const std::string der = EncodePkcs12(Crypto().Get(), settings.pfxFormat, "output password",
                                             subject.friendlyName, identity);
        const auto encoded = Clock::now();
        WriteFileAtomically(output, der);
        build += ms(built - start);
        encode += ms(encoded - built);
        write += ms(Clock::now() - encoded);
    }
    state.counters["build_sign_ms"] = benchmark::Counter(build, benchmark::Counter::kAvgIterations);
    state.counters["pkcs12_ms"] = benchmark::Counter(encode, benchmark::Counter::kAvgIterations);
    state.counters["write_ms"] = benchmark::Counter(write, benchmark::Counter::kAvgIterations);
}

int Scaled(int repetitions) {
    const char* scale = std::getenv("OMBREL_BENCH_SCALE");
    const double factor = scale != nullptr ? std::atof(scale) : 1.0;
    return std::max(3, static_cast<int>(std::lround(repetitions * (factor > 0 ? factor : 1.0))));
}

// Repetitions per key length: hundreds at 2048 bits for a stable median; fewer at 4096, where each
// key takes seconds (50 keys, 20 whole runs), to keep the whole run under ten minutes on two cores.
struct Plan {
    int bits;
    int keygen;  // for the two key-generation benchmarks
    int runs;    // for the whole runs
};
constexpr Plan kPlans[] = {{1024, 200, 100}, {2048, 300, 100}, {4096, 50, 20}};

void Register(const char* name, void (*function)(benchmark::State&), int bits, int repetitions,
              bool oneKeyEach) {
    auto* benchmark = benchmark::RegisterBenchmark(name, function)
                          ->Arg(bits)
                          ->Unit(benchmark::kMillisecond)
                          ->UseRealTime()
                          ->Repetitions(Scaled(repetitions))
                          ->ComputeStatistics("p90", P90)
                          ->ReportAggregatesOnly(true);
    if (oneKeyEach) {
        benchmark->Iterations(1);
    }
}

}  // namespace
}  // namespace certmgr_bench

int main(int argc, char** argv) {
    using namespace certmgr_bench;
    for (const Plan& plan : kPlans) {
        Register("BM_KeygenOneThread", KeygenOneThread, plan.bits, plan.keygen, true);
        Register("BM_KeygenComponent", KeygenComponent, plan.bits, plan.keygen, true);
        Register("BM_SelfSignedRun", SelfSignedRun, plan.bits, plan.runs, true);
        Register("BM_IssuedRun", IssuedRun, plan.bits, plan.runs, true);
        Register("BM_WorkBesidesKeygen", WorkBesidesKeygen, plan.bits, 10, false);
    }
    Register("BM_LoadSigningFile", LoadSigningFile, 2048, 20, false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
