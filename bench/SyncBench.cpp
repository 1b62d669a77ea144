// Read-all and write-all against the simulated processor over loopback TCP, with the processor
// answering each message after a fixed delay r. A sequence of N paced messages cannot end sooner
// than N x r plus the pauses it prescribes; the ratio of the measured time to that floor shows what
// the link itself adds.

#include "link/DeviceLink.h"
#include "link/EqSender.h"
#include "link/Synchronizer.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

using namespace orvex;

struct Rig {
    explicit Rig(int replyDelayMs) {
        sim::HostOptions options;
        options.port = 0;
        options.replyDelayMs = replyDelayMs;
        host = std::make_unique<sim::NetworkHost>(model, options);
        host->Start();
        link.Commands().SetBandSplitResender([this](int channel) { eq.SendBandSplit(channel); });
        link.TcpConnect("127.0.0.1", host->Port());
    }
    ~Rig() {
        link.CloseLink();
        host->Stop();
    }

    sim::ProcessorModel model;
    std::unique_ptr<sim::NetworkHost> host;
    ParameterStore store;
    DeviceLink link{store, nullptr};
    EqSender eq{store, link.Commands()};
    Synchronizer sync{link.State(), store, link.Commands(), eq, link.SmartHome(), nullptr};
};

constexpr double kEndPauseMs = 50.0;

void Report(benchmark::State& state, double seconds, size_t messages, double replyDelayMs, double pausesMs) {
    state.SetIterationTime(seconds);
    const double floorMs = static_cast<double>(messages) * replyDelayMs + pausesMs;
    state.counters["N"] = static_cast<double>(messages);
    state.counters["pauses_ms"] = pausesMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["ratio"] = seconds * 1000.0 / floorMs;
}

void BM_ReadAll(benchmark::State& state) {
    const int r = static_cast<int>(state.range(0));
    Rig rig(r);
    for (auto _ : state) {
        rig.host->ClearReceived();
        const auto start = std::chrono::steady_clock::now();
        rig.sync.ReadAll();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Report(state, seconds, rig.host->Received().size(), r, kEndPauseMs);
    }
}

void BM_WriteAll(benchmark::State& state) {
    const int r = static_cast<int>(state.range(0));
    Rig rig(r);
    rig.sync.ReadAll();
    rig.store.Set(fields::musicMute, 1); // no unmute fade: only the end pause is prescribed
    for (auto _ : state) {
        rig.host->ClearReceived();
        const auto start = std::chrono::steady_clock::now();
        rig.sync.WriteAll();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Report(state, seconds, rig.host->Received().size(), r, kEndPauseMs);
    }
}

BENCHMARK(BM_ReadAll)->Arg(2)->Arg(10)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteAll)->Arg(2)->Arg(10)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace
