#include "support/PagesFixture.h"

#include "model/EditJournal.h"
#include "shell/EditHistory.h"
#include "widgets/EqPanel.h"
#include "widgets/EqSection.h"
#include "widgets/XBmpSlider.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <string>

namespace orvex::test {
namespace {

// Every control of every editing page, edited as the user would (a key on a slider or a list, a click
// on a switch), then undone and redone with the keys: the store comes back unit for unit, and the
// processor ends up holding exactly what it held before the edit, and after it again.
class UndoSweepTest : public PagesSimTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        StartConnected();
        Frame()->resize(1300, 900);
        Frame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == Frame(); }, 2000));
        WaitForLinkIdle();
        // Each edit is an action of its own: the history's clock moves a second at every look.
        app->History().SetClock(
            [t = std::chrono::steady_clock::now()]() mutable { return t += std::chrono::seconds(1); });
    }

    QWindow* Window() const { return Frame()->windowHandle(); }

    // The controls of the page that edit: sliders, lists, and buttons that stay down or come up.
    static std::vector<QWidget*> Editors(CPage* page) {
        std::vector<QWidget*> out;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(page) || !w->isEnabled())
                continue;
            const auto* button = qobject_cast<QAbstractButton*>(w);
            const auto* combo = qobject_cast<QComboBox*>(w);
            if (qobject_cast<CXBmpSlider*>(w) || (combo && !combo->isEditable() && combo->count() > 1) ||
                (button && button->isCheckable()))
                out.push_back(w);
        }
        return out;
    }

    static std::string Name(const QWidget* w) {
        return std::string(w->metaObject()->className()) + " '" + w->objectName().toStdString() + "' at " +
               std::to_string(w->mapTo(w->window(), QPoint()).x()) + "," +
               std::to_string(w->mapTo(w->window(), QPoint()).y());
    }

    // One edit of the control, as the keyboard or the mouse makes it, through the window.
    void Edit(QWidget* w) {
        if (auto* slider = qobject_cast<CXBmpSlider*>(w)) {
            slider->setFocus();
            const bool atTop = slider->GetSliderPos() >= slider->GetSliderMax();
            QTest::keyClick(Window(), atTop ? Qt::Key_Left : Qt::Key_Right);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            combo->setFocus();
            QTest::keyClick(Window(), combo->currentIndex() + 1 < combo->count() ? Qt::Key_Down : Qt::Key_Up);
        } else {
            QTest::mouseClick(Window(), Qt::LeftButton, {}, w->mapTo(Frame(), w->rect().center()));
        }
        QCoreApplication::processEvents();
    }

    // One edit made by `edit`, then Ctrl+Z, Ctrl+Shift+Z and Ctrl+Z again: each time the store and the
    // processor hold what they held before the edit, or after it. True when the edit changed the store.
    bool Cycle(const std::string& name, const std::function<void()>& edit) {
        WaitForLinkIdle();
        const StoreImage before = StoreImage::Take(Store());
        const auto memoryBefore = model->Memory();
        const size_t current = app->History().Journal().Current();
        edit();
        QCoreApplication::processEvents();
        WaitForLinkIdle();
        const StoreImage after = StoreImage::Take(Store());
        if (DiffStoreImages(before, after).empty())
            return false;
        const auto memoryAfter = model->Memory();
        // A redo left by the control before is dropped by this new action.
        EXPECT_EQ(app->History().Journal().Entries().size(), current + 1) << name;
        EXPECT_TRUE(app->History().CanUndo()) << name;

        QTest::keyClick(Window(), Qt::Key_Z, Qt::ControlModifier);
        WaitForLinkIdle();
        EXPECT_TRUE(DiffStoreImages(before, StoreImage::Take(Store())).empty()) << "undo of " << name;
        EXPECT_TRUE(model->Memory() == memoryBefore) << "the processor after the undo of " << name;

        QTest::keyClick(Window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        WaitForLinkIdle();
        EXPECT_TRUE(DiffStoreImages(after, StoreImage::Take(Store())).empty()) << "redo of " << name;
        EXPECT_TRUE(model->Memory() == memoryAfter) << "the processor after the redo of " << name;

        // Back to where the page began, so that every control is tried from the same start.
        QTest::keyClick(Window(), Qt::Key_Z, Qt::ControlModifier);
        WaitForLinkIdle();
        EXPECT_TRUE(model->Memory() == memoryBefore) << "the processor after the second undo of " << name;
        return true;
    }

    // Edits, undoes and redoes every control of the page shown for `kind`/`argument`, and every band
    // of its equaliser with the graph's keys; returns how many edits changed the store.
    int Sweep(PageKind kind, int argument) {
        CPage* page = OpenPage<CPage>(kind, argument);
        if (page == nullptr)
            return 0;
        int edited = 0;
        std::vector<QPointer<QWidget>> editors;
        for (QWidget* w : Editors(page))
            editors.emplace_back(w);
        for (const QPointer<QWidget>& w : editors) {
            if (!w || !w->isEnabled() || !w->isVisible())
                continue;
            const std::string name = Name(w);
            if (Cycle(name, [&] { Edit(w); }))
                ++edited;
            if (View()->CurrentPage() != page) {
                // A control that leads to another page: what is left of this one is gone.
                break;
            }
        }
        if (auto* section = page->findChild<CEqSection*>(); section && section->isVisible()) {
            CEqPanel* panel = section->Panel();
            const int bands = std::min(10, panel->BandCount());
            for (int band = 0; band < bands; ++band) {
                // Ctrl with the band's number picks it, as on the main window; the graph then has the keys.
                QTest::keyClick(Window(), band == 9 ? Qt::Key_0 : static_cast<Qt::Key>(Qt::Key_1 + band),
                                Qt::ControlModifier);
                panel->setFocus();
                for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Right, Qt::Key_Plus, Qt::Key_Period}) {
                    const std::string name = "band " + std::to_string(band + 1) + " key " + std::to_string(key);
                    if (Cycle(name, [&] { QTest::keyClick(Window(), key); }))
                        ++edited;
                    // Undo and redo draw the path again: the band stays picked, so its keys go on working.
                    EXPECT_EQ(section->SelectedBand(), band) << name;
                }
            }
        }
        return edited;
    }
};

TEST_F(UndoSweepTest, EveryControlOfTheMicAndMusicPagesUndoesAndRedoesOnTheProcessor) {
    int edited = 0;
    for (int view = 0; view < 3; ++view) {
        View()->SwitchToPage(PageKind::Music);
        View()->CurrentPage()->SetChannelView(view);
        View()->CurrentPage()->RefreshFromStore();
        edited += Sweep(PageKind::Music, -1);
    }
    EXPECT_GE(edited, 120); // 9 controls and 30 band keys in each of the three views
}

TEST_F(UndoSweepTest, EveryControlOfTheEffectsPagesUndoesAndRedoesOnTheProcessor) {
    int edited = 0;
    for (int kind = 0; kind < 4; ++kind)
        edited += Sweep(PageKind::Efx, kind);
    EXPECT_GE(edited, 100); // the seven bands' keys of each effect
}

TEST_F(UndoSweepTest, EveryControlOfAnOutputChannelUndoesAndRedoesOnTheProcessor) {
    EXPECT_GE(Sweep(PageKind::Output, 2), 70);
}

TEST_F(UndoSweepTest, EveryControlOfTheDelaySurroundAndCompressorPagesUndoesAndRedoesOnTheProcessor) {
    EXPECT_GE(Sweep(PageKind::Delay, -1), 30);
    EXPECT_GE(Sweep(PageKind::Ssvc, -1), 8);
    EXPECT_GE(Sweep(PageKind::Comp, -1), 4);
}

} // namespace
} // namespace orvex::test
