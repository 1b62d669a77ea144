#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "link/AutoResetEvent.h"
#include "link/WriteQueue.h"

namespace orvex {

// The link's shared flags. Several threads read and write them without a lock, so each is a
// single indivisible 32-bit value. One LinkState serves both transports.
struct LinkState {
    std::atomic<int32_t> networkMode{0}; // 1 TCP, 0 USB
    std::atomic<int32_t> linkConnected{0};
    std::atomic<int32_t> queueEnabled{1};  // cleared by the synchronisation sequences
    std::atomic<int32_t> awaitingReply{0}; // a queued frame is outstanding
    std::atomic<int32_t> pollEnabled{1};
    std::atomic<int32_t> levelPollEnabled{1};
    std::atomic<int32_t> readThreadEnd{0}; // the reader has given up; writes return at once
    // A synchronisation sequence (read-all, write-all, the smart-home read or reset) is running: the
    // values that arrive meanwhile are its answers, not changes the processor made by itself.
    std::atomic<int32_t> sequenceRunning{0};
    std::atomic<uint32_t> lastRxTick{0};
    // Every time a link thread wakes up (a receive, a writer or time-out check): an idle link
    // should hardly count.
    std::atomic<uint64_t> linkWakeups{0};

    AutoResetEvent replyEvent{true}; // signalled by every decoded reply
    AutoResetEvent readThreadEnded{false};
    std::mutex ioLock; // serialises paced sends
    WriteQueue writeQueue;

    // What each connect does to the events: the reply event starts signalled so the first
    // paced send goes at once.
    void RecreateEvents() {
        replyEvent.Set();
        readThreadEnded.Reset();
    }
};

// Where every received message goes: the reply decoder. The transports hand it whole
// messages (the USB report, or the TCP frame payload starting with its prefix byte).
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void DecodeReply(std::span<const uint8_t> message) = 0;
};

} // namespace orvex
