#include "support/PagesFixture.h"

#include "editors/output/SSVCDlg.h"
#include "widgets/SSVolumePanel.h"
#include "model/CoefficientEncoding.h"
#include "shell/OrvexApp.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

namespace orvex::test {
namespace {

RoomPoint Listener(const ParameterStore& s) {
    return s.Room().listener;
}

std::vector<std::string> GainSetWords(float gainDb) {
    std::vector<std::string> words;
    for (uint32_t w : PositionSet(gainDb))
        words.push_back(WordHex(std::bit_cast<float>(w)));
    return words;
}

// The user types into a coordinate field and presses Enter.
void Type(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
}

class SsvcPageTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }

    void SetRoles(std::initializer_list<int> roles) {
        int k = 0;
        for (int role : roles)
            Store().Set(fields::outRole, k++, role);
    }
};

TEST(SsvcGain, ThreeMinusThreeDecibelsPerMetre) {
    EXPECT_FLOAT_EQ(CSSVCDlg::PositionGainDb({0.5f, -1.0f}, {0.5f, -1.0f}), 3.0f);
    EXPECT_FLOAT_EQ(CSSVCDlg::PositionGainDb({0, 0}, {0, 1}), 0.0f);
    EXPECT_FLOAT_EQ(CSSVCDlg::PositionGainDb({0, 0}, {-2, 0}), -3.0f);
    EXPECT_FLOAT_EQ(CSSVCDlg::PositionGainDb({0, 0}, {0.6f, 0.8f}), 0.0f);
}

TEST(SsvcRoomRecord, ZeroPacksWithTheSignBitAndMinusOneAsEightyA) {
    EXPECT_EQ(PackRoomCoordinate(0.0f), 0x80);
    EXPECT_EQ(PackRoomCoordinate(-1.0f), 0x8A);
    EXPECT_EQ(PackRoomCoordinate(1.0f), 0x0A);
}

TEST_F(SsvcPageTest, MovingTheListenerGivesEverySpeakerItsGainOnTheFirstChannelWithItsRole) {
    // Two channels play SUB (4): only the lower one gets its gain.
    SetRoles({0, 1, 2, 3, 4, 5, 4, 7});
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    // Listener onto the SUB point (0, -1): SUB +3 dB, L (-1, 1) and R (1, 1) at sqrt 5.
    Type(d->CoordField(0, true), QStringLiteral("-1"));
    EXPECT_EQ(d->CoordField(0, true)->text(), QStringLiteral("-1.0m"));
    EXPECT_FLOAT_EQ(Store().PositionGain(4), 3.0f);
    EXPECT_FLOAT_EQ(Store().PositionGain(6), 0.0f);
    EXPECT_FLOAT_EQ(Store().PositionGain(5), -3.0f); // CEN (0, 1) stands 2 m away
    EXPECT_FLOAT_EQ(Store().PositionGain(0), CSSVCDlg::PositionGainDb({0, -1}, {-1, 1}));
    // 7 typed into a speaker's x in a 4 m room is held to 2.0; only that speaker's gain changes.
    Store().SetPositionGain(0, 9.0f);
    Type(d->CoordField(3, false), QStringLiteral("7"));
    EXPECT_EQ(d->CoordField(3, false)->text(), QStringLiteral("+2.0m"));
    EXPECT_EQ(d->CoordSpin(3, false)->value(), 20);
    EXPECT_FLOAT_EQ(Store().Room().speakers[2].x, 2.0f);
    EXPECT_FLOAT_EQ(Store().PositionGain(0), 9.0f);
    EXPECT_FLOAT_EQ(Store().PositionGain(1), CSSVCDlg::PositionGainDb({0, -1}, {2, 1}));
}

TEST_F(SsvcPageTest, ResetGivesEightZeroGainsAndTheDefaultRecord) {
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    Type(d->CoordField(0, false), QStringLiteral("1.5"));
    d->RoomSizeField(false)->setText(QStringLiteral("6"));
    d->ModifyButton()->click();
    ASSERT_NE(Store().PositionGain(0), 0.0f);
    QTest::mouseClick(d->ResetButton(), Qt::LeftButton);
    for (int k = 0; k < 8; ++k)
        EXPECT_FLOAT_EQ(Store().PositionGain(k), 0.0f) << k;
    EXPECT_EQ(Store().GetRoomRecordBytes(), kDefaultRoomRecord);
    EXPECT_EQ(d->RoomSizeField(false)->text(), QStringLiteral("4m"));
    EXPECT_EQ(d->CoordField(0, false)->text(), QStringLiteral("+0.0m"));
    EXPECT_EQ(d->CoordField(1, false)->text(), QStringLiteral("-1.0m"));
    EXPECT_EQ(d->Drawing()->RoomWidth(), 4);
}

// A size of 0 from a record divided the drawing by zero; 30 m overran the seven-bit positions.
TEST_F(SsvcPageTest, TheStoredRoomSizeIsHeldToOneToTenMetres) {
    RoomRecordBytes bytes = kDefaultRoomRecord;
    bytes[0] = 0;
    bytes[1] = 30;
    Store().SetRoomRecordBytes(bytes);
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    EXPECT_EQ(d->Drawing()->RoomWidth(), 1);
    EXPECT_EQ(d->Drawing()->RoomLength(), 10);
    EXPECT_EQ(d->RoomSizeField(false)->text(), QStringLiteral("1m"));
    EXPECT_EQ(d->RoomSizeField(true)->text(), QStringLiteral("10m"));
    EXPECT_EQ(d->CoordSpin(1, false)->maximum(), 5);
    EXPECT_EQ(d->CoordSpin(1, true)->maximum(), 50);
    // The speaker at x = -1 stands beyond the half-metre: its spin is held, not wrapped.
    EXPECT_EQ(d->CoordSpin(1, false)->value(), -5);
    // Typed sizes are held too.
    d->RoomSizeField(false)->setText(QStringLiteral("0m"));
    d->RoomSizeField(true)->setText(QStringLiteral("12"));
    d->ModifyButton()->click();
    EXPECT_EQ(Store().Room().width, 1);
    EXPECT_EQ(Store().Room().length, 10);
    EXPECT_EQ(d->RoomSizeSpin(true)->value(), 10);
}

// 0.7 x 10 truncated is 6 tenths: the spin has to land on 7.
TEST_F(SsvcPageTest, PositionsReachTheSpinsRounded) {
    Store().SetRoomSpeaker(0, {-0.7f, 0.3f});
    Store().PackRoomFromFloats();
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    EXPECT_EQ(d->CoordSpin(1, false)->value(), -7);
    EXPECT_EQ(d->CoordSpin(1, true)->value(), 3);
    EXPECT_EQ(d->CoordField(1, false)->text(), QStringLiteral("-0.7m"));
}

TEST_F(SsvcPageTest, ShrinkingTheRoomLeavesPointsWhereTheyAre) {
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    d->RoomSizeField(false)->setText(QStringLiteral("6"));
    d->ModifyButton()->click();
    Type(d->CoordField(3, false), QStringLiteral("2.8"));
    d->RoomSizeField(false)->setText(QStringLiteral("4m"));
    d->ModifyButton()->click();
    EXPECT_FLOAT_EQ(Store().Room().speakers[2].x, 2.8f);
    EXPECT_EQ(d->CoordField(3, false)->text(), QStringLiteral("+2.8m"));
    Type(d->CoordField(3, false), d->CoordField(3, false)->text());
    EXPECT_FLOAT_EQ(Store().Room().speakers[2].x, 2.0f);
}

TEST_F(SsvcPageTest, RoleTextsAndTheWideSixthSlider) {
    SetRoles({0, 1, 2, 3, 4, 5, 6, 7});
    Store().Set(fields::outRole, 2, 9);
    Store().Set(fields::outSurroundVolume, 5, 450);
    Store().Set(fields::outSurroundVolume, 0, 450);
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    EXPECT_EQ(d->RoleText(5)->text(), Tr2("(中置)", "(CH-CEN)"));
    EXPECT_TRUE(d->RoleText(2)->text().isEmpty()); // no speaker has role 9
    EXPECT_EQ(d->Slider(5)->GetSliderMax(), 500);
    EXPECT_EQ(d->Slider(5)->GetSliderPos(), 450);
    EXPECT_EQ(d->ValueText(5)->text(), QStringLiteral("450%"));
    EXPECT_EQ(d->Slider(0)->GetSliderPos(), 100);
    EXPECT_EQ(d->ValueText(0)->text(), QStringLiteral("100%"));
}

TEST_F(SsvcPageTest, TheLocateMarkSurvivesAPageSwitch) {
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    d->LocateBox(2)->click();
    d->LocateBox(6)->click();
    EXPECT_FALSE(d->LocateBox(2)->isChecked());
    EXPECT_TRUE(d->LocateBox(6)->isChecked());
    EXPECT_EQ(app->View()->LocateChannel(), 7);
    View()->SwitchToPage(PageKind::Comp);
    d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    EXPECT_TRUE(d->LocateBox(6)->isChecked());
    for (int k : {0, 1, 2, 3, 4, 5, 7})
        EXPECT_FALSE(d->LocateBox(k)->isChecked()) << k;
}

// A channel whose role is outside the speaker list sent "none" but kept its box ticked.
TEST_F(SsvcPageTest, LocatingAChannelWithoutASpeakerRoleLeavesItsBoxUnticked) {
    SetRoles({0, 1, 9, 3, 4, 5, 6, 7});
    Store().Set(fields::outRole, 4, -1);
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    d->LocateBox(1)->click();
    ASSERT_TRUE(d->LocateBox(1)->isChecked());
    for (int k : {2, 4}) {
        d->LocateBox(k)->click();
        EXPECT_FALSE(d->LocateBox(k)->isChecked()) << k;
        EXPECT_FALSE(d->LocateBox(1)->isChecked()) << k; // the speaker located before is told to stop
        EXPECT_EQ(app->View()->LocateChannel(), 0) << k;
    }
}

TEST_F(SsvcPageTest, DraggingTheListenerMovesItsFieldsAndGains) {
    SetRoles({0, 1, 2, 3, 4, 5, 6, 7});
    CSSVCDlg* d = OpenPage<CSSVCDlg>(PageKind::Ssvc);
    CSSVolumePanel* panel = d->Drawing();
    panel->resize(460, 460); // 400 x 400 inner area: 100 pixels a metre
    const QPoint from = panel->ToScreen(Listener(Store())).toPoint();
    const QPoint to = panel->ToScreen({0.0f, 1.0f}).toPoint(); // onto CEN
    QTest::mousePress(panel, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), panel->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(panel, &move);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, to);
    EXPECT_NEAR(Listener(Store()).y, 1.0f, 0.01f);
    EXPECT_EQ(d->CoordField(0, true)->text(), QStringLiteral("+1.0m"));
    EXPECT_EQ(d->CoordSpin(0, true)->value(), 10);
    EXPECT_NEAR(Store().PositionGain(5), 3.0f, 0.05f);
    // Dragged beyond the room the point stops at the wall.
    QTest::mousePress(panel, Qt::LeftButton, {}, to);
    QMouseEvent out(QEvent::MouseMove, QPointF(-50, 500), panel->mapToGlobal(QPointF(-50, 500)), Qt::NoButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &out);
    EXPECT_FLOAT_EQ(Listener(Store()).x, -2.0f);
    EXPECT_FLOAT_EQ(Listener(Store()).y, -2.0f);
}

// ---- on the wire -------------------------------------------------------------------------------------------

class SsvcWireTest : public PagesSimTest {
protected:
    CSSVCDlg* OpenConnected() {
        StartConnected();
        View()->SwitchToPage(PageKind::Ssvc);
        auto* d = qobject_cast<CSSVCDlg*>(View()->CurrentPage());
        EXPECT_NE(d, nullptr);
        host->ClearReceived();
        return d;
    }
};

// A role of 12 from a file went out as 12; the processor knows 0..7 and 8 for none.
TEST_F(SsvcWireTest, LocateSendsTheRoleAndClearingSendsEight) {
    CSSVCDlg* d = OpenConnected();
    Store().Set(fields::outRole, 3, 4);
    Store().Set(fields::outRole, 5, 12);
    // One click at a time: the write queue keeps only the latest of equal writes.
    d->LocateBox(3)->click();
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({ParamWrite(0x04, 34, {"00000004"})}));
    host->ClearReceived();
    d->LocateBox(3)->click();
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({ParamWrite(0x04, 34, {"00000008"})}));
    host->ClearReceived();
    d->LocateBox(5)->click();
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({ParamWrite(0x04, 34, {"00000008"})}));
    EXPECT_FALSE(d->LocateBox(5)->isChecked()); // nothing is located: the box does not stay ticked
}

TEST_F(SsvcWireTest, SliderAndSpeakerEditsPutTheirFramesOnTheWire) {
    CSSVCDlg* d = OpenConnected();
    Store().Set(fields::outRole, 0, 5); // channel 1 plays CEN, and so does channel 3
    Store().Set(fields::outRole, 2, 5);
    MoveSlider(d->Slider(5), 300);
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({ParamWrite(0x0A, 24, {WordHex(3.0f)})}));
    host->ClearReceived();
    // CEN onto the listener: room record, then the gain table and CH1's set.
    Type(d->CoordField(2, true), QStringLiteral("0"));
    const auto writes = WaitForWrites(3);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0][0], 0x85);
    const RoomRecordBytes room = Store().GetRoomRecordBytes();
    EXPECT_NE(std::search(writes[0].begin(), writes[0].end(), room.begin(), room.end()), writes[0].end());
    EXPECT_EQ(room[7], 0x80); // CEN's y of 0.0
    EXPECT_EQ(writes[1][0], 0x85);
    EXPECT_EQ(ToHex(writes[2]), ToHex(ParamWrite(0x05, 29, GainSetWords(3.0f))));
}

} // namespace
} // namespace orvex::test

namespace orvex::test {
namespace {

// A 6 x 4 m room was stretched to the drawing's shape (drawn square in a square drawing), and a speaker
// at a side wall had half its name cut off by the drawing's edge.
TEST(RoomDrawing, OneScaleForBothDirectionsAndEverySpeakersNameInside) {
    CSSVolumePanel panel;
    const RoomPoint corners[] = {{-1, 1}, {0, 1}, {1, 1}, {-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}};
    for (QSize size : {QSize(460, 460), QSize(700, 300), QSize(200, 200), QSize(300, 520)}) {
        panel.resize(size);
        for (auto [w, l] : {std::pair{6, 4}, {4, 4}, {2, 10}, {10, 1}}) {
            panel.SetRoomSize(w, l);
            const std::string where = std::to_string(size.width()) + "x" + std::to_string(size.height()) + " room " +
                                      std::to_string(w) + "x" + std::to_string(l);
            const QPointF origin = panel.ToScreen({0, 0});
            const double perMetreX = panel.ToScreen({1, 0}).x() - origin.x();
            const double perMetreY = origin.y() - panel.ToScreen({0, 1}).y();
            EXPECT_GT(perMetreX, 0.0) << where;
            EXPECT_NEAR(perMetreX, perMetreY, 1e-9) << where;
            // The walls lie inside the drawing, and a drag past them stops at them.
            const QPointF corner = panel.ToScreen({w / 2.0f, l / 2.0f});
            EXPECT_TRUE(QRectF(panel.rect()).contains(corner)) << where;
            const RoomPoint held = panel.ToRoom(QPointF(-1000, -1000));
            EXPECT_NEAR(held.x, -w / 2.0f, 1e-4) << where;
            EXPECT_NEAR(held.y, l / 2.0f, 1e-4) << where;
            // Speakers on every wall and in every corner.
            for (int s = 0; s < kRoomSpeakerCount; ++s) {
                const RoomPoint at = {corners[s].x * w / 2.0f, corners[s].y * l / 2.0f};
                panel.SetPoint(s + 1, at);
                const QRectF label = panel.LabelRect(s);
                EXPECT_GT(label.width(), 20.0) << where << " speaker " << s;
                EXPECT_TRUE(QRectF(panel.rect()).contains(label)) << where << " speaker " << s;
                const RoomPoint back = panel.ToRoom(panel.ToScreen(at));
                EXPECT_NEAR(back.x, at.x, 1e-3) << where;
                EXPECT_NEAR(back.y, at.y, 1e-3) << where;
            }
        }
    }
}

} // namespace
} // namespace orvex::test
