#include "support/PagesFixture.h"

#include "widgets/EqSection.h"
#include "editors/input/DialogMusic.h"
#include "editors/output/DialogOutput.h"
#include "shell/RibbonBar.h"

namespace orvex::test {
namespace {

// Left Ctrl with a digit on the main window picks a band of the page's equaliser: 1..9 the bands
// 1..9, 0 the tenth. The keys number bands from 1; a page that took the number as an index picked
// the band after the one asked for.
class EqKeysTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }
};

TEST_F(EqKeysTest, CtrlDigitsPickTheBandOfTheSameNumberOnTheMicMusicAndOutputPages) {
    View()->SwitchToPage(PageKind::Music);
    auto* music = qobject_cast<CDialogMusic*>(View()->CurrentPage());
    ASSERT_NE(music, nullptr);
    Key(Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(music->Eq()->SelectedBand(), 3);
    Key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(music->Eq()->SelectedBand(), 9);

    View()->SwitchToPage(PageKind::Output, 2);
    auto* output = qobject_cast<CDialogOutput*>(View()->CurrentPage());
    ASSERT_NE(output, nullptr);
    Key(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(output->Eq()->SelectedBand(), 0);
    Key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(output->Eq()->SelectedBand(), 9); // the crossover band
}

} // namespace
} // namespace orvex::test
