#include "shell/EditHistory.h"

#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/RecordingSender.h"
#include "link/StoreRestore.h"
#include "model/ParameterStore.h"
#include "shell/EditHistoryDlg.h"
#include "support/Hex.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

// A window with one slider on the mic master volume, edited through the setters as a page does, and
// the history watching it.
class EditHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.Set(fields::micMasterVolume, 75);
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        slider = new QSlider(Qt::Horizontal, window.get());
        slider->setRange(0, 100);
        slider->setValue(75);
        slider->setMinimumWidth(300);
        layout->addWidget(slider);
        button = new QPushButton(QStringLiteral("Set"), window.get());
        layout->addWidget(button);
        QObject::connect(slider, &QSlider::valueChanged,
                         [this](int value) { commands.Set(fields::micMasterVolume, value); });
        history = std::make_unique<CEditHistory>(store, [this](const std::vector<StoreUnitValue>& values) {
            RestoreStoreUnits(values, store, commands, eq);
        });
        history->SetClock([this] { return now; });
        QObject::connect(history.get(), &CEditHistory::StoreRestored, [this] {
            const QSignalBlocker quiet(slider);
            slider->setValue(store.Get(fields::micMasterVolume));
        });
        history->Watch();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        slider->setFocus();
        wire.Clear();
    }

    QWindow* Handle() const { return window->windowHandle(); }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Handle(), static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
    }

    // The mic master volume's parameter write for `value`, as the setter builds it.
    static std::string WriteOf(int value) {
        ParameterStore other;
        RecordingSender sent;
        CommandEncoder c{other, sent};
        c.Set(fields::micMasterVolume, value);
        return ToHex(sent.Bodies().at(0));
    }

    std::vector<std::string> Wire() const {
        std::vector<std::string> out;
        for (const auto& body : wire.Bodies())
            out.push_back(ToHex(body));
        return out;
    }

    ParameterStore store;
    RecordingSender wire;
    CommandEncoder commands{store, wire};
    EqSender eq{store, commands};
    std::unique_ptr<QWidget> window;
    QSlider* slider = nullptr;
    QPushButton* button = nullptr;
    std::unique_ptr<CEditHistory> history;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

TEST_F(EditHistoryTest, AKeyBurstUndoesAsOneAndTheWireCarriesExactlyTheValuesBackAndForth) {
    Key(Qt::Key_Up);
    now += 300ms;
    Key(Qt::Key_Up);
    EXPECT_EQ(store.Get(fields::micMasterVolume), 77);
    ASSERT_EQ(history->Journal().Entries().size(), 1u);
    wire.Clear();

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(store.Get(fields::micMasterVolume), 75);
    EXPECT_EQ(slider->value(), 75);
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(store.Get(fields::micMasterVolume), 77);
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Wire(), (std::vector<std::string>{WriteOf(75), WriteOf(77), WriteOf(75), WriteOf(77)}));

    // A pause longer than the burst gap starts a new action.
    now += 700ms;
    Key(Qt::Key_Up);
    EXPECT_EQ(history->Journal().Entries().size(), 2u);
    EXPECT_FALSE(history->CanRedo());
}

TEST_F(EditHistoryTest, TheChordsKeyUpNeverReachesTheKeysOwnHandler) {
    // Stands for the editor's key handler, which acts at key-up: installed before the history's.
    struct Releases : QObject {
        int z = 0;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (watched->isWindowType() && event->type() == QEvent::KeyRelease &&
                static_cast<QKeyEvent*>(event)->key() == Qt::Key_Z)
                ++z;
            return false;
        }
    } releases;
    history.reset();
    qApp->installEventFilter(&releases);
    history = std::make_unique<CEditHistory>(store, [](const std::vector<StoreUnitValue>&) {});
    history->Watch();
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(releases.z, 0);
    Key(Qt::Key_Z);
    EXPECT_EQ(releases.z, 1);
    qApp->removeEventFilter(&releases);
}

TEST_F(EditHistoryTest, ADragFromPressToReleaseIsOneAction) {
    const QPoint from = slider->mapTo(window.get(), QPoint(slider->width() * 3 / 4, slider->height() / 2));
    const QRect groove = slider->geometry();
    QTest::mousePress(Handle(), Qt::LeftButton, {}, from);
    for (int x = from.x(); x > groove.left() + groove.width() / 4; x -= 10)
        QTest::mouseMove(Handle(), QPoint(x, from.y()));
    QTest::mouseRelease(Handle(), Qt::LeftButton, {}, QPoint(groove.left() + groove.width() / 4, from.y()));
    QApplication::processEvents();
    ASSERT_NE(store.Get(fields::micMasterVolume), 75);
    ASSERT_EQ(history->Journal().Entries().size(), 1u);
    EXPECT_TRUE(history->Undo());
    EXPECT_EQ(store.Get(fields::micMasterVolume), 75);
    EXPECT_FALSE(history->CanUndo());
}

TEST_F(EditHistoryTest, AModalDialogOpenedByAClickBelongsToTheClicksAction) {
    QObject::connect(button, &QPushButton::clicked, [this] {
        QDialog dialog(window.get());
        QTimer::singleShot(20, &dialog, [&] {
            commands.Set(fields::micMasterVolume, 40); // an edit inside the dialog
            dialog.accept();
        });
        dialog.exec();
        commands.Set(fields::micMasterVolume, 41); // and one after it, by the handler
    });
    QTest::mouseClick(Handle(), Qt::LeftButton, {}, button->mapTo(window.get(), button->rect().center()));
    QTest::qWait(50);
    ASSERT_EQ(store.Get(fields::micMasterVolume), 41);
    ASSERT_EQ(history->Journal().Entries().size(), 1u);
    history->Undo();
    EXPECT_EQ(store.Get(fields::micMasterVolume), 75);
}

TEST_F(EditHistoryTest, StateAttachedToAnActionFollowsItsEntryAndGoesWhenTheActionChangesNothing) {
    // A click that changes the store and a setting of this computer (as linking a pair does).
    int linked = 0;
    int volume = 60;
    QObject::connect(button, &QPushButton::clicked, [&] {
        commands.Set(fields::micMasterVolume, volume);
        const int before = linked;
        linked = before + 1;
        history->AttachToAction([&linked, before] { linked = before; }, [&linked, before] { linked = before + 1; });
    });
    const auto click = [&] {
        now += 1s;
        QTest::mouseClick(Handle(), Qt::LeftButton, {}, button->mapTo(window.get(), button->rect().center()));
        QTest::qWait(20);
    };
    click();
    ASSERT_EQ(history->Journal().Entries().size(), 1u);
    history->Undo();
    EXPECT_EQ(linked, 0);
    history->Redo();
    EXPECT_EQ(linked, 1);

    // The same volume again changes nothing: no entry, and its setting is not taken back by an undo.
    click();
    EXPECT_EQ(linked, 2);
    EXPECT_EQ(history->Journal().Entries().size(), 1u);
    volume = 50;
    click();
    EXPECT_EQ(linked, 3);
    history->GoTo(0);
    EXPECT_EQ(store.Get(fields::micMasterVolume), 75);
    EXPECT_EQ(linked, 0); // the second entry's state, then the first's: 3 -> 2 -> 0
    history->GoTo(2);
    EXPECT_EQ(linked, 3);
}

TEST_F(EditHistoryTest, TheHistoryWindowListsNewestFirstAndAClickGoesToThatPoint) {
    for (int i = 0; i < 3; ++i) {
        now += 1s;
        Key(Qt::Key_Up);
    }
    history->Break({"读取全部", "Read all"});
    now += 1s;
    Key(Qt::Key_Up);
    CEditHistoryDlg dialog(*history);
    dialog.show();
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("EditHistoryList"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 6); // four edits, the boundary, the start
    EXPECT_TRUE(list->item(0)->text().startsWith(QStringLiteral("▶ ")));
    EXPECT_TRUE(list->item(1)->text().contains(QStringLiteral("Read all")) ||
                list->item(1)->text().contains(QStringLiteral("读取全部")));
    // Behind the boundary nothing moves: the click undoes the newest edit only.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
    EXPECT_EQ(store.Get(fields::micMasterVolume), 78);
    EXPECT_EQ(history->Journal().Current(), 4u);
    // Clicks in the history window are not edits.
    EXPECT_EQ(history->Journal().Entries().size(), 5u);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(store.Get(fields::micMasterVolume), 79);
    // The chords work while the history window has the keyboard.
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }, 2000));
    QTest::keyClick(dialog.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(store.Get(fields::micMasterVolume), 78);
}

} // namespace
} // namespace orvex::test
