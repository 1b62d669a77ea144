#pragma once

#include "ShellFixture.h"

#include "shell/DialogIP.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "shell/IpAddressCtrl.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace orvex::test {

// The editor against the simulated processor and network host on loopback, with the link's
// time-outs shortened.
class SimShellTest : public ShellTest {
protected:
    COrvexv13App::Options MakeOptions() override {
        using namespace std::chrono_literals;
        COrvexv13App::Options options = ShellTest::MakeOptions();
        options.timings.linkTimeoutMs = 400;
        options.timings.timeoutCheck = 20ms;
        options.timings.replyWait = 300ms;
        options.timings.connectTimeout = 2000ms;
        return options;
    }

    void SetUp() override {
        ShellTest::SetUp();
        dialogTimeouts.syncMs = 8000;
    }

    void TearDown() override {
        if (app)
            app->Session().Shutdown();
        if (host)
            host->Stop();
        ShellTest::TearDown();
    }

    void StartHost(sim::ProcessorOptions processor = {}, sim::HostOptions options = {}) {
        model = std::make_unique<sim::ProcessorModel>(processor);
        options.address = "127.0.0.1";
        options.port = 0;
        options.heartbeatMs = 100;
        host = std::make_unique<sim::NetworkHost>(*model, options);
        std::string error;
        ASSERT_TRUE(host->Start(&error)) << error;
    }

    CDialogIP* Dialog() { return qobject_cast<CDialogIP*>(app->ShowToolDialog(tmpl::ConnectIp)); }

    // The dialog's Connect and its outcome (1 when the link opened); on success it returns after the
    // synchronisation.
    int ConnectTo(uint16_t port) {
        CDialogIP* dialog = Dialog();
        QSignalSpy finished(dialog, &CDialogIP::connectFinished);
        StartConnect(port);
        if (!finished.wait(10000))
            return -1;
        return finished.first().first().toBool() ? 1 : 0;
    }

    // Starts the dialog's attempt and returns with it under way.
    CDialogIP* StartConnect(uint16_t port) {
        CDialogIP* dialog = Dialog();
        dialog->AddressCtrl()->SetAddress(QStringLiteral("127.0.0.1"));
        dialog->SetPort(port);
        dialog->Connect();
        return dialog;
    }

    // Host, editor and a synchronised link.
    void StartConnected() {
        StartHost();
        StartApp();
        ASSERT_EQ(ConnectTo(host->Port()), 1);
        ASSERT_TRUE(app->Session().IsConnected());
        host->ClearReceived();
    }

    // True once the host has received a message whose body begins with `body`.
    bool HostReceived(std::vector<uint8_t> body, int ms = 1000) {
        return PumpUntil(
            [&] {
                for (const sim::ReceivedMessage& m : host->Received()) {
                    if (m.payload.size() >= body.size() + 1 &&
                        std::equal(body.begin(), body.end(), m.payload.begin() + 1))
                        return true;
                }
                return false;
            },
            ms);
    }

    // A loopback listener that never completes a handshake: it accepts nobody, and its queue is
    // filled, so the kernel drops every further SYN and a connect waits for its time-out.
    class StalledListener {
    public:
        explicit StalledListener(uint16_t port = 0) {
            m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
            const int on = 1;
            ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(port);
            if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_fd, 0) != 0)
                return;
            socklen_t len = sizeof a;
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
            m_port = ntohs(a.sin_port);
            for (int& filler : m_fillers) {
                filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
                ::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a);
            }
            QTest::qWait(50); // the fillers' handshakes complete and fill the queue
        }
        ~StalledListener() {
            for (int filler : m_fillers)
                ::close(filler);
            ::close(m_fd);
        }
        uint16_t Port() const { return m_port; }

    private:
        int m_fd = -1;
        int m_fillers[2] = {-1, -1};
        uint16_t m_port = 0;
    };

    // Runs the event loop for `ms` with a 16 ms timer and returns the longest gap between its ticks.
    static qint64 LongestTimerGap(int ms) {
        QTimer frame;
        frame.setInterval(16);
        QElapsedTimer since;
        qint64 longest = 0;
        QObject::connect(&frame, &QTimer::timeout, [&] { longest = std::max(longest, since.restart()); });
        since.start();
        frame.start();
        QTest::qWait(ms);
        return std::max(longest, since.elapsed());
    }

    static uint16_t ClosedLoopbackPort() {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        const uint16_t port = server.serverPort();
        server.close();
        return port;
    }

    std::unique_ptr<sim::ProcessorModel> model;
    std::unique_ptr<sim::NetworkHost> host;
};

} // namespace orvex::test
