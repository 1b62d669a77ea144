#include "shell/IpAddressCtrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QVBoxLayout>

#include <string>

namespace orvex::test {
namespace {

// The address field in a window of its own, typed into as the keyboard would: every key goes to
// whichever part has the focus.
class IpAddressCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        control = new CIpAddressCtrl(&window);
        layout->addWidget(control);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void Type(const QString& text) {
        // A null widget sends each key to the focus window's focused widget.
        QTest::keyClicks(static_cast<QWidget*>(nullptr), text);
        QApplication::processEvents();
    }

    // The four parts as the control shows them, empty ones included.
    std::string Parts() const {
        QStringList parts;
        for (int i = 0; i < 4; ++i)
            parts << control->Field(i)->text();
        return parts.join(QStringLiteral(" . ")).toStdString();
    }

    QWidget window;
    CIpAddressCtrl* control = nullptr;
};

// Clearing the first part of the proposed address and typing "127.0.0.1" gave "127 . 0 . 0 . 01":
// the "." after "127" moved on a second time, one part past where the caret already was.
TEST_F(IpAddressCtrlTest, TypingOverThePrefilledAddressAfterClearingTheFirstPart) {
    ASSERT_TRUE(control->SetAddress(QStringLiteral("127.168.1.100")));
    control->Field(0)->setFocus();
    control->Field(0)->clear();
    Type(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Parts(), "127 . 0 . 0 . 1");
    EXPECT_EQ(control->Address(), QStringLiteral("127.0.0.1"));
}

TEST_F(IpAddressCtrlTest, TypingIntoAnEmptyControl) {
    control->Field(0)->setFocus();
    Type(QStringLiteral("127.168.1.20"));
    EXPECT_EQ(Parts(), "127 . 168 . 1 . 20");
    EXPECT_EQ(control->Address(), QStringLiteral("127.168.1.20"));
}

TEST_F(IpAddressCtrlTest, TypingOverTheWholePrefilledAddress) {
    ASSERT_TRUE(control->SetAddress(QStringLiteral("127.168.1.100")));
    control->Field(0)->setFocus();
    control->Field(0)->selectAll();
    Type(QStringLiteral("127.0.10.254"));
    EXPECT_EQ(control->Address(), QStringLiteral("127.0.10.254"));
}

TEST_F(IpAddressCtrlTest, ADotMovesOnOnlyOnceAndNotPastTheLastPart) {
    control->Field(0)->setFocus();
    // A "." in a part the caret was not moved into automatically still moves on, even an empty one.
    Type(QStringLiteral(".."));
    EXPECT_TRUE(control->Field(2)->hasFocus());
    Type(QStringLiteral("255"));
    EXPECT_TRUE(control->Field(3)->hasFocus());
    // Another key after the automatic move: the next "." is a separator of its own again.
    Type(QStringLiteral("7"));
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Backspace);
    Type(QStringLiteral("."));
    EXPECT_TRUE(control->Field(3)->hasFocus()); // nowhere to go after the last part
    Type(QStringLiteral("3."));
    EXPECT_EQ(Parts(), " .  . 255 . 3");
    EXPECT_EQ(control->Address(), QStringLiteral("0.0.255.3"));
}

} // namespace
} // namespace orvex::test
