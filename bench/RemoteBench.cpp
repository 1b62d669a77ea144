// The phone remote's two paths through orvexctl serve, on loopback against the simulated processor:
// a phone's set until the processor has the setter's message, and a change the processor reports
// (a plug switched at the wall, a mode memory loaded on its front panel) until a phone's event stream
// carries it. Report the medians
// (--benchmark_repetitions with the median aggregate); each should stay well under 10 ms.

#include "ctl/CtlApp.h"
#include "link/MessageIds.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace orvex;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Rig {
    Rig() {
        sim::HostOptions options;
        options.port = 0;
        host = std::make_unique<sim::NetworkHost>(model, options);
        host->Start();
        std::promise<uint16_t> listening;
        auto port = listening.get_future();
        env.stop = &stop;
        env.onListening = [&listening](uint16_t p) { listening.set_value(p); };
        serve = std::thread([this] {
            const std::vector<std::string> args = {
                "--connect", "127.0.0.1:" + std::to_string(host->Port()), "serve", "--listen", "127.0.0.1:0", "--pin",
                "123456"};
            ctl::RunCtl(args, out, err, env);
        });
        webPort = port.get();
        httplib::Client client("127.0.0.1", webPort);
        auto paired = client.Post("/api/pair", R"({"pin":"123456"})", "application/json");
        token = nlohmann::json::parse(paired->body)["token"];
        // Connected and done with the smart-home read.
        for (auto until = Clock::now() + 10s; Clock::now() < until; std::this_thread::sleep_for(50ms)) {
            auto state = Client().Get("/api/state");
            if (state && state->status == 200) {
                const auto json = nlohmann::json::parse(state->body);
                if (json["connected"] == true && !json["plugs"].empty() && json["scenes"][5]["commands"] > 0)
                    break;
            }
        }
        std::this_thread::sleep_for(500ms);
    }
    ~Rig() {
        stop.store(true);
        serve.join();
        host->Stop();
    }

    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", webPort);
        client.set_bearer_token_auth(token);
        return client;
    }

    // True once the processor has a message other than a level request beyond the first `seen`.
    bool ProcessorGotMessage(size_t seen) const {
        const auto received = host->Received();
        for (size_t i = seen; i < received.size(); ++i) {
            if (received[i].payload.size() > 1 && received[i].payload[1] != request::Levels)
                return true;
        }
        return false;
    }

    sim::ProcessorModel model;
    std::unique_ptr<sim::NetworkHost> host;
    std::atomic<bool> stop{false};
    ctl::CtlEnvironment env;
    std::ostringstream out;
    std::ostringstream err;
    std::thread serve;
    uint16_t webPort = 0;
    std::string token;
};

void BM_SetToProcessor(benchmark::State& state) {
    Rig rig;
    httplib::Client client = rig.Client();
    int value = 10;
    for (auto _ : state) {
        value = value == 10 ? 11 : 10;
        const size_t seen = rig.host->Received().size();
        const auto start = Clock::now();
        client.Post("/api/set", R"({"field":"echoVolume","value":)" + std::to_string(value) + "}", "application/json");
        while (!rig.ProcessorGotMessage(seen) && Clock::now() - start < 2s)
            std::this_thread::sleep_for(50us);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_SetToProcessor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

// Times, for each iteration, from `trigger(i)` until a phone's event stream carries a change line
// that `matches(line, i)`.
void TimeEvents(benchmark::State& state, const std::function<void(Rig&, int)>& trigger,
                const std::function<bool(const nlohmann::json&, int)>& matches) {
    Rig rig;
    // One phone's event stream, read on a thread of its own: each data line is timed as it lands.
    std::mutex mutex;
    std::condition_variable arrived;
    std::string pending;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        httplib::Client client("127.0.0.1", rig.webPort);
        client.set_read_timeout(5s);
        client.Get("/api/events?token=" + rig.token, [&](const char* data, size_t length) {
            std::lock_guard lock(mutex);
            pending.append(data, length);
            arrived.notify_all();
            return !done.load();
        });
    });
    std::this_thread::sleep_for(300ms);
    int i = 0;
    for (auto _ : state) {
        ++i;
        {
            std::lock_guard lock(mutex);
            pending.clear();
        }
        const auto start = Clock::now();
        trigger(rig, i);
        std::unique_lock lock(mutex);
        const auto seen = [&] {
            for (size_t at = pending.find("data: "); at != std::string::npos; at = pending.find("data: ", at + 1)) {
                const size_t end = pending.find("\n\n", at);
                if (end == std::string::npos)
                    return false;
                const auto line = nlohmann::json::parse(pending.substr(at + 6, end - at - 6), nullptr, false);
                if (line.is_object() && matches(line, i))
                    return true;
            }
            return false;
        };
        arrived.wait_for(lock, 2s, seen);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    done.store(true);
    rig.stop.store(true); // the stream ends with the server
    reader.join();
}

// A plug switched at the wall: the module's report, which the link takes in only after the pause it
// keeps after acknowledging a module frame (20 ms).
void BM_PlugReportToEvent(benchmark::State& state) {
    const auto on = [](int i) { return i % 2 == 1; };
    TimeEvents(
        state, [&](Rig& rig, int i) { rig.model.ReportNodeValue(2, on(i) ? 255 : 0); },
        [&](const nlohmann::json& line, int i) {
            if (!line.contains("plugs"))
                return false;
            for (const auto& plug : line["plugs"])
                if (plug["node"] == 2 && plug["on"] == on(i))
                    return true;
            return false;
        });
}
BENCHMARK(BM_PlugReportToEvent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

// The processor says which mode memory is loaded now (its front panel or its own remote).
void BM_ModeReportToEvent(benchmark::State& state) {
    TimeEvents(
        state,
        [](Rig& rig, int i) {
            rig.host->SendUnsolicited({reply::CurrentMode, static_cast<uint8_t>(i % 2)});
        },
        [](const nlohmann::json& line, int i) { return line.contains("mode") && line["mode"] == i % 2 + 1; });
}
BENCHMARK(BM_ModeReportToEvent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace
