#pragma once

#include "ShellFixture.h"

#include "settings/DialogIP.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "ui/IpAddressCtrl.h"

#include <QTcpServer>

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
        CSynDlg::SetTimeoutForTests(8000);
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

    // What the dialog's Connect does; on success it returns after the synchronisation.
    int ConnectTo(uint16_t port) {
        CDialogIP* dialog = Dialog();
        dialog->AddressCtrl()->SetAddress(QStringLiteral("127.0.0.1"));
        dialog->SetPort(port);
        return dialog->Connect();
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
