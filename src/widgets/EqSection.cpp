#include "widgets/EqSection.h"

#include "widgets/BandGrid.h"
#include "widgets/BandStrip.h"
#include "widgets/ControlId.h"
#include "widgets/EqOverlay.h"
#include "widgets/EqPanel.h"
#include "widgets/UiLanguage.h"
#include "widgets/UserText.h"
#include "link/EqImport.h"
#include "link/EqSender.h"
#include "model/AtomicFile.h"
#include "model/EqPaths.h"
#include "model/FilterDesign.h"
#include "model/FilterText.h"
#include "model/Measurement.h"
#include "model/ParameterStore.h"

#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScreen>
#include <QLabel>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvex {

namespace {

// The highest type byte an output band is taken with: crossover and split sections reach 21, and the
// processor keeps codes up to 31 for sections it may add; anything above is noise and shows as off.
constexpr int kHighestOutputTypeCode = 31;

const QString& FilterFileTypes() {
    static const QString zh = QStringLiteral("滤波器列表 (*.txt);;所有文件 (*)");
    static const QString en = QStringLiteral("Filter lists (*.txt);;All files (*)");
    return UiLanguageIndex() == 0 ? zh : en;
}

// The first control under `root` (in creation order) that carries `id`, or null.
QWidget* FindControl(const QWidget* root, int id) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (CtrlId(w) == id)
            return w;
    }
    return nullptr;
}

} // namespace

CEqSection::CEqSection(ParameterStore& store, EqSender& eq, IEqSectionHost& host, int typeColumnWidth, QWidget* parent)
    : QWidget(parent), m_store(store), m_eq(eq), m_host(host) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);

    m_panel = new CEqPanel(this);
    SetCtrlId(m_panel, 1040);
    row->addWidget(m_panel, 1);

    // The column beside the graph keeps one width whatever it shows, so the graph never changes size
    // when a band is picked or let go (a marker under the pointer would otherwise move away from it).
    m_sideColumn = new QWidget(this);
    auto* side = new QVBoxLayout(m_sideColumn);
    side->setContentsMargins(0, 0, 0, 0);
    side->setSpacing(4);
    m_crossoverRow = new QWidget(m_sideColumn);
    auto* crossover = new QHBoxLayout(m_crossoverRow);
    crossover->setContentsMargins(0, 0, 0, 0);
    m_crossoverLabel = new QLabel(m_crossoverRow);
    SetCtrlId(m_crossoverLabel, kCrossoverLabelId);
    m_crossover = new QComboBox(m_crossoverRow);
    SetCtrlId(m_crossover, kCrossoverComboId);
    // The family names are long; the list fits the column rather than widening it.
    m_crossover->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_crossover->setMinimumContentsLength(8);
    for (std::string_view name : kCrossoverFamilyNames)
        m_crossover->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    crossover->addWidget(m_crossoverLabel);
    crossover->addWidget(m_crossover, 1);
    m_crossoverRow->hide();
    side->addWidget(m_crossoverRow);

    m_side = new QStackedWidget(m_sideColumn);
    m_grid = new CBandGrid(typeColumnWidth, m_side);
    m_strip = new CBandStrip(m_side);
    m_grid->Bind(m_panel);
    m_strip->Bind(m_panel, m_grid);
    m_side->addWidget(m_grid);
    m_side->addWidget(m_strip);
    m_gridWidth = 30 + typeColumnWidth + 60 + 60 + 50 + 22;
    side->addWidget(m_side, 1);
    row->addWidget(m_sideColumn);

    connect(m_panel, &CEqPanel::bandChanged, this, &CEqSection::OnBandChanged);
    connect(m_panel, &CEqPanel::bandPicked, this, &CEqSection::OnBandPicked);
    connect(m_panel, &CEqPanel::clickEmpty, this, &CEqSection::OnClickEmpty);
    connect(m_panel, &CEqPanel::released, this, [this] {
        if (m_pendingSide != 0)
            ShowStrip(m_pendingSide == 2);
    });
    connect(m_panel, &CEqPanel::copyPaste, this, [this](int action, int identity) {
        HandleEqCopyPaste(
            action, identity,
            [this](int source, int destination) {
                // A paste is an edit like any other: it reaches every path of the apply set (a linked pair).
                const std::vector<int> targets = destination == m_identity ? m_apply : std::vector<int>{destination};
                for (int target : targets)
                    m_eq.CopyEqPath(source, target);
                emit pathReplaced();
            },
            [this] { Reload(); });
    });
    m_panel->SetCorrectionMenu(true);
    connect(m_panel, &CEqPanel::correctionCommand, this, &CEqSection::OnCorrectionCommand);
    connect(m_grid, &CBandGrid::bandEdited, this, &CEqSection::OnEdited);
    connect(m_grid, &QTableWidget::cellClicked, this, [this](int r, int) { OnGridRowClicked(r); });
    connect(m_strip, &CBandStrip::bandEdited, this, &CEqSection::OnEdited);
    connect(m_crossover, &QComboBox::activated, this, &CEqSection::OnCrossoverChosen);
    m_host.SetHint(m_panel, "均衡曲线: 拖动频点; 右键载入房间测量",
                   "Equaliser curve: drag a band; right-click for room measurement");
    m_host.SetHint(m_crossover, "分频滤波器的类型", "Crossover filter family");
    m_host.SetHint(m_grid, "均衡频点: 点选一行来编辑", "Equaliser bands: pick a row to edit it");
    struct StripHint {
        int id;
        const char* zh;
        const char* en;
    };
    static constexpr StripHint kStripHints[] = {
        {CBandStrip::IDC_TYPE_FIRST, "参量均衡", "Peaking filter"},
        {CBandStrip::IDC_TYPE_FIRST + 1, "低通", "Low-pass filter"},
        {CBandStrip::IDC_TYPE_FIRST + 2, "高通", "High-pass filter"},
        {CBandStrip::IDC_TYPE_FIRST + 3, "低架", "Low shelf"},
        {CBandStrip::IDC_TYPE_FIRST + 4, "高架", "High shelf"},
        {CBandStrip::IDC_GAIN_SLIDER, "所选频点的增益, dB", "Gain of the selected band, dB"},
        {CBandStrip::IDC_FREQ_SLIDER, "所选频点的频率, Hz", "Frequency of the selected band, Hz"},
        {CBandStrip::IDC_Q_SLIDER, "所选频点的Q值", "Q of the selected band"},
        {CBandStrip::IDC_GAIN_EDIT, "增益, dB, 输入后回车", "Gain in dB; type and press Enter"},
        {CBandStrip::IDC_FREQ_EDIT, "频率, Hz, 输入后回车", "Frequency in Hz; type and press Enter"},
        {CBandStrip::IDC_Q_EDIT, "Q值, 输入后回车", "Q; type and press Enter"},
    };
    for (const StripHint& h : kStripHints) {
        if (QWidget* w = FindControl(m_strip, h.id))
            m_host.SetHint(w, h.zh, h.en);
    }
    Retranslate();
}

bool CEqSection::IsOutput() const {
    return IsOutputEqIdentity(m_identity);
}

void CEqSection::ShowPath(int eqIdentity) {
    if (EqPathForIdentity(eqIdentity).firstRecord < 0)
        return;
    const bool samePath = eqIdentity == m_identity;
    m_identity = eqIdentity;
    m_apply = {eqIdentity};
    if (samePath)
        Reload();
    else
        LoadFromStore();
}

void CEqSection::Reload() {
    if (m_identity < 0)
        return;
    // The band being worked on stays picked when the same path is drawn again (after an undo, a
    // read-all, a change the processor reported), so its keys go on working; the focus stays put.
    const int band = m_panel->SelectedBand();
    LoadFromStore();
    if (band >= 0 && band < m_panel->VisibleBandCount()) {
        m_panel->SetSelectedBand(band);
        m_grid->ShowBandRow(band);
        OnBandPicked(band);
    }
}

void CEqSection::LoadFromStore() {
    const int count = EqPathForIdentity(m_identity).bandCount;
    m_panel->SetEqIdentity(m_identity);
    m_panel->SetSelectedBand(-1);
    m_panel->BeginLoad();
    // Every band starts from a fresh record: a stored frequency or Q of 0 is ignored, and must not
    // leave the previous path's value in place (its next edit would send it into this path).
    for (int b = 0; b < count; ++b)
        m_panel->ResetBandRecord(b);
    m_panel->SetBandCount(count);
    for (int b = 0; b < count; ++b) {
        const EqBand stored = m_store.GetEqPathBand(m_identity, b);
        int type = stored.type;
        if (IsOutput() ? type > kHighestOutputTypeCode : (type < eqtype::Off || type > eqtype::HighShelf))
            type = eqtype::Off;
        m_panel->SetBandType(b, type);
        m_panel->SetBandGain(b, stored.gainDb);
        if (stored.freqHz != 0)
            m_panel->SetBandFrequency(b, static_cast<float>(std::clamp(stored.freqHz, kMinBandFreqHz, kMaxBandFreqHz)));
        m_panel->SetBandQ(b, stored.q);
    }
    m_panel->EndLoad();
    m_grid->Reload();
    ClearSelection();
}

void CEqSection::SetApplyIdentities(std::vector<int> identities) {
    if (std::find(identities.begin(), identities.end(), m_identity) == identities.end())
        identities.insert(identities.begin(), m_identity);
    m_apply = std::move(identities);
}

void CEqSection::SetBypass(bool bypass) {
    m_panel->SetBypass(bypass);
}

int CEqSection::SelectedBand() const {
    return m_panel->SelectedBand();
}

bool CEqSection::StripShown() const {
    return m_side->currentWidget() == m_strip;
}

void CEqSection::ShowStrip(bool strip) {
    // The strip is wider than the grid; while a band is held the graph keeps its width, or the marker
    // would move away from the pointer in the middle of a drag. The change follows the release.
    if (m_panel->IsHeld()) {
        m_pendingSide = strip ? 2 : 1;
        return;
    }
    m_pendingSide = 0;
    m_side->setCurrentWidget(strip ? static_cast<QWidget*>(m_strip) : static_cast<QWidget*>(m_grid));
}

void CEqSection::ClearSelection() {
    m_panel->SetSelectedBand(-1);
    m_grid->clearSelection();
    ShowStrip(false);
    m_crossoverRow->hide();
}

void CEqSection::SelectBand(int band) {
    if (band < 0 || band >= m_panel->VisibleBandCount())
        return;
    m_panel->SetSelectedBand(band);
    m_panel->setFocus(Qt::ShortcutFocusReason);
    OnBandPicked(band);
}

void CEqSection::ResetPath() {
    for (int identity : m_apply)
        m_eq.ResetEqPath(identity);
    Reload();
}

void CEqSection::SetGridColours(const QColor& text, const QColor& background) {
    m_grid->RowTrait().SetRowColours(text, background);
    m_grid->viewport()->update();
}

void CEqSection::Retranslate() {
    m_crossoverLabel->setText(UiText("类型", "Type"));
    m_grid->Retranslate();
    m_strip->Retranslate();
    // Wide enough for the grid and for the strip in this language's texts.
    m_sideColumn->setFixedWidth(std::max(m_gridWidth, m_strip->minimumSizeHint().width()));
    if (m_panel->SelectedBand() >= 0)
        m_strip->ShowBand(m_panel->SelectedBand());
    m_panel->update();
}

void CEqSection::SendBand(int band) {
    if (m_identity < 0 || band < 0)
        return;
    auto valueOf = [this](int b) {
        const EqPanelBand shown = m_panel->Band(b);
        EqBand value;
        value.gainDb = shown.gainDb;
        value.freqHz = static_cast<int>(std::lround(shown.freqHz));
        value.q = shown.q;
        value.type = shown.type;
        return value;
    };
    // The crossover band is realised by its three hidden sections as well.
    const int last = IsOutput() && band == kOutputCrossoverBand ? kOutputLastHiddenBand : band;
    for (int identity : m_apply) {
        for (int b = band; b <= last; ++b)
            m_eq.SetPathBand(identity, b, valueOf(b));
    }
    emit bandSent(band);
}

void CEqSection::OnBandChanged(int band) {
    SendBand(band);
    m_grid->ShowBandRow(band);
    OnBandPicked(band);
}

void CEqSection::OnBandPicked(int band) {
    if (m_panel->SelectedBand() < 0) {
        ShowStrip(false);
        UpdateCrossover(-1);
        return;
    }
    m_strip->ShowBand(band);
    ShowStrip(true);
    UpdateCrossover(band);
}

void CEqSection::OnClickEmpty() {
    ClearSelection();
}

void CEqSection::OnEdited(int band) {
    SendBand(band);
    UpdateCrossover(band);
}

void CEqSection::OnGridRowClicked(int row) {
    UpdateCrossover(row);
}

void CEqSection::UpdateCrossover(int band) {
    bool show = false;
    if (IsOutput() && band == kOutputCrossoverBand) {
        const CrossoverCodes codes = {m_panel->Band(9).type, m_panel->Band(10).type, m_panel->Band(11).type,
                                      m_panel->Band(12).type};
        const std::optional<CrossoverMatch> match = MatchCrossoverCodes(codes);
        const int code = codes[0];
        const bool passKind = code == eqtype::LowPass || code == eqtype::HighPass || code > eqtype::HighShelf;
        // Shown only with a family to select: sections that match none would show the family last
        // selected as if it were the one in use.
        if (passKind && match && (match->menuType == eqtype::LowPass || match->menuType == eqtype::HighPass) &&
            match->familyIndex >= 0) {
            show = true;
            m_crossover->setCurrentIndex(match->familyIndex);
        }
    }
    m_crossoverRow->setVisible(show);
}

void CEqSection::OnCrossoverChosen(int listIndex) {
    int band = m_panel->SelectedBand();
    if (band < 0)
        band = m_grid->currentRow();
    if (band != kOutputCrossoverBand || !IsOutput())
        return;
    m_panel->SetCrossoverFamily(band, listIndex);
    m_grid->ShowBandRow(band);
    SendBand(band);
    if (m_panel->SelectedBand() == band)
        m_strip->ShowBand(band);
}

// ---- Room correction ------------------------------------------------------------------------------

void CEqSection::OnCorrectionCommand(int commandId) {
    switch (commandId) {
    case CEqPanel::ID_IMPORT_FILTERS:
        ImportFilters();
        break;
    case CEqPanel::ID_EXPORT_FILTERS:
        ExportFilters();
        break;
    case CEqPanel::ID_SHOW_MEASUREMENT:
        ShowMeasurement();
        break;
    case CEqPanel::ID_FIT_MEASUREMENT:
        FitToMeasurement();
        break;
    case CEqPanel::ID_CLEAR_MEASUREMENT:
        ClearMeasurement();
        break;
    default:
        break;
    }
}

bool CEqSection::ImportFilters(const QString& path) {
    if (m_identity < 0)
        return false;
    const QString caption = UiText("导入滤波器", "Import filters");
    const QString file = path.isEmpty() ? m_host.AskFileName(this, false, caption, {}, FilterFileTypes(), {}) : path;
    if (file.isEmpty())
        return false;
    const std::optional<std::string> text = ReadUserText(m_host, this, file, caption);
    if (!text)
        return false;
    // Every identity is planned before anything is sent: a linked partner never ends up half imported.
    std::vector<std::pair<int, std::vector<EqBand>>> plans;
    for (int identity : m_apply) {
        std::vector<FilterTextError> errors;
        std::optional<std::vector<EqBand>> plan = PlanFilterTextImport(m_store, identity, *text, errors);
        if (!plan) {
            m_host.ShowError(this,
                             UiText("滤波器未导入，文件中有错误：\n", "Nothing was imported; the file has errors:\n") +
                                 ListTextErrors(errors),
                             caption);
            return false;
        }
        plans.emplace_back(identity, std::move(*plan));
    }
    for (const auto& [identity, bands] : plans)
        ApplyFreeEqBands(m_eq, identity, bands);
    Reload();
    emit pathReplaced();
    // The bands play as the list says, but a path has no level of its own for the list's preamp.
    const std::optional<double> preamp = ParseFilterText(*text).list.preampDb;
    if (preamp && std::abs(*preamp) >= 0.05) {
        const QString level = QString::asprintf("%+.1f dB", *preamp);
        m_host.ShowInformation(
            this,
            UiLanguageIndex() == 0
                ? QStringLiteral("滤波器已导入。文件中的前级增益 %1 未应用：请相应调整该通道的音量。").arg(level)
                : QStringLiteral("The filters were imported. The file's preamp of %1 was not applied: "
                                 "set the channel's level by that much instead.")
                      .arg(level),
            caption);
    }
    return true;
}

bool CEqSection::ExportFilters(const QString& path) {
    if (m_identity < 0)
        return false;
    const QString caption = UiText("导出滤波器", "Export filters");
    QString file = path;
    if (file.isEmpty()) {
        const QString name = m_panel->Title() + QStringLiteral(".txt");
        file = m_host.AskFileName(this, true, caption, name, FilterFileTypes(), QStringLiteral("txt"));
        if (file.isEmpty())
            return false;
    }
    const std::string text = ExportFilterText(m_store, m_identity);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int failure = WriteFileAtomically(QFileInfo(file).filesystemAbsoluteFilePath(), {bytes, text.size()});
    if (failure != 0) {
        m_host.ShowError(this,
                         UiText("无法写入 ", "Cannot write ") + file + QStringLiteral(": ") +
                             QString::fromLocal8Bit(std::strerror(failure)),
                         caption);
        return false;
    }
    return true;
}

bool CEqSection::ShowMeasurement(const QString& path) {
    if (m_identity < 0)
        return false;
    QString name;
    std::optional<Measurement> measurement = ReadResponseFile(
        m_host, this, path, UiText("显示测量曲线", "Show measurement"),
        UiText("测量曲线未载入，文件中有错误：", "The measurement was not loaded; the file has errors:"), name);
    if (!measurement)
        return false;
    CEqOverlays::Instance().SetMeasurement(m_identity, std::move(*measurement), name);
    return true;
}

void CEqSection::ClearMeasurement() {
    if (m_fitDialog)
        m_fitDialog->reject();
    CEqOverlays::Instance().Clear(m_identity);
}

QDialog* CEqSection::FitDialog() const {
    return m_fitDialog;
}

void CEqSection::FitToMeasurement() {
    if (m_identity < 0 || m_fitDialog)
        return;
    if (!CEqOverlays::Instance().Find(m_identity) && !ShowMeasurement())
        return;
    const EqOverlay* overlay = CEqOverlays::Instance().Find(m_identity);
    if (!overlay)
        return;
    EqFitInput input;
    input.eqIdentity = m_identity;
    input.measurement = overlay->measurement;
    input.current = FreeEqBands(m_store, m_identity);
    // What the fit cannot change still plays: an output's crossover shapes the result it aims at.
    input.kept = FixedEqBands(m_store, m_identity);
    IEqFitDialog* fit = m_host.CreateFitDialog(std::move(input), this);
    QDialog* dialog = fit->Dialog();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_fitDialog = dialog;
    const int identity = m_identity;
    connect(dialog, &QDialog::finished, this, [this, fit, identity](int result) {
        const std::optional<std::vector<EqBand>> bands = fit->Proposal();
        CEqOverlays::Instance().SetProposal(identity, std::nullopt);
        if (result == QDialog::Accepted && bands)
            ApplyFit(identity, *bands);
    });
    dialog->open();
    // Beside the graph rather than over it (the proposal is drawn there), inside the window where it
    // fits and on the screen in any case.
    dialog->adjustSize();
    QPoint at = m_side->mapToGlobal(QPoint(0, 0));
    for (const QRect& bounds : {window()->frameGeometry(), screen()->availableGeometry()}) {
        if (dialog->height() <= bounds.height())
            at.setY(std::max(bounds.top(), std::min(at.y(), bounds.bottom() - dialog->height())));
        if (dialog->width() <= bounds.width())
            at.setX(std::max(bounds.left(), std::min(at.x(), bounds.right() - dialog->width())));
    }
    dialog->move(at);
    // The first fit runs with the defaults as soon as the dialog is up.
    QTimer::singleShot(0, dialog, [fit] {
        if (!fit->Proposal())
            fit->RunFit();
    });
}

void CEqSection::ApplyFit(int eqIdentity, const std::vector<EqBand>& bands) {
    // The page cannot change path while the dialog is open; should it have, only the fitted path gets them.
    const std::vector<int> identities = eqIdentity == m_identity ? m_apply : std::vector<int>{eqIdentity};
    for (int identity : identities)
        ApplyFreeEqBands(m_eq, identity, bands);
    if (eqIdentity == m_identity) {
        Reload();
        emit pathReplaced();
    }
}

} // namespace orvex
