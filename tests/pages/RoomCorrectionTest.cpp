#include "editors/EqFitDlg.h"

#include "support/TextFile.h"
#include "editors/EqSectionHost.h"
#include "widgets/EqSection.h"
#include "widgets/BandGrid.h"
#include "widgets/EqOverlay.h"
#include "widgets/EqPanel.h"
#include "widgets/UiLanguage.h"
#include "widgets/UserText.h"
#include "link/CommandEncoder.h"
#include "link/EqImport.h"
#include "link/EqSender.h"
#include "link/RecordingSender.h"
#include "model/EqPaths.h"
#include "model/FilterDesign.h"
#include "model/FilterText.h"
#include "model/ParameterStore.h"
#include "shell/MessageBoxes.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace orvex::test {
namespace {

constexpr int kOut3 = eqid::FirstOutput + 2;
constexpr int kOut4 = eqid::FirstOutput + 3;

// A 1/24-octave room response as a measurement program exports it: the given bands on a level of
// 78 dB, a little ripple, a header and a phase column.
std::string RoomText(const std::vector<EqBand>& room, double rippleDb = 0.2) {
    std::string text = "* Measurement data\n* Freq(Hz) SPL(dB) Phase(degrees)\n";
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> ripple(-rippleDb, rippleDb);
    char line[96];
    for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 24.0)) {
        std::snprintf(line, sizeof line, "%.3f %.3f %.1f\n", f, 78.0 + EqResponseDb(room, f) + ripple(rng), -12.0);
        text += line;
    }
    return text;
}

const std::vector<EqBand> kRoom = {{7.0f, 55, 5.0f, eqtype::Peaking},
                                   {-6.0f, 170, 3.0f, eqtype::Peaking},
                                   {4.0f, 330, 2.5f, eqtype::Peaking},
                                   {-3.0f, 2500, 1.5f, eqtype::Peaking}};

class RoomCorrectionTest : public ::testing::Test {
protected:
    RoomCorrectionTest() : commands(store, sender), eq(store, commands), section(store, eq, EqSectionHost(), 60) {
        store.ResetStoreDefaults();
        SetUiLanguageIndex(1);
        section.resize(1000, 380);
        section.setAttribute(Qt::WA_DontShowOnScreen);
        section.show();
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            boxes << r.text;
            return QMessageBox::Ok;
        });
        SetFileDialogHook([this](const FileDialogRequest& r) {
            asked << r;
            return answer;
        });
    }
    ~RoomCorrectionTest() override {
        SetMessageBoxHook({});
        SetFileDialogHook({});
        CEqOverlays::Instance().ClearAll();
    }

    QString Write(const QString& name, const std::string& text) { return WriteTextFile(dir, name, text); }

    // The path menu as a right click on an empty spot of the graph opens it.
    QMenu* OpenPathMenu() {
        CEqPanel* panel = section.Panel();
        panel->SetSelectedBand(-1);
        const QPoint spot = panel->PointFor(3000, -13).toPoint();
        QTest::mousePress(panel, Qt::RightButton, {}, spot);
        QTest::mouseRelease(panel, Qt::RightButton, {}, spot);
        return panel->ActiveMenu();
    }

    QAction* MenuEntry(QMenu* menu, const QString& text) {
        for (QAction* a : menu->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }

    CEqFitDlg* WaitForFit() {
        auto* fit = qobject_cast<CEqFitDlg*>(section.FitDialog());
        if (fit) {
            const bool done = QTest::qWaitFor(
                [&] { return fit->Proposal().has_value() || !fit->MessageLabel()->text().isEmpty(); }, 5000);
            EXPECT_TRUE(done);
        }
        return fit;
    }

    QTemporaryDir dir;
    ParameterStore store;
    RecordingSender sender;
    CommandEncoder commands;
    EqSender eq;
    CEqSection section;
    QStringList boxes;
    QList<FileDialogRequest> asked;
    QString answer;
};

TEST_F(RoomCorrectionTest, ThePathMenuOffersTheCommandsInBothLanguagesAndTheMenuKeyOpensIt) {
    section.ShowPath(eqid::MicA);
    QMenu* menu = OpenPathMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            texts << a->text();
    EXPECT_EQ(texts, (QStringList{"Copy EQ", "Paste EQ", "Import filters…", "Export filters…", "Show measurement…",
                                  "Fit to measurement…", "Clear measurement"}));
    EXPECT_FALSE(MenuEntry(menu, "Clear measurement")->isEnabled()); // nothing to clear yet
    menu->close();

    SetUiLanguageIndex(0);
    menu = OpenPathMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(MenuEntry(menu, QString::fromUtf8("导入滤波器…")), nullptr);
    EXPECT_NE(MenuEntry(menu, QString::fromUtf8("清除测量曲线")), nullptr);
    menu->close();
    SetUiLanguageIndex(1);

    // The menu key (or Shift+F10) opens the same menu without a mouse.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
    QCoreApplication::sendEvent(section.Panel(), &key);
    ASSERT_NE(section.Panel()->ActiveMenu(), nullptr);
    EXPECT_NE(MenuEntry(section.Panel()->ActiveMenu(), "Show measurement…"), nullptr);
    section.Panel()->ActiveMenu()->close();
}

TEST_F(RoomCorrectionTest, ImportGoesToEveryLinkedOutputExactlyAsApplyingTheBandsAndLeavesTheCrossoverAlone) {
    section.ShowPath(kOut3);
    section.SetApplyIdentities({kOut3, kOut4});
    std::vector<EqBand> crossoverBefore;
    for (int b = kOutputCrossoverBand; b <= kOutputLastHiddenBand; ++b)
        crossoverBefore.push_back(store.GetEqPathBand(kOut4, b));
    const std::string text = "Preamp: -4.5 dB\n"
                             "Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.00\n"
                             "Filter 2: ON LSC Fc 105 Hz Gain 3.0 dB Q 0.71\n"
                             "Filter 3: ON PK Fc 2400 Hz Gain -2.5 dB Q 1.20\n";
    answer = Write("filters.txt", text);

    // What the same bands sent straight through the band sender look like.
    ParameterStore refStore;
    refStore.ResetStoreDefaults();
    RecordingSender refSender;
    CommandEncoder refCommands(refStore, refSender);
    EqSender refEq(refStore, refCommands);
    std::vector<FilterTextError> errors;
    const auto plan3 = PlanFilterTextImport(refStore, kOut3, text, errors);
    const auto plan4 = PlanFilterTextImport(refStore, kOut4, text, errors);
    ASSERT_TRUE(plan3 && plan4);
    ApplyFreeEqBands(refEq, kOut3, *plan3);
    ApplyFreeEqBands(refEq, kOut4, *plan4);

    QSignalSpy replaced(&section, &CEqSection::pathReplaced);
    sender.Clear();
    OpenPathMenu();
    MenuEntry(section.Panel()->ActiveMenu(), "Import filters…")->trigger();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_FALSE(asked[0].save);
    // Only a word on the preamp, which no path can play.
    ASSERT_EQ(boxes.size(), 1) << boxes.join('\n').toStdString();
    EXPECT_TRUE(boxes[0].contains("preamp of -4.5 dB was not applied")) << boxes[0].toStdString();
    EXPECT_EQ(sender.Bodies(), refSender.Bodies());
    EXPECT_EQ(replaced.count(), 1);
    for (int identity : {kOut3, kOut4}) {
        EXPECT_EQ(store.GetEqPathBand(identity, 0).freqHz, 63);
        EXPECT_EQ(store.GetEqPathBand(identity, 1).type, eqtype::LowShelf);
        EXPECT_EQ(store.GetEqPathBand(identity, 3).type, eqtype::Off); // bands the file does not use play off
    }
    for (int b = kOutputCrossoverBand; b <= kOutputLastHiddenBand; ++b)
        EXPECT_EQ(store.GetEqPathBand(kOut4, b), crossoverBefore[static_cast<size_t>(b - kOutputCrossoverBand)]);
    // The graph shows what was imported.
    EXPECT_EQ(qRound(section.Panel()->Band(2).freqHz), 2400);
    EXPECT_FLOAT_EQ(section.Panel()->Band(2).gainDb, -2.5f);
}

TEST_F(RoomCorrectionTest, ABadFileListsItsBadLinesAndChangesNothing) {
    section.ShowPath(eqid::Music);
    const std::vector<EqBand> before = FreeEqBands(store, eqid::Music);
    std::string text = "Filter 1: ON PK Fc 100 Hz Gain 2 dB Q 1\n"
                       "Filter 2: ON NO Fc 200 Hz\n"
                       "Filter 3: ON PK Fc 300 Hz Gain 40 dB Q 1\n";
    sender.Clear();
    EXPECT_FALSE(section.ImportFilters(Write("bad.txt", text)));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("line 2: ")) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].contains("line 3: ")) << boxes[0].toStdString();
    EXPECT_FALSE(boxes[0].contains("line 1: "));
    EXPECT_TRUE(sender.Bodies().empty());
    EXPECT_EQ(FreeEqBands(store, eqid::Music), before);

    // A long list of bad lines is cut short with a count of the rest.
    text.clear();
    for (int i = 0; i < 20; ++i)
        text += "Filter: ON AP Fc 1000 Hz Q 1\n";
    boxes.clear();
    EXPECT_FALSE(section.ImportFilters(Write("many.txt", text)));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("… and 8 more")) << boxes[0].toStdString();

    // Files that cannot be read at all say why.
    boxes.clear();
    EXPECT_FALSE(section.ImportFilters(dir.filePath("missing.txt")));
    EXPECT_FALSE(section.ShowMeasurement(Write("huge.txt", std::string(5 * 1024 * 1024, '1'))));
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[1].contains("larger than 4 MB"));
    EXPECT_TRUE(sender.Bodies().empty());
}

// The readers' reasons are English; the Chinese interface gives every one of them in Chinese.
TEST_F(RoomCorrectionTest, EveryReasonForABadLineReadsInChinese) {
    const char* filters = "Filter 1: ON NO Fc 100 Hz\n"
                          "Filter 2: ON AP Fc 100 Hz Q 1\n"
                          "Filter 3: ON BP Fc 100 Hz Q 1\n"
                          "Filter 4: ON LS 6dB Fc 100 Hz Gain 3 dB\n"
                          "Filter 5: ON LP1 Fc 100 Hz\n"
                          "Filter 6: ON PK Fc 10 Hz Gain 3 dB Q 1\n"
                          "Filter 7: ON PK Fc 100 Hz Gain 16 dB Q 1\n"
                          "Filter 8: ON PK Fc 100 Hz Gain 1 dB Q 31\n"
                          "Filter 9: ON PK Fc abc Hz Gain 1 dB Q 1\n"
                          "Filter 10: ON PK Fc 100 Hz Q 1\n"
                          "Filter 11: MAYBE PK Fc 100 Hz Gain 1 dB Q 1\n"
                          "Filter 12: ON XYZ Fc 100 Hz\n"
                          "Filter 13: ON PK Fc 100 Hz Gain 1 dB BW 0.5\n"
                          "Preamp: loud\n"
                          "Filter 15: ON PK Gain 1 dB Q 1\n"
                          "Filter 16: ON PK Fc 100 Hz Gain 1 dB Q\n"
                          "Filter 17: ON PK Fc 100 Hz Gain 1 dB Q 1 Extra\n"
                          "Filter 18: ON PK Fc 100 Hz Gain 1 dB\n"
                          "Filter 19: ON\n"
                          "Filter 20:\n";
    std::vector<FilterTextError> errors = ParseFilterText(filters).errors;
    ASSERT_GE(errors.size(), 19u);
    std::string tooMany;
    for (int i = 0; i < 8; ++i)
        tooMany += "Filter: ON PK Fc 1000 Hz Gain 1 dB Q 1\n";
    std::vector<FilterTextError> planErrors;
    EXPECT_FALSE(PlanFilterTextImport(store, eqid::ReverbA, tooMany, planErrors));
    errors.insert(errors.end(), planErrors.begin(), planErrors.end());
    for (const char* bad : {"20 70\n10 71\n30 x\n-5 3\n", "20 70\n"})
        for (const FilterTextError& e : ParseMeasurementText(bad).errors)
            errors.push_back(e);
    SetUiLanguageIndex(0);
    for (const FilterTextError& e : errors) {
        const QString reason = TextErrorReason(e.message);
        EXPECT_NE(reason, QString::fromStdString(e.message)) << "not in Chinese: " << e.message;
    }
    EXPECT_EQ(TextErrorReason("gain 16.0 dB is outside -15..+15 dB"),
              QString::fromUtf8("增益 16.0 dB 超出 -15..+15 dB"));
    EXPECT_EQ(TextErrorReason("'abc' is not a number"), QString::fromUtf8("“abc”不是数字"));
    EXPECT_TRUE(
        ListTextErrors({{7, "notch filters are not supported"}}).startsWith(QString::fromUtf8("第 7 行：不支持")));
    SetUiLanguageIndex(1);
    EXPECT_EQ(TextErrorReason("the Q is missing"), QStringLiteral("the Q is missing"));
}

TEST_F(RoomCorrectionTest, ExportThenImportReproducesThePath) {
    section.ShowPath(eqid::ReverbB);
    std::mt19937 rng(11);
    const int count = EqPathForIdentity(eqid::ReverbB).bandCount;
    for (int b = 0; b < count; ++b) {
        EqBand band;
        band.type = static_cast<int>(rng() % 6);
        band.freqHz = 20 + static_cast<int>(rng() % 19980);
        band.gainDb = static_cast<float>(static_cast<int>(rng() % 301) - 150) / 10.0f;
        band.q = band.type == eqtype::Peaking ? 0.4f + static_cast<float>(rng() % 900) / 100.0f : 0.707f;
        store.SetEqPathBand(eqid::ReverbB, b, band);
    }
    const std::vector<EqBand> saved = FreeEqBands(store, eqid::ReverbB);
    const QString written = dir.filePath("reverb-b.txt");
    answer = written;
    ASSERT_TRUE(section.ExportFilters());
    EXPECT_TRUE(asked.last().save);
    EXPECT_EQ(asked.last().defaultSuffix, QStringLiteral("txt"));
    ASSERT_TRUE(QFile::exists(written));

    section.ResetPath();
    ASSERT_NE(FreeEqBands(store, eqid::ReverbB), saved);
    ASSERT_TRUE(section.ImportFilters(written)) << boxes.join('\n').toStdString();
    EXPECT_EQ(FreeEqBands(store, eqid::ReverbB), saved);
}

// Finds the rows of column x painted in a colour, by a predicate; the mean row or -1.
double MeanRow(const QImage& image, int x, QRect plot, const std::function<bool(QColor)>& match) {
    double sum = 0;
    int n = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        if (match(image.pixelColor(x, y))) {
            sum += y;
            ++n;
        }
    }
    return n == 0 ? -1.0 : sum / n;
}

TEST_F(RoomCorrectionTest, TheOverlayIsPaintedAndItsPredictionFollowsABandDrag) {
    section.ShowPath(eqid::MicB);
    CEqPanel* panel = section.Panel();
    EXPECT_FALSE(panel->HasOverlay());
    answer = Write("room.txt", RoomText(kRoom, 0.0));
    OpenPathMenu();
    MenuEntry(panel->ActiveMenu(), "Show measurement…")->trigger();
    ASSERT_TRUE(panel->HasOverlay());

    auto white = [](QColor c) { return c.red() > 225 && c.green() > 225 && c.blue() > 225; };
    // Orange, also where its edge blends into the white under it.
    auto orange = [](QColor c) { return c.red() > 200 && c.red() - c.blue() > 90 && c.green() < 215; };
    // The grid point at 1250 Hz, a little right of band 6's marker (1 kHz) and clear of its ring, in
    // the graph's current geometry (the band strip beside it narrows the graph once a band is picked).
    struct Column {
        size_t i;
        int x;
        QRect plot;
        double Row(float db) const { return plot.top() + (15.0 - db) * plot.height() / 30.0; }
    };
    auto column = [&] {
        const QRect plot = panel->PlotRect();
        const double step = plot.width() / 512.0;
        const double at = panel->PointFor(1250, 0).x() - plot.left();
        const auto i = static_cast<size_t>(std::lround(at / step));
        return Column{i, static_cast<int>(std::lround(plot.left() + static_cast<double>(i) * step)), plot};
    };

    Column c = column();
    const float measuredDb = panel->OverlayMeasured()[c.i];
    const double measuredRow = MeanRow(panel->RenderImage(), c.x, c.plot, orange);
    ASSERT_GT(measuredRow, 0);
    EXPECT_NEAR(measuredRow, c.Row(measuredDb), 2.0);

    // Raise band 6 by dragging its marker up: the prediction rises with it, the measurement stays.
    const EqPanelBand b = panel->Band(5);
    const QPoint from = c.plot.topLeft() + QPoint(qRound(b.markerX), qRound(b.markerY));
    QTest::mousePress(panel, Qt::LeftButton, {}, from);
    QTest::mouseMove(panel, from + QPoint(0, -40));
    QTest::mouseMove(panel, from + QPoint(0, -80));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, from + QPoint(0, -80));
    QCoreApplication::processEvents();
    ASSERT_GT(panel->Band(5).gainDb, 5.0f);

    c = column();
    const QImage raised = panel->RenderImage();
    const float predicted = panel->PredictedCurve()[c.i];
    EXPECT_GT(predicted, panel->OverlayMeasured()[c.i] + 3.0f);
    const double predictedRow = MeanRow(raised, c.x, c.plot, white);
    ASSERT_GT(predictedRow, 0);
    EXPECT_NEAR(predictedRow, c.Row(predicted), 2.0);
    EXPECT_LT(predictedRow, c.Row(panel->OverlayMeasured()[c.i]) - 10);
    EXPECT_NEAR(MeanRow(raised, c.x, c.plot, orange), c.Row(panel->OverlayMeasured()[c.i]), 2.0);

    // The overlay belongs to the path: another path shows none, coming back shows it again, and
    // clearing removes it.
    section.ShowPath(eqid::MicA);
    EXPECT_FALSE(panel->HasOverlay());
    section.ShowPath(eqid::MicB);
    EXPECT_TRUE(panel->HasOverlay());
    OpenPathMenu();
    MenuEntry(panel->ActiveMenu(), "Clear measurement")->trigger();
    EXPECT_FALSE(panel->HasOverlay());
    c = column();
    EXPECT_EQ(MeanRow(panel->RenderImage(), c.x, c.plot, orange), -1.0);
}

TEST_F(RoomCorrectionTest, AMeasurementWrittenAsUtf16WithCommasIsRead) {
    section.ShowPath(eqid::EchoA);
    std::string csv = "# exported\nFreq,SPL\n";
    for (double f = 20.0; f <= 20000.0; f *= 1.1)
        csv += std::to_string(f) + "," + std::to_string(70.0 + 3.0 * std::sin(f / 300.0)) + "\n";
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const QByteArray bytes = utf16(QString::fromStdString(csv));
    const QString path = Write("utf16.csv", bytes.toStdString());
    ASSERT_TRUE(section.ShowMeasurement(path)) << boxes.join('\n').toStdString();
    const EqOverlay* overlay = CEqOverlays::Instance().Find(eqid::EchoA);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->measurementName, QStringLiteral("utf16.csv"));
    EXPECT_NEAR(MeanLevelDb(overlay->measurement), 0.0, 1e-6); // normalised
}

TEST_F(RoomCorrectionTest, TheFitIsProposedOnTheGraphAndSentOnlyWhenApplied) {
    section.ShowPath(kOut3);
    section.SetApplyIdentities({kOut3, kOut4});
    const std::vector<EqBand> before3 = FreeEqBands(store, kOut3);
    // Fitting without a measurement asks for one first.
    answer = Write("room.txt", RoomText(kRoom));
    sender.Clear();
    section.FitToMeasurement();
    ASSERT_EQ(asked.size(), 1);
    CEqFitDlg* fit = WaitForFit();
    ASSERT_NE(fit, nullptr);
    ASSERT_TRUE(fit->Proposal().has_value()) << fit->MessageLabel()->text().toStdString();
    EXPECT_TRUE(fit->ApplyButton()->isEnabled());
    EXPECT_TRUE(fit->ApplyButton()->isDefault()); // Enter applies what is shown
    const FitResidual alone = fit->MeasurementResidual();
    ASSERT_TRUE(fit->FittedResidual());
    EXPECT_GT(alone.rmsDb, 2.0);
    EXPECT_LT(fit->FittedResidual()->rmsDb, 0.6);
    EXPECT_LT(fit->FittedResidual()->peakDb, 2.0);
    // Drawn, but nothing stored or sent yet.
    const EqOverlay* overlay = CEqOverlays::Instance().Find(kOut3);
    ASSERT_TRUE(overlay && overlay->proposal);
    EXPECT_EQ(*overlay->proposal, *fit->Proposal());
    EXPECT_EQ(FreeEqBands(store, kOut3), before3);
    EXPECT_TRUE(sender.Bodies().empty());

    // Changing an option withdraws the proposal until the next fit.
    fit->BoostBox()->setValue(3.0);
    EXPECT_FALSE(fit->ApplyButton()->isEnabled());
    EXPECT_TRUE(fit->FitButton()->isDefault());
    EXPECT_FALSE(CEqOverlays::Instance().Find(kOut3)->proposal);
    fit->CutBox()->setValue(5.0);
    fit->MaxQBox()->setValue(4.0);
    fit->BandsBox()->setValue(4);
    ASSERT_TRUE(fit->RunFit());
    const std::vector<EqBand> proposal = *fit->Proposal();
    ASSERT_EQ(proposal.size(), static_cast<size_t>(FreeEqBandCount(kOut3)));
    int used = 0;
    for (const EqBand& band : proposal) {
        if (band.type == eqtype::Off)
            continue;
        ++used;
        EXPECT_LE(band.gainDb, 3.0f);
        EXPECT_GE(band.gainDb, -5.0f);
        EXPECT_LE(band.q, 4.0f + 1e-4f);
    }
    EXPECT_LE(used, 4);

    QSignalSpy replaced(&section, &CEqSection::pathReplaced);
    QTest::mouseClick(fit->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(FreeEqBands(store, kOut3), proposal);
    EXPECT_EQ(FreeEqBands(store, kOut4), proposal);
    EXPECT_FALSE(sender.Bodies().empty());
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_FALSE(CEqOverlays::Instance().Find(kOut3)->proposal); // the graph shows the bands themselves now
    EXPECT_FLOAT_EQ(section.Panel()->Band(0).gainDb, proposal[0].gainDb);
}

TEST_F(RoomCorrectionTest, CancellingTheFitSendsNothingAndABadRangeOffersNoResult) {
    section.ShowPath(eqid::MicA);
    ASSERT_TRUE(section.ShowMeasurement(Write("room.txt", RoomText(kRoom))));
    const std::vector<EqBand> before = FreeEqBands(store, eqid::MicA);
    sender.Clear();
    section.FitToMeasurement();
    EXPECT_TRUE(asked.isEmpty()); // the path's measurement is used
    CEqFitDlg* fit = WaitForFit();
    ASSERT_NE(fit, nullptr);
    fit->FromBox()->setValue(5000);
    fit->ToBox()->setValue(1000);
    EXPECT_FALSE(fit->RunFit());
    EXPECT_FALSE(fit->ApplyButton()->isEnabled());
    EXPECT_FALSE(fit->MessageLabel()->text().isEmpty());
    fit->reject();
    QCoreApplication::processEvents();
    EXPECT_EQ(section.FitDialog(), nullptr);
    EXPECT_EQ(FreeEqBands(store, eqid::MicA), before);
    EXPECT_TRUE(sender.Bodies().empty());
}

TEST_F(RoomCorrectionTest, AnOutputsCrossoverIsPartOfWhatTheFitStartsFrom) {
    constexpr int kOut5 = eqid::FirstOutput + 4;
    const CrossoverCodes codes = ExpandCrossoverFamily(1, true); // a 24 dB high-pass
    for (int b = kOutputCrossoverBand; b <= kOutputLastHiddenBand; ++b)
        store.SetEqPathBand(kOut5, b, {0.0f, 90, 0.707f, codes[static_cast<size_t>(b - kOutputCrossoverBand)]});
    section.ShowPath(kOut5);
    ASSERT_TRUE(section.ShowMeasurement(Write("flat.txt", RoomText({}, 0.0))));
    section.FitToMeasurement();
    CEqFitDlg* fit = WaitForFit();
    ASSERT_NE(fit, nullptr);
    // A flat speaker behind a 90 Hz high-pass is far below flat at 40 Hz: only the crossover explains it.
    EXPECT_GT(fit->MeasurementResidual().peakDb, 10.0);
    // Above the crossover there is nothing to do: the fit changes nothing there.
    fit->FromBox()->setValue(300);
    ASSERT_TRUE(fit->RunFit());
    EXPECT_LT(fit->FittedResidual()->peakDb, 0.5);
    QTest::mouseClick(fit->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(store.GetEqPathBand(kOut5, kOutputCrossoverBand).type, codes[0]);
    EXPECT_EQ(store.GetEqPathBand(kOut5, kOutputCrossoverBand).freqHz, 90);
}

} // namespace
} // namespace orvex::test
