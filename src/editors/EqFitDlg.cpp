#include "editors/EqFitDlg.h"

#include "editors/EqSectionHost.h"
#include "widgets/EqOverlay.h"
#include "widgets/UiLanguage.h"
#include "widgets/UserText.h"
#include "model/FilterDesign.h"
#include "shell/ControlHints.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace orvex {

namespace {

QDoubleSpinBox* MakeBox(QWidget* parent, double lo, double hi, int decimals, double step, const QString& suffix) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(lo, hi);
    box->setDecimals(decimals);
    box->setSingleStep(step);
    box->setSuffix(suffix);
    box->setKeyboardTracking(false);
    box->setAccelerated(true);
    return box;
}

QString Db(double value) {
    return QString::asprintf("%.2f dB", value);
}

} // namespace

CEqFitDlg::CEqFitDlg(Input input, QWidget* parent) : QDialog(parent), m_input(std::move(input)) {
    setWindowTitle(UiText("按测量曲线拟合", "Fit to measurement"));
    m_baseline = Baseline();

    auto* settings = new QGroupBox(UiText("拟合设置", "Settings"), this);
    auto* form = new QFormLayout(settings);
    m_from = MakeBox(settings, kMinBandFreqHz, kMaxBandFreqHz, 0, 10, QStringLiteral(" Hz"));
    m_to = MakeBox(settings, kMinBandFreqHz, kMaxBandFreqHz, 0, 100, QStringLiteral(" Hz"));
    auto* range = new QHBoxLayout;
    range->addWidget(m_from);
    range->addWidget(new QLabel(UiText("至", "to"), settings));
    range->addWidget(m_to);
    form->addRow(UiText("频率范围", "Range"), range);
    m_boost = MakeBox(settings, 0, kMaxBandGainDb, 1, 0.5, QStringLiteral(" dB"));
    form->addRow(UiText("最大提升", "Largest boost"), m_boost);
    m_cut = MakeBox(settings, 0, -kMinBandGainDb, 1, 0.5, QStringLiteral(" dB"));
    form->addRow(UiText("最大衰减", "Deepest cut"), m_cut);
    m_minQ = MakeBox(settings, kMinBandQ, kMaxPeakingQ, 2, 0.1, {});
    m_maxQ = MakeBox(settings, kMinBandQ, kMaxPeakingQ, 2, 0.5, {});
    auto* qRange = new QHBoxLayout;
    qRange->addWidget(m_minQ);
    qRange->addWidget(new QLabel(UiText("至", "to"), settings));
    qRange->addWidget(m_maxQ);
    form->addRow(UiText("Q 值范围", "Q"), qRange);
    const int free = static_cast<int>(m_input.current.size());
    m_bands = new QSpinBox(settings);
    m_bands->setRange(1, std::max(1, free));
    m_bands->setKeyboardTracking(false);
    form->addRow(UiText("使用频段数", "Bands to use"), m_bands);
    m_shelves = new QCheckBox(UiText("最低和最高频段可用架式滤波", "Lowest and highest band may be shelves"), settings);
    form->addRow(QString(), m_shelves);
    m_targetName = new QLabel(settings);
    m_loadTarget = new QPushButton(UiText("载入…", "Load…"), settings);
    m_flatTarget = new QPushButton(UiText("平直", "Flat"), settings);
    auto* target = new QHBoxLayout;
    target->addWidget(m_targetName, 1);
    target->addWidget(m_loadTarget);
    target->addWidget(m_flatTarget);
    form->addRow(UiText("目标曲线", "Target"), target);

    auto* figures = new QGroupBox(UiText("与目标的偏差", "Deviation from the target"), this);
    auto* grid = new QGridLayout(figures);
    grid->addWidget(new QLabel(UiText("均方根", "RMS"), figures), 0, 1, Qt::AlignRight);
    grid->addWidget(new QLabel(UiText("最大", "Peak"), figures), 0, 2, Qt::AlignRight);
    const std::array<QString, 3> rows = {UiText("仅测量", "Measurement alone"),
                                         UiText("当前均衡", "With the bands now"),
                                         UiText("拟合均衡", "With the fitted bands")};
    std::array<QLabel**, 3> cells = {m_measurementFigures, m_currentFigures, m_fittedFigures};
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(new QLabel(rows[static_cast<size_t>(r)], figures), r + 1, 0);
        for (int c = 0; c < 2; ++c) {
            QLabel*& cell = cells[static_cast<size_t>(r)][c];
            cell = new QLabel(QStringLiteral("—"), figures);
            cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cell->setMinimumWidth(cell->fontMetrics().horizontalAdvance(QStringLiteral("00.00 dB")) + 8);
            grid->addWidget(cell, r + 1, c + 1);
        }
    }
    m_message = new QLabel(this);
    m_message->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_fit = buttons->addButton(UiText("拟合", "Fit"), QDialogButtonBox::ActionRole);
    m_apply = buttons->addButton(UiText("应用", "Apply"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(UiText("取消", "Cancel"), QDialogButtonBox::RejectRole);
    m_apply->setEnabled(false);
    m_fit->setDefault(true);

    SetHint(m_from, "拟合的最低频率", "Lowest frequency the fit corrects");
    SetHint(m_to, "拟合的最高频率", "Highest frequency the fit corrects");
    SetHint(m_boost, "一个频段最多提升, dB", "Largest boost of one band, dB");
    SetHint(m_cut, "一个频段最多衰减, dB", "Deepest cut of one band, dB");
    SetHint(m_minQ, "最小Q值", "Smallest Q");
    SetHint(m_maxQ, "最大Q值", "Largest Q");
    SetHint(m_bands, "拟合可以使用的频段数", "How many bands the fit may use");
    SetHint(m_shelves, "最低和最高频段可以用架式滤波", "Let the lowest and highest band be shelves");
    SetHint(m_loadTarget, "载入目标曲线文件", "Load a target curve file");
    SetHint(m_flatTarget, "以平直为目标", "Aim at a flat response");
    SetHint(m_fit, "按设置计算均衡", "Work out the bands from these settings");
    SetHint(m_apply, "把拟合的均衡发送到机器", "Send the fitted bands to the processor");
    SetHint(cancel, "关闭，均衡不变", "Close and keep the bands as they are");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addWidget(figures);
    layout->addWidget(m_message);
    layout->addWidget(buttons);

    FitOptions defaults;
    defaults.bandCount = std::min(defaults.bandCount, std::max(1, free));
    SetOptions(defaults);
    const EqOverlay* overlay = CEqOverlays::Instance().Find(m_input.eqIdentity);
    m_targetName->setText(overlay && !overlay->target.Empty() ? overlay->targetName : UiText("平直", "Flat"));

    for (QDoubleSpinBox* box : {m_from, m_to, m_boost, m_cut, m_minQ, m_maxQ})
        connect(box, &QDoubleSpinBox::valueChanged, this, &CEqFitDlg::Invalidate);
    connect(m_bands, &QSpinBox::valueChanged, this, &CEqFitDlg::Invalidate);
    connect(m_shelves, &QCheckBox::toggled, this, &CEqFitDlg::Invalidate);
    connect(m_loadTarget, &QPushButton::clicked, this, [this] { LoadTarget(); });
    connect(m_flatTarget, &QPushButton::clicked, this, &CEqFitDlg::UseFlatTarget);
    connect(m_fit, &QPushButton::clicked, this, &CEqFitDlg::RunFit);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ShowFigures();
}

CEqFitDlg::~CEqFitDlg() = default;

FitOptions CEqFitDlg::Options() const {
    FitOptions o;
    o.loHz = m_from->value();
    o.hiHz = m_to->value();
    o.maxBoostDb = m_boost->value();
    o.maxCutDb = m_cut->value();
    o.minQ = m_minQ->value();
    o.maxQ = m_maxQ->value();
    o.bandCount = m_bands->value();
    o.allowShelves = m_shelves->isChecked();
    return o;
}

void CEqFitDlg::SetOptions(const FitOptions& o) {
    m_from->setValue(o.loHz);
    m_to->setValue(o.hiHz);
    m_boost->setValue(o.maxBoostDb);
    m_cut->setValue(o.maxCutDb);
    m_minQ->setValue(o.minQ);
    m_maxQ->setValue(o.maxQ);
    m_bands->setValue(o.bandCount);
    m_shelves->setChecked(o.allowShelves);
}

Measurement CEqFitDlg::Baseline() const {
    return PredictResponse(m_input.measurement, m_input.kept);
}

const Measurement& CEqFitDlg::Target() const {
    static const Measurement kFlat;
    const EqOverlay* overlay = CEqOverlays::Instance().Find(m_input.eqIdentity);
    return overlay ? overlay->target : kFlat;
}

FitResidual CEqFitDlg::MeasurementResidual() const {
    return ComputeResidual(m_baseline, Target(), {}, m_from->value(), m_to->value());
}

FitResidual CEqFitDlg::CurrentResidual() const {
    return ComputeResidual(m_baseline, Target(), m_input.current, m_from->value(), m_to->value());
}

void CEqFitDlg::ShowFigures() {
    auto show = [](QLabel* const* cells, const std::optional<FitResidual>& r) {
        cells[0]->setText(r ? Db(r->rmsDb) : QStringLiteral("—"));
        cells[1]->setText(r ? Db(r->peakDb) : QStringLiteral("—"));
    };
    const bool rangeOk = m_from->value() < m_to->value();
    show(m_measurementFigures, rangeOk ? std::optional(MeasurementResidual()) : std::nullopt);
    show(m_currentFigures, rangeOk ? std::optional(CurrentResidual()) : std::nullopt);
    show(m_fittedFigures, m_after);
}

QString CEqFitDlg::FiguresText() const {
    QStringList parts;
    for (QLabel* const* cells : {m_measurementFigures, m_currentFigures, m_fittedFigures})
        parts << cells[0]->text() + QLatin1Char('/') + cells[1]->text();
    return parts.join(QStringLiteral("; "));
}

void CEqFitDlg::Invalidate() {
    m_after.reset();
    if (m_proposal) {
        m_proposal.reset();
        CEqOverlays::Instance().SetProposal(m_input.eqIdentity, std::nullopt);
    }
    m_apply->setEnabled(false);
    m_fit->setDefault(true);
    m_message->clear();
    ShowFigures();
}

bool CEqFitDlg::RunFit() {
    Invalidate();
    const FitOptions options = Options();
    if (options.loHz >= options.hiHz) {
        m_message->setText(UiText("频率范围的下限必须低于上限。", "The range must start below where it ends."));
        return false;
    }
    if (options.minQ > options.maxQ) {
        m_message->setText(UiText("Q 值范围的下限不能高于上限。", "The lowest Q must not be above the highest."));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const FitResult result = FitEqualiser(m_baseline, Target(), options);
    QApplication::restoreOverrideCursor();
    if (!result.ok) {
        m_message->setText(UiText("无法拟合：", "No fit: ") + QString::fromStdString(result.message));
        return false;
    }
    // The bands the fit does not use play as off, so the path plays exactly the fit.
    std::vector<EqBand> bands = m_input.current;
    for (size_t i = 0; i < bands.size(); ++i) {
        if (i < result.bands.size())
            bands[i] = result.bands[i];
        else
            bands[i].type = eqtype::Off;
    }
    m_after = result.after;
    m_proposal = std::move(bands);
    CEqOverlays::Instance().SetProposal(m_input.eqIdentity, m_proposal);
    ShowFigures();
    int used = 0;
    for (const EqBand& band : *m_proposal)
        used += band.type != eqtype::Off ? 1 : 0;
    m_message->setText(UiLanguageIndex() == 0
                           ? QStringLiteral("拟合使用 %1 个频段。按“应用”发送到处理器。").arg(used)
                           : QStringLiteral("The fit uses %1 bands. Apply sends them to the processor.").arg(used));
    m_apply->setEnabled(true);
    m_apply->setDefault(true); // Enter now applies what is shown
    return true;
}

bool CEqFitDlg::LoadTarget(const QString& path) {
    QString name;
    // Normalised like the measurement, so that the two levels compare.
    std::optional<Measurement> target = ReadResponseFile(
        EqSectionHost(), this, path, UiText("载入目标曲线", "Load target curve"),
        UiText("目标曲线未载入，文件中有错误：", "The target was not loaded; the file has errors:"), name);
    if (!target)
        return false;
    CEqOverlays::Instance().SetTarget(m_input.eqIdentity, std::move(*target), name);
    m_targetName->setText(name);
    Invalidate();
    return true;
}

void CEqFitDlg::UseFlatTarget() {
    CEqOverlays::Instance().SetTarget(m_input.eqIdentity, {}, {});
    m_targetName->setText(UiText("平直", "Flat"));
    Invalidate();
}

} // namespace orvex
