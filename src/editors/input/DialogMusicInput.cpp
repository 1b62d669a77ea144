#include "editors/input/DialogMusicInput.h"

#include "widgets/ControlId.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "model/ParameterStore.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>

namespace orvex {

namespace {

constexpr int kFirstRadioId = 1190;
constexpr int kLevelMin = 0;
constexpr int kLevelMax = 100;

// One input of the processor, in the order the dialog lists them. The radio index is the radio's id
// less 1190; HDMI1..4 also select the HDMI input (`hdmi` 0..3) before the source.
struct MusicInputRow {
    int radioId;
    const char* text; // the template's (Chinese) text; the language table replaces it
    int source;       // musicSource
    int hdmi;         // hdmiInput, or -1
    int sliderId;
    int valueId;
    SlotField<int32_t, 1> level;
};

constexpr MusicInputRow kInputs[] = {
    {1190, "光纤1", 0, -1, 1041, 1005, fields::opticalVolume}, {1198, "光纤2", 1, -1, 1049, 1010, fields::spdif2Volume},
    {1192, "HDMI1", 2, 0, 1043, 1006, fields::hdmiVolume},     {1193, "HDMI2", 2, 1, 1044, 1002, fields::hdmi2Volume},
    {1194, "HDMI3", 2, 2, 1045, 1003, fields::hdmi3Volume},    {1195, "HDMI4", 2, 3, 1046, 1131, fields::hdmi4Volume},
    {1191, "蓝牙", 3, -1, 1042, 1007, fields::btVolume},       {1196, "莲花", 4, -1, 1047, 1008, fields::auxVolume},
    {1197, "AUX2", 5, -1, 1048, 1009, fields::aux2Volume},
};
static_assert(std::size(kInputs) == CDialogMusicInput::kInputCount);

constexpr int kAux2Index = 1197 - kFirstRadioId;
constexpr int kBluetoothIndex = 1191 - kFirstRadioId;
constexpr int kFirstHdmiIndex = 1192 - kFirstRadioId;
// The inputs a "Kiwan" processor does not have: SPDIF1, SPDIF2, Bluetooth, AUX.
constexpr int kKiwanMissing[] = {1190 - kFirstRadioId, 1198 - kFirstRadioId, kBluetoothIndex, 1196 - kFirstRadioId};

const MusicInputRow& RowAt(int radioIndex) {
    for (const MusicInputRow& row : kInputs) {
        if (row.radioId - kFirstRadioId == radioIndex)
            return row;
    }
    return kInputs[0];
}

// The radio showing a source: -1 when the store holds no source the dialog knows (then the previous
// choice stays). hdmiInput arrives as a raw byte from the processor or a file, so only 0..3 name an
// HDMI radio.
int RadioIndexFor(int32_t source, int32_t hdmiInput) {
    switch (source) {
    case 0:
        return 1190 - kFirstRadioId;
    case 1:
        return 1198 - kFirstRadioId;
    case 2:
        return hdmiInput >= 0 && hdmiInput <= 3 ? kFirstHdmiIndex + hdmiInput : -1;
    case 3:
        return kBluetoothIndex;
    case 4:
        return 1196 - kFirstRadioId;
    case 5:
        return kAux2Index;
    default:
        return -1;
    }
}

bool IsModel(const ParameterStore& store, const char* name) {
    return IsModel(store.Identity(), name);
}

QString PercentText(int value) {
    return QString::asprintf("%d%%", value);
}

} // namespace

CDialogMusicInput::CDialogMusicInput(DeviceSession& session, QWidget* parent)
    : CToolDialog(tmpl::MusicInput, parent), m_session(session) {
    UsePageBackground(this);
    setWindowTitle(QString::fromUtf8("音源设置"));

    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(22, 18, 22, 18);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(8);
    int line = 0;
    for (const MusicInputRow& input : kInputs) {
        const int index = input.radioId - kFirstRadioId;
        RowWidgets& row = m_rows[index];
        row.radio = new QRadioButton(QString::fromUtf8(input.text), this);
        SetCtrlId(row.radio, input.radioId);
        row.radio->setMinimumWidth(96);
        m_group->addButton(row.radio, index);
        row.slider = new CXBmpSlider(input.sliderId, CXBmpSlider::Orientation::Horizontal, this);
        row.slider->SetSliderRange(kLevelMin, kLevelMax);
        row.slider->setFixedWidth(240);
        row.value = new QLabel(PercentText(0), this);
        SetCtrlId(row.value, input.valueId);
        row.value->setMinimumWidth(row.value->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(row.radio, line, 0);
        grid->addWidget(row.slider, line, 1, Qt::AlignVCenter);
        grid->addWidget(row.value, line, 2);
        ++line;

        connect(row.radio, &QRadioButton::clicked, this, [this, index] { OnRadioClicked(index); });
        connect(row.slider, &CXBmpSlider::posChanged, this,
                [this, index](int, int position) { OnLevelMoved(index, position); });
    }
    // AUX2 is wired on the board of some models only; its row is kept current but never shown.
    m_rows[kAux2Index].radio->hide();
    m_rows[kAux2Index].slider->hide();
    m_rows[kAux2Index].value->hide();
    m_rows[0].radio->setChecked(true);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    RefreshFromStore();
}

void CDialogMusicInput::OnRadioClicked(int index) {
    const MusicInputRow& input = RowAt(index);
    m_radioIndex = index;
    CommandEncoder& commands = m_session.Commands();
    // The processor switches to the source it is told last, so the HDMI port goes first.
    if (input.hdmi >= 0)
        commands.Set(fields::hdmiInput, input.hdmi);
    commands.Set(fields::musicSource, input.source);
}

void CDialogMusicInput::OnLevelMoved(int index, int position) {
    m_session.Commands().Set(RowAt(index).level, position);
    m_rows[index].value->setText(PercentText(position));
}

void CDialogMusicInput::RefreshFromStore() {
    const ParameterStore& store = m_session.Store();
    const int index = RadioIndexFor(store.Get(fields::musicSource), store.Get(fields::hdmiInput));
    if (index >= 0)
        m_radioIndex = index;
    m_rows[m_radioIndex].radio->setChecked(true);

    for (const MusicInputRow& input : kInputs) {
        const RowWidgets& row = m_rows[input.radioId - kFirstRadioId];
        const int32_t level = store.Get(input.level);
        row.slider->SetSliderPos(std::clamp<int32_t>(level, kLevelMin, kLevelMax));
        row.value->setText(PercentText(level));
    }
    ApplyModelEnabling();
    // A processor of another model may have arrived since the last relabel.
    ApplyModelTexts();
}

void CDialogMusicInput::ApplyModelEnabling() {
    const ParameterStore& store = m_session.Store();
    const bool noHdmi = IsModel(store, "Lunet");
    const bool onlyHdmi = IsModel(store, "Kiwan");
    const auto enableRow = [this](int index, bool enabled) {
        m_rows[index].radio->setEnabled(enabled);
        m_rows[index].slider->SetSliderEnabled(enabled);
        m_rows[index].value->setEnabled(enabled);
    };
    for (int i = 0; i < 4; ++i)
        enableRow(kFirstHdmiIndex + i, !noHdmi);
    for (int index : kKiwanMissing)
        enableRow(index, !onlyHdmi);
}

void CDialogMusicInput::ApplyModelTexts() {
    const ParameterStore& store = m_session.Store();
    // These models use the first HDMI port for their built-in Android board.
    const bool android = IsModel(store, "Pemba") || IsModel(store, "Kiwan");
    static const char* const kHdmiNames[] = {"HDMI1", "HDMI2", "HDMI3", "HDMI4"};
    for (int i = 0; i < 4; ++i) {
        const char* name = android ? (i == 0 ? "Android" : kHdmiNames[i - 1]) : kHdmiNames[i];
        m_rows[kFirstHdmiIndex + i].radio->setText(QString::fromLatin1(name));
    }
    m_rows[kBluetoothIndex].radio->setText(IsModel(store, "Lunet") ? QStringLiteral("Android")
                                                                   : Tr2("蓝牙", "Bluetooth"));
}

void CDialogMusicInput::Relabel() {
    CToolDialog::Relabel();
    ApplyModelTexts();
}

void CDialogMusicInput::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape only put the dialog away; the next "Input Source" shows it again.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return;
    case Qt::Key_Escape:
        reject();
        return;
    default:
        CToolDialog::keyPressEvent(event);
        return;
    }
}

} // namespace orvex
