#include "ShellFixture.h"

#include "shell/DialogIP.h"
#include "sim/FakeHidDevice.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "shell/IpAddressCtrl.h"

#include <QSignalSpy>
#include <QTcpServer>

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

const std::string kProcessorPath = "/dev/hidraw-test0";

// The editor with the simulated processor behind the in-process fake HID device.
class UsbTest : public ShellTest {
protected:
    COrvexv13App::Options MakeOptions() override {
        COrvexv13App::Options options = ShellTest::MakeOptions();
        options.hidBackend = &hid;
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
        ShellTest::TearDown();
    }

    void Plug() {
        hid.AddInterface(kProcessorPath, 0x2010, 0x1031);
        View()->OnUsbArrival(QString::fromStdString(kProcessorPath)); // returns after the synchronisation
    }

    sim::ProcessorModel model;
    sim::FakeHidBackend hid{model};
};

TEST_F(UsbTest, TheStartUpProbeFindsAProcessorAlreadyPluggedIn) {
    hid.AddInterface(kProcessorPath, 0x2010, 0x1031);
    StartApp();
    EXPECT_TRUE(PumpUntil([&] { return app->Session().IsConnected() && !app->SyncDialog(); }, 3000));
    EXPECT_FALSE(app->Session().IsNetwork());
    EXPECT_EQ(hid.OpenCount(kProcessorPath), 1);
}

TEST_F(UsbTest, ArrivalConnectsSynchronisesAndShowsTheUsbPane) {
    StartApp();
    app->ShowToolDialog(tmpl::Features);
    Plug();
    EXPECT_TRUE(app->Session().IsConnected());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(View()->BalloonText(), QString::fromUtf8("设备已连接，同步中……"));
    // The open tool dialogs were closed so that they come back with fresh data.
    EXPECT_EQ(app->ToolDialog(tmpl::Features), nullptr);
    Frame()->UpdateCommandUI();
    EXPECT_EQ(Frame()->LinkPane()->text(), QString::fromUtf8("USB：已连接"));
    EXPECT_EQ(Frame()->LinkPane()->TextColour(), QColor(0, 150, 0));
}

TEST_F(UsbTest, AnEarlierBusyHostDoesNotHideAWrongProcessorOnUsb) {
    StartApp();
    // A busy network host earlier in the run left the flag set, and a processor of another model
    // on USB was then accepted without the mismatch box.
    View()->OnHostBusy();
    model.SetModuleName("Other");
    Plug();
    EXPECT_EQ(CountBoxes(QString::fromUtf8("机器型号与软件不匹配!")), 1);
    EXPECT_FALSE(View()->HostBusy());
}

TEST_F(UsbTest, UnpluggingAnotherDeviceChangesNothing) {
    StartApp();
    Plug();
    ASSERT_TRUE(app->Session().IsConnected());
    View()->OnUsbRemoval(QStringLiteral("/dev/hidraw-keyboard"));
    EXPECT_TRUE(app->Session().IsConnected());
    EXPECT_EQ(View()->BalloonText(), QString::fromUtf8("设备已连接，同步中……"));
}

TEST_F(UsbTest, UnpluggingTheProcessorClosesTheLinkAndSays) {
    StartApp();
    Plug();
    ASSERT_TRUE(app->Session().IsConnected());
    hid.Unplug(kProcessorPath);
    // Device paths compare without letter case.
    View()->OnUsbRemoval(QString::fromStdString(kProcessorPath).toUpper());
    EXPECT_FALSE(app->Session().IsConnected());
    EXPECT_EQ(View()->BalloonText(), QString::fromUtf8("设备已断开!"));
    EXPECT_FALSE(View()->LevelPollTimer().isActive());
}

TEST_F(UsbTest, PluggingInWhileATcpLinkIsOpenChangesNothing) {
    sim::ProcessorModel hostModel;
    sim::HostOptions options;
    options.port = 0;
    sim::NetworkHost host(hostModel, options);
    ASSERT_TRUE(host.Start());
    StartApp();
    auto* dialog = qobject_cast<CDialogIP*>(app->ShowToolDialog(tmpl::ConnectIp));
    dialog->AddressCtrl()->SetAddress(QStringLiteral("127.0.0.1"));
    dialog->SetPort(host.Port());
    QSignalSpy finished(dialog, &CDialogIP::connectFinished);
    dialog->Connect();
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_TRUE(finished.first().first().toBool());
    ASSERT_TRUE(app->Session().IsConnected());

    Plug();
    EXPECT_TRUE(app->Session().IsNetwork());
    EXPECT_EQ(hid.OpenCount(kProcessorPath), 0);
    app->Session().Shutdown();
    host.Stop();
}

TEST_F(UsbTest, AFailedNetworkAttemptAfterUsbLeavesNeitherLinkOpen) {
    StartApp();
    // The start-up probe would open the processor again on its own; here it has been and gone.
    ASSERT_TRUE(PumpUntil([&] { return !View()->StartupProbePending(); }, 3000));
    Plug();
    ASSERT_TRUE(app->Session().IsConnected());
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const uint16_t closed = server.serverPort();
    server.close();
    auto* dialog = qobject_cast<CDialogIP*>(app->ShowToolDialog(tmpl::ConnectIp));
    dialog->AddressCtrl()->SetAddress(QStringLiteral("127.0.0.1"));
    dialog->SetPort(closed);
    QSignalSpy finished(dialog, &CDialogIP::connectFinished);
    dialog->Connect();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_FALSE(app->Session().IsConnected());
    EXPECT_EQ(hid.OpenHandles(kProcessorPath), 0);
}

} // namespace
} // namespace orvex::test
