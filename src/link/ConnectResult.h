#pragma once

#include <array>
#include <string>

namespace orvex {

// The outcome of a TCP connect. Success is its own flag: the platform's error numbers start at 1
// (EPERM, a firewall's refusal), so a number alone cannot also stand for "connected".
struct ConnectResult {
    bool ok = false;
    int error = 0; // the platform's error number of a failed attempt; 0 when no socket could be made

    static ConnectResult Connected() { return {true, 0}; }
    static ConnectResult Failed(int error) { return {false, error}; }
    explicit operator bool() const { return ok; }
};

// How long to wait before each new attempt at a dropped or refused network link: longer each time,
// then every 30 s.
inline constexpr std::array<int, 6> kReconnectDelaysMs = {1000, 2000, 4000, 8000, 15000, 30000};

// Why a connect failed, in a short phrase for the user: the common connect errors in Chinese from
// our own table (the platform's text otherwise), in English the platform's text.
std::string ConnectErrorReason(int error, bool chinese);

} // namespace orvex
