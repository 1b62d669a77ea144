#include "support/PagesFixture.h"

#include "editors/input/DialogMusic.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/RecordingSender.h"
#include "shell/ControlIds.h"
#include "shell/EditHistory.h"
#include "widgets/EqPanel.h"
#include "widgets/EqSection.h"
#include "widgets/XBmpSlider.h"

#include <QPushButton>
#include <QWindow>

#include <algorithm>

namespace orvex::test {
namespace {

// Undo on the editing pages against the simulated processor: what goes out is what a hand edit of the
// same values sends.
class UndoWireTest : public PagesSimTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        StartConnected();
        page = OpenPage<CDialogMusic>(PageKind::Music);
        ASSERT_NE(page, nullptr);
        page->window()->resize(1300, 900);
        QCoreApplication::processEvents();
        page->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == page->window(); }, 2000));
        WaitForLinkIdle();
    }

    QWindow* Window() const { return page->window()->windowHandle(); }
    QPoint InWindow(const QWidget* widget, QPoint at) const { return widget->mapTo(page->window(), at); }

    // What the setters send for these bands of `identity`, from a store that holds them.
    static std::vector<std::string> HandEdit(int identity, const std::vector<std::pair<int, EqBand>>& bands) {
        ParameterStore store;
        RecordingSender sent;
        CommandEncoder commands(store, sent);
        EqSender eq(store, commands);
        for (const auto& [band, value] : bands)
            eq.SetPathBand(identity, band, value);
        std::vector<std::string> out;
        for (const auto& body : sent.Bodies())
            out.push_back(ToHex(body));
        std::sort(out.begin(), out.end());
        return out;
    }

    std::vector<std::string> SortedWrites() {
        std::vector<std::string> out = HexList(SettledWrites());
        std::sort(out.begin(), out.end());
        return out;
    }

    CDialogMusic* page = nullptr;
};

TEST_F(UndoWireTest, ADraggedBandUndoesToTheBytesOfItsStartAndRedoesToWhereItWasLetGo) {
    const int band = 3;
    const EqBand start = Store().GetEqPathBand(eqid::MicA, band);
    const std::size_t entries = app->History().Journal().Entries().size(); // the read's boundary
    CEqPanel* panel = page->Eq()->Panel();
    const EqPanelBand b = panel->Band(band);
    const QPoint from = InWindow(panel, panel->PlotRect().topLeft() + QPoint(qRound(b.markerX), qRound(b.markerY)));
    // As the window system delivers a drag: to the window, which hands it to the graph.
    QTest::mousePress(Window(), Qt::LeftButton, {}, from);
    for (int step = 1; step <= 6; ++step)
        QTest::mouseMove(Window(), from + QPoint(10 * step, -4 * step));
    QTest::mouseRelease(Window(), Qt::LeftButton, {}, from + QPoint(60, -24));
    QCoreApplication::processEvents();
    const EqBand end = Store().GetEqPathBand(eqid::MicA, band);
    ASSERT_NE(end, start);
    ASSERT_EQ(app->History().Journal().Entries().size(), entries + 1);
    WaitForLinkIdle();

    host->ClearReceived();
    QTest::keyClick(Window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Store().GetEqPathBand(eqid::MicA, band), start);
    EXPECT_EQ(SortedWrites(), HandEdit(eqid::MicA, {{band, start}}));
    // The page draws the band where it is again.
    EXPECT_EQ(panel->Band(band).freqHz, static_cast<float>(start.freqHz));

    host->ClearReceived();
    QTest::keyClick(Window(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Store().GetEqPathBand(eqid::MicA, band), end);
    EXPECT_EQ(SortedWrites(), HandEdit(eqid::MicA, {{band, end}}));
}

TEST_F(UndoWireTest, AResetOfThePagesEqualiserIsOneActionAndUndoSendsEveryBandBack) {
    // Two bands away from flat, set as a page would before the reset.
    const EqBand raised{6.0f, 125, 2.0f, 1};
    const EqBand cut{-4.5f, 2000, 1.0f, 1};
    app->Session().Eq().SetPathBand(eqid::MicA, 2, raised);
    app->Session().Eq().SetPathBand(eqid::MicA, 6, cut);
    app->View()->RefreshAllViews();
    WaitForLinkIdle();
    const std::size_t entries = app->History().Journal().Entries().size();

    const int bands = EqPathForIdentity(eqid::MicA).bandCount;
    std::vector<EqBand> before;
    for (int b = 0; b < bands; ++b)
        before.push_back(Store().GetEqPathBand(eqid::MicA, b));
    QPushButton* reset = nullptr;
    for (QPushButton* button : Frame()->findChildren<QPushButton*>()) {
        if (CtrlId(button) == cmd::EqReset)
            reset = button;
    }
    ASSERT_NE(reset, nullptr);
    QTest::mouseClick(Window(), Qt::LeftButton, {}, InWindow(reset, reset->rect().center()));
    QCoreApplication::processEvents();
    ASSERT_NE(Store().GetEqPathBand(eqid::MicA, 2), raised);
    ASSERT_EQ(app->History().Journal().Entries().size(), entries + 1);
    WaitForLinkIdle();

    // Every band the reset moved goes back, each as its own hand edit would send it.
    std::vector<std::pair<int, EqBand>> moved;
    for (int b = 0; b < bands; ++b) {
        if (Store().GetEqPathBand(eqid::MicA, b) != before[static_cast<size_t>(b)])
            moved.emplace_back(b, before[static_cast<size_t>(b)]);
    }
    ASSERT_GE(moved.size(), 2u);
    host->ClearReceived();
    EXPECT_TRUE(app->History().Undo());
    EXPECT_EQ(Store().GetEqPathBand(eqid::MicA, 2), raised);
    EXPECT_EQ(Store().GetEqPathBand(eqid::MicA, 6), cut);
    EXPECT_EQ(SortedWrites(), HandEdit(eqid::MicA, moved));
}

TEST_F(UndoWireTest, AChangeTheProcessorMakesByItselfEndsTheHistoryAndTheWindowsShowIt) {
    CXBmpSlider* volume = page->VolumeSlider(0);
    const int start = Store().Get(fields::micVolume, 0);
    volume->setFocus();
    QTest::keyClick(Window(), Qt::Key_Right);
    QCoreApplication::processEvents();
    ASSERT_NE(Store().Get(fields::micVolume, 0), start);
    ASSERT_TRUE(app->History().CanUndo());
    WaitForLinkIdle();

    // Its own remote sets mic 1 to 55: a value nobody asked for.
    host->ClearReceived();
    host->SendUnsolicited(Hex("0A 00 01 04 01 3F0CCCCD"));
    ASSERT_TRUE(PumpUntil([&] { return Store().Get(fields::micVolume, 0) == 55; }, 2000));
    ASSERT_TRUE(PumpUntil([&] { return !app->History().CanUndo(); }, 2000));
    const JournalEntry& last = app->History().Journal().Entries().back();
    EXPECT_EQ(last.kind, JournalEntry::Kind::Boundary);
    EXPECT_EQ(last.text.en, "The processor changed a setting");
    EXPECT_EQ(volume->GetSliderPos(), 55);
    // Ctrl+Z has nothing to take back, so nothing goes out.
    QTest::keyClick(Window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Store().Get(fields::micVolume, 0), 55);
    EXPECT_TRUE(SettledWrites().empty());
}

} // namespace
} // namespace orvex::test
