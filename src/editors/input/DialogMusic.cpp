#include "editors/input/DialogMusic.h"

#include "editors/EqSectionHost.h"
#include "widgets/BandGrid.h"
#include "editors/input/StoreToControl.h"
#include "widgets/ControlId.h"
#include "widgets/EqPanel.h"
#include "widgets/GdipButton.h"
#include "widgets/GraphPalette.h"
#include "widgets/PeakMeterCtrl.h"
#include "widgets/SmallEqPanel.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/Theme.h"
#include "widgets/ReportCtrl.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <bit>

namespace orvex {

namespace {

// How a parameter row shows its value.
enum class RowFormat { Percent, Milliseconds, ReverbTime, Hertz };

// One row of the effect parameter grid: its names, the value slider's range, and the fields of mic
// channels A and B.
struct ParamRow {
    const char* zh;
    const char* en;
    int lo;
    int hi;
    RowFormat format;
    int slotA;
    int slotB;
    bool isFloat;
};

constexpr int kReverbLevelRow = 0;
constexpr int kReverbPredelayRow = 1;
constexpr int kEchoLevelRow = 3;
constexpr int kEchoTimeRow = 5;

const ParamRow kRows[CDialogMusic::kParamRows] = {
    {"混响电平", "Reverb Level", 0, 100, RowFormat::Percent, fields::reverbLevelA.slot, fields::reverbLevelB.slot,
     false},
    {"混响预延时", "Reverb Predelay", 2, 200, RowFormat::Milliseconds, fields::reverbPredelayA.slot,
     fields::reverbPredelayB.slot, true},
    {"混响时长", "Reverb Time", 0, 100, RowFormat::ReverbTime, fields::reverbTimeA.slot, fields::reverbTimeB.slot,
     true},
    {"回声电平", "Echo Level", 0, 100, RowFormat::Percent, fields::echoLevelA.slot, fields::echoLevelB.slot, false},
    {"回声预延时", "Echo Predelay", 2, 200, RowFormat::Milliseconds, fields::echoPredelayA.slot,
     fields::echoPredelayB.slot, true},
    {"回声间隔", "Echo Time", 2, 260, RowFormat::Milliseconds, fields::echoTimeA.slot, fields::echoTimeB.slot, true},
    {"回声起始音量", "Echo Start Vol", 40, 100, RowFormat::Percent, fields::echoStartA.slot, fields::echoStartB.slot,
     false},
    {"回声衰减比例", "Echo Vol Decay", 20, 90, RowFormat::Percent, fields::echoDecayA.slot, fields::echoDecayB.slot,
     false},
    {"话筒移频", "Shift Frequency", 1, 8, RowFormat::Hertz, fields::shiftFreqA.slot, fields::shiftFreqB.slot, false},
};

// An echo time this short sounds as a doubling, not an echo: the reverb predelay follows it, ten times longer.
constexpr int kPredelayFollowMin = 2;
constexpr int kPredelayFollowMax = 6;
constexpr int kMuteNoticeMs = 1100;

// Control ids of the template.
constexpr int kViewButtonIds[3] = {1068, 1069, 1070};
constexpr int kMicNameIds[4] = {1185, 1186, 1187, 1188};
constexpr int kRouteAIds[4] = {1190, 1192, 1194, 1196};
constexpr int kRouteBIds[4] = {1191, 1193, 1195, 1197};
constexpr int kGateIds[4] = {1052, 1053, 1054, 1055};
constexpr int kGateLabelIds[4] = {1153, 1155, 1157, 1159};
constexpr int kGateValueIds[4] = {1152, 1154, 1156, 1158};
constexpr int kVolumeIds[4] = {1056, 1057, 1058, 1059};
constexpr int kVolumeLabelIds[4] = {1161, 1163, 1165, 1167};
constexpr int kVolumeValueIds[4] = {1160, 1162, 1164, 1166};
constexpr int kMicLevelIds[4] = {1170, 1171, 1172, 1173};
constexpr int kVisibleMics = 2; // mics 3 and 4 are kept current but not shown
constexpr int kInputMax = 100;
constexpr int kThumbWidth = 150;

const QColor kMicNameColour(0, 0, 238);
const QColor kThumbTitleColour(240, 0, 0);
const QColor kChannelAColour = graphpalette::Curve;
const QColor kParamOtherColour(0, 255, 0);
const QColor kBandGridColours[3] = {graphpalette::Curve, QColor(0, 220, 0), QColor(255, 200, 0)};
const QColor kThumbColours[3] = {QColor(0, 200, 255), QColor(0, 220, 0), QColor(100, 100, 100)};
const QColor kDarkBackground = graphpalette::Background;

constexpr const char* kFormatNames[] = {"STEREO",   "AC3",    "DTS",    "DTS-CD",      "E-AC3",
                                        "DOLBY-HD", "DTS-HR", "DTS-HD", "LPCM MultiCh"};

constexpr int kEqIdentities[3] = {eqid::MicA, eqid::MicB, eqid::Music};

QString FormatRowValue(const ParamRow& row, int value) {
    switch (row.format) {
    case RowFormat::Percent:
        return QString::asprintf("%d%%", value);
    case RowFormat::Milliseconds:
        return QString::asprintf("%dms", value);
    case RowFormat::ReverbTime:
        return QString::asprintf("%.0fms", 40.0 + 49.6 * value);
    case RowFormat::Hertz:
        return value <= 1 ? Tr2("关闭", "Off") : QString::asprintf("%dHz", value);
    }
    return {};
}

void StyleMeter(CPeakMeterCtrl* meter) {
    meter->SetBandLayout(1, 15);
    meter->SetVertical(false);
    meter->SetBackground(kPageBackground);
    meter->StartDecayTimer(50);
    meter->setFixedHeight(12);
}

QLabel* ValueLabel(int id, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("0"), parent);
    SetCtrlId(label, id);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("100")) + 6);
    return label;
}

} // namespace

CDialogMusic::CDialogMusic(const PageContext& ctx, QWidget* parent)
    : CPage(PageKind::Music, parent), m_session(ctx.session), m_display(ctx.display) {
    UsePageBackground(this);

    // Top row: the channel buttons, then the music levels and the stream format.
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    for (int v = 0; v < 3; ++v) {
        auto* button = new CGdipButton(kViewButtonIds[v], this);
        button->setFixedSize(110, 30);
        connect(button, &QAbstractButton::clicked, this, [this, v] { OnViewButton(v); });
        m_viewButtons[static_cast<size_t>(v)] = button;
        top->addWidget(button);
    }
    top->addStretch(1);

    // The music levels sit in the button row, as one line: title, the two bars, the stream format.
    m_musicGroup = new QFrame(this);
    m_musicGroup->setFrameShape(QFrame::StyledPanel);
    auto* music = new QGridLayout(m_musicGroup);
    music->setContentsMargins(8, 2, 8, 2);
    music->setHorizontalSpacing(6);
    music->setVerticalSpacing(2);
    m_musicTitle = new QLabel(m_musicGroup);
    SetCtrlId(m_musicTitle, 1142);
    music->addWidget(m_musicTitle, 0, 0, 2, 1);
    for (int side = 0; side < 2; ++side) {
        auto* label = new QLabel(side == 0 ? QStringLiteral("L") : QStringLiteral("R"), m_musicGroup);
        auto* meter = new CPeakMeterCtrl(m_musicGroup);
        SetCtrlId(meter, side == 0 ? 1168 : 1169);
        StyleMeter(meter);
        meter->setFixedSize(150, 11);
        m_musicLevels[static_cast<size_t>(side)] = meter;
        m_musicSideLabels[static_cast<size_t>(side)] = label;
        music->addWidget(label, side, 1);
        music->addWidget(meter, side, 2);
    }
    m_format = new QLabel(QString::fromLatin1(kFormatNames[0]), m_musicGroup);
    SetCtrlId(m_format, 1222);
    m_format->setMinimumWidth(m_format->fontMetrics().horizontalAdvance(QStringLiteral("LPCM MultiCh")) + 12);
    m_format->setAlignment(Qt::AlignCenter);
    QFont formatFont = m_format->font();
    formatFont.setBold(true);
    m_format->setFont(formatFont);
    music->addWidget(m_format, 0, 3, 2, 1);
    top->addWidget(m_musicGroup);

    // The mic inputs; mics 3 and 4 and the music-source level exist for the processor's sake only.
    m_micGroup = new QGroupBox(this);
    SetCtrlId(m_micGroup, 1182);
    auto* mics = new QHBoxLayout(m_micGroup);
    mics->setContentsMargins(8, 4, 8, 6);
    mics->setSpacing(14);
    for (int mic = 0; mic < kMicCount; ++mic) {
        QWidget* block = BuildMic(mic);
        mics->addWidget(block);
        if (mic >= kVisibleMics)
            block->hide();
    }
    auto* sourceBlock = new QWidget(m_micGroup);
    auto* source = new QVBoxLayout(sourceBlock);
    m_sourceLabel = new QLabel(sourceBlock);
    SetCtrlId(m_sourceLabel, 1175);
    m_sourceSlider = new CXBmpSlider(1060, CXBmpSlider::Orientation::Vertical, sourceBlock);
    m_sourceSlider->SetSliderRange(0, kInputMax);
    m_sourceValue = ValueLabel(1174, sourceBlock);
    source->addWidget(m_sourceLabel);
    source->addWidget(m_sourceSlider);
    source->addWidget(m_sourceValue);
    mics->addWidget(sourceBlock);
    sourceBlock->hide();
    connect(m_sourceSlider, &CXBmpSlider::posChanged, this, [this](int, int position) {
        m_session.Commands().SetSlotWord(SourceLevelSlot(), static_cast<uint32_t>(position));
        m_sourceValue->setText(QString::number(position));
    });

    m_paramGroup = new QGroupBox(this);
    SetCtrlId(m_paramGroup, 1183);
    auto* params = new QHBoxLayout(m_paramGroup);
    params->setContentsMargins(8, 4, 8, 6);
    params->setSpacing(10);
    params->addWidget(BuildParameters(), 0);
    params->addWidget(BuildThumbnails(), 1);

    auto* upper = new QHBoxLayout;
    upper->setSpacing(10);
    upper->addWidget(m_micGroup, 0);
    upper->addWidget(m_paramGroup, 1);

    // The equaliser needs every line of height the page can give its band grid; the graph names the
    // path it shows, so it goes without a frame of its own.
    m_eq = new CEqSection(m_session.Store(), m_session.Eq(), EqSectionHost(), 55, this);
    // Rows as tight as the parameter grid's, so that all ten bands fit the smallest page.
    m_eq->Grid()->verticalHeader()->setDefaultSectionSize(m_eq->Grid()->fontMetrics().height() + 2);
    connect(m_eq, &CEqSection::pathReplaced, this, [this] { LoadEq(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addLayout(upper, 0);
    layout->addWidget(m_eq, 1);

    // The texts, both grids and the first refresh; the bars show the last levels until the next reply.
    Relabel();
    UpdateLiveDisplay();
}

QWidget* CDialogMusic::BuildMic(int mic) {
    MicWidgets& w = m_mics[static_cast<size_t>(mic)];
    auto* block = new QWidget(m_micGroup);
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    w.name = new QLabel(block);
    SetCtrlId(w.name, kMicNameIds[mic]);
    QPalette namePalette = w.name->palette();
    namePalette.setColor(QPalette::WindowText, kMicNameColour);
    w.name->setPalette(namePalette);
    QFont nameFont = w.name->font();
    nameFont.setBold(true);
    w.name->setFont(nameFont);
    w.name->setAlignment(Qt::AlignCenter);

    w.route = new QButtonGroup(block);
    w.toA = new QRadioButton(block);
    SetCtrlId(w.toA, kRouteAIds[mic]);
    w.toB = new QRadioButton(block);
    SetCtrlId(w.toB, kRouteBIds[mic]);
    w.route->addButton(w.toA);
    w.route->addButton(w.toB);
    connect(w.toA, &QRadioButton::clicked, this, [this, mic] { OnRoute(mic, true); });
    connect(w.toB, &QRadioButton::clicked, this, [this, mic] { OnRoute(mic, false); });

    w.gateLabel = new QLabel(block);
    SetCtrlId(w.gateLabel, kGateLabelIds[mic]);
    w.gateLabel->setAlignment(Qt::AlignCenter);
    w.gate = new CXBmpSlider(kGateIds[mic], CXBmpSlider::Orientation::Vertical, block);
    w.gate->SetSliderRange(0, kInputMax);
    w.gate->setMinimumHeight(80);
    w.gateValue = ValueLabel(kGateValueIds[mic], block);
    w.volumeLabel = new QLabel(block);
    SetCtrlId(w.volumeLabel, kVolumeLabelIds[mic]);
    w.volumeLabel->setAlignment(Qt::AlignCenter);
    w.volume = new CXBmpSlider(kVolumeIds[mic], CXBmpSlider::Orientation::Vertical, block);
    w.volume->SetSliderRange(0, kInputMax);
    w.volume->setMinimumHeight(80);
    w.volumeValue = ValueLabel(kVolumeValueIds[mic], block);
    connect(w.gate, &CXBmpSlider::posChanged, this, [this, mic](int, int position) {
        m_session.Commands().Set(fields::micGate, mic, position);
        m_mics[static_cast<size_t>(mic)].gateValue->setText(QString::number(position));
    });
    connect(w.volume, &CXBmpSlider::posChanged, this, [this, mic](int, int position) {
        m_session.Commands().Set(fields::micVolume, mic, position);
        m_mics[static_cast<size_t>(mic)].volumeValue->setText(QString::number(position));
    });

    w.level = new CPeakMeterCtrl(block);
    SetCtrlId(w.level, kMicLevelIds[mic]);
    StyleMeter(w.level);

    grid->addWidget(w.name, 0, 0, 1, 2);
    grid->addWidget(w.toA, 1, 0, Qt::AlignLeft);
    grid->addWidget(w.toB, 1, 1, Qt::AlignLeft);
    grid->addWidget(w.gateLabel, 2, 0);
    grid->addWidget(w.volumeLabel, 2, 1);
    grid->addWidget(w.gate, 3, 0, Qt::AlignHCenter);
    grid->addWidget(w.volume, 3, 1, Qt::AlignHCenter);
    grid->addWidget(w.gateValue, 4, 0);
    grid->addWidget(w.volumeValue, 4, 1);
    grid->addWidget(w.level, 5, 0, 1, 2);
    grid->setRowStretch(3, 1);
    return block;
}

QWidget* CDialogMusic::BuildParameters() {
    auto* box = new QWidget(m_paramGroup);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    m_grid = new CReportCtrl(1141, box);
    m_grid->SetBackgroundColour(kDarkBackground);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 2);
    m_grid->horizontalHeader()->setFixedHeight(m_grid->fontMetrics().height() + 8);
    m_grid->SetRowCount(kParamRows);
    BuildGridColumns();
    m_grid->setFixedSize(m_grid->sizeHint());
    connect(m_grid, &CReportCtrl::rowSelected, this, &CDialogMusic::SelectParamRow);
    connect(m_grid, &CReportCtrl::stepRequested, this, &CDialogMusic::StepParamValue);
    row->addWidget(m_grid, 0, Qt::AlignTop);

    auto* side = new QVBoxLayout;
    side->setSpacing(4);
    m_rowName = new QLabel(box);
    SetCtrlId(m_rowName, 1124);
    m_rowName->setAlignment(Qt::AlignCenter);
    m_rowName->setWordWrap(true);
    m_rowName->setFixedWidth(84);
    m_rowName->setMinimumHeight(2 * m_rowName->fontMetrics().height() + 2);
    m_valueSlider = new CXBmpSlider(1000, CXBmpSlider::Orientation::Vertical, box);
    m_valueSlider->SetSliderRange(0, 100);
    m_valueSlider->setMinimumHeight(80);
    connect(m_valueSlider, &CXBmpSlider::posChanged, this, [this](int, int position) { ApplyParamValue(position); });
    m_valueEdit = new QLineEdit(box);
    SetCtrlId(m_valueEdit, 1038);
    // An exact value may be typed in: applied on Enter or when the box loses the focus.
    m_valueEdit->setAlignment(Qt::AlignCenter);
    connect(m_valueEdit, &QLineEdit::editingFinished, this, &CDialogMusic::OnValueTyped);
    m_valueEdit->setFixedWidth(m_valueEdit->fontMetrics().horizontalAdvance(QStringLiteral("5000ms")) + 20);
    side->addWidget(m_rowName);
    side->addWidget(m_valueSlider, 1, Qt::AlignHCenter);
    side->addWidget(m_valueEdit, 0, Qt::AlignHCenter);
    row->addLayout(side);
    return box;
}

QWidget* CDialogMusic::BuildThumbnails() {
    auto* box = new QWidget(m_paramGroup);
    auto* column = new QGridLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setHorizontalSpacing(10);
    column->setVerticalSpacing(2);
    const auto title = [box](int id) {
        auto* label = new QLabel(box);
        SetCtrlId(label, id);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, kThumbTitleColour);
        label->setPalette(p);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        return label;
    };
    const auto hint = [box](int id) {
        auto* label = new QLabel(box);
        SetCtrlId(label, id);
        label->setWordWrap(true);
        return label;
    };
    const auto thumb = [this, box](int id, bool echo) {
        auto* panel = new CSmallEqPanel(box);
        SetCtrlId(panel, id);
        panel->setMinimumSize(kThumbWidth, 72);
        panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        panel->setCursor(Qt::PointingHandCursor);
        connect(panel, &CSmallEqPanel::clicked, this, [this, echo] { OnThumbnail(echo); });
        return panel;
    };
    m_reverbTitle = title(1132);
    m_reverbHint = hint(1146);
    m_reverbThumb = thumb(1144, false);
    m_echoTitle = title(1145);
    m_echoHint = hint(1189);
    m_echoThumb = thumb(1143, true);
    for (QLabel* label : {m_reverbHint, m_echoHint}) {
        label->setMinimumWidth(kThumbWidth);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    column->addWidget(m_reverbTitle, 0, 0);
    column->addWidget(m_reverbHint, 1, 0);
    column->addWidget(m_reverbThumb, 2, 0);
    column->addWidget(m_echoTitle, 0, 1);
    column->addWidget(m_echoHint, 1, 1);
    column->addWidget(m_echoThumb, 2, 1);
    return box;
}

void CDialogMusic::BuildGridColumns() {
    m_grid->SetColumns({Tr2("", " "), Tr2("参数名", "Parameter name"), Tr2("参数值", "Value")}, {50, 130, 80});
    for (int r = 0; r < kParamRows; ++r) {
        m_grid->SetItemText(r, 0, QString::number(r + 1));
        m_grid->SetItemText(r, 1, Tr2(kRows[r].zh, kRows[r].en));
    }
}

QRadioButton* CDialogMusic::RouteRadio(int mic, bool channelA) const {
    const MicWidgets& w = m_mics[static_cast<size_t>(mic)];
    return channelA ? w.toA : w.toB;
}

// ---- texts ----------------------------------------------------------------------------------------------

void CDialogMusic::Relabel() {
    static const char* const kViewZh[3] = {"话筒通道A", "话筒通道B", "音乐"};
    static const char* const kViewEn[3] = {"Mic CH A", "Mic CH B", "Music"};
    for (int v = 0; v < 3; ++v)
        m_viewButtons[static_cast<size_t>(v)]->setText(Tr2(kViewZh[v], kViewEn[v]));
    for (int mic = 0; mic < kMicCount; ++mic) {
        MicWidgets& w = m_mics[static_cast<size_t>(mic)];
        w.name->setText(Tr2("话筒口%1", "Mic %1").arg(mic + 1));
        w.toA->setText(Tr2("通道A", "CH A"));
        w.toB->setText(Tr2("通道B", "CH B"));
        w.gateLabel->setText(Tr2("噪声门", "MNG"));
        w.volumeLabel->setText(Tr2("音量", "Vol"));
    }
    m_micGroup->setTitle(Tr2("话筒输入", "Mic Input"));
    m_paramGroup->setTitle(Tr2("效果参数", "Effect Parameter"));
    m_musicTitle->setText(Tr2("音乐电平", "Music Peak"));
    m_reverbTitle->setText(Tr2("混响均衡", "Reverb EQ"));
    m_reverbHint->setText(Tr2("点击下面方框进入混响均衡调节界面", "Click to enter reverb EQ"));
    m_echoTitle->setText(Tr2("回声均衡", "Echo EQ"));
    m_echoHint->setText(Tr2("点击下面方框进入回声均衡调节界面", "Click to enter echo EQ"));
    CPage::Relabel();
    m_eq->Retranslate();
    // The grid's headers and names are the language's; the selected row is shown again with its name.
    BuildGridColumns();
    RefreshFromStore();
}

// ---- refresh --------------------------------------------------------------------------------------------

void CDialogMusic::SetChannelView(int view) {
    m_view = std::clamp(view, 0, 2);
}

void CDialogMusic::RefreshFromStore() {
    const ParameterStore& store = m_session.Store();
    for (int mic = 0; mic < kMicCount; ++mic) {
        const bool toA = store.Get(fields::micToA, mic) != 0;
        RouteRadio(mic, toA)->setChecked(true);
    }
    ApplyViewState();
    LoadMics();
    LoadSourceLevel();
    LoadEq();
    FillParamGrid();
    LoadThumbnails();
}

void CDialogMusic::ApplyViewState() {
    for (int v = 0; v < 3; ++v)
        m_viewButtons[static_cast<size_t>(v)]->UseAlternateImage(v == m_view);
    // The music input has no effects: its view keeps channel B's values on show, greyed.
    const bool mic = m_view != 2;
    m_grid->setEnabled(mic);
    m_valueSlider->SetSliderEnabled(mic);
    m_valueEdit->setEnabled(mic);
    m_rowName->setEnabled(mic);
    m_reverbThumb->setEnabled(mic);
    m_echoThumb->setEnabled(mic);
    for (QLabel* label : {m_reverbTitle, m_reverbHint, m_echoTitle, m_echoHint})
        label->setEnabled(mic);
}

void CDialogMusic::LoadMics() {
    const ParameterStore& store = m_session.Store();
    for (int mic = 0; mic < kMicCount; ++mic) {
        MicWidgets& w = m_mics[static_cast<size_t>(mic)];
        const int gate = SliderPosition(store.Get(fields::micGate, mic), 0, kInputMax);
        const int volume = SliderPosition(store.Get(fields::micVolume, mic), 0, kInputMax);
        w.gate->SetSliderPos(gate);
        w.gateValue->setText(QString::number(gate));
        w.volume->SetSliderPos(volume);
        w.volumeValue->setText(QString::number(volume));
    }
}

int CDialogMusic::SourceLevelSlot() const {
    switch (m_session.Store().Get(fields::musicSource)) {
    case 2:
        return fields::hdmiVolume.slot;
    case 3:
        return fields::btVolume.slot;
    default:
        return fields::opticalVolume.slot;
    }
}

void CDialogMusic::LoadSourceLevel() {
    const int source = m_session.Store().Get(fields::musicSource);
    m_sourceLabel->setText(source == 2   ? Tr2("HDMI音量", "HDMI")
                           : source == 3 ? Tr2("蓝牙音量", "BT")
                                         : Tr2("光纤音量", "OPTICAL"));
    const int level = SliderPosition(m_session.Store().GetSlotInt(SourceLevelSlot()), 0, kInputMax);
    m_sourceSlider->SetSliderPos(level);
    m_sourceValue->setText(QString::number(level));
}

void CDialogMusic::LoadEq() {
    const size_t v = static_cast<size_t>(m_view);
    m_eq->ShowPath(kEqIdentities[v]);
    m_eq->SetBypass(m_session.Store().GetSlotWord(EqBypassSlot()) != 0);
    m_eq->SetGridColours(kBandGridColours[v], kDarkBackground);
}

void CDialogMusic::LoadThumbnails() {
    const ParameterStore& store = m_session.Store();
    const int channel = EffectChannel();
    const QColor colour = kThumbColours[static_cast<size_t>(m_view)];
    const struct {
        CSmallEqPanel* panel;
        int identity;
        int bypassSlot;
    } thumbs[] = {
        {m_reverbThumb, channel == 0 ? eqid::ReverbA : eqid::ReverbB,
         channel == 0 ? fields::reverbEqBypassA.slot : fields::reverbEqBypassB.slot},
        {m_echoThumb, channel == 0 ? eqid::EchoA : eqid::EchoB,
         channel == 0 ? fields::echoEqBypassA.slot : fields::echoEqBypassB.slot},
    };
    for (const auto& t : thumbs) {
        for (int b = 0; b < CSmallEqPanel::kBands; ++b) {
            const EqBand band = store.GetEqPathBand(t.identity, b);
            const int type = band.type >= eqtype::Off && band.type <= eqtype::HighShelf ? band.type : eqtype::Off;
            t.panel->SetBandType(b, type);
            t.panel->SetBandFrequency(b, static_cast<float>(band.freqHz));
            t.panel->SetBandGain(b, band.gainDb);
            t.panel->SetBandQ(b, band.q);
        }
        t.panel->SetCurveColour(colour);
        t.panel->SetBypass(m_view != 2 && store.GetSlotWord(t.bypassSlot) != 0);
        t.panel->update();
    }
}

// ---- the parameter grid ---------------------------------------------------------------------------------

int CDialogMusic::RowSlot(int row) const {
    const ParamRow& r = kRows[row];
    return EffectChannel() == 0 ? r.slotA : r.slotB;
}

int CDialogMusic::RowPosition(int row) const {
    const ParamRow& r = kRows[row];
    const ParameterStore& store = m_session.Store();
    const int slot = RowSlot(row);
    const double value = r.isFloat ? static_cast<double>(store.GetSlotFloat(slot)) : store.GetSlotInt(slot);
    return SliderPosition(value, r.lo, r.hi);
}

void CDialogMusic::ShowRow(int row, int position) {
    const QString text = FormatRowValue(kRows[row], position);
    m_grid->SetItemText(row, 2, text);
    if (row == m_row)
        m_valueEdit->setText(text);
}

void CDialogMusic::FillParamGrid() {
    const QColor colour = m_view == 0 ? kChannelAColour : kParamOtherColour;
    for (int r = 0; r < kParamRows; ++r) {
        ShowRow(r, RowPosition(r));
        m_grid->SetRowTextColour(r, colour);
    }
    m_grid->SelectRow(m_row);
    const ParamRow& row = kRows[m_row];
    m_valueSlider->SetSliderRange(row.lo, row.hi);
    m_valueSlider->SetSliderPos(RowPosition(m_row));
    m_rowName->setText(Tr2(row.zh, row.en));
}

void CDialogMusic::SelectParamRow(int row) {
    if (row < 0 || row >= kParamRows)
        return;
    m_row = row;
    m_grid->SelectRow(row);
    const ParamRow& r = kRows[row];
    const int position = RowPosition(row);
    m_valueSlider->SetSliderRange(r.lo, r.hi);
    m_valueSlider->SetSliderPos(position);
    m_valueEdit->setText(FormatRowValue(r, position));
    m_rowName->setText(Tr2(r.zh, r.en));
}

void CDialogMusic::ApplyParamValue(int position) {
    const ParamRow& row = kRows[m_row];
    const int value = std::clamp(position, row.lo, row.hi);
    const int slot = RowSlot(m_row);
    CommandEncoder& commands = m_session.Commands();
    commands.SetSlotWord(slot, row.isFloat ? std::bit_cast<uint32_t>(static_cast<float>(value))
                                           : static_cast<uint32_t>(value));
    ShowRow(m_row, value);

    const ParameterStore& store = m_session.Store();
    if (m_row == kReverbLevelRow && value != 0 && store.Get(fields::reverbMute) != 0)
        m_display.ShowInfoMessage(Tr2("混响已静音", "Reverb vol is mute"), kMuteNoticeMs);
    if (m_row == kEchoLevelRow && value != 0 && store.Get(fields::echoMute) != 0)
        m_display.ShowInfoMessage(Tr2("回声已静音", "Echo vol is mute"), kMuteNoticeMs);
    if (m_row == kEchoTimeRow && value >= kPredelayFollowMin && value <= kPredelayFollowMax) {
        const int predelaySlot = RowSlot(kReverbPredelayRow);
        commands.SetSlotWord(predelaySlot, std::bit_cast<uint32_t>(static_cast<float>(value * 10)));
        ShowRow(kReverbPredelayRow, RowPosition(kReverbPredelayRow));
    }
}

void CDialogMusic::OnValueTyped() {
    if (!m_valueEdit->isModified() || m_view == 2)
        return;
    m_valueEdit->setModified(false);
    const ParamRow& row = kRows[m_row];
    const QString text = m_valueEdit->text().trimmed();
    std::optional<double> typed = TypedNumber(text);
    if (row.format == RowFormat::Hertz &&
        (text.compare(QStringLiteral("Off"), Qt::CaseInsensitive) == 0 || text == QStringLiteral("关闭")))
        typed = row.lo; // the shift's lowest step is "off"
    if (!typed) {
        // Nothing usable typed: the box shows the stored value again.
        m_valueEdit->setText(FormatRowValue(row, m_valueSlider->GetSliderPos()));
        return;
    }
    // A reverb time is typed in milliseconds, as the box shows it; the slider counts 49.6 ms steps from 40.
    const double steps = row.format == RowFormat::ReverbTime ? (*typed - 40.0) / 49.6 : *typed;
    const int position = ScaledSliderPosition(steps, 1.0, row.lo, row.hi);
    m_valueSlider->SetSliderPos(position);
    ApplyParamValue(position);
}

void CDialogMusic::StepParamValue(int delta) {
    if (m_view == 2)
        return;
    const ParamRow& row = kRows[m_row];
    const int current = m_valueSlider->GetSliderPos();
    const int next = std::clamp(current + delta, row.lo, row.hi);
    if (next == current)
        return;
    m_valueSlider->SetSliderPos(next);
    ApplyParamValue(next);
}

// ---- buttons and thumbnails ------------------------------------------------------------------------------

void CDialogMusic::OnRoute(int mic, bool toA) {
    // The encoder stores and sends the A route first, then the B route.
    m_session.Commands().SetMicRoute(mic, toA);
}

void CDialogMusic::OnViewButton(int view) {
    m_view = std::clamp(view, 0, 2);
    emit channelViewChanged(m_view);
    RefreshFromStore();
}

void CDialogMusic::OnThumbnail(bool echo) {
    if (m_view == 2)
        return;
    const int kind = (echo ? 2 : 0) + EffectChannel();
    // The view destroys this page to show the effects page; the thumbnail's mouse event must be over
    // by then, so the request leaves from the event loop.
    QMetaObject::invokeMethod(
        this, [this, kind] { emit pageRequested(PageKind::Efx, kind); }, Qt::QueuedConnection);
}

// ---- the equaliser --------------------------------------------------------------------------------------

int CDialogMusic::EqBypassSlot() const {
    switch (m_view) {
    case 0:
        return fields::micEqBypassA.slot;
    case 1:
        return fields::micEqBypassB.slot;
    default:
        return fields::musicEqBypass.slot;
    }
}

void CDialogMusic::ResetEq() {
    m_eq->ResetPath();
}

void CDialogMusic::SelectEqBand(int band) {
    // The keys number bands from 1 (Ctrl+0 is band 10); the section counts from 0.
    m_eq->SelectBand(band - 1);
}

// ---- live display ---------------------------------------------------------------------------------------

void CDialogMusic::UpdateLiveDisplay() {
    const LevelRecord levels = m_session.Store().GetLevelRecord();
    for (int mic = 0; mic < kMicCount; ++mic) {
        const int value = levels[static_cast<size_t>(mic)];
        m_mics[static_cast<size_t>(mic)].level->SetLevels(std::span(&value, 1), 0);
    }
    for (int side = 0; side < 2; ++side) {
        const int value = levels[static_cast<size_t>(4 + side)];
        m_musicLevels[static_cast<size_t>(side)]->SetLevels(std::span(&value, 1), 0);
    }
    const int format = levels[7] & 0x0F;
    if (format < static_cast<int>(std::size(kFormatNames)))
        m_format->setText(QString::fromLatin1(kFormatNames[format]));
}

} // namespace orvex
