#include "widgets/EqSection.h"

#include "support/TextFile.h"

#include "widgets/EqOverlay.h"
#include "widgets/EqPanel.h"
#include "widgets/UiLanguage.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/RecordingSender.h"
#include "model/EqPaths.h"
#include "model/FilterText.h"
#include "model/ParameterStore.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace orvex::test {
namespace {

// A fit dialog that proposes fixed bands, counting the fits it is asked for.
class FakeFitDialog : public QDialog, public IEqFitDialog {
public:
    FakeFitDialog(EqFitInput fitInput, std::vector<EqBand> bands, QWidget* parent)
        : QDialog(parent), input(std::move(fitInput)), m_bands(std::move(bands)) {}

    QDialog* Dialog() override { return this; }
    bool RunFit() override {
        ++fits;
        m_proposal = m_bands;
        return true;
    }
    const std::optional<std::vector<EqBand>>& Proposal() const override { return m_proposal; }

    EqFitInput input;
    int fits = 0;

private:
    std::vector<EqBand> m_bands;
    std::optional<std::vector<EqBand>> m_proposal;
};

// Keeps what the section asks of the program around it and answers file dialogs with `answer`.
class RecordingHost : public IEqSectionHost {
public:
    struct Box {
        bool error;
        QString text;
        QString caption;
    };
    struct FileQuestion {
        bool save;
        QString caption;
        QString defaultName;
        QString filter;
        QString defaultSuffix;
    };

    void ShowError(QWidget*, const QString& text, const QString& caption) override {
        boxes.push_back({true, text, caption});
    }
    void ShowInformation(QWidget*, const QString& text, const QString& caption) override {
        boxes.push_back({false, text, caption});
    }
    QString AskFileName(QWidget*, bool save, const QString& caption, const QString& defaultName, const QString& filter,
                        const QString& defaultSuffix) override {
        asked.push_back({save, caption, defaultName, filter, defaultSuffix});
        return answer;
    }
    void SetHint(QWidget* widget, const char*, const char* en) override { hints.emplace_back(widget, en); }
    IEqFitDialog* CreateFitDialog(EqFitInput input, QWidget* parent) override {
        fit = new FakeFitDialog(std::move(input), fitBands, parent);
        return fit;
    }

    std::vector<Box> boxes;
    std::vector<FileQuestion> asked;
    std::vector<std::pair<QWidget*, QString>> hints;
    QString answer;
    std::vector<EqBand> fitBands;
    FakeFitDialog* fit = nullptr;
};

class EqSectionHostTest : public ::testing::Test {
protected:
    EqSectionHostTest() : commands(store, sender), eq(store, commands), section(store, eq, host, 55) {
        store.ResetStoreDefaults();
        SetUiLanguageIndex(1);
        section.ShowPath(eqid::MicA);
    }
    ~EqSectionHostTest() override { CEqOverlays::Instance().ClearAll(); }

    QString Write(const QString& name, const std::string& text) { return WriteTextFile(dir, name, text); }

    QTemporaryDir dir;
    ParameterStore store;
    RecordingSender sender;
    CommandEncoder commands;
    EqSender eq;
    RecordingHost host;
    CEqSection section;
};

TEST_F(EqSectionHostTest, HintsAndFileDialogsAreTheHosts) {
    auto hinted = [&](QWidget* w) {
        return std::count_if(host.hints.begin(), host.hints.end(), [w](const auto& h) { return h.first == w; });
    };
    EXPECT_EQ(hinted(section.Panel()), 1);
    EXPECT_EQ(hinted(section.CrossoverCombo()), 1);
    // The graph, the crossover list, the grid and the strip's eleven controls.
    EXPECT_EQ(host.hints.size(), 14u);

    // Export asks for a name to save under, offering the path's title; a cancel writes nothing.
    EXPECT_FALSE(section.ExportFilters());
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_TRUE(host.asked[0].save);
    EXPECT_EQ(host.asked[0].caption, QStringLiteral("Export filters"));
    EXPECT_EQ(host.asked[0].defaultName, section.Panel()->Title() + QStringLiteral(".txt"));
    EXPECT_EQ(host.asked[0].defaultSuffix, QStringLiteral("txt"));
    EXPECT_TRUE(host.asked[0].filter.contains(QStringLiteral("*.txt")));
    host.answer = dir.filePath(QStringLiteral("mic.txt"));
    EXPECT_TRUE(section.ExportFilters());
    EXPECT_TRUE(QFile::exists(host.answer));

    // A measurement is opened for reading, with the response files offered.
    host.answer.clear();
    EXPECT_FALSE(section.ShowMeasurement());
    ASSERT_EQ(host.asked.size(), 3u);
    EXPECT_FALSE(host.asked[2].save);
    EXPECT_TRUE(host.asked[2].filter.contains(QStringLiteral("*.frd")));
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(EqSectionHostTest, FilesThatCannotBeUsedAreReportedThroughTheHostAndChangeNothing) {
    const std::vector<EqBand> before = FreeEqBands(store, eqid::MicA);
    sender.Clear();
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    EXPECT_FALSE(section.ImportFilters(missing));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_TRUE(host.boxes[0].error);
    EXPECT_EQ(host.boxes[0].caption, QStringLiteral("Import filters"));
    EXPECT_TRUE(host.boxes[0].text.startsWith(QStringLiteral("Cannot read ") + missing));

    EXPECT_FALSE(section.ImportFilters(Write(QStringLiteral("bad.txt"), "Filter 1: ON NO Fc 1000 Hz\n")));
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_TRUE(host.boxes[1].text.startsWith(QStringLiteral("Nothing was imported")));

    EXPECT_FALSE(section.ShowMeasurement(Write(QStringLiteral("bad.frd"), "100 1\n")));
    ASSERT_EQ(host.boxes.size(), 3u);
    EXPECT_TRUE(host.boxes[2].text.startsWith(QStringLiteral("The measurement was not loaded")));
    EXPECT_EQ(host.boxes[2].caption, QStringLiteral("Show measurement"));

    EXPECT_EQ(FreeEqBands(store, eqid::MicA), before);
    EXPECT_TRUE(sender.Bodies().empty());

    // A list with a preamp is imported, and the host says the preamp was left to the channel's level.
    EXPECT_TRUE(section.ImportFilters(
        Write(QStringLiteral("preamp.txt"), "Preamp: -3.5 dB\nFilter 1: ON PK Fc 1000 Hz Gain -4.0 dB Q 2.00\n")));
    ASSERT_EQ(host.boxes.size(), 4u);
    EXPECT_FALSE(host.boxes[3].error);
    EXPECT_TRUE(host.boxes[3].text.contains(QStringLiteral("-3.5 dB")));
    EXPECT_FALSE(sender.Bodies().empty());
}

TEST_F(EqSectionHostTest, TheHostsFitDialogIsRunOnceAndItsBandsAppliedWhenAccepted) {
    ASSERT_TRUE(section.ShowMeasurement(Write(QStringLiteral("room.frd"), "20 70\n1000 72\n20000 68\n")));
    std::vector<EqBand> bands = FreeEqBands(store, eqid::MicA);
    ASSERT_FALSE(bands.empty());
    bands[0] = {-4.5f, 125, 3.0f, eqtype::Peaking};
    host.fitBands = bands;

    section.FitToMeasurement();
    ASSERT_NE(host.fit, nullptr);
    EXPECT_EQ(section.FitDialog(), host.fit);
    EXPECT_EQ(host.fit->input.eqIdentity, eqid::MicA);
    EXPECT_FALSE(host.fit->input.measurement.Empty());
    EXPECT_EQ(host.fit->input.current, FreeEqBands(store, eqid::MicA));
    // A second request while the dialog is open opens no other.
    FakeFitDialog* first = host.fit;
    section.FitToMeasurement();
    EXPECT_EQ(host.fit, first);
    // The first fit runs as soon as the dialog is up.
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(first->fits, 1);

    QSignalSpy replaced(&section, &CEqSection::pathReplaced);
    first->accept();
    EXPECT_EQ(FreeEqBands(store, eqid::MicA), bands);
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return section.FitDialog() == nullptr; }, 2000));
}

} // namespace
} // namespace orvex::test
