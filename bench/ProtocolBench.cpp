// The protocol's hot paths: a setter turning one slider step into a framed TCP message, and the reply
// decoder taking a 56-byte parameter-memory block.

#include "link/CommandEncoder.h"
#include "link/DeviceSender.h"
#include "link/Frame.h"
#include "link/ReplyDispatcher.h"
#include "model/ParameterStore.h"

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

namespace {

// Frames every message the way the TCP path does before it reaches the socket.
class FramingSender final : public orvex::DeviceSender {
public:
    int SendToDevice(std::span<const uint8_t> message, bool, bool zwave) override {
        std::array<uint8_t, orvex::kMaxPayload> payload{};
        payload[0] = zwave ? orvex::kPrefixZWave : orvex::kPrefixProcessor;
        std::copy(message.begin(), message.end(), payload.begin() + 1);
        const size_t n = orvex::BuildFrame(std::span(payload.data(), message.size() + 1), frame);
        benchmark::DoNotOptimize(frame.data());
        return static_cast<int>(n);
    }
    std::array<uint8_t, orvex::kMaxFrame> frame{};
};

void BM_SetterEncodeAndFrame(benchmark::State& state) {
    orvex::ParameterStore store;
    FramingSender sender;
    orvex::CommandEncoder encoder(store, sender);
    int value = 0;
    for (auto _ : state) {
        encoder.Set(orvex::fields::echoLevelA, value);
        value = (value + 1) % 101;
    }
    benchmark::DoNotOptimize(sender.frame);
}
BENCHMARK(BM_SetterEncodeAndFrame);

void BM_DecodeReplyMemoryBlock(benchmark::State& state) {
    orvex::LinkState link;
    orvex::ParameterStore store;
    orvex::ReplyDispatcher replies(link, store, nullptr);
    // A whole USB report: 86, address 0x0118, 56 bytes of band records.
    std::vector<uint8_t> report(orvex::kUsbReportSize, 0);
    report[0] = 0x02;
    report[1] = 0x86;
    report[2] = 0x01;
    report[3] = 0x18;
    report[4] = 56;
    for (size_t i = 5; i < report.size(); ++i)
        report[i] = static_cast<uint8_t>(i * 7);
    for (auto _ : state)
        replies.DecodeReply(report);
    benchmark::DoNotOptimize(store.GetEqRecordBytes(40));
}
BENCHMARK(BM_DecodeReplyMemoryBlock);

} // namespace
