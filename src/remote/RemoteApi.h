#pragma once

#include "remote/RemoteOwner.h"
#include "remote/RemoteSnapshot.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace orvex {

inline constexpr size_t kRemoteMaxBody = 64 * 1024;
inline constexpr int kRemoteWrongPinLimit = 5; // wrong PINs from one address within a minute
inline constexpr std::chrono::seconds kRemoteWrongPinWindow{60};
inline constexpr std::chrono::seconds kRemoteLockout{60};

// A request as the server hands it over, and what goes back.
struct RemoteRequest {
    std::string method; // "GET", "POST"
    std::string path;
    std::string body;
    std::string remoteAddress;
    std::string authorization; // the Authorization header, empty when absent
};

struct RemoteReply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
};

// The phone remote's API without sockets: pairing with the PIN, bearer tokens, the state, and the
// writes, each checked against the control table before it is handed to the owner. Thread-safe:
// the server calls it from its worker threads.
class RemoteApi {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    RemoteApi(std::string pin, RemoteOwner& owner, const SnapshotBoard& board, Clock clock = {});

    RemoteReply Handle(const RemoteRequest& request);

    // True when the Authorization header carries a token this server gave out.
    bool Authorized(const std::string& authorization) const;
    size_t PairedCount() const;
    const std::string& Pin() const { return m_pin; }

private:
    RemoteReply Pair(const RemoteRequest& request);
    RemoteReply Set(const std::string& body);
    RemoteReply Mode(const std::string& body);
    RemoteReply Scene(const std::string& body);
    RemoteReply Plug(const std::string& body);
    std::chrono::steady_clock::time_point Now() const;

    const std::string m_pin;
    RemoteOwner& m_owner;
    const SnapshotBoard& m_board;
    Clock m_clock;

    struct Attempts {
        std::deque<std::chrono::steady_clock::time_point> wrong;
        std::chrono::steady_clock::time_point lockedUntil{};
    };
    mutable std::mutex m_mutex;
    std::set<std::string> m_tokens;
    std::map<std::string, Attempts> m_attempts;
};

// The whole state as /api/state reports it.
std::string RemoteStateJson(const RemoteSnapshot& snapshot);

// A 128-bit random token as 32 hexadecimal digits.
std::string MakeRemoteToken();
// A random six-digit PIN (leading zeros kept).
std::string MakeRemotePin();

// One client's event stream: what it has been told, and what it is told next. The first text is the
// whole state; after that a data line for every change of the state, the levels at most four times a
// second, and a comment line when nothing was sent for 15 seconds.
class RemoteEventStream {
public:
    static constexpr std::chrono::milliseconds kLevelPeriod{250};
    static constexpr std::chrono::seconds kKeepAlive{15};

    explicit RemoteEventStream(const SnapshotBoard& board);
    // The text due at `now` (empty when nothing is).
    std::string Poll(std::chrono::steady_clock::time_point now);

private:
    const SnapshotBoard& m_board;
    std::shared_ptr<const RemoteSnapshot> m_sent;
    std::chrono::steady_clock::time_point m_lastLevels{};
    std::chrono::steady_clock::time_point m_lastOutput{};
};

} // namespace orvex
