#include "support/PagesFixture.h"

#include "editors/output/DelayDlg.h"
#include "widgets/DelayPanel.h"
#include "widgets/GdipButton.h"
#include "model/EqPaths.h"
#include "shell/Relabel.h"

#include <QCheckBox>
#include <QImage>
#include <QPixmap>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <limits>

namespace orvex::test {
namespace {

// Output channel k's delay write: cmd 5 + k, sub 18, the delay as samples at 48 kHz.
std::vector<uint8_t> DelayWrite(int channel, int samples) {
    char word[12];
    std::snprintf(word, sizeof word, "%08X", static_cast<unsigned>(samples));
    return ParamWrite(static_cast<uint8_t>(5 + channel), 0x12, {word});
}

// A memory write of one band record: 85, address (record x 7), 7, gain code 150 (0 dB), frequency,
// Q 707, type.
std::string SplitRecordWrite(int channel, int band, int hz, int type) {
    const int address = (OutputChannelFirstRecord(channel) + band) * 7;
    char text[64];
    std::snprintf(text, sizeof text, "85 %02X %02X 07 00 96 %02X %02X 02 C3 %02X", address >> 8, address & 0xFF,
                  hz >> 8, hz & 0xFF, type);
    return text;
}

void SetSplitFrequency(ParameterStore& store, int channel, int hz) {
    const int record = OutputChannelFirstRecord(channel) + kOutputSplitHighPassBand;
    EqBand band = store.GetEqBand(record);
    band.freqHz = hz;
    store.SetEqBand(record, band);
}

void TypeDelay(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Presses on channel k's marker and drags the pointer to x.
void DragMarker(CDelayPanel* panel, int channel, int x) {
    const QPoint start(panel->MarkerX(channel) + CDelayPanel::MarkerSize().width() / 2,
                       (panel->RowTop(channel) + panel->RowTop(channel + 1)) / 2);
    QTest::mousePress(panel, Qt::LeftButton, {}, start);
    QTest::mouseMove(panel, QPoint(x, start.y()));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(x, start.y()));
}

template <class T>
T* FindById(QWidget* parent, int id) {
    for (T* w : parent->findChildren<T*>()) {
        if (CtrlId(w) == id)
            return w;
    }
    return nullptr;
}

class DelayPageTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }
};

TEST_F(DelayPageTest, OpensWithEveryRowAsTheStoreHoldsIt) {
    Store().Set(fields::outDelayMs, 0, 12.34f);
    Store().Set(fields::outDelayMs, 1, std::numeric_limits<float>::quiet_NaN());
    Store().Set(fields::outDelayMs, 2, std::numeric_limits<float>::infinity());
    Store().Set(fields::outDelayMs, 3, 2.3f); // 2.3f x 10 is 22.99..: a truncating page showed 2.2 ms
    Store().Set(fields::outDelayOff, 4, 1);
    Store().Set(fields::outDelayMode, 5, 1);
    SetSplitFrequency(Store(), 6, 3000);
    SetSplitFrequency(Store(), 7, 777); // no pair starts there: index 0
    CDelayDlg* page = OpenPage<CDelayDlg>(PageKind::Delay);

    EXPECT_EQ(page->DelayEdit(0)->text(), QStringLiteral("12.3ms"));
    EXPECT_EQ(page->UpDownPos(0), 123);
    EXPECT_EQ(page->DelayEdit(1)->text(), QStringLiteral("1.5ms"));
    EXPECT_EQ(page->UpDownPos(1), 15);
    EXPECT_EQ(page->DelayEdit(2)->text(), QStringLiteral("100.0ms"));
    EXPECT_EQ(page->UpDownPos(2), 1000);
    EXPECT_EQ(page->UpDownPos(3), 23);
    EXPECT_EQ(page->DelayEdit(3)->text(), QStringLiteral("2.3ms"));
    EXPECT_FLOAT_EQ(page->Panel()->ChannelDelay(1), 1.5f);
    EXPECT_FLOAT_EQ(page->Panel()->ChannelDelay(2), 100.0f);

    // Switched off: everything but the switch is disabled.
    EXPECT_FALSE(page->OnOff(4)->isChecked());
    EXPECT_FALSE(page->DelayEdit(4)->isEnabled());
    EXPECT_FALSE(page->HighFreq(4)->isEnabled());
    EXPECT_FALSE(page->SplitSlider(4)->IsSliderEnabled());
    // Whole-channel delay: the split has nothing to do.
    EXPECT_TRUE(page->WholeChannel(5)->isChecked());
    EXPECT_TRUE(page->DelayEdit(5)->isEnabled());
    EXPECT_FALSE(page->SplitSlider(5)->IsSliderEnabled());
    EXPECT_FALSE(page->SplitLabel(5)->isEnabled());
    EXPECT_TRUE(page->SplitSlider(0)->IsSliderEnabled());

    EXPECT_EQ(page->SplitSlider(6)->GetSliderPos(), 25);
    EXPECT_EQ(page->SplitLabel(6)->text(), QStringLiteral("3500Hz"));
    EXPECT_EQ(page->SplitSlider(7)->GetSliderPos(), 0);
    EXPECT_EQ(page->SplitLabel(7)->text(), QStringLiteral("1000Hz"));

    auto* delayTab = FindById<CGdipButton>(page, 1074);
    ASSERT_NE(delayTab, nullptr);
    EXPECT_TRUE(delayTab->IsAlternate());
}

TEST_F(DelayPageTest, KeepsEveryTabOfTheOutputAreaAndItsOwnTabDoesNothing) {
    CDelayDlg* page = OpenPage<CDelayDlg>(PageKind::Delay);
    for (int id : {1069, 1072, 1070, 1071, 1076, 1077, 1078, 1079, 1073, 1074, 1075})
        EXPECT_NE(FindById<CGdipButton>(page, id), nullptr) << id;
    QTest::mouseClick(FindById<CGdipButton>(page, 1074), Qt::LeftButton);
    EXPECT_EQ(View()->CurrentPage(), page);
    QTest::mouseClick(FindById<CGdipButton>(page, 1078), Qt::LeftButton);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Output);
    EXPECT_EQ(View()->CurrentPage()->OutputChannel(), 6);
    EXPECT_EQ(View()->OutputChannel(), 0);
}

TEST_F(DelayPageTest, RelabelsFromTheTablesInBothLanguages) {
    CDelayDlg* page = OpenPage<CDelayDlg>(PageKind::Delay);
    EXPECT_EQ(page->HighFreq(0)->text(), QString::fromUtf8("高频延时"));
    EXPECT_EQ(page->OnOff(7)->text(), QString::fromUtf8("开关"));
    EXPECT_EQ(FindById<QLabel>(page, 1136)->text(), QString::fromUtf8("通道8"));
    LoadEmbeddedLabelTable(1);
    page->Relabel();
    EXPECT_EQ(page->WholeChannel(3)->text(), QStringLiteral("Channel"));
    EXPECT_EQ(FindById<QLabel>(page, 1131)->text(), QStringLiteral("CH 5"));
    EXPECT_EQ(FindById<CGdipButton>(page, 1075)->text(), QStringLiteral("Comp"));
    LoadEmbeddedLabelTable(0);
}

TEST_F(DelayPageTest, WheelAndArrowKeysStepTheFocusedDelay) {
    Store().Set(fields::outDelayMs, 5, 10.0f);
    Store().Set(fields::outDelayMs, 4, 10.0f);
    CDelayDlg* page = OpenPage<CDelayDlg>(PageKind::Delay);
    page->DelayEdit(5)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->DelayEdit(5)->hasFocus(); }, 1000));
    const auto turn = [](QWidget* receiver, QPointF at) {
        QWheelEvent up(at, receiver->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(receiver, &up);
    };
    // Over the graph or another delay's edit the turn changes nothing; over the focused edit it steps.
    turn(page, page->Panel()->geometry().center());
    turn(page->DelayEdit(4), page->DelayEdit(4)->rect().center());
    EXPECT_EQ(page->DelayEdit(5)->text(), QStringLiteral("10.0ms"));
    EXPECT_EQ(page->DelayEdit(4)->text(), QStringLiteral("10.0ms"));
    turn(page->DelayEdit(5), page->DelayEdit(5)->rect().center());
    EXPECT_EQ(page->DelayEdit(5)->text(), QStringLiteral("10.1ms"));
    EXPECT_FLOAT_EQ(Store().Get(fields::outDelayMs, 5), 10.1f);
    QTest::keyClick(page->DelayEdit(5), Qt::Key_Down);
    QTest::keyClick(page->DelayEdit(5), Qt::Key_Down);
    EXPECT_EQ(page->DelayEdit(5)->text(), QStringLiteral("9.9ms"));
    EXPECT_EQ(page->UpDownPos(5), 99);
}

// A panel narrower than its margins has a negative scale: reading a delay from it ran the division
// backwards, so a press on the left edge read 100 ms.
TEST_F(DelayPageTest, NarrowPanelReadsTheLowerLimitAndNeverNaN) {
    CDelayPanel panel;
    panel.resize(60, 200);
    EXPECT_FLOAT_EQ(panel.DelayForMarkerX(3), 1.5f);
    panel.resize(CDelayPanel::kLeft + CDelayPanel::kRight, 200); // zero width of axis
    EXPECT_FLOAT_EQ(panel.DelayForMarkerX(500), 1.5f);
    panel.resize(96 + 106 * 4, 200); // 4 pixels a millisecond
    EXPECT_FLOAT_EQ(panel.DelayForMarkerX(CDelayPanel::kLeft + 200), 50.0f);
    EXPECT_FLOAT_EQ(panel.DelayForMarkerX(10000), 100.0f);
    EXPECT_EQ(panel.XForDelay(25.0), CDelayPanel::kLeft + 100);
    panel.SetChannelDelay(3, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(panel.ChannelDelay(3), 1.5f);
}

class DelayPageSimTest : public PagesSimTest {
protected:
    CDelayDlg* OpenConnected() {
        StartConnected();
        View()->SwitchToPage(PageKind::Delay);
        auto* page = qobject_cast<CDelayDlg*>(View()->CurrentPage());
        EXPECT_NE(page, nullptr);
        host->ClearReceived();
        return page;
    }

    // The write queue merges writes to one parameter that wait together, so each step is read at the
    // host before the next.
    std::vector<std::string> Step(const std::function<void()>& action, size_t writes = 1) {
        host->ClearReceived();
        action();
        return HexList(WaitForWrites(writes));
    }
};

// Opening and refreshing only show the store: a control wired to its value signal would echo every
// row back to the processor.
TEST_F(DelayPageSimTest, OpeningAndRefreshingSendNothing) {
    StartConnected();
    Store().Set(fields::outDelayMode, 2, 1);
    SetSplitFrequency(Store(), 4, 1500);
    View()->SwitchToPage(PageKind::Delay);
    View()->CurrentPage()->RefreshFromStore();
    EXPECT_TRUE(SettledWrites().empty());
}

TEST_F(DelayPageSimTest, TypedDelaysAreHeldToOneAndAHalfToAHundredMilliseconds) {
    CDelayDlg* page = OpenConnected();
    EXPECT_EQ(Step([&] { TypeDelay(page->DelayEdit(0), QStringLiteral("20")); }), HexList({DelayWrite(0, 960)}));
    EXPECT_EQ(Step([&] { TypeDelay(page->DelayEdit(0), QStringLiteral("0.5")); }), HexList({DelayWrite(0, 72)}));
    EXPECT_FLOAT_EQ(Store().Get(fields::outDelayMs, 0), 1.5f);
    EXPECT_EQ(page->DelayEdit(0)->text(), QStringLiteral("1.5ms"));
    EXPECT_EQ(page->UpDownPos(0), 15);
    EXPECT_EQ(Step([&] { TypeDelay(page->DelayEdit(0), QStringLiteral("250")); }), HexList({DelayWrite(0, 4800)}));
    EXPECT_EQ(page->DelayEdit(0)->text(), QStringLiteral("100.0ms"));
    EXPECT_EQ(page->UpDownPos(0), 1000);
    EXPECT_EQ(Step([&] { TypeDelay(page->DelayEdit(2), QStringLiteral("12.5ms")); }), HexList({DelayWrite(2, 600)}));

    // Nothing usable typed: the stored delay comes back and nothing is sent.
    host->ClearReceived();
    TypeDelay(page->DelayEdit(2), QStringLiteral("abc"));
    EXPECT_EQ(page->DelayEdit(2)->text(), QStringLiteral("12.5ms"));
    EXPECT_TRUE(SettledWrites().empty());
}

// Stepping used the text's 1 .. 1000 tenths: down from 1.5 ms the edit showed 1.4 ms while 1.5 ms was
// stored and sent.
TEST_F(DelayPageSimTest, DownArrowAtTheMinimumStaysAtOneAndAHalf) {
    CDelayDlg* page = OpenConnected();
    // 1.6 ms = 76.8 samples.
    EXPECT_EQ(Step([&] { TypeDelay(page->DelayEdit(1), QStringLiteral("1.6")); }), HexList({DelayWrite(1, 77)}));
    EXPECT_EQ(Step([&] {
                  for (int i = 0; i < 3; ++i)
                      QTest::mouseClick(page->DownButton(1), Qt::LeftButton);
              }),
              HexList({DelayWrite(1, 72)})); // only the change goes out
    EXPECT_EQ(page->DelayEdit(1)->text(), QStringLiteral("1.5ms"));
    EXPECT_EQ(page->UpDownPos(1), 15);
    EXPECT_EQ(Step([&] { QTest::mouseClick(page->UpButton(1), Qt::LeftButton); }), HexList({DelayWrite(1, 77)}));
    EXPECT_EQ(page->DelayEdit(1)->text(), QStringLiteral("1.6ms"));
}

TEST_F(DelayPageSimTest, SplitSliderSendsBothSectionsAndShowsTheUpperFrequency) {
    CDelayDlg* page = OpenConnected();
    MoveSlider(page->SplitSlider(0), 25);
    EXPECT_EQ(page->SplitLabel(0)->text(), QStringLiteral("3500Hz"));
    std::vector<std::string> writes = HexList(WaitForWrites(4));
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0], SplitRecordWrite(0, 13, 3000, 3)); // high-pass
    EXPECT_EQ(writes[1].substr(0, 11), "09 00 05 0D");      // its coefficients to slot 13
    EXPECT_EQ(writes[2], SplitRecordWrite(0, 14, 3500, 2)); // low-pass
    EXPECT_EQ(writes[3].substr(0, 11), "09 00 05 0E");

    host->ClearReceived();
    MoveSlider(page->SplitSlider(0), 0);
    EXPECT_EQ(page->SplitLabel(0)->text(), QStringLiteral("1000Hz"));
    writes = HexList(WaitForWrites(4));
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0], SplitRecordWrite(0, 13, 500, 3));
    EXPECT_EQ(writes[2], SplitRecordWrite(0, 14, 1000, 2));
}

TEST_F(DelayPageSimTest, ModeRadiosResendTheSplitPairInTheModesTypes) {
    CDelayDlg* page = OpenConnected();
    MoveSlider(page->SplitSlider(3), 7); // 1200 / 1700 Hz
    WaitForWrites(4);
    host->ClearReceived();

    page->WholeChannel(3)->click();
    EXPECT_FALSE(page->SplitSlider(3)->IsSliderEnabled());
    EXPECT_EQ(Store().Get(fields::outDelayMode, 3), 1);
    std::vector<std::string> writes = HexList(WaitForWrites(5));
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[0], ToHex(ParamWrite(0x08, 0x11, {"3F800000", "00000000"})));
    EXPECT_EQ(writes[1], SplitRecordWrite(3, 13, 1200, 1));
    EXPECT_EQ(writes[3], SplitRecordWrite(3, 14, 1700, 1));

    host->ClearReceived();
    page->HighFreq(3)->click();
    EXPECT_TRUE(page->SplitSlider(3)->IsSliderEnabled());
    writes = HexList(WaitForWrites(5));
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[0], ToHex(ParamWrite(0x08, 0x11, {"3F800000", "3F800000"})));
    EXPECT_EQ(writes[1], SplitRecordWrite(3, 13, 1200, 3));
    EXPECT_EQ(writes[3], SplitRecordWrite(3, 14, 1700, 2));
    EXPECT_EQ(page->SplitLabel(3)->text(), QStringLiteral("1700Hz"));
}

TEST_F(DelayPageSimTest, SwitchSendsTheOffFlagAndDisablesTheRow) {
    CDelayDlg* page = OpenConnected();
    EXPECT_EQ(Step([&] { page->OnOff(6)->click(); }), HexList({ParamWrite(0x0B, 0x13, {"00000001"})}));
    EXPECT_EQ(Store().Get(fields::outDelayOff, 6), 1);
    EXPECT_FALSE(page->DelayEdit(6)->isEnabled());
    EXPECT_FALSE(page->UpButton(6)->isEnabled());
    EXPECT_EQ(Step([&] { page->OnOff(6)->click(); }), HexList({ParamWrite(0x0B, 0x13, {"00000000"})}));
    EXPECT_TRUE(page->DelayEdit(6)->isEnabled());
}

TEST_F(DelayPageSimTest, DraggingAMarkerStoresAndSendsTheDelay) {
    CDelayDlg* page = OpenConnected();
    CDelayPanel* panel = page->Panel();
    ASSERT_GT(panel->width(), 300);
    const float neighbour = Store().Get(fields::outDelayMs, 3);

    // Past the right end: held at 100 ms, and the marker sits at 100 ms, not under the pointer.
    EXPECT_EQ(Step([&] { DragMarker(panel, 4, panel->width() - 2); }), HexList({DelayWrite(4, 4800)}));
    EXPECT_FLOAT_EQ(Store().Get(fields::outDelayMs, 4), 100.0f);
    EXPECT_EQ(panel->MarkerX(4), panel->XForDelay(100.0));
    EXPECT_EQ(page->DelayEdit(4)->text(), QStringLiteral("100.0ms"));
    EXPECT_EQ(page->UpDownPos(4), 1000);
    EXPECT_EQ(page->focusWidget(), page->DelayEdit(4));

    // Into the middle: the store holds the tenth the edit shows.
    const std::vector<std::string> sent =
        Step([&] { DragMarker(panel, 4, panel->XForDelay(50.0) + CDelayPanel::MarkerSize().width() / 2); });
    const float ms = Store().Get(fields::outDelayMs, 4);
    EXPECT_NEAR(ms, 50.0f, 0.5f);
    EXPECT_EQ(page->DelayEdit(4)->text(), QString::asprintf("%.1fms", static_cast<double>(ms)));
    EXPECT_EQ(sent, HexList({DelayWrite(4, static_cast<int>(ms * 48.0f + 0.5f))}));
    EXPECT_FLOAT_EQ(Store().Get(fields::outDelayMs, 3), neighbour); // other channels untouched
}

} // namespace
} // namespace orvex::test

namespace orvex::test {
namespace {

// The label's ink: the pixel of `rect` that differs most from the background `background` (text is
// smoothed at its edges; its strokes' cores carry the pen's colour).
QColor Ink(const QImage& image, const QRect& rect, const QColor& background) {
    auto distance = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
    };
    QColor ink = background;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (distance(c, background) > distance(ink, background))
                ink = c;
        }
    }
    return ink;
}

// The row names paired the channels as the speakers stand and so took, from the third row on, the
// colour of another channel than their own marker's.
TEST(DelayGraph, EachRowsNameIsDrawnInItsOwnChannelsColour) {
    CDelayPanel panel;
    panel.resize(520, 360);
    const QImage image = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor background = image.pixelColor(2, 2);
    for (int row = 0; row < CDelayPanel::kChannelCount; ++row) {
        const QRect label = panel.LabelRect(row);
        ASSERT_TRUE(panel.rect().contains(label)) << row;
        EXPECT_EQ(Ink(image, label, background).rgb(), DelayChannelColour(row).rgb()) << row;
    }
}

} // namespace
} // namespace orvex::test
