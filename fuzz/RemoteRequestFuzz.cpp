// Hands arbitrary requests to the phone remote's API, half of them with a paired phone's token.
// Nothing may crash; every reply carries a status the API gives out and, where it says JSON, JSON;
// and every write that reaches the owner names a writable control with a value inside its range.

#include "model/ControlTable.h"
#include "model/SmartHomeTables.h"
#include "remote/RemoteApi.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class CheckingOwner final : public orvex::RemoteOwner {
public:
    void Post(orvex::RemoteWrite write) override {
        const orvex::ControlEntry* entry = write.entry;
        if (entry == nullptr || !entry->Writable())
            std::abort();
        // A plug switched on is sent as the module's "on" value; everything else stays in its range.
        const bool switchedOn = entry->target == orvex::ControlTarget::PlugSwitch && write.value == orvex::kPlugOnValue;
        if (!switchedOn && (write.value < entry->minValue || write.value > entry->maxValue))
            std::abort();
        if (entry->target == orvex::ControlTarget::PlugSwitch || entry->target == orvex::ControlTarget::PlugLevel) {
            if (!orvex::IsPlugNode(write.node) || write.node != 5)
                std::abort();
        }
    }
};

struct Remote {
    Remote() : api("123456", owner, board) {
        orvex::RemoteSnapshot snapshot;
        snapshot.connected = true;
        snapshot.plugs = {{5, orvex::kPlugTypeDimmer, "Lamp", 0}}; // the one plug a write may name
        board.Publish(snapshot);
        const orvex::RemoteReply paired = api.Handle({"POST", "/api/pair", R"({"pin":"123456"})", "127.0.0.1", ""});
        token = "Bearer " + nlohmann::json::parse(paired.body)["token"].get<std::string>();
    }
    CheckingOwner owner;
    orvex::SnapshotBoard board;
    orvex::RemoteApi api;
    std::string token;
};

constexpr std::array<const char*, 9> kPaths = {"/api/pair",  "/api/state", "/api/controls", "/api/set", "/api/mode",
                                               "/api/scene", "/api/plug",  "/api/events",   "/"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Remote remote;
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    orvex::RemoteRequest request;
    request.method = (selector & 0x10) != 0 ? "GET" : "POST";
    request.path = kPaths[(selector & 0x0F) % kPaths.size()];
    request.body.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    // A different address each time, so that the wrong-PIN lockout does not end the exploration.
    request.remoteAddress = "127.0.0." + std::to_string(selector);
    request.authorization = (selector & 0x20) != 0 ? remote.token : request.body.substr(0, 40);
    const orvex::RemoteReply reply = remote.api.Handle(request);
    switch (reply.status) {
    case 200:
    case 400:
    case 401:
    case 403:
    case 404:
    case 405:
    case 413:
    case 429:
    case 503:
        break;
    default:
        std::abort();
    }
    if (reply.contentType == "application/json" && !nlohmann::json::accept(reply.body))
        std::abort();
    return 0;
}
