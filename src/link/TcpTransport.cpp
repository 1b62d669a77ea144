#include "link/TcpTransport.h"

#include <algorithm>

#include "link/DebugSink.h"
#include "link/DeviceSender.h"
#include "link/Frame.h"
#include "link/Tick.h"
#include "model/ParameterStore.h"

#include <asio/connect.hpp>
#include <asio/write.hpp>

#include <array>
#include <cerrno>

namespace orvex {

namespace {
constexpr std::chrono::milliseconds kIdleWriterWait{1000};
constexpr int kMostChecksPerSleep = 5;
// How often a connect still waiting for the host looks at its cancel flag.
constexpr std::chrono::milliseconds kConnectCancelCheck{20};
} // namespace

class TcpTransport::ReceiveSink final : public NetReceiveSink {
public:
    explicit ReceiveSink(TcpTransport& owner) : m_owner(owner) {}

    void SendHeartbeatEcho() override {
        m_owner.SendRaw({reinterpret_cast<const uint8_t*>(kHeartbeat.data()), kHeartbeat.size()});
    }
    void MarkRxActivity() override { m_owner.m_link.lastRxTick.store(TickNow()); }
    void OnHostBusy() override {
        m_owner.m_link.linkConnected.store(0);
        if (m_owner.m_events)
            m_owner.m_events->OnHostBusy();
    }
    void OnFrame(std::span<const uint8_t> payload) override {
        m_owner.m_decoder.DecodeReply(payload);
        m_owner.m_link.awaitingReply.store(0);
    }

private:
    TcpTransport& m_owner;
};

TcpTransport::TcpTransport(LinkState& link, ParameterStore& store, MessageSink& decoder, LinkEvents* events,
                           TcpTimings timings)
    : m_link(link), m_store(store), m_decoder(decoder), m_events(events), m_timings(timings) {}

TcpTransport::~TcpTransport() {
    Shutdown();
}

void TcpTransport::SetTimeoutCloser(std::function<void()> closer) {
    m_timeoutCloser = std::move(closer);
}

void TcpTransport::WakeSleepers() {
    { std::lock_guard lock(m_stopMutex); }
    m_stopWake.notify_all();
    m_link.writeQueue.Wake();
}

void TcpTransport::JoinThreadsAndCloseSocket() {
    // The threads leave their loops once linkConnected is clear; the shutdown wakes a receive
    // that is still blocked, so every join below is short.
    m_link.linkConnected.store(0);
    WakeSleepers();
    {
        std::lock_guard lock(m_socketMutex);
        if (m_socket) {
            asio::error_code ignored;
            m_socket->shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        }
    }
    for (std::thread* t : {&m_recvThread, &m_writeThread, &m_timeoutThread}) {
        if (t->joinable())
            t->join();
    }
    std::scoped_lock lock(m_sendMutex, m_socketMutex);
    if (m_socket) {
        asio::error_code ignored;
        m_socket->close(ignored);
        m_socket.reset();
    }
}

void TcpTransport::SetConnectGate(std::function<int(const std::string&, uint16_t)> gate) {
    std::lock_guard connectLock(m_connectMutex);
    m_connectGate = std::move(gate);
}

ConnectResult TcpTransport::TcpConnect(const std::string& address, uint16_t port, const std::atomic<bool>* cancel) {
    std::lock_guard connectLock(m_connectMutex);
    JoinThreadsAndCloseSocket();
    m_link.writeQueue.Clear();
    m_link.RecreateEvents();
    m_link.awaitingReply.store(0);
    m_link.readThreadEnd.store(0);

    asio::error_code ec;
    const asio::ip::address_v4 ip = asio::ip::make_address_v4(address, ec);
    if (ec)
        return ConnectResult::Failed(EINVAL);
    if (m_connectGate) {
        if (const int refused = m_connectGate(address, port); refused != 0)
            return ConnectResult::Failed(refused);
    }

    asio::ip::tcp::socket socket(m_io);
    socket.open(asio::ip::tcp::v4(), ec);
    if (ec) {
        DebugPrintf("Socket() error:%d", ec.value());
        return ConnectResult::Failed(0);
    }
    socket.set_option(asio::ip::tcp::no_delay(true), ec);

    // A bounded connect: an unreachable host must not hold the caller for minutes.
    asio::error_code connectResult = asio::error::would_block;
    socket.async_connect(asio::ip::tcp::endpoint(ip, port), [&](const asio::error_code& e) { connectResult = e; });
    // Run in short slices so that a cancel from another thread is seen soon.
    const auto deadline = std::chrono::steady_clock::now() + m_timings.connectTimeout;
    bool cancelled = false;
    while (connectResult == asio::error::would_block) {
        cancelled = cancel != nullptr && cancel->load();
        const auto now = std::chrono::steady_clock::now();
        if (cancelled || now >= deadline)
            break;
        m_io.restart();
        m_io.run_for(std::min<std::chrono::steady_clock::duration>(deadline - now, kConnectCancelCheck));
    }
    if (connectResult == asio::error::would_block) {
        socket.close(ec);
        m_io.restart();
        m_io.run(); // let the cancelled handler finish
        return ConnectResult::Failed(cancelled ? ECANCELED : ETIMEDOUT);
    }
    if (connectResult) {
        socket.close(ec);
        return ConnectResult::Failed(connectResult.value() != 0 ? connectResult.value() : ECONNREFUSED);
    }

    {
        std::scoped_lock lock(m_sendMutex, m_socketMutex);
        m_socket.emplace(std::move(socket));
    }
    m_link.lastRxTick.store(TickNow());
    m_link.linkConnected.store(1);
    m_recvThread = std::thread(&TcpTransport::RecvThreadProc, this);
    m_writeThread = std::thread(&TcpTransport::NetWriteThreadProc, this);
    m_timeoutThread = std::thread(&TcpTransport::NetTimeoutThreadProc, this);
    return ConnectResult::Connected();
}

void TcpTransport::TcpClose() {
    m_store.ClearLevelRecord();
    m_link.linkConnected.store(0);
    WakeSleepers();
    {
        std::lock_guard lock(m_socketMutex);
        if (m_socket) {
            asio::error_code ignored;
            m_socket->shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        }
    }
    m_link.writeQueue.Clear();
}

void TcpTransport::Shutdown() {
    std::lock_guard connectLock(m_connectMutex);
    if (m_link.linkConnected.load() != 0 || m_socket)
        TcpClose();
    JoinThreadsAndCloseSocket();
}

int TcpTransport::SendRaw(std::span<const uint8_t> bytes) {
    std::lock_guard lock(m_sendMutex);
    if (!m_socket)
        return 0;
    asio::error_code ec;
    const size_t sent = asio::write(*m_socket, asio::buffer(bytes.data(), bytes.size()), ec);
    return ec ? 0 : static_cast<int>(sent);
}

int TcpTransport::SendFrame(std::span<const uint8_t> payload) {
    std::array<uint8_t, kMaxFrame> frame{};
    const size_t size = BuildFrame(payload, frame);
    if (size == 0)
        return 0;
    return SendRaw({frame.data(), size});
}

bool TcpTransport::TcpSendQueued(std::span<const uint8_t> payload) {
    return m_link.writeQueue.Enqueue(payload);
}

bool TcpTransport::TcpSendQueuedSpaced(std::span<const uint8_t> payload, std::chrono::milliseconds gap) {
    return m_link.writeQueue.EnqueueSpaced(payload, static_cast<uint32_t>(std::max<int64_t>(0, gap.count())));
}

int TcpTransport::NetSendSync(std::span<const uint8_t> payload) {
    if (m_link.linkConnected.load() == 0)
        return 0;
    if (!m_link.replyEvent.WaitTicks(m_timings.replyWait))
        DebugOut("NetSendSync WaitObject Time Out \r\n ");
    if (m_link.linkConnected.load() == 0)
        return 0; // the link went down while we waited
    std::lock_guard lock(m_link.ioLock);
    return SendFrame(payload);
}

int TcpTransport::TcpSendDirect(std::span<const uint8_t> payload) {
    if (m_link.linkConnected.load() == 0)
        return 0;
    return SendFrame(payload);
}

void TcpTransport::RecvThreadProc() {
    m_link.readThreadEnd.store(0);
    m_link.readThreadEnded.Reset();
    ReceiveSink sink(*this);
    NetReceiver receiver(sink);
    std::array<uint8_t, NetReceiver::kChunkSize> chunk{};
    bool lost = false;
    while (m_link.linkConnected.load() == 1) {
        asio::error_code ec;
        const size_t n = m_socket->receive(asio::buffer(chunk), 0, ec);
        m_link.linkWakeups.fetch_add(1, std::memory_order_relaxed);
        if (ec || n == 0) {
            DebugOut("NetRecv Error \n");
            // Our own close clears linkConnected before it shuts the socket; still set, the other
            // end went away.
            lost = m_link.linkConnected.load() == 1;
            m_link.pollEnabled.store(0);
            m_link.readThreadEnd.store(1);
            m_link.replyEvent.Set(); // release a sender waiting for a reply that cannot come
            break;
        }
        receiver.HandleChunk({chunk.data(), n});
    }
    m_link.readThreadEnded.Set();
    if (m_link.linkConnected.load() == 1)
        TcpClose();
    if (lost && m_events)
        m_events->OnLinkLost();
    DebugOut("End thread: RecvThreadProc \n");
}

void TcpTransport::NetWriteThreadProc() {
    // The tick at which the outstanding frame went out. It starts at the thread's start, so an
    // outstanding reply is waited for its full time even before this writer has sent anything.
    uint32_t sentAt = TickNow();
    uint32_t lastSentAt = sentAt; // any frame, answered or not
    while (m_link.linkConnected.load() == 1) {
        // Asleep until something is queued: an idle link costs no wake-ups here. The limit only
        // bounds a wake that a close might race past.
        if (!m_link.writeQueue.WaitNotEmpty(kIdleWriterWait)) {
            m_link.linkWakeups.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        m_link.linkWakeups.fetch_add(1, std::memory_order_relaxed);
        // Stop-and-wait: one queued frame outstanding; a lost reply costs 2 s from its frame's
        // send, then we go on. The 2 s is a deadline on the tick, not a count of polls that
        // scheduling delays would stretch.
        while (m_link.awaitingReply.load() != 0 && m_link.linkConnected.load() == 1 &&
               TicksSince(sentAt) < m_timings.lostReplyMs)
            std::this_thread::sleep_for(m_timings.writerPoll);
        // A close ends the wait too: the goodbye notice is the last thing the processor hears, so a
        // queued frame never follows it out before the socket is shut.
        if (m_link.linkConnected.load() != 1)
            break;
        std::optional<WriteQueueEntry> entry = m_link.writeQueue.PopFront();
        if (!entry)
            continue;
        // A spaced entry (a fade step) keeps its distance from the frame before it, on the tick.
        while (m_link.linkConnected.load() == 1 && TicksSince(lastSentAt) < entry->gapMs)
            std::this_thread::sleep_for(std::min(m_timings.writerPoll, std::chrono::milliseconds(5)));
        if (m_link.linkConnected.load() != 1)
            break;
        // The acknowledge of a module frame is answered by nobody: waiting for a reply to it would
        // hold every frame behind it for the full 2 s.
        const std::span<const uint8_t> payload = entry->Payload();
        const bool answered = !(payload.size() == 2 && payload[0] == kPrefixZWave && payload[1] == kZWaveAck);
        if (answered) {
            m_link.awaitingReply.store(1);
            sentAt = TickNow();
        }
        SendFrame(payload);
        lastSentAt = TickNow();
    }
    DebugOut("End thread: NetWriteThreadProc \n");
}

void TcpTransport::NetTimeoutThreadProc() {
    while (m_link.linkConnected.load() == 1) {
        // The last-receive tick first: the receiver may store a newer one at any moment, and
        // read after the clock it would make the age "negative", which as an unsigned count
        // looks like 49 days of silence.
        const uint32_t lastRx = m_link.lastRxTick.load();
        const int32_t age = static_cast<int32_t>(TickNow() - lastRx);
        m_link.linkWakeups.fetch_add(1, std::memory_order_relaxed);
        if (age > 0 && static_cast<uint32_t>(age) > m_timings.linkTimeoutMs) {
            if (m_timeoutCloser && m_link.networkMode.load() != 1)
                m_timeoutCloser();
            else
                TcpClose();
            if (m_events)
                m_events->OnLinkTimeout();
            break;
        }
        // Asleep until the moment the link would time out if nothing arrived meanwhile (the host's
        // heartbeat moves that moment on): at least one check period and at most five, so a clock
        // that jumps is noticed soon; a close wakes it at once.
        const int64_t remaining = static_cast<int64_t>(m_timings.linkTimeoutMs) - std::max<int32_t>(age, 0) + 1;
        const auto wait = std::clamp(std::chrono::milliseconds(remaining), m_timings.timeoutCheck,
                                     m_timings.timeoutCheck * kMostChecksPerSleep);
        std::unique_lock lock(m_stopMutex);
        m_stopWake.wait_for(lock, wait, [&] { return m_link.linkConnected.load() != 1; });
    }
    DebugOut("End thread: NetTimeoutThreadProc \n");
}

} // namespace orvex
