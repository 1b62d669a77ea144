#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "link/LinkEvents.h"
#include "link/LinkState.h"

namespace orvex {

class ParameterStore;

// The one decoder every received message goes through. Whatever the code, it ends by
// signalling the reply event exactly once: that is what paces the next synchronous send.
class ReplyDispatcher final : public MessageSink {
public:
    ReplyDispatcher(LinkState& link, ParameterStore& store, LinkEvents* events);

    void DecodeReply(std::span<const uint8_t> message) override;

    uint64_t MessagesDecoded() const { return m_decoded.load(); }

private:
    LinkState& m_link;
    ParameterStore& m_store;
    LinkEvents* m_events;
    std::atomic<uint64_t> m_decoded{0};
};

} // namespace orvex
