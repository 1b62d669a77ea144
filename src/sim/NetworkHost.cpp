#include "sim/NetworkHost.h"

#include "link/Frame.h"

#include <asio/post.hpp>
#include <asio/write.hpp>

#include <algorithm>
#include <array>
#include <future>

namespace orvex::sim {

using asio::ip::tcp;

struct NetworkHost::Session {
    explicit Session(tcp::socket s, asio::io_context& io) : socket(std::move(s)), delayTimer(io) {}

    tcp::socket socket;
    std::array<uint8_t, 512> readBuffer{};
    std::vector<uint8_t> rx;
    std::deque<std::vector<uint8_t>> writes;
    bool writing = false;
    bool closed = false;
    // Replies held back by the reply-delay knob, in order, with the time each is due.
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::vector<uint8_t>>> delayed;
    asio::steady_timer delayTimer;
    bool delayArmed = false;
};

NetworkHost::NetworkHost(ProcessorModel& model, HostOptions options)
    : m_model(model), m_options(std::move(options)), m_acceptor(m_io), m_heartbeatTimer(m_io), m_outboxTimer(m_io) {
    m_replyDelayMs.store(m_options.replyDelayMs);
    m_silent.store(m_options.silent);
    m_busy.store(m_options.busy);
    m_closeAfter.store(m_options.closeAfter);
}

NetworkHost::~NetworkHost() {
    Stop();
}

bool NetworkHost::Start(std::string* error) {
    asio::error_code ec;
    const auto address = asio::ip::make_address(m_options.address, ec);
    if (ec) {
        if (error)
            *error = "invalid address " + m_options.address;
        return false;
    }
    const tcp::endpoint endpoint(address, m_options.port);
    m_acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        m_acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        m_acceptor.bind(endpoint, ec);
    if (!ec)
        m_acceptor.listen(4, ec);
    if (ec) {
        if (error)
            *error =
                "cannot listen on " + m_options.address + ":" + std::to_string(m_options.port) + ": " + ec.message();
        m_acceptor.close(ec);
        return false;
    }
    m_boundPort.store(m_acceptor.local_endpoint().port());
    Accept();
    StartHeartbeat();
    PumpOutbox();
    m_thread = std::thread([this] { m_io.run(); });
    return true;
}

void NetworkHost::Stop() {
    if (!m_thread.joinable())
        return;
    // Close everything on the I/O thread, then stop it.
    std::promise<void> closed;
    asio::post(m_io, [this, &closed] {
        asio::error_code ignored;
        m_acceptor.close(ignored);
        m_heartbeatTimer.cancel();
        m_outboxTimer.cancel();
        if (m_active)
            EndSession(m_active);
        closed.set_value();
    });
    closed.get_future().wait_for(std::chrono::seconds(2));
    m_io.stop();
    m_thread.join();
    m_active.reset();
}

void NetworkHost::Accept() {
    m_acceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (ec)
            return; // the acceptor was closed
        ++m_accepted;
        asio::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        if (m_busy.load() || m_active) {
            SendBusyAndClose(std::make_shared<tcp::socket>(std::move(socket)));
        } else {
            m_active = std::make_shared<Session>(std::move(socket), m_io);
            m_messageCount = 0;
            m_clientConnected.store(true);
            Read(m_active);
        }
        Accept();
    });
}

void NetworkHost::SendBusyAndClose(std::shared_ptr<tcp::socket> socket) {
    ++m_busyNotices;
    auto text = std::make_shared<std::string>(kHostBusy);
    asio::async_write(*socket, asio::buffer(*text), [socket, text](const asio::error_code&, size_t) {
        asio::error_code ignored;
        socket->shutdown(tcp::socket::shutdown_both, ignored);
        socket->close(ignored);
    });
}

void NetworkHost::StartHeartbeat() {
    m_heartbeatTimer.expires_after(std::chrono::milliseconds(std::max(10, m_options.heartbeatMs)));
    m_heartbeatTimer.async_wait([this](const asio::error_code& ec) {
        if (ec)
            return;
        if (m_active && !m_silent.load()) {
            ++m_heartbeatsSent;
            Write(m_active, std::vector<uint8_t>(kHeartbeat.begin(), kHeartbeat.end()));
        }
        StartHeartbeat();
    });
}

void NetworkHost::PumpOutbox() {
    m_outboxTimer.expires_after(std::chrono::milliseconds(5));
    m_outboxTimer.async_wait([this](const asio::error_code& ec) {
        if (ec)
            return;
        // Taken whether or not an editor listens: hardware does not wait for one either.
        std::vector<Message> due = m_model.TakeDueMessages();
        if (m_active && !m_silent.load()) {
            for (Message& m : due) {
                if (m.empty())
                    continue;
                const uint8_t prefix = m[0] == reply::ZWave ? kPrefixZWave : kPrefixProcessor;
                m.insert(m.begin(), prefix);
                QueueReply(m_active, std::move(m));
            }
        }
        PumpOutbox();
    });
}

void NetworkHost::Read(const std::shared_ptr<Session>& session) {
    session->socket.async_read_some(asio::buffer(session->readBuffer),
                                    [this, session](const asio::error_code& ec, size_t n) {
                                        if (ec || session->closed) {
                                            EndSession(session);
                                            return;
                                        }
                                        session->rx.insert(session->rx.end(), session->readBuffer.begin(),
                                                           session->readBuffer.begin() + static_cast<long>(n));
                                        ParseStream(session);
                                        if (!session->closed)
                                            Read(session);
                                    });
}

void NetworkHost::ParseStream(const std::shared_ptr<Session>& session) {
    std::vector<uint8_t>& rx = session->rx;
    size_t pos = 0;
    while (pos < rx.size() && !session->closed) {
        const size_t left = rx.size() - pos;
        if (rx[pos] == '$') {
            if (left < kHeartbeat.size())
                break;
            if (std::equal(kHeartbeat.begin(), kHeartbeat.end(), rx.begin() + static_cast<long>(pos))) {
                ++m_heartbeatEchoes;
                pos += kHeartbeat.size();
                continue;
            }
            ++pos;
            continue;
        }
        if (rx[pos] != kFrameStart) {
            ++pos; // noise between frames
            continue;
        }
        if (left < 2)
            break;
        const size_t lengthByte = rx[pos + 1];
        if (lengthByte < 2 || lengthByte > kMaxLengthByte) {
            ++pos;
            continue;
        }
        if (left < lengthByte + 2)
            break;
        const std::span<const uint8_t> payload(rx.data() + pos + 2, lengthByte - 1);
        const bool good = FrameChecksum(static_cast<uint8_t>(lengthByte), payload) == rx[pos + lengthByte + 1];
        std::vector<uint8_t> copy(payload.begin(), payload.end());
        pos += lengthByte + 2;
        if (good)
            HandlePayload(session, std::move(copy));
    }
    rx.erase(rx.begin(), rx.begin() + static_cast<long>(std::min(pos, rx.size())));
}

void NetworkHost::HandlePayload(const std::shared_ptr<Session>& session, std::vector<uint8_t> payload) {
    {
        std::lock_guard lock(m_receivedMutex);
        m_received.push_back({payload, std::chrono::steady_clock::now()});
        while (m_received.size() > m_options.keepReceived)
            m_received.pop_front();
        ++m_receivedCount;
    }
    m_receivedCv.notify_all();

    ++m_messageCount;
    const int closeAfter = m_closeAfter.load();
    if (closeAfter > 0 && m_messageCount >= closeAfter) {
        EndSession(session);
        return;
    }
    if (m_silent.load() || payload.empty())
        return;

    const uint8_t prefix = payload[0];
    const std::span<const uint8_t> body(payload.data() + 1, payload.size() - 1);
    // Behind prefix 0x80 the body is a Z-Wave frame for the smart-home module.
    std::vector<Message> replies =
        prefix == kPrefixZWave ? m_model.HandleZWaveFrame(body) : m_model.HandleMessage(body);
    for (Message& reply : replies) {
        std::vector<uint8_t> framedPayload;
        framedPayload.reserve(reply.size() + 1);
        framedPayload.push_back(prefix == kPrefixZWave ? kPrefixZWave : kPrefixProcessor);
        framedPayload.insert(framedPayload.end(), reply.begin(), reply.end());
        QueueReply(session, std::move(framedPayload));
    }
}

void NetworkHost::QueueReply(const std::shared_ptr<Session>& session, std::vector<uint8_t> payload) {
    ++m_replyCount;
    if (m_dropNext.load() > 0) {
        --m_dropNext;
        return;
    }
    if (m_options.dropEvery > 0 && m_replyCount % static_cast<uint64_t>(m_options.dropEvery) == 0)
        return;
    std::vector<uint8_t> bytes = BuildFrame(payload);
    if (bytes.empty())
        return;
    if (m_options.badChecksumEvery > 0 && m_replyCount % static_cast<uint64_t>(m_options.badChecksumEvery) == 0)
        bytes.back() ^= 0x5A;
    if (m_options.garbageEvery > 0 && m_replyCount % static_cast<uint64_t>(m_options.garbageEvery) == 0) {
        static constexpr std::array<uint8_t, 5> kNoise = {0x00, 0xAA, 0x13, 0xFE, 0x21};
        bytes.insert(bytes.begin(), kNoise.begin(), kNoise.end());
    }

    const int delayMs = m_replyDelayMs.load();
    if (delayMs <= 0 && session->delayed.empty()) {
        Write(session, std::move(bytes));
        return;
    }
    session->delayed.emplace_back(std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs),
                                  std::move(bytes));
    if (!session->delayArmed)
        ArmDelayTimer(session);
}

// One timer serves the held-back replies, in order.
void NetworkHost::ArmDelayTimer(const std::shared_ptr<Session>& session) {
    session->delayArmed = true;
    session->delayTimer.expires_at(session->delayed.front().first);
    session->delayTimer.async_wait([this, session](const asio::error_code& ec) {
        session->delayArmed = false;
        if (ec || session->closed)
            return;
        const auto now = std::chrono::steady_clock::now();
        while (!session->delayed.empty() && session->delayed.front().first <= now) {
            Write(session, std::move(session->delayed.front().second));
            session->delayed.pop_front();
        }
        if (!session->delayed.empty())
            ArmDelayTimer(session);
    });
}

void NetworkHost::Write(const std::shared_ptr<Session>& session, std::vector<uint8_t> bytes) {
    if (session->closed)
        return;
    session->writes.push_back(std::move(bytes));
    if (!session->writing)
        WriteNext(session);
}

void NetworkHost::WriteNext(const std::shared_ptr<Session>& session) {
    if (session->writes.empty() || session->closed) {
        session->writing = false;
        return;
    }
    session->writing = true;
    asio::async_write(session->socket, asio::buffer(session->writes.front()),
                      [this, session](const asio::error_code& ec, size_t) {
                          if (ec) {
                              EndSession(session);
                              return;
                          }
                          session->writes.pop_front();
                          WriteNext(session);
                      });
}

void NetworkHost::EndSession(const std::shared_ptr<Session>& session) {
    if (session->closed)
        return;
    session->closed = true;
    session->delayTimer.cancel();
    asio::error_code ignored;
    session->socket.shutdown(tcp::socket::shutdown_both, ignored);
    session->socket.close(ignored);
    if (m_active == session) {
        m_active.reset();
        m_clientConnected.store(false);
    }
}

void NetworkHost::Disconnect() {
    asio::post(m_io, [this] {
        if (m_active)
            EndSession(m_active);
    });
}

void NetworkHost::SendUnsolicited(std::vector<uint8_t> body, uint8_t prefix) {
    asio::post(m_io, [this, body = std::move(body), prefix]() mutable {
        if (!m_active)
            return;
        body.insert(body.begin(), prefix);
        std::vector<uint8_t> frame = BuildFrame(body);
        if (!frame.empty())
            Write(m_active, std::move(frame));
    });
}

std::vector<ReceivedMessage> NetworkHost::Received() const {
    std::lock_guard lock(m_receivedMutex);
    return {m_received.begin(), m_received.end()};
}

std::vector<ReceivedMessage> NetworkHost::ReceivedFrom(size_t first, size_t& end, size_t& skipped) const {
    std::lock_guard lock(m_receivedMutex);
    end = m_receivedCount;
    const size_t firstKept = m_receivedCount - m_received.size();
    first = std::min(first, end); // a clear restarted the count
    skipped = first < firstKept ? firstKept - first : 0;
    const size_t from = std::max(first, firstKept) - firstKept;
    return {m_received.begin() + static_cast<long>(from), m_received.end()};
}

size_t NetworkHost::ReceivedCount() const {
    std::lock_guard lock(m_receivedMutex);
    return m_receivedCount;
}

void NetworkHost::ClearReceived() {
    std::lock_guard lock(m_receivedMutex);
    m_received.clear();
    m_receivedCount = 0;
}

bool NetworkHost::WaitForMessages(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_receivedMutex);
    return m_receivedCv.wait_for(lock, timeout, [&] { return m_receivedCount >= count; });
}

} // namespace orvex::sim
