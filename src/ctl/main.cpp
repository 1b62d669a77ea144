// orvexctl: the processor's remote control and preset tool for scripts and terminals.

#include "ctl/CtlApp.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop.store(true);
}

} // namespace

int main(int argc, char** argv) {
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler sets the flag");
    // An interrupted `levels` ends its loop and still closes the link with the disconnect notice.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN); // a closed pipe ends a `levels | head` through the stream state

    const std::vector<std::string> args(argv + 1, argv + argc);
    orvex::ctl::CtlEnvironment env;
    env.stop = &g_stop;
    return orvex::ctl::RunCtl(args, std::cout, std::cerr, env);
}
