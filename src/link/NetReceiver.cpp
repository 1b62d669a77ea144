#include "link/NetReceiver.h"

#include "link/Frame.h"

namespace orvex {

void NetReceiver::HandleChunk(std::span<const uint8_t> chunk) {
    if (chunk.empty())
        return;
    const ChunkInfo info = ClassifyChunk(chunk);
    switch (info.kind) {
    case ChunkKind::HeartbeatOnly:
        m_sink.SendHeartbeatEcho();
        m_sink.MarkRxActivity();
        return;
    case ChunkKind::HeartbeatThenStream:
        m_sink.SendHeartbeatEcho();
        m_sink.MarkRxActivity();
        break;
    case ChunkKind::HostBusy:
        m_sink.OnHostBusy();
        return;
    case ChunkKind::Stream:
        break;
    }
    m_sink.MarkRxActivity();
    m_assembler.Append(chunk.subspan(info.streamOffset),
                       [this](std::span<const uint8_t> payload) { m_sink.OnFrame(payload); });
}

} // namespace orvex
