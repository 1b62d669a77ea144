#include "editors/output/DelayDlg.h"

#include "widgets/ControlFonts.h"
#include "widgets/ControlId.h"
#include "widgets/DelayPanel.h"
#include "editors/output/OutputTabRow.h"
#include "widgets/XBmpSlider.h"
#include "model/CoefficientEncoding.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"
#include "shell/ControlHints.h"
#include "link/DeviceSession.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr std::array<CDelayDlg::RowIds, CDelayDlg::kChannels> kRows = {{
    {1293, 1190, 1191, 1014, 1008, 1038, 1242, 1123},
    {1294, 1192, 1193, 1015, 1009, 1039, 1243, 1124},
    {1295, 1194, 1195, 1016, 1010, 1040, 1244, 1125},
    {1296, 1196, 1197, 1017, 1011, 1041, 1245, 1126},
    {1297, 1198, 1199, 1018, 1012, 1042, 1246, 1131},
    {1298, 1200, 1201, 1019, 1013, 1043, 1247, 1135},
    {1299, 1202, 1203, 1022, 1020, 1044, 1248, 1132},
    {1300, 1204, 1205, 1023, 1021, 1045, 1249, 1136},
}};

constexpr int kModeHighFreq = 0;
constexpr int kModeWholeChannel = 1;

// A delay in milliseconds as a position in tenths, clamped in floating point first so that a stored
// NaN or infinity never reaches the integer conversion (NaN goes to the lower limit).
int TenthsFromMs(double ms) {
    double tenths = ms * 10.0;
    if (!(tenths >= CDelayDlg::kMinTenths))
        tenths = CDelayDlg::kMinTenths;
    tenths = std::min(tenths, static_cast<double>(CDelayDlg::kMaxTenths));
    return static_cast<int>(std::lround(tenths));
}

float MsFromTenths(int tenths) {
    return static_cast<float>(tenths / 10.0);
}

QString MsText(float ms) {
    return QString::asprintf("%.1fms", static_cast<double>(ms));
}

// "12.5", "12.5ms", " 7 ": the number the user typed; false when there is none.
bool ParseDelay(QString text, double& ms) {
    text = text.trimmed();
    if (text.endsWith(QStringLiteral("ms"), Qt::CaseInsensitive))
        text.chop(2);
    bool ok = false;
    ms = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(ms);
}

} // namespace

const std::array<CDelayDlg::RowIds, CDelayDlg::kChannels>& CDelayDlg::Rows() {
    return kRows;
}

CDelayDlg::CDelayDlg(DeviceSession& session, QWidget* parent) : CPage(PageKind::Delay, parent), m_session(session) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 14);
    layout->setSpacing(12);
    m_tabs = new COutputTabRow(PageKind::Delay, 0, this);
    connect(m_tabs, &COutputTabRow::requested, this, &CPage::pageRequested);
    layout->addWidget(m_tabs);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(BuildRows(), 0);
    m_panel = new CDelayPanel(this);
    SetHint(m_panel, "各通道延时图：拖动标记来调节延时", "Delays of all channels: drag a marker to change its delay");
    body->addWidget(m_panel, 1);
    layout->addLayout(body, 1);

    connect(m_panel, &CDelayPanel::delayDragged, this, &CDelayDlg::OnDelayDragged);

    Relabel();
    RefreshFromStore();
}

QWidget* CDelayDlg::BuildRows() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    // The rows line up with the graph's rows: the same insets above and below as its plot.
    grid->setContentsMargins(0, CDelayPanel::kTop, 0, CDelayPanel::kBottom);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(0);
    const QFont font = SongFont(12);

    for (int k = 0; k < kChannels; ++k) {
        const RowIds& ids = kRows[static_cast<size_t>(k)];
        Row& row = m_rows[static_cast<size_t>(k)];

        row.label = new QLabel(box);
        SetCtrlId(row.label, ids.rowLabel);
        row.label->setMinimumWidth(44);
        // The labels may grow in height so that the rows share the full height and line up with the
        // graph's rows beside them.
        row.label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        row.onOff = new QCheckBox(box);
        SetCtrlId(row.onOff, ids.onOff);
        row.highFreq = new QRadioButton(box);
        SetCtrlId(row.highFreq, ids.highFreq);
        row.wholeChannel = new QRadioButton(box);
        SetCtrlId(row.wholeChannel, ids.wholeChannel);
        // Each row's two radios are a group of their own.
        row.mode = new QButtonGroup(box);
        row.mode->addButton(row.highFreq, kModeHighFreq);
        row.mode->addButton(row.wholeChannel, kModeWholeChannel);
        SetHint(row.highFreq, "只延时高频", "Delay the high frequencies only");
        SetHint(row.wholeChannel, "延时整个通道", "Delay the whole channel");
        row.highFreq->setChecked(true);

        row.slider = new CXBmpSlider(ids.splitSlider, CXBmpSlider::Orientation::Horizontal, box);
        row.slider->SetSliderRange(0, kSplitMax);
        row.slider->SetSliderPos(0);
        row.slider->setMinimumWidth(120);
        row.splitLabel = new QLabel(box);
        SetCtrlId(row.splitLabel, ids.splitLabel);
        row.splitLabel->setFont(font);
        row.splitLabel->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QStringLiteral("3500Hz")) + 4);

        row.edit = new QLineEdit(box);
        SetCtrlId(row.edit, ids.delayEdit);
        row.edit->setFixedWidth(QFontMetrics(row.edit->font()).horizontalAdvance(QStringLiteral("100.0ms")) + 18);
        row.edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row.edit->installEventFilter(this);

        // The up-down sits against its edit, as tall as it.
        auto* delayCell = new QWidget(box);
        auto* delayLayout = new QHBoxLayout(delayCell);
        delayLayout->setContentsMargins(0, 0, 0, 0);
        delayLayout->setSpacing(1);
        row.edit->setParent(delayCell);
        delayLayout->addWidget(row.edit);
        row.upDown = new QWidget(delayCell);
        const int arrowHeight = row.edit->sizeHint().height() / 2;
        row.upDown->setFixedSize(18, 2 * arrowHeight);
        delayLayout->addWidget(row.upDown);
        SetCtrlId(row.upDown, ids.upDown);
        auto* arrows = new QVBoxLayout(row.upDown);
        arrows->setContentsMargins(0, 0, 0, 0);
        arrows->setSpacing(0);
        row.up = new QToolButton(row.upDown);
        row.up->setArrowType(Qt::UpArrow);
        row.down = new QToolButton(row.upDown);
        row.down->setArrowType(Qt::DownArrow);
        for (QToolButton* arrow : {row.up, row.down}) {
            arrow->setAutoRepeat(true);
            arrow->setFixedSize(18, arrowHeight);
            arrow->setFocusPolicy(Qt::NoFocus);
            arrows->addWidget(arrow);
        }
        SetHint(row.up, "延时加0.1 ms", "Delay +0.1 ms");
        SetHint(row.down, "延时减0.1 ms", "Delay -0.1 ms");

        int column = 0;
        grid->addWidget(row.label, k, column++);
        grid->addWidget(row.onOff, k, column++);
        grid->addWidget(row.highFreq, k, column++);
        grid->addWidget(row.wholeChannel, k, column++);
        grid->addWidget(row.slider, k, column++, Qt::AlignVCenter);
        grid->addWidget(row.splitLabel, k, column++);
        grid->addWidget(delayCell, k, column++);
        grid->setRowStretch(k, 1);
        grid->setRowMinimumHeight(k, 34);

        connect(row.onOff, &QCheckBox::clicked, this, [this, k](bool on) { OnSwitch(k, on); });
        connect(row.mode, &QButtonGroup::idClicked, this, [this, k](int mode) { OnMode(k, mode); });
        connect(row.slider, &CXBmpSlider::posChanged, this, [this, k](int, int index) { OnSplitMoved(k, index); });
        connect(row.edit, &QLineEdit::returnPressed, this, [this, k] { OnDelayTyped(k); });
        connect(row.up, &QToolButton::clicked, this, [this, k] { StepDelay(k, 1); });
        connect(row.down, &QToolButton::clicked, this, [this, k] { StepDelay(k, -1); });
    }
    grid->setColumnStretch(4, 1);
    return box;
}

void CDelayDlg::Relabel() {
    // Only the fixed texts come from the tables; the split labels and edits show values.
    m_tabs->Relabel();
    CPage::Relabel();
    m_panel->update(); // its row labels are painted in the language of the moment
}

void CDelayDlg::RefreshFromStore() {
    for (int k = 0; k < kChannels; ++k)
        RefreshRow(k);
}

void CDelayDlg::RefreshRow(int channel) {
    const ParameterStore& store = m_session.Store();
    Row& row = m_rows[static_cast<size_t>(channel)];

    row.position = TenthsFromMs(store.Get(fields::outDelayMs, channel));
    const float shown = MsFromTenths(row.position);
    row.edit->setText(MsText(shown));
    m_panel->SetChannelDelay(channel, shown);

    const int first = OutputChannelFirstRecord(channel);
    const int index = BandSplitIndexForFrequency(store.GetEqBand(first + kOutputSplitHighPassBand).freqHz);
    row.slider->SetSliderPos(index);
    row.splitLabel->setText(QStringLiteral("%1Hz").arg(BandSplitPairAt(index).highHz));

    row.onOff->setChecked(store.Get(fields::outDelayOff, channel) == 0);
    const bool whole = store.Get(fields::outDelayMode, channel) == kModeWholeChannel;
    (whole ? row.wholeChannel : row.highFreq)->setChecked(true);
    EnableRow(channel);
}

void CDelayDlg::RefreshSplitLabel(int channel) {
    const int first = OutputChannelFirstRecord(channel);
    const int highHz = m_session.Store().GetEqBand(first + kOutputSplitLowPassBand).freqHz;
    m_rows[static_cast<size_t>(channel)].splitLabel->setText(QStringLiteral("%1Hz").arg(highHz));
}

void CDelayDlg::EnableRow(int channel) {
    Row& row = m_rows[static_cast<size_t>(channel)];
    const bool on = row.onOff->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(row.highFreq), static_cast<QWidget*>(row.wholeChannel),
                       static_cast<QWidget*>(row.label), static_cast<QWidget*>(row.edit), row.upDown})
        w->setEnabled(on);
    const bool split = on && row.highFreq->isChecked();
    row.slider->SetSliderEnabled(split);
    row.splitLabel->setEnabled(split);
}

void CDelayDlg::ApplyChannelDelay(int channel, float ms) {
    if (channel < 0 || channel >= kChannels)
        return;
    // The page works in tenths of a millisecond: what is stored is what the edit shows.
    const float value = MsFromTenths(TenthsFromMs(ms));
    ParameterStore& store = m_session.Store();
    if (value != store.Get(fields::outDelayMs, channel))
        m_session.Commands().Set(fields::outDelayMs, channel, value);
    // The edit and the marker show what the store holds now, after the setter's own limits.
    const float stored = MsFromTenths(TenthsFromMs(store.Get(fields::outDelayMs, channel)));
    m_panel->SetChannelDelay(channel, stored);
    m_rows[static_cast<size_t>(channel)].edit->setText(MsText(stored));
}

void CDelayDlg::StepDelay(int channel, int steps) {
    if (channel < 0 || channel >= kChannels)
        return;
    Row& row = m_rows[static_cast<size_t>(channel)];
    row.position = std::clamp(row.position + steps, kMinTenths, kMaxTenths);
    ApplyChannelDelay(channel, MsFromTenths(row.position));
}

void CDelayDlg::OnDelayTyped(int channel) {
    Row& row = m_rows[static_cast<size_t>(channel)];
    double ms = 0.0;
    if (!ParseDelay(row.edit->text(), ms)) {
        // Nothing usable typed: show the stored delay again rather than inventing one.
        RefreshRow(channel);
        return;
    }
    row.position = TenthsFromMs(ms);
    ApplyChannelDelay(channel, MsFromTenths(row.position));
}

void CDelayDlg::OnDelayDragged(int channel, float ms) {
    if (channel < 0 || channel >= kChannels)
        return;
    Row& row = m_rows[static_cast<size_t>(channel)];
    row.edit->setFocus();
    row.position = TenthsFromMs(ms);
    ApplyChannelDelay(channel, MsFromTenths(row.position));
}

void CDelayDlg::OnSwitch(int channel, bool on) {
    m_session.Commands().Set(fields::outDelayOff, channel, on ? 0 : 1);
    EnableRow(channel);
}

void CDelayDlg::OnMode(int channel, int mode) {
    EnableRow(channel);
    // The setter stores the mode and re-sends the channel's split pair in the mode's filter types.
    m_session.Commands().Set(fields::outDelayMode, channel, mode);
}

void CDelayDlg::OnSplitMoved(int channel, int index) {
    m_session.Eq().SendBandSplit(channel, index);
    RefreshSplitLabel(channel);
}

int CDelayDlg::RowOfEdit(const QObject* object) const {
    for (int k = 0; k < kChannels; ++k) {
        if (m_rows[static_cast<size_t>(k)].edit == object)
            return k;
    }
    return -1;
}

bool CDelayDlg::eventFilter(QObject* watched, QEvent* event) {
    const int channel = RowOfEdit(watched);
    if (channel >= 0 && event->type() == QEvent::KeyPress) {
        // The arrow keys in an edit step its delay as the up-down beside it does.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepDelay(channel, key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    if (channel >= 0 && event->type() == QEvent::Wheel) {
        // The wheel steps a delay only in its focused edit, as the sliders take it only with the focus;
        // over any other edit it does nothing.
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (m_rows[static_cast<size_t>(channel)].edit->hasFocus() && delta != 0)
            StepDelay(channel, delta > 0 ? 1 : -1);
        wheel->accept();
        return true;
    }
    return CPage::eventFilter(watched, event);
}

} // namespace orvex
