#include "link/ReplyDispatcher.h"

#include "model/ParameterStore.h"

namespace orvex {

ReplyDispatcher::ReplyDispatcher(LinkState& link, ParameterStore& store, LinkEvents* events)
    : m_link(link), m_store(store), m_events(events) {}

void ReplyDispatcher::DecodeReply(std::span<const uint8_t> message) {
    // Byte 0 is the carrier prefix, byte 1 the reply code. The per-code handling lives in the
    // protocol layer; here every message counts as the processor's answer.
    (void)message;
    (void)m_store;
    (void)m_events;
    ++m_decoded;
    m_link.replyEvent.Set();
}

} // namespace orvex
