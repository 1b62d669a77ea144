#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

#include "link/DeviceSender.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/MessageIds.h"
#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"

namespace orvex {

class ParameterStore;

// The one decoder every received message goes through, on the transport's reader thread. It writes
// the store and the smart-home tables, tells the main view what the user must see, and, whatever the
// code, signals the reply event exactly once: that is what paces the next synchronous send.
//
// Every length, index and offset in a message is bounded before use: a short or malformed message
// changes only what it fully carries and never writes outside a table.
class ReplyDispatcher final : public MessageSink {
public:
    // A decoder with tables of its own and no way to answer the smart-home module.
    ReplyDispatcher(LinkState& link, ParameterStore& store, LinkEvents* events);
    // `sender` carries the Z-Wave acknowledge back; it may be null (then nothing is acknowledged).
    ReplyDispatcher(LinkState& link, ParameterStore& store, LinkEvents* events, SmartHomeTables& smartHome,
                    DeviceSender* sender);

    void DecodeReply(std::span<const uint8_t> message) override;

    // Replies 05 and 06 (the processor loaded or reset a mode memory) start read-all. The
    // synchronisation code installs its starter here; until then the reply only releases a sender.
    void SetReadAllStarter(std::function<void()> starter);
    // The pause between the Z-Wave acknowledge and acting on the frame (20 ms; tests shorten it).
    void SetZWaveAckPause(std::chrono::milliseconds pause) { m_ackPauseMs.store(static_cast<int>(pause.count())); }

    SmartHomeTables& SmartHome() { return m_smartHome; }
    uint64_t MessagesDecoded() const { return m_decoded.load(); }
    uint64_t RepliesSignalled() const { return m_signalled.load(); }
    bool ParameterErrorShown() const { return m_errorShown.load(); }

private:
    void Dispatch(std::span<const uint8_t> message);
    // A reply that writes what the user edits: parameter values, band memory, machine settings.
    static bool ChangesEdits(std::span<const uint8_t> message);
    void StartReadAll();
    void ParamValue(std::span<const uint8_t> message);
    void MemoryBlock(std::span<const uint8_t> message);
    void DeviceMemory(std::span<const uint8_t> message);
    void SmartMemory(std::span<const uint8_t> message);
    void RemoteKey(std::span<const uint8_t> message);
    void ZWaveFrame(std::span<const uint8_t> message);
    void PostZWave(uint32_t function, uint32_t lParam);
    void Signal();

    LinkState& m_link;
    ParameterStore& m_store;
    LinkEvents* m_events;
    std::unique_ptr<SmartHomeTables> m_ownTables;
    SmartHomeTables& m_smartHome;
    DeviceSender* m_sender;

    std::mutex m_hookMutex;
    std::function<void()> m_readAllStarter;
    std::atomic<int> m_ackPauseMs{20};
    std::atomic<bool> m_errorShown{false}; // a parameter error is shown once per run
    std::atomic<uint64_t> m_decoded{0};
    std::atomic<uint64_t> m_signalled{0};
};

} // namespace orvex
