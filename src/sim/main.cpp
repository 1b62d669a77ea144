// orvex-sim: a stand-in for the audio processor and its network host, on loopback.

#include "sim/NetworkHost.h"
#include "model/SmartHomeTables.h"
#include "sim/ProcessorModel.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

void PrintUsage() {
    std::puts("Usage: orvex-sim [options]\n"
              "Simulates the audio processor behind its network host. Serves 127.0.0.1 only unless\n"
              "--address names another local address.\n"
              "\n"
              "  --port N                 TCP port (default 30303, 0 picks a free one)\n"
              "  --address A              address to listen on (default 127.0.0.1)\n"
              "  --module NAME            module name the processor reports (default Calyxon)\n"
              "  --version N              command-set version it reports (default 18)\n"
              "  --heartbeat MS           heartbeat period (default 1000)\n"
              "  --reply-delay MS         hold every reply back this long\n"
              "  --drop-every N           drop every N-th reply\n"
              "  --bad-checksum-every N   corrupt the checksum of every N-th reply\n"
              "  --garbage-every N        put stray bytes in front of every N-th reply\n"
              "  --close-after N          drop the connection when the N-th message arrives\n"
              "  --silent                 send neither heartbeats nor replies\n"
              "  --no-programme           nothing playing: every input level reads 0\n"
              "  --busy                   answer every connection with ISCONNECTED\n"
              "  --trace                  print every message the editor sends on standard error,\n"
              "                           in hex with its carrier prefix, one line each\n"
              "\n"
              "The smart-home module (plugs 2 \"Floor lamp\", 3 \"Wall light\" and 4 \"TV\", six scenes):\n"
              "  --no-smart-module        a processor without the module\n"
              "  --plug-press-after MS    press the button of a plug waiting to be added or removed\n"
              "                           MS ms after the module is ready\n"
              "  --plug-kind KIND         what a plug added that way is: switch, dimmer or infrared\n"
              "  --remove-node N          the plug pressed during a removal: node N while it is\n"
              "                           included (default: a plug outside the network, as the\n"
              "                           first press of an add needs)\n"
              "  --remote-press-after MS  answer a learn request (the processor's remote or an\n"
              "                           infrared plug) with a key MS ms after it started\n"
              "  --node-ops-fail          adding and removing plugs fails when a button is pressed\n"
              "  --dead-node N            node N stays listed but never answers (repeatable)\n"
              "  --set-default-silent     the module resets but never confirms it\n"
              "  --help                   this text");
}

// Prints the messages received since the first `printed` ones; returns the new count. Messages that
// fell out of the host's window before they were printed are reported as a gap.
size_t TraceReceived(const orvex::sim::NetworkHost& server, size_t printed) {
    size_t end = 0;
    size_t skipped = 0;
    const std::vector<orvex::sim::ReceivedMessage> messages = server.ReceivedFrom(printed, end, skipped);
    if (skipped > 0)
        std::fprintf(stderr, "(%zu messages not shown)\n", skipped);
    for (const orvex::sim::ReceivedMessage& message : messages) {
        std::string line;
        for (const uint8_t byte : message.payload) {
            char hex[4];
            std::snprintf(hex, sizeof hex, line.empty() ? "%02X" : " %02X", byte);
            line += hex;
        }
        std::fprintf(stderr, "rx %s\n", line.c_str());
    }
    if (!messages.empty() || skipped > 0)
        std::fflush(stderr);
    return end;
}

bool ParseInt(const char* text, int min, int max, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < min || v > max)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    orvex::sim::ProcessorOptions processor;
    orvex::sim::HostOptions host;
    bool trace = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto intArg = [&](int min, int max, int& out) {
            if (!hasValue || !ParseInt(argv[++i], min, max, out)) {
                std::fprintf(stderr, "orvex-sim: %s needs a number from %d to %d\n", arg.c_str(), min, max);
                std::exit(1);
            }
        };
        int value = 0;
        if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return 0;
        } else if (arg == "--port") {
            intArg(0, 65535, value);
            host.port = static_cast<uint16_t>(value);
        } else if (arg == "--address" && hasValue) {
            host.address = argv[++i];
        } else if (arg == "--module" && hasValue) {
            processor.moduleName = argv[++i];
        } else if (arg == "--version") {
            intArg(0, 255, value);
            processor.commandSetVersion = static_cast<uint8_t>(value);
        } else if (arg == "--heartbeat") {
            intArg(10, 60000, host.heartbeatMs);
        } else if (arg == "--reply-delay") {
            intArg(0, 60000, host.replyDelayMs);
        } else if (arg == "--drop-every") {
            intArg(0, 1000000, host.dropEvery);
        } else if (arg == "--bad-checksum-every") {
            intArg(0, 1000000, host.badChecksumEvery);
        } else if (arg == "--garbage-every") {
            intArg(0, 1000000, host.garbageEvery);
        } else if (arg == "--close-after") {
            intArg(0, 1000000, host.closeAfter);
        } else if (arg == "--silent") {
            host.silent = true;
        } else if (arg == "--no-programme") {
            processor.noProgramme = true;
        } else if (arg == "--busy") {
            host.busy = true;
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--no-smart-module") {
            processor.smartModule = false;
        } else if (arg == "--plug-press-after") {
            intArg(0, 600000, processor.smart.plugPressAfterMs);
        } else if (arg == "--remote-press-after") {
            intArg(0, 600000, processor.smart.remotePressAfterMs);
        } else if (arg == "--remove-node") {
            intArg(0, orvex::kLastPlugNode, processor.smart.removeNode);
        } else if (arg == "--node-ops-fail") {
            processor.smart.nodeOperationsFail = true;
        } else if (arg == "--set-default-silent") {
            processor.smart.setDefaultSilent = true;
        } else if (arg == "--dead-node") {
            intArg(orvex::kFirstPlugNode, orvex::kLastPlugNode, value);
            processor.smart.deadNodes.push_back(value);
        } else if (arg == "--plug-kind" && hasValue) {
            const std::string kind = argv[++i];
            if (kind == "switch") {
                processor.smart.newPlugKind = orvex::sim::PlugKind::Switch;
            } else if (kind == "dimmer") {
                processor.smart.newPlugKind = orvex::sim::PlugKind::Dimmer;
            } else if (kind == "infrared") {
                processor.smart.newPlugKind = orvex::sim::PlugKind::Infrared;
            } else {
                std::fprintf(stderr, "orvex-sim: --plug-kind is switch, dimmer or infrared\n");
                return 1;
            }
        } else {
            std::fprintf(stderr, "orvex-sim: unknown option '%s' (see --help)\n", arg.c_str());
            return 1;
        }
    }

    orvex::sim::ProcessorModel model(processor);
    orvex::sim::NetworkHost server(model, host);
    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "orvex-sim: %s\n", error.c_str());
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("orvex-sim: serving %s:%u (module %s, command set %u%s)\n", host.address.c_str(), server.Port(),
                processor.moduleName.c_str(), processor.commandSetVersion,
                processor.smartModule ? "" : ", no smart module");
    std::fflush(stdout);
    size_t traced = 0;
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(trace ? 20 : 100));
        if (trace)
            traced = TraceReceived(server, traced);
    }
    server.Stop();
    return 0;
}
