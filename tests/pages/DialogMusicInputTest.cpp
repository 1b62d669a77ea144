#include "support/PagesFixture.h"

#include "editors/input/DialogMusicInput.h"
#include "widgets/XBmpSlider.h"

#include <QLabel>
#include <QRadioButton>
#include <QWheelEvent>

namespace orvex::test {
namespace {

// Radio indices: the radio's id less 1190.
constexpr int kSpdif1 = 0, kBluetooth = 1, kHdmi1 = 2, kHdmi2 = 3, kHdmi3 = 4, kHdmi4 = 5, kAux = 6, kAux2 = 7,
              kSpdif2 = 8;

class MusicInputTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }

    CDialogMusicInput* Show() {
        auto* dialog = qobject_cast<CDialogMusicInput*>(app->ShowToolDialog(tmpl::MusicInput));
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    static int CheckedCount(CDialogMusicInput* d) {
        int n = 0;
        for (int i = 0; i < CDialogMusicInput::kInputCount; ++i)
            n += d->Radio(i)->isChecked() ? 1 : 0;
        return n;
    }

    static bool RowEnabled(CDialogMusicInput* d, int index) {
        const bool radio = d->Radio(index)->isEnabled();
        EXPECT_EQ(d->LevelSlider(index)->IsSliderEnabled(), radio) << index;
        EXPECT_EQ(d->LevelText(index)->isEnabled(), radio) << index;
        return radio;
    }
};

TEST_F(MusicInputTest, TheSourceAndTheHdmiPortCheckTheirRadio) {
    Store().Set(fields::musicSource, 2);
    Store().Set(fields::hdmiInput, 1);
    CDialogMusicInput* d = Show();
    EXPECT_TRUE(d->Radio(kHdmi2)->isChecked());
    EXPECT_EQ(CheckedCount(d), 1);

    // AUX2 is the hidden radio: no visible one reads as chosen.
    Store().Set(fields::musicSource, 5);
    d->RefreshFromStore();
    EXPECT_TRUE(d->Radio(kAux2)->isChecked());
    EXPECT_FALSE(d->Radio(kAux2)->isVisible());
    EXPECT_EQ(CheckedCount(d), 1);

    for (const auto& [source, index] : {std::pair{0, kSpdif1}, {1, kSpdif2}, {3, kBluetooth}, {4, kAux}}) {
        Store().Set(fields::musicSource, source);
        d->RefreshFromStore();
        EXPECT_TRUE(d->Radio(index)->isChecked()) << source;
    }
    // A source the dialog does not know leaves the choice alone.
    Store().Set(fields::musicSource, 9);
    d->RefreshFromStore();
    EXPECT_TRUE(d->Radio(kAux)->isChecked());
}

// hdmiInput is a raw byte from the processor or a mode file: 4, 5 and 6 used to check AUX, AUX2 and
// SPDIF2 and 7 or more indexed past the nine radios.
TEST_F(MusicInputTest, AnHdmiPortOutsideOneToFourKeepsThePreviousRadio) {
    Store().Set(fields::musicSource, 3);
    CDialogMusicInput* d = Show();
    ASSERT_TRUE(d->Radio(kBluetooth)->isChecked());
    for (int32_t bad : {4, 5, 6, 7, 255, -1, 0x7FFFFFFF}) {
        Store().Set(fields::musicSource, 2);
        Store().Set(fields::hdmiInput, bad);
        d->RefreshFromStore();
        EXPECT_TRUE(d->Radio(kBluetooth)->isChecked()) << bad;
        EXPECT_EQ(CheckedCount(d), 1) << bad;
        EXPECT_EQ(d->RadioIndex(), kBluetooth) << bad;
    }
    Store().Set(fields::hdmiInput, 3);
    d->RefreshFromStore();
    EXPECT_TRUE(d->Radio(kHdmi4)->isChecked());
}

TEST_F(MusicInputTest, LevelsAreShownClampedWhileTheirTextsShowTheStore) {
    Store().Set(fields::hdmi3Volume, 140);
    Store().Set(fields::btVolume, -5);
    Store().Set(fields::aux2Volume, 33);
    CDialogMusicInput* d = Show();
    EXPECT_EQ(d->LevelSlider(kHdmi3)->GetSliderPos(), 100);
    EXPECT_EQ(d->LevelText(kHdmi3)->text(), QStringLiteral("140%"));
    EXPECT_EQ(d->LevelSlider(kBluetooth)->GetSliderPos(), 0);
    EXPECT_EQ(d->LevelText(kBluetooth)->text(), QStringLiteral("-5%"));
    // The hidden AUX2 row is kept current too.
    EXPECT_EQ(d->LevelSlider(kAux2)->GetSliderPos(), 33);
    EXPECT_EQ(d->LevelText(kAux2)->text(), QStringLiteral("33%"));
}

TEST_F(MusicInputTest, AKiwanHasOnlyTheAndroidBoardAndHdmi) {
    Store().SetModuleName("kIWAN"); // module names compare without letter case
    CDialogMusicInput* d = Show();
    EXPECT_EQ(d->Radio(kHdmi1)->text(), QStringLiteral("Android"));
    EXPECT_EQ(d->Radio(kHdmi2)->text(), QStringLiteral("HDMI1"));
    EXPECT_EQ(d->Radio(kHdmi3)->text(), QStringLiteral("HDMI2"));
    EXPECT_EQ(d->Radio(kHdmi4)->text(), QStringLiteral("HDMI3"));
    for (int i : {kHdmi1, kHdmi2, kHdmi3, kHdmi4})
        EXPECT_TRUE(RowEnabled(d, i)) << i;
    for (int i : {kSpdif1, kSpdif2, kBluetooth, kAux})
        EXPECT_FALSE(RowEnabled(d, i)) << i;
}

TEST_F(MusicInputTest, ALunetHasNoHdmiAndCallsBluetoothAndroid) {
    Store().SetModuleName("Lunet");
    CDialogMusicInput* d = Show();
    for (int i : {kHdmi1, kHdmi2, kHdmi3, kHdmi4})
        EXPECT_FALSE(RowEnabled(d, i)) << i;
    for (int i : {kSpdif1, kSpdif2, kBluetooth, kAux})
        EXPECT_TRUE(RowEnabled(d, i)) << i;
    EXPECT_EQ(d->Radio(kBluetooth)->text(), QStringLiteral("Android"));
    EXPECT_EQ(d->Radio(kHdmi1)->text(), QStringLiteral("HDMI1"));
    app->ToggleLanguage();
    EXPECT_EQ(d->Radio(kBluetooth)->text(), QStringLiteral("Android"));
}

TEST_F(MusicInputTest, ModelTextsFollowTheLanguageAndAProcessorThatArrivesLater) {
    CDialogMusicInput* d = Show();
    EXPECT_EQ(d->Radio(kHdmi1)->text(), QStringLiteral("HDMI1"));
    EXPECT_EQ(d->Radio(kBluetooth)->text(), QString::fromUtf8("蓝牙"));
    EXPECT_EQ(d->Radio(kSpdif1)->text(), QString::fromUtf8("光纤1"));
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("音源设置"));

    // A Pemba synchronised while the dialog is open: the refresh after read-all renames the ports.
    Store().SetModuleName("PEMBA");
    View()->RefreshAllViews();
    EXPECT_EQ(d->Radio(kHdmi1)->text(), QStringLiteral("Android"));
    EXPECT_EQ(d->Radio(kHdmi4)->text(), QStringLiteral("HDMI3"));

    app->ToggleLanguage();
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Music source setting"));
    EXPECT_EQ(d->Radio(kBluetooth)->text(), QStringLiteral("Bluetooth"));
    EXPECT_EQ(d->Radio(kSpdif1)->text(), QStringLiteral("SPDIF1"));
    EXPECT_EQ(d->Radio(kAux)->text(), QStringLiteral("AUX"));
    EXPECT_EQ(d->Radio(kHdmi1)->text(), QStringLiteral("Android")); // the same in both languages
    app->ToggleLanguage();
    EXPECT_EQ(d->Radio(kBluetooth)->text(), QString::fromUtf8("蓝牙"));
    EXPECT_EQ(d->Radio(kAux)->text(), QString::fromUtf8("莲花"));
}

TEST_F(MusicInputTest, EnterAndEscapeOnlyPutTheDialogAway) {
    CDialogMusicInput* d = Show();
    QTest::keyClick(d, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(app->ToolDialog(tmpl::MusicInput), d);

    // The next command shows the same window, refreshed.
    Store().Set(fields::hdmiVolume, 42);
    EXPECT_EQ(Show(), d);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->LevelSlider(kHdmi1)->GetSliderPos(), 42);
    d->LevelSlider(kHdmi1)->setFocus();
    QTest::keyClick(d->LevelSlider(kHdmi1), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(app->ToolDialog(tmpl::MusicInput), d);
}

TEST_F(MusicInputTest, TheWheelMovesTheFocusedSliderOnlyWhileThePointerIsOverIt) {
    CDialogMusicInput* d = Show();
    CXBmpSlider* focused = d->LevelSlider(kAux);
    focused->SetSliderPos(50);
    focused->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return focused->hasFocus(); }, 1000));
    // Over another slider, and over a text (a text takes no wheel: the dialog gets the turn).
    const auto turn = [](QWidget* receiver, QPointF at) {
        QWheelEvent wheel(at, receiver->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(receiver, &wheel);
    };
    CXBmpSlider* other = d->LevelSlider(kSpdif1);
    turn(other, QPointF(other->width() / 2.0, other->height() / 2.0));
    turn(d, d->LevelText(kHdmi2)->geometry().center());
    EXPECT_EQ(focused->GetSliderPos(), 50);
    EXPECT_EQ(d->LevelSlider(kSpdif1)->GetSliderPos(), 0);
    turn(focused, QPointF(focused->width() / 2.0, focused->height() / 2.0));
    EXPECT_EQ(focused->GetSliderPos(), 51);
    EXPECT_EQ(Store().Get(fields::auxVolume), 51);
}

class MusicInputWireTest : public PagesSimTest {};

TEST_F(MusicInputWireTest, ChoosingAnHdmiPortSendsThePortThenTheSource) {
    StartConnected();
    Store().Set(fields::musicSource, 2);
    Store().Set(fields::hdmiInput, 1);
    auto* d = qobject_cast<CDialogMusicInput*>(app->ShowToolDialog(tmpl::MusicInput));
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(d->Radio(kHdmi2)->isChecked());
    host->ClearReceived();

    QTest::mouseClick(d->Radio(kHdmi3), Qt::LeftButton);
    EXPECT_TRUE(d->Radio(kHdmi3)->isChecked());
    EXPECT_EQ(HexList(WaitForWrites(2)), HexList({Hex("09 00 04 21 01 00000002"), Hex("09 00 04 17 01 00000002")}));
    EXPECT_EQ(Store().Get(fields::hdmiInput), 2);

    // Any other input sends its source alone.
    host->ClearReceived();
    QTest::mouseClick(d->Radio(kSpdif2), Qt::LeftButton);
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({Hex("09 00 04 17 01 00000001")}));
    EXPECT_EQ(Store().Get(fields::hdmiInput), 2);
    EXPECT_EQ(d->RadioIndex(), kSpdif2);
}

TEST_F(MusicInputWireTest, ALevelSliderStoresAndSendsItsInputsLevel) {
    StartConnected();
    auto* d = qobject_cast<CDialogMusicInput*>(app->ShowToolDialog(tmpl::MusicInput));
    ASSERT_NE(d, nullptr);
    host->ClearReceived();
    MoveSlider(d->LevelSlider(kHdmi3), 55);
    EXPECT_EQ(d->LevelText(kHdmi3)->text(), QStringLiteral("55%"));
    EXPECT_EQ(Store().Get(fields::hdmi3Volume), 55);
    // 4/28, 0.55 as a float
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({Hex("09 00 04 1C 01 3F0CCCCD")}));
}

} // namespace
} // namespace orvex::test
