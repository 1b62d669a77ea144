#include "shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex {

namespace {
constexpr std::array kSignals = {SIGTERM, SIGHUP, SIGINT};
// The write end, for the handler; -1 while no relay is installed.
volatile std::sig_atomic_t g_writeFd = -1;

extern "C" void RelaySignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeFd;
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        // A full pipe already holds a signal the window thread has still to read.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    if (g_writeFd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0)
        return;
    ::fcntl(m_fds[0], F_SETFL, ::fcntl(m_fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(m_fds[1], F_SETFL, ::fcntl(m_fds[1], F_GETFL) | O_NONBLOCK);
    g_writeFd = m_fds[1];
    struct sigaction action = {};
    action.sa_handler = RelaySignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            RestoreDefaults();
            return;
        }
    }
    m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::OnReadable);
    m_installed = true;
}

TerminationSignals::~TerminationSignals() {
    RestoreDefaults();
}

void TerminationSignals::RestoreDefaults() {
    if (m_fds[0] < 0)
        return;
    for (const int signal : kSignals)
        std::signal(signal, SIG_DFL);
    g_writeFd = -1;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
    m_fds[0] = m_fds[1] = -1;
}

void TerminationSignals::OnReadable() {
    unsigned char byte = 0;
    if (::read(m_fds[0], &byte, 1) != 1)
        return;
    // A second signal is the system's, not ours to soften.
    for (const int signal : kSignals)
        std::signal(signal, SIG_DFL);
    g_writeFd = -1;
    m_notifier->setEnabled(false);
    if (m_onSignal)
        m_onSignal(byte);
}

} // namespace orvex
