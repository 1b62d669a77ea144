#include "SimFixture.h"

#include "widgets/ControlId.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

    SetUiLanguageIndex(kLanguageEnglish);
    ConnectTo(closed);
    EXPECT_EQ(dialog->ErrorText(), QStringLiteral("Connect failed. Error 111 (Connection refused)"));
}

TEST_F(ConnectTest, AConnectBlockedWithErrorOneIsAFailure) {
    // A firewall's EPERM is error number 1, which the dialog took for success: it hid itself,
    // stored the address and announced a connected device with no link behind it.
    StartApp();
    app->Settings().SetIpAddr(QStringLiteral("127.0.0.9"));
    app->Session().Link().Tcp().SetConnectGate([](const std::string&, uint16_t) { return EPERM; });
    SetUiLanguageIndex(kLanguageEnglish);
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
    SetUiLanguageIndex(kLanguageEnglish);
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
    EXPECT_TRUE(app->View()->HostBusy());
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
    SetUiLanguageIndex(kLanguageEnglish);
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

namespace orvex::test {
namespace {

// The dialog in a window of its own on the offscreen platform, typed into as the keyboard would:
// every key goes to whichever control has the focus.
class ConnectTypingTest : public SimShellTest {
protected:
    CDialogIP* ShowActive() {
        CDialogIP* dialog = Dialog();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        return dialog;
    }
    static void Type(const QString& text) {
        QTest::keyClicks(static_cast<QWidget*>(nullptr), text);
        QApplication::processEvents();
    }
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
        QApplication::processEvents();
    }
    static QWidget* Focus() { return QApplication::focusWidget(); }

    // Types an address into the emptied first part, then whatever follows.
    void TypeFromFirstPart(CDialogIP* dialog, const QString& text) {
        dialog->AddressCtrl()->Field(0)->setFocus();
        for (int i = 0; i < 4; ++i)
            dialog->AddressCtrl()->Field(i)->clear();
        Type(text);
    }
};

// The port field was hidden: a host on another port than the stored one could not be reached.
TEST_F(ConnectTypingTest, TheTypedPortIsConnectedToAndKeptForTheNextStart) {
    StartHost();
    StartApp();
    CDialogIP* dialog = ShowActive();
    ASSERT_TRUE(dialog->PortField()->isVisible());
    ASSERT_NE(host->Port(), 30303);
    QLabel* caption = nullptr;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (CtrlId(label) == CDialogIP::kPortLabelId)
            caption = label;
    }
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(caption->isVisible());
    EXPECT_EQ(caption->text(), QString::fromUtf8("通信端口："));
    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    EXPECT_EQ(caption->text(), QStringLiteral("Port:"));
    TypeFromFirstPart(dialog, QStringLiteral("127.0.0.1"));
    // Tab leaves the last part of the address for the port, whose text is then replaced.
    Press(Qt::Key_Tab);
    ASSERT_EQ(Focus(), dialog->PortField());
    Press(Qt::Key_A, Qt::ControlModifier);
    Type(QString::number(host->Port()));
    QSignalSpy finished(dialog, &CDialogIP::connectFinished);
    Press(Qt::Key_Return); // the default button
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished.first().first().toBool()) << dialog->ErrorText().toStdString();
    EXPECT_TRUE(app->Session().IsConnected());
    EXPECT_EQ(host->ConnectionsAccepted(), 1);
    EXPECT_EQ(app->Settings().IpPort(), host->Port());

    // The next start shows the address and port that worked.
    const int port = host->Port();
    app->Session().Shutdown();
    app.reset();
    StartApp();
    EXPECT_EQ(Dialog()->Port(), port);
    EXPECT_EQ(Dialog()->PortField()->text(), QString::number(port));
    EXPECT_EQ(Dialog()->AddressCtrl()->Address(), QStringLiteral("127.0.0.1"));
}

// "127.0.0.1:41557" typed into the address gave 127.0.0.141: the ":" was dropped and the port's
// digits ran into the last part.
TEST_F(ConnectTypingTest, AnAddressTypedWithItsPortFillsBothFields) {
    StartApp();
    CDialogIP* dialog = ShowActive();
    TypeFromFirstPart(dialog, QStringLiteral("127.0.0.1:41557"));
    EXPECT_EQ(dialog->AddressCtrl()->Address(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog->Port(), 41557);
    EXPECT_EQ(Focus(), dialog->PortField());
}

TEST_F(ConnectTypingTest, AnAddressPastedWithItsPortFillsBothFieldsFromAnyPart) {
    StartHost();
    StartApp();
    CDialogIP* dialog = ShowActive();
    const QString pasted = QStringLiteral(" 127.0.0.1:%1\n").arg(host->Port());
    QApplication::clipboard()->setText(pasted);
    dialog->AddressCtrl()->Field(2)->setFocus();
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog->AddressCtrl()->Address(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog->Port(), host->Port());

    // An address without a port keeps the port; a single number still pastes into its part.
    dialog->SetPort(4000);
    QApplication::clipboard()->setText(QStringLiteral("127.1.2.3"));
    dialog->AddressCtrl()->Field(0)->setFocus();
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog->AddressCtrl()->Address(), QStringLiteral("127.1.2.3"));
    EXPECT_EQ(dialog->Port(), 4000);
    QApplication::clipboard()->setText(QStringLiteral("77"));
    dialog->AddressCtrl()->Field(1)->setFocus();
    dialog->AddressCtrl()->Field(1)->selectAll();
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog->AddressCtrl()->Address(), QStringLiteral("127.77.2.3"));

    // The field's own menu pastes the same way.
    QApplication::clipboard()->setText(QStringLiteral("127.0.0.5:5005"));
    QLineEdit* part = dialog->AddressCtrl()->Field(3);
    int pasteEntries = 0;
    QTimer::singleShot(0, [&pasteEntries] {
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        for (QAction* action : popup->actions()) {
            if (CIpAddressCtrl::IsPasteAction(action)) {
                ++pasteEntries;
                action->trigger();
            }
        }
        popup->close();
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2), part->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(part, &menu);
    EXPECT_EQ(pasteEntries, 1);
    EXPECT_EQ(dialog->AddressCtrl()->Address(), QStringLiteral("127.0.0.5"));
    EXPECT_EQ(dialog->Port(), 5005);

    // What was pasted is what Connect uses.
    ShowActive();
    QApplication::clipboard()->setText(pasted);
    dialog->AddressCtrl()->Field(0)->setFocus();
    Press(Qt::Key_V, Qt::ControlModifier);
    QSignalSpy finished(dialog, &CDialogIP::connectFinished);
    dialog->ConnectButton()->click();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished.first().first().toBool()) << dialog->ErrorText().toStdString();
    EXPECT_EQ(host->ConnectionsAccepted(), 1);
}

TEST_F(ConnectTypingTest, APortOutOfRangeIsRefusedInBothLanguagesAndNothingIsTried) {
    StartHost();
    StartApp();
    app->Settings().SetIpPort(host->Port());
    CDialogIP* dialog = ShowActive();
    // Letters never get into the field.
    dialog->PortField()->setFocus();
    dialog->PortField()->selectAll();
    Type(QStringLiteral("12ab3"));
    EXPECT_EQ(dialog->PortField()->text(), QStringLiteral("123"));

    const std::pair<QString, QString> refusals[] = {
        {QString::fromUtf8("通信端口须是1到65535之间的数字!"),
         QStringLiteral("The port must be a number from 1 to 65535.")},
    };
    for (int language : {kLanguageChinese, kLanguageEnglish}) {
        SetUiLanguageIndex(language);
        const QString expected = language == kLanguageEnglish ? refusals[0].second : refusals[0].first;
        for (const QString& bad : {QStringLiteral("0"), QStringLiteral("65536"), QStringLiteral("99999"), QString()}) {
            dialog->PortField()->setText(bad);
            dialog->AddressCtrl()->SetAddress(QStringLiteral("127.0.0.1"));
            dialog->AddressCtrl()->Field(0)->setFocus();
            QSignalSpy finished(dialog, &CDialogIP::connectFinished);
            dialog->ConnectButton()->click();
            ASSERT_TRUE(finished.wait(2000)) << bad.toStdString();
            EXPECT_FALSE(finished.first().first().toBool());
            EXPECT_EQ(dialog->ErrorText(), expected) << bad.toStdString();
            EXPECT_EQ(Focus(), dialog->PortField()); // the caret goes to what needs mending
            EXPECT_FALSE(dialog->IsConnecting());
        }
        // A pasted port out of range is refused the same way and the field keeps its number.
        dialog->SetPort(1234);
        EXPECT_TRUE(dialog->AddressCtrl()->PasteText(QStringLiteral("127.0.0.1:70000")));
        EXPECT_EQ(dialog->Port(), 1234);
        EXPECT_EQ(dialog->ErrorText(), expected);
        EXPECT_TRUE(dialog->AddressCtrl()->PasteText(QStringLiteral("127.0.0.1:http")));
        EXPECT_EQ(dialog->Port(), 1234);
    }
    Pump(200);
    EXPECT_EQ(host->ConnectionsAccepted(), 0);
    EXPECT_FALSE(app->Session().IsConnected());
    EXPECT_EQ(app->Settings().IpPort(), host->Port());
}

TEST_F(ConnectTypingTest, TabWalksTheAddressThePortThenTheButtons) {
    StartApp();
    CDialogIP* dialog = ShowActive();
    dialog->AddressCtrl()->Field(0)->setFocus();
    std::vector<QWidget*> walked;
    for (int i = 0; i < 6; ++i) {
        Press(Qt::Key_Tab);
        walked.push_back(Focus());
    }
    const std::vector<QWidget*> expected = {dialog->AddressCtrl()->Field(1), dialog->AddressCtrl()->Field(2),
                                            dialog->AddressCtrl()->Field(3), dialog->PortField(),
                                            dialog->ConnectButton(),         walked[5]};
    EXPECT_EQ(walked, expected);
    auto* cancel = qobject_cast<QPushButton*>(walked[5]);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QString::fromUtf8("取消"));
    // Back again from the port.
    dialog->PortField()->setFocus();
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), dialog->AddressCtrl()->Field(3));
}

} // namespace
} // namespace orvex::test
