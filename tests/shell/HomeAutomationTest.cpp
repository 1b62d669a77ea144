#include "SimFixture.h"

#include "bridge/MqttTestSupport.h"
#include "shell/HomeAutomationDlg.h"
#include "shell/RemoteHost.h"
#include "shell/VolumeControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace orvex::test {
namespace {

// The home-automation bridge run from the editor's own session, against a broker of the test's own
// and the simulator.
class HomeAutomationTest : public SimShellTest {
protected:
    void SetUp() override {
        SimShellTest::SetUp();
        ASSERT_TRUE(Accepts(broker.Port()));
        StartConnected();
        ASSERT_TRUE(recorder.WaitSubscribed());
    }

    void TearDown() override {
        if (app)
            app->RemoteHost().StopBridge();
        SimShellTest::TearDown();
    }

    CHomeAutomationDlg* Window() {
        return qobject_cast<CHomeAutomationDlg*>(app->ShowToolDialog(tmpl::HomeAutomation));
    }

    // The last payload on `topic` once `accept` takes it, pumping the editor's events meanwhile.
    bool Received(const std::string& topic, const std::function<bool(const std::string&)>& accept, int ms = 5000) {
        return PumpUntil(
            [&] {
                for (const MqttReceived& m : recorder.All())
                    if (m.topic == topic && accept(m.payload))
                        return true;
                return false;
            },
            ms);
    }
    bool Received(const std::string& topic, const std::string& payload, int ms = 5000) {
        return Received(
            topic, [&](const std::string& p) { return p == payload; }, ms);
    }

    TempDir dir{"orvex-home-automation"};
    Broker broker{dir.Path()};
    MqttRecorder recorder{broker.Port()};
};

TEST_F(HomeAutomationTest, TheWindowPublishesTheRoomAndTakesItsCommands) {
    CHomeAutomationDlg* window = Window();
    ASSERT_NE(window, nullptr);
    window->BrokerField()->setText(QString::fromStdString(broker.Address()));
    window->RoomField()->setText(QStringLiteral("Living room"));
    QTest::mouseClick(window->OnBox(), Qt::LeftButton, {}, QPoint(8, window->OnBox()->height() / 2));
    ASSERT_TRUE(app->RemoteHost().BridgeRunning()) << window->StatusLabel()->text().toStdString();
    EXPECT_TRUE(Received("orvex/Living_room/status", "online"));
    EXPECT_TRUE(
        PumpUntil([&] { return window->StatusLabel()->text().contains(QStringLiteral("orvex/Living_room/")); }, 2000))
        << window->StatusLabel()->text().toStdString();
    // Discovered, and the state as the editor holds it.
    EXPECT_TRUE(Received("homeassistant/number/orvex_Living_room/micMasterVolume/config",
                         [](const std::string& p) { return p.find("\"command_topic\"") != std::string::npos; }));
    const std::string volume = std::to_string(Store().Get(fields::micMasterVolume));
    EXPECT_TRUE(Received("orvex/Living_room/state/micMasterVolume", volume));

    // A command goes through the editor's setters to the processor and the ribbon, and its state
    // comes back.
    recorder.Publish("orvex/Living_room/set/micMasterVolume", "33");
    EXPECT_TRUE(HostReceived({0x09, 0x00, 0x01, 0x0E, 0x01}, 3000));
    EXPECT_TRUE(PumpUntil([&] { return Store().Get(fields::micMasterVolume) == 33; }, 2000));
    const auto* slider = Frame()->Ribbon()->FindByID<CMFCRibbonStepSlider>(Info(VolumeControl::Mic).sliderInput);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), 33);
    EXPECT_TRUE(Received("orvex/Living_room/state/micMasterVolume", "33"));
    // The editor's own change reaches the broker too.
    SetVolume(app->Session().Commands(), VolumeControl::Echo, 21);
    EXPECT_TRUE(Received("orvex/Living_room/state/echoVolume", "21"));

    // Remembered, and said goodbye to when turned off.
    EXPECT_TRUE(app->Settings().HomeBridgeOn());
    EXPECT_EQ(app->Settings().HomeRoom(), QStringLiteral("Living room"));
    const size_t before = recorder.Count();
    window->OnBox()->click();
    EXPECT_FALSE(app->RemoteHost().BridgeRunning());
    EXPECT_FALSE(app->Settings().HomeBridgeOn());
    EXPECT_TRUE(PumpUntil(
        [&] {
            const auto all = recorder.All();
            for (size_t i = before; i < all.size(); ++i)
                if (all[i].topic == "orvex/Living_room/status" && all[i].payload == "offline")
                    return true;
            return false;
        },
        5000));
}

TEST_F(HomeAutomationTest, ARefusedCommandSendsNothingAndIsSaidInTheWindow) {
    CHomeAutomationDlg* window = Window();
    ASSERT_NE(window, nullptr);
    window->BrokerField()->setText(QString::fromStdString(broker.Address()));
    window->RoomField()->setText(QStringLiteral("den"));
    window->OnBox()->click();
    ASSERT_TRUE(Received("orvex/den/status", "online"));
    Pump(300);
    host->ClearReceived();
    const int before = Store().Get(fields::micMasterVolume);
    recorder.Publish("orvex/den/set/micMasterVolume", "loud");
    recorder.Publish("orvex/den/set/reverbTime", "10"); // not a control outside controllers may set
    EXPECT_TRUE(PumpUntil([&] { return window->StatusLabel()->text().contains(QStringLiteral("reverbTime")); }, 3000))
        << window->StatusLabel()->text().toStdString();
    EXPECT_EQ(Store().Get(fields::micMasterVolume), before);
    for (const sim::ReceivedMessage& m : host->Received())
        EXPECT_NE(m.payload.size() > 1 ? m.payload[1] : 0, 0x09) << "a parameter was sent";
}

TEST_F(HomeAutomationTest, WithoutARoomNameTheRoomIsTheProcessorsAndItComesBackWithTheEditor) {
    app->Settings().SetHomeBroker(QString::fromStdString(broker.Address()));
    app->Settings().SetHomeRoom(QString());
    app->Settings().SetHomeBridgeOn(true);
    app->ResumeHomeBridge(); // as at start-up
    ASSERT_TRUE(app->RemoteHost().BridgeRunning());
    const std::string room = Store().Identity().moduleName;
    ASSERT_FALSE(room.empty());
    EXPECT_TRUE(Received("orvex/" + room + "/status", "online"));
    EXPECT_TRUE(Received("homeassistant/number/orvex_" + room + "/micMasterVolume/config",
                         [&](const std::string& p) { return p.find(room) != std::string::npos; }));
}

TEST_F(HomeAutomationTest, UnusableSettingsAreSaidAndNothingStarts) {
    CHomeAutomationDlg* window = Window();
    ASSERT_NE(window, nullptr);
    window->BrokerField()->setText(QStringLiteral("127.0.0.1:99999"));
    window->OnBox()->click();
    EXPECT_FALSE(app->RemoteHost().BridgeRunning());
    EXPECT_FALSE(window->OnBox()->isChecked());
    EXPECT_TRUE(window->StatusLabel()->text().contains(QStringLiteral("65535")))
        << window->StatusLabel()->text().toStdString();

    window->BrokerField()->setText(QString::fromStdString(broker.Address()));
    window->UserField()->setText(QStringLiteral("room"));
    window->PasswordFileField()->setText(QString::fromStdString((dir.Path() / "missing").string()));
    window->OnBox()->click();
    EXPECT_FALSE(app->RemoteHost().BridgeRunning());
    EXPECT_TRUE(window->StatusLabel()->text().contains(QStringLiteral("missing")));
    EXPECT_FALSE(app->Settings().HomeBridgeOn());
}

} // namespace
} // namespace orvex::test
