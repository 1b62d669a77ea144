#include "SimFixture.h"

#include "model/ControlTable.h"
#include "shell/EditHistory.h"
#include "shell/PhoneRemoteDlg.h"
#include "shell/QrCode.h"
#include "shell/RemoteHost.h"
#include "shell/VolumeControls.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace orvex::test {
namespace {

// The phone remote served from the editor's own session, against the simulator, with a real HTTP
// client standing in for the phone.
class PhoneRemoteTest : public SimShellTest {
protected:
    void SetUp() override {
        SimShellTest::SetUp();
        StartConnected();
    }

    CRemoteHost& Host() { return app->RemoteHost(); }

    void Serve() {
        QString error;
        ASSERT_TRUE(Host().Start(CRemoteHost::Scope::ThisComputer, 0, &error)) << error.toStdString();
    }

    httplib::Client Client() {
        httplib::Client client("127.0.0.1", Host().Port());
        client.set_read_timeout(2, 0);
        if (!token.empty())
            client.set_bearer_token_auth(token);
        return client;
    }

    void Pair() {
        auto reply =
            Client().Post("/api/pair", R"({"pin":")" + Host().Pin().toStdString() + R"("})", "application/json");
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->status, 200);
        token = nlohmann::json::parse(reply->body)["token"].get<std::string>();
    }

    int Post(const std::string& path, const std::string& body) {
        auto reply = Client().Post(path, body, "application/json");
        return reply ? reply->status : -1;
    }

    nlohmann::json State() {
        auto reply = Client().Get("/api/state");
        return reply && reply->status == 200 ? nlohmann::json::parse(reply->body) : nlohmann::json();
    }

    std::string token;
};

TEST_F(PhoneRemoteTest, APhoneSetGoesThroughTheEditorToTheProcessorAndTheRibbon) {
    Serve();
    Pair();
    Store().SetModifiedFlag(false);
    ASSERT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":42})"), 200);
    // The ribbon's own message for 42 %.
    EXPECT_TRUE(HostReceived({0x09, 0x00, 0x01, 0x0E, 0x01, 0x3E, 0xD7, 0x4B, 0xC7}));
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 42);
    const auto* slider = Frame()->Ribbon()->FindByID<CMFCRibbonStepSlider>(Info(VolumeControl::Mic).sliderInput);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), 42);
    // A phone's change is not the user's to take back in the editor.
    EXPECT_FALSE(app->History().CanUndo());
    ASSERT_FALSE(app->History().Journal().Entries().empty());
    EXPECT_EQ(app->History().Journal().Entries().back().text.en, "Phone remote");

    // The mute the ribbon shows follows too.
    ASSERT_EQ(Post("/api/set", R"({"field":"echoMute","value":1})"), 200);
    EXPECT_TRUE(PumpUntil([&] { return Store().Get(fields::echoMute) == 1; }, 1000));
    Pump(50);
    const auto* box = Frame()->Ribbon()->FindByID<QCheckBox>(Info(MuteControl::Echo).checkInput);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
}

TEST_F(PhoneRemoteTest, TheEditorsChangesReachThePhoneAtOnce) {
    Serve();
    Pair();
    SetVolume(app->Session().Commands(), VolumeControl::Echo, 33); // as the ribbon sets it
    QElapsedTimer clock;
    clock.start();
    bool seen = false;
    while (!seen && clock.elapsed() < 2000) {
        Pump(10);
        seen = State()["fields"]["echoVolume"] == 33;
    }
    ASSERT_TRUE(seen);
    // Published on the window thread every 100 ms; a loaded machine may take a little longer.
    EXPECT_LT(clock.elapsed(), 1000);
    RecordProperty("echo_ms", static_cast<int>(clock.elapsed()));
    EXPECT_TRUE(State()["connected"].get<bool>());
}

TEST_F(PhoneRemoteTest, AModeLoadFromAPhoneAsksNothingOnTheEditorsScreen) {
    Serve();
    Pair();
    Store().SetModifiedFlag(true); // the menu would ask first
    bool syncShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { syncShown = syncShown || app->SyncDialog() != nullptr; });
    watch.start(2);
    ASSERT_EQ(Post("/api/mode", R"({"load":3})"), 200);
    EXPECT_TRUE(HostReceived({0x05, 0x02}, 3000));
    EXPECT_TRUE(syncShown);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(PumpUntil([&] { return !app->SyncDialog(); }, 8000));
}

TEST_F(PhoneRemoteTest, NothingReachesAProcessorThatIsGone) {
    Serve();
    Pair();
    const int before = Store().Get(fields::micMasterVolume);
    app->CloseLink();
    EXPECT_TRUE(PumpUntil([&] { return State()["connected"] == false; }, 1000));
    host->ClearReceived();
    // Refused at the door while there is no processor, and a write already taken is dropped.
    EXPECT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":17})"), 503);
    RemoteWrite late;
    late.entry = FindControl("micMasterVolume");
    late.value = 17;
    Host().Post(late);
    Pump(300);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), before);
    EXPECT_TRUE(host->Received().empty());
}

// The window as the user drives it: on, the address and its code, the PIN, paired phones, a new PIN
// that unpairs them, off.
TEST_F(PhoneRemoteTest, TheWindowServesShowsTheAddressAndCountsPhones) {
    auto* dialog = qobject_cast<CPhoneRemoteDlg*>(app->ShowToolDialog(tmpl::PhoneRemote));
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(Host().Running());
    EXPECT_TRUE(dialog->QrLabel()->pixmap().isNull());
    // A port nobody holds now.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const int port = probe.serverPort();
    probe.close();
    dialog->PortBox()->setValue(port);
    QTest::mouseClick(dialog->OnBox(), Qt::LeftButton, {}, QPoint(8, dialog->OnBox()->height() / 2));
    ASSERT_TRUE(Host().Running()) << dialog->ErrorLabel()->text().toStdString();
    EXPECT_EQ(Host().Port(), port);
    EXPECT_EQ(app->Settings().PhoneRemotePort(), port); // offered again next time
    EXPECT_FALSE(app->Settings().PhoneRemoteOnNetwork());
    EXPECT_EQ(dialog->AddressLabel()->text(), QStringLiteral("http://127.0.0.1:%1/").arg(port));
    const QPixmap code = dialog->QrLabel()->pixmap();
    ASSERT_FALSE(code.isNull());
    EXPECT_EQ(code.width(), code.height());
    EXPECT_EQ(dialog->PinLabel()->text(), Host().Pin());
    EXPECT_EQ(Host().Pin().size(), 6);

    Pair();
    EXPECT_TRUE(PumpUntil([&] { return dialog->PairedLabel()->text().endsWith(QStringLiteral("1")); }, 1000))
        << dialog->PairedLabel()->text().toStdString();

    const QString oldPin = Host().Pin();
    dialog->NewPinButton()->click();
    EXPECT_NE(Host().Pin(), oldPin);
    EXPECT_EQ(dialog->PinLabel()->text(), Host().Pin());
    EXPECT_EQ(Post("/api/set", R"({"field":"micMasterVolume","value":10})"), 401); // pair again
    EXPECT_TRUE(dialog->PairedLabel()->text().endsWith(QStringLiteral("0")));

    dialog->OnBox()->click();
    EXPECT_FALSE(Host().Running());
    EXPECT_EQ(Post("/api/state", "{}"), -1); // nobody listens any more
}

TEST_F(PhoneRemoteTest, APortInUseIsSaidInTheWindow) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    auto* dialog = qobject_cast<CPhoneRemoteDlg*>(app->ShowToolDialog(tmpl::PhoneRemote));
    ASSERT_NE(dialog, nullptr);
    dialog->PortBox()->setValue(taken.serverPort());
    dialog->OnBox()->click();
    EXPECT_FALSE(Host().Running());
    EXPECT_FALSE(dialog->OnBox()->isChecked());
    EXPECT_TRUE(dialog->ErrorLabel()->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->ErrorLabel()->text().contains(QString::number(taken.serverPort())));
}

// The code's three finder patterns sit in its corners, inside the quiet zone, whatever the size.
TEST(QrCodeTest, FinderPatternsInsideTheQuietZone) {
    const QImage one = QrCodeImage(QStringLiteral("http://127.0.0.1:8080/"), 1);
    ASSERT_FALSE(one.isNull());
    const int modules = one.width();
    EXPECT_EQ((modules - 8 - 21) % 4, 0); // 21 + 4 per version, 4 quiet modules each side
    const auto dark = [&](const QImage& image, int x, int y, int size) {
        return qGray(image.pixel(x * size + size / 2, y * size + size / 2)) < 128;
    };
    for (int size : {1, 6}) {
        const QImage image = QrCodeImage(QStringLiteral("http://127.0.0.1:8080/"), size);
        ASSERT_EQ(image.width(), modules * size);
        EXPECT_FALSE(dark(image, 0, 0, size));
        EXPECT_FALSE(dark(image, 3, 3, size));
        for (auto [x, y] : {std::pair{4, 4}, {modules - 5, 4}, {4, modules - 5}})
            EXPECT_TRUE(dark(image, x, y, size)) << x << ',' << y;
        EXPECT_FALSE(dark(image, 5, 5, size)); // the white ring inside the pattern
        EXPECT_TRUE(dark(image, 7, 7, size));  // and its centre
    }
    EXPECT_TRUE(QrCodeImage(QString(), 4).isNull());
}

} // namespace
} // namespace orvex::test
