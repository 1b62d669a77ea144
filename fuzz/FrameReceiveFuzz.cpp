// Feeds arbitrary bytes to the TCP receive path: the input is cut into socket-sized chunks
// (the first byte of each piece gives its length), each handled as one receive. Whatever
// arrives, the receiver must not crash, must not read or write outside its buffers, and may
// hand the decoder only payloads that fit a frame.

#include "link/Frame.h"
#include "link/FrameAssembler.h"
#include "link/NetReceiver.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

class CheckingSink final : public orvex::NetReceiveSink {
public:
    void SendHeartbeatEcho() override {}
    void MarkRxActivity() override {}
    void OnHostBusy() override {}
    void OnFrame(std::span<const uint8_t> payload) override {
        if (payload.empty() || payload.size() > orvex::kMaxPayload)
            std::abort();
        volatile uint8_t sum = 0;
        for (uint8_t b : payload)
            sum = static_cast<uint8_t>(sum + b); // touch every byte so ASan checks the span
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckingSink sink;
    orvex::NetReceiver receiver(sink);
    orvex::FrameAssembler assembler;
    std::span<const uint8_t> input(data, size);
    while (!input.empty()) {
        const size_t want = static_cast<size_t>(input[0]) + 1; // 1..256 bytes per receive
        input = input.subspan(1);
        const size_t take = want < input.size() ? want : input.size();
        const auto chunk = input.first(take);
        receiver.HandleChunk(chunk);
        assembler.Append(chunk, [](std::span<const uint8_t> payload) {
            if (payload.empty() || payload.size() > orvex::kMaxPayload)
                std::abort();
        });
        if (receiver.Assembler().Buffered() > orvex::FrameAssembler::kCapacity ||
            assembler.Buffered() > orvex::FrameAssembler::kCapacity)
            std::abort();
        input = input.subspan(take);
    }
    return 0;
}
