#include "widgets/WheelFocusGuard.h"

#include "widgets/XBmpSlider.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QSlider>
#include <QSpinBox>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

// One notch up with the pointer at the middle of `over`, handed straight to `receiver` as a page
// passing the turn on does.
void Notch(QWidget* over, QWidget* receiver) {
    const QPoint global = over->mapToGlobal(over->rect().center());
    const QPointF at = receiver->mapFromGlobal(global);
    QWheelEvent wheel(at, global, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(receiver, &wheel);
}

// One notch up as the window system reports it: to the window, which hands it to the widget under the
// pointer and on up to its parents (a passing turn gives a wheel-focus box the focus on the way).
void RealNotch(QWidget* over) {
    QWidget* window = over->window();
    const QPointF local = over->mapTo(window, QPointF(over->rect().center()));
    QWheelEvent wheel(local, window->mapToGlobal(local), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::sendEvent(window->windowHandle(), &wheel);
}

class WheelFocusGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        guard = CWheelFocusGuard::Install();
        auto* layout = new QVBoxLayout(&window);
        for (int i = 0; i < 3; ++i)
            combo.addItem(QString::number(i));
        spin.setRange(0, 10);
        slider.SetSliderRange(0, 10);
        slider.setMinimumSize(120, 24);
        layout->addWidget(&combo);
        layout->addWidget(&spin);
        layout->addWidget(&slider);
        layout->addWidget(&edit);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // The other controls' tests turn the wheel over widgets without the focus.
    void TearDown() override { delete guard; }

    bool Focus(QWidget* w) {
        w->setFocus();
        return QTest::qWaitFor([&] { return w->hasFocus(); }, 1000);
    }

    CWheelFocusGuard* guard = nullptr;
    QWidget window;
    QComboBox combo{&window};
    QSpinBox spin{&window};
    CXBmpSlider slider{1000, CXBmpSlider::Orientation::Horizontal, &window};
    QLineEdit edit{&window};
};

TEST_F(WheelFocusGuardTest, AValueControlTakesTheWheelOnlyWithTheFocusAndThePointerOverIt) {
    // Combo and spin boxes would take the focus from the passing turn itself.
    ASSERT_TRUE(Focus(&edit));
    RealNotch(&combo);
    RealNotch(&spin);
    RealNotch(&slider);
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(spin.value(), 0);
    EXPECT_EQ(slider.GetSliderPos(), 0);
    EXPECT_TRUE(edit.hasFocus());

    // A turn passed on to the focused box from elsewhere is dropped.
    ASSERT_TRUE(Focus(&spin));
    Notch(&combo, &spin);
    EXPECT_EQ(spin.value(), 0);
    EXPECT_EQ(combo.currentIndex(), 0);

    ASSERT_TRUE(Focus(&slider));
    RealNotch(&slider);
    EXPECT_EQ(slider.GetSliderPos(), 1);
}

TEST_F(WheelFocusGuardTest, AMainWindowsMenuWidgetKeepsItsWheel) {
    // The ribbon (a menu widget) steps its sliders by its own rules, focused or not.
    QMainWindow main;
    auto* ribbon = new QWidget;
    auto* ribbonSlider = new QSlider(Qt::Horizontal, ribbon);
    ribbonSlider->setGeometry(0, 0, 150, 20);
    ribbon->setMinimumHeight(30);
    main.setMenuWidget(ribbon);
    main.setCentralWidget(new QWidget);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    RealNotch(ribbonSlider);
    EXPECT_GT(ribbonSlider->value(), 0);
}

} // namespace
} // namespace orvex::test
