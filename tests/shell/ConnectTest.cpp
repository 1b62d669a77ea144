#include "SimFixture.h"

#include <cerrno>

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

class ConnectTest : public SimShellTest {};

TEST_F(ConnectTest, FirstStartProposesAPrivateAddressAndTheDefaultPort) {
    StartApp();
    CDialogIP* dialog = Dialog();
    EXPECT_EQ(dialog->AddressCtrl()->Address(), QString::fromLatin1(CDialogIP::kProposedAddress));
    EXPECT_EQ(dialog->Port(), 30303);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("网络连接"));
    // Nothing was tried: no link, no error.
    EXPECT_FALSE(app->Session().IsConnected());
    EXPECT_TRUE(dialog->ErrorText().isEmpty());
}

TEST_F(ConnectTest, FailedConnectShowsTheErrorNumberWithItsReasonAndKeepsTheStoredAddress) {
    StartApp();
    app->Settings().SetIpAddr(QStringLiteral("127.0.0.9"));
    app->Settings().SetIpPort(4444);
    const uint16_t closed = ClosedLoopbackPort();
    EXPECT_FALSE(ConnectTo(closed));
    CDialogIP* dialog = Dialog();
    // The user saw a bare number and had to look up what 111 meant.
    EXPECT_EQ(dialog->ErrorText(), QString::fromUtf8("错误111（连接被拒绝），请确认IP地址和端口号正确!"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(app->Settings().IpAddr(), QStringLiteral("127.0.0.9"));
    EXPECT_EQ(app->Settings().IpPort(), 4444);
    EXPECT_FALSE(app->Session().IsConnected());

    languageIndex = kLanguageEnglish;
    ConnectTo(closed);
    EXPECT_EQ(dialog->ErrorText(), QStringLiteral("Connect failed. Error 111 (Connection refused)"));
}

TEST_F(ConnectTest, AConnectBlockedWithErrorOneIsAFailure) {
    // A firewall's EPERM is error number 1, which the dialog took for success: it hid itself,
    // stored the address and announced a connected device with no link behind it.
    StartApp();
    app->Settings().SetIpAddr(QStringLiteral("127.0.0.9"));
    app->Session().Link().Tcp().SetConnectGate([](const std::string&, uint16_t) { return EPERM; });
    languageIndex = kLanguageEnglish;
    EXPECT_FALSE(ConnectTo(ClosedLoopbackPort()));
    CDialogIP* dialog = Dialog();
    EXPECT_EQ(dialog->ErrorText(), QStringLiteral("Connect failed. Error 1 (Operation not permitted)"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(app->Settings().IpAddr(), QStringLiteral("127.0.0.9"));
    EXPECT_FALSE(app->Session().IsConnected());
    EXPECT_NE(View()->BalloonText(), QStringLiteral("Device connected!"));
}

TEST_F(ConnectTest, SuccessStoresTheAddressAndTheLinkPaneTurnsGreen) {
    StartHost();
    StartApp();
    languageIndex = kLanguageEnglish;
    QString paneDuringSync;
    QColor colourDuringSync;
    bool syncDialogShown = false;
    // Looked at as soon as the synchronisation dialog is up, however long the connect took.
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (app->SyncDialog() == nullptr)
            return;
        watch.stop();
        syncDialogShown = true;
        Frame()->UpdateCommandUI();
        paneDuringSync = Frame()->LinkPane()->text();
        colourDuringSync = Frame()->LinkPane()->TextColour();
    });
    watch.start();
    ASSERT_EQ(ConnectTo(host->Port()), 1);
    EXPECT_TRUE(syncDialogShown);
    EXPECT_EQ(paneDuringSync, QStringLiteral("IP:Connected"));
    EXPECT_EQ(colourDuringSync, QColor(0, 150, 0));
    EXPECT_EQ(app->Settings().IpAddr(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(app->Settings().IpPort(), host->Port());
    EXPECT_FALSE(Dialog()->ErrorText().size() > 0);
    EXPECT_EQ(View()->BalloonText(), QStringLiteral("Device connected!"));

    // The processor is the one the editor expects: the link stays up, no box, the ribbon synced.
    EXPECT_TRUE(app->Session().IsConnected());
    EXPECT_TRUE(boxes.empty());
    Frame()->UpdateCommandUI();
    EXPECT_EQ(Frame()->LinkPane()->text(), QStringLiteral("IP:Connected"));
    EXPECT_EQ(Store().Identity().commandSetVersion, 18);
}

TEST_F(ConnectTest, VersionSeventeenIsDisconnectedWithOneMismatchBox) {
    sim::ProcessorOptions processor;
    processor.commandSetVersion = 17;
    StartHost(processor);
    StartApp();
    ASSERT_EQ(ConnectTo(host->Port()), 1);
    EXPECT_TRUE(PumpUntil([&] { return !app->Session().IsConnected(); }, 2000));
    const QString text = QString::fromUtf8("机器与软件通信版本不匹配，请使用机器配套软件!");
    EXPECT_EQ(CountBoxes(text), 1);
    // Further synchronisation results while the box is open open no second one.
    View()->OnSyncDone(0);
    EXPECT_EQ(CountBoxes(text), 1);
    // The host saw the disconnect notice before the link closed.
    auto noticed = [&] {
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() >= 2 && m.payload[1] == 0x8A)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(PumpUntil(noticed, 1000));
}

TEST_F(ConnectTest, ABusyHostEndsTheSyncDialogAndIsReported) {
    sim::HostOptions busy;
    busy.busy = true;
    StartHost({}, busy);
    StartApp();
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(ConnectTo(host->Port()), 1);
    EXPECT_LT(clock.elapsed(), 4000); // ended by the notice, not by the sync time-out
    EXPECT_TRUE(PumpUntil([&] { return InfoShown(QString::fromUtf8("主机已连接其他设备，请先断开!")); }, 1000));
    EXPECT_EQ(app->hostBusy, 1);
    Pump(300);
    EXPECT_TRUE(boxes.empty());
    // "Device connected!" stayed up after the busy message had gone, beside a "Disconnected" pane.
    EXPECT_EQ(View()->BalloonText(), QString::fromUtf8("主机已连接其他设备，请先断开!"));
    EXPECT_TRUE(View()->BalloonVisible());
    EXPECT_EQ(infoMessages.back(), QString::fromUtf8("主机已连接其他设备，请先断开!"));
}

TEST_F(ConnectTest, ASilentHostIsReportedAsDisconnected) {
    sim::HostOptions silent;
    silent.silent = true;
    StartHost({}, silent);
    StartApp();
    ASSERT_EQ(ConnectTo(host->Port()), 1);
    EXPECT_TRUE(PumpUntil(
        [&] { return InfoShown(QString::fromUtf8("主机连接超时，网络断开!")) && !app->Session().IsConnected(); },
        3000));
}

TEST_F(ConnectTest, TheWindowKeepsRunningWhileTheHostDoesNotAnswerTheConnect) {
    StartApp();
    languageIndex = kLanguageEnglish;
    StalledListener stalled;
    ASSERT_NE(stalled.Port(), 0);
    QElapsedTimer clock;
    clock.start();
    CDialogIP* dialog = StartConnect(stalled.Port());
    EXPECT_LT(clock.elapsed(), 300); // the click returns at once
    EXPECT_TRUE(dialog->IsConnecting());
    EXPECT_EQ(dialog->ErrorText(), QStringLiteral("Connecting to 127.0.0.1…"));
    QSignalSpy finished(dialog, &CDialogIP::connectFinished);
    EXPECT_LT(LongestTimerGap(600), 250);
    EXPECT_TRUE(finished.empty()) << dialog->ErrorText().toStdString();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_TRUE(dialog->ErrorText().startsWith(QStringLiteral("Connect failed. Error 110")))
        << dialog->ErrorText().toStdString();
    EXPECT_FALSE(app->Session().IsConnected());
}

TEST_F(ConnectTest, ANewConnectOrADisconnectEndsAnAttemptUnderWayWithoutALateOutcome) {
    StartHost();
    StartApp();
    StalledListener stalled;
    CDialogIP* dialog = StartConnect(stalled.Port());
    ASSERT_TRUE(dialog->IsConnecting());
    // Connect pressed again, at another address: the newer attempt decides.
    ASSERT_EQ(ConnectTo(host->Port()), 1);
    Pump(2300); // past the first attempt's time-out
    EXPECT_TRUE(app->Session().IsConnected());
    EXPECT_TRUE(dialog->ErrorText().isEmpty());
    EXPECT_EQ(app->Settings().IpPort(), host->Port());

    // A disconnect while an attempt waits: it never opens a link afterwards.
    app->CloseLink();
    ASSERT_TRUE(PumpUntil([&] { return !host->ClientConnected(); }, 2000));
    StartConnect(stalled.Port());
    ASSERT_TRUE(app->Session().IsConnecting());
    app->CloseLink();
    EXPECT_FALSE(app->Session().IsConnecting());
    EXPECT_TRUE(PumpUntil([&] { return !dialog->IsConnecting(); }, 500));
    Pump(2300);
    EXPECT_FALSE(app->Session().IsConnected());
    EXPECT_TRUE(dialog->ErrorText().isEmpty());
    EXPECT_EQ(host->ConnectionsAccepted(), 1);
}

} // namespace
} // namespace orvex::test
