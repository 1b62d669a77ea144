#include "support/PagesFixture.h"

#include "widgets/EqSection.h"
#include "editors/input/DialogMusic.h"
#include "editors/output/DialogOutput.h"
#include "widgets/BandStrip.h"
#include "editors/output/SSVCDlg.h"
#include "model/ParameterStore.h"
#include "model/SmartHomeTables.h"
#include "model/StoreFields.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DialogZwaveRemoter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QSpontaneKeyEvent>
#include <QWheelEvent>

#include <cstdlib>

namespace orvex::test {
namespace {

// Wheel notches with the pointer over the middle of `over`, as the window system reports them: to the
// window, which hands them to the widget under the pointer and on up to its parents.
void Wheel(QWidget* over, int notches) {
    QWidget* window = over->window();
    const QPointF local = over->mapTo(window, QPointF(over->rect().center()));
    for (int i = 0; i < std::abs(notches); ++i) {
        QWheelEvent wheel(local, window->mapToGlobal(local), QPoint(), QPoint(0, notches > 0 ? 120 : -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        QApplication::sendEvent(window->windowHandle(), &wheel);
    }
}

bool Focus(QWidget* widget) {
    widget->window()->activateWindow();
    widget->setFocus();
    return QTest::qWaitFor([&] { return widget->hasFocus(); }, 2000);
}

class WheelWireTest : public PagesSimTest {
protected:
    CDialogOutput* OpenOutput(int channel) {
        View()->SwitchToPage(PageKind::Output, channel);
        auto* page = qobject_cast<CDialogOutput*>(View()->CurrentPage());
        EXPECT_NE(page, nullptr);
        return page;
    }
};

// Three notches over CH1's role list and three over its direct-mix slider, neither focused, sent nine
// writes (for the linked CH2 too); the crossover list re-sent bands 9..12 on the pair.
TEST_F(WheelWireTest, TheOutputPagesListsAndSlidersTakeNoWheelWithoutTheFocus) {
    StartConnected();
    CDialogOutput* page = OpenOutput(0);
    ASSERT_TRUE(page->LinkBox(0)->isChecked());
    page->SelectEqBand(10); // the crossover band
    page->Eq()->Strip()->TypeRadio(1)->click();
    ASSERT_TRUE(page->Eq()->CrossoverCombo()->isVisible());
    const int family = page->Eq()->CrossoverCombo()->currentIndex();
    ASSERT_TRUE(Focus(page->Slider(1043))); // the echo mix holds the focus
    const int role = Store().Get(fields::outRole, 0);
    const int direct = Store().Get(fields::outMixDirect, 0);
    WaitForLinkIdle(); // the crossover's own sections are out before the count starts
    host->ClearReceived();

    Wheel(page->RoleCombo(0), -3);
    Wheel(page->Slider(1041), 3);
    Wheel(page->Eq()->CrossoverCombo(), -3);
    EXPECT_EQ(Store().Get(fields::outRole, 0), role);
    EXPECT_EQ(Store().Get(fields::outMixDirect, 0), direct);
    EXPECT_EQ(page->Eq()->CrossoverCombo()->currentIndex(), family);
    EXPECT_TRUE(SettledWrites().empty());

    // The focused slider takes it while the pointer is over it: one write per channel of the pair.
    const int echo = page->Slider(1043)->GetSliderPos();
    Wheel(page->Slider(1043), 1);
    EXPECT_EQ(Store().Get(fields::outMixEcho, 0), echo + 1);
    EXPECT_EQ(WaitForWrites(2).size(), 2u);
}

class WheelPageTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }
};

// Dragging Mic 1's volume and turning the wheel over Mic 2's moved Mic 1.
TEST_F(WheelPageTest, TheFocusedSliderTakesTheWheelOnlyWhileThePointerIsOverIt) {
    View()->SwitchToPage(PageKind::Music);
    auto* page = qobject_cast<CDialogMusic*>(View()->CurrentPage());
    ASSERT_NE(page, nullptr);
    CXBmpSlider* mic1 = page->VolumeSlider(0);
    CXBmpSlider* mic2 = page->VolumeSlider(1);
    MoveSlider(mic1, 50);
    ASSERT_TRUE(Focus(mic1));
    const int mic2Before = mic2->GetSliderPos();
    Wheel(mic2, 2);
    Wheel(page, 2); // over the page's own background
    EXPECT_EQ(mic1->GetSliderPos(), 50);
    EXPECT_EQ(mic2->GetSliderPos(), mic2Before);
    Wheel(mic1, 2);
    EXPECT_EQ(mic1->GetSliderPos(), 52);
}

// The room page's spin boxes moved speakers and re-sent the room record under a passing wheel.
TEST_F(WheelPageTest, TheRoomPagesSpinBoxesTurnOnlyWithTheFocus) {
    View()->SwitchToPage(PageKind::Ssvc);
    auto* page = qobject_cast<CSSVCDlg*>(View()->CurrentPage());
    ASSERT_NE(page, nullptr);
    QSpinBox* x = page->CoordSpin(2, false);
    QSpinBox* width = page->RoomSizeSpin(false);
    x->setValue(x->minimum());
    width->setValue(width->minimum());
    const int xBefore = x->value();
    const int widthBefore = width->value();
    Wheel(x, 2);
    Wheel(width, 2);
    EXPECT_EQ(x->value(), xBefore);
    EXPECT_EQ(width->value(), widthBefore);
    ASSERT_TRUE(Focus(x));
    Wheel(width, 1); // the focus does not follow the pointer
    EXPECT_EQ(width->value(), widthBefore);
    Wheel(x, 1);
    EXPECT_NE(x->value(), xBefore);
}

TEST_F(WheelWireTest, TheScenePagesSlidersTakeTheWheelOnlyWhenFocused) {
    StartConnected();
    View()->OnCommand(cmd::SmartPlug);
    auto* window = qobject_cast<CDialogHomeTheater*>(app->ToolDialog(tmpl::SmartPlug));
    ASSERT_NE(window, nullptr);
    SmartHomeTables& tables = app->Session().Link().SmartHome();
    ASSERT_TRUE(PumpUntil([&] { return tables.tablesRead.load() != 0 && !app->SyncDialog(); }, 4000));
    window->ShowPage(CDialogHomeTheater::kPageScenes);
    auto* page = qobject_cast<CDialogZwaveRemoter*>(window->Page(CDialogHomeTheater::kPageScenes));
    ASSERT_NE(page, nullptr);
    QSlider* level = page->LevelSlider();
    QSlider* delay = page->DelaySlider();
    level->setEnabled(true);
    delay->setEnabled(true);
    level->setValue(level->minimum());
    delay->setValue(delay->minimum());
    Wheel(level, 1);
    EXPECT_EQ(level->value(), level->minimum());
    ASSERT_TRUE(Focus(delay));
    Wheel(level, 1);
    EXPECT_EQ(level->value(), level->minimum());
    Wheel(delay, 1);
    EXPECT_GT(delay->value(), delay->minimum());
}

} // namespace
} // namespace orvex::test
