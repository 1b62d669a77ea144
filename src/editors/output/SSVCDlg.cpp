#include "editors/output/SSVCDlg.h"

#include "editors/input/StoreToControl.h"
#include "widgets/ControlId.h"
#include "widgets/GdipButton.h"
#include "editors/output/OutputTabRow.h"
#include "widgets/SSVolumePanel.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr int kChannelCount = kOutputChannelCount;
constexpr int kLocateIds[kChannelCount] = {1231, 1232, 1233, 1234, 1235, 1236, 1240, 1241};
constexpr int kRoleTextId = 1123;
constexpr int kSliderId = 1041;
constexpr int kValueTextId = 1131;
constexpr int kLocateNone = 8;

// The speaker role each room point 1..8 stands for.
constexpr int kPointRole[kRoomSpeakerCount] = {0, 5, 1, 2, 4, 3, 6, 7};
constexpr int kPointNameIds[kRoomSpeakerCount] = {1011, 1012, 1013, 1022, 1023, 1017, 1018, 1019};
constexpr const char* kPointZh[kRoomSpeakerCount] = {"前置左", "中置",     "前置右",   "后环绕左",
                                                     "超低",   "后环绕右", "侧环绕左", "侧环绕右"};
constexpr const char* kPointEn[kRoomSpeakerCount] = {"L", "CEN", "R", "SBL", "SUB", "SBR", "SL", "SR"};
constexpr const char* kRoleZh[kChannelCount] = {"前置左", "前置右", "后环绕左", "后环绕右",
                                                "超低",   "中置",   "侧环绕左", "侧环绕右"};
constexpr const char* kRoleEn[kChannelCount] = {"CH-L",   "CH-R",   "CH-SBL", "CH-SBR",
                                                "CH-SUB", "CH-CEN", "CH-SL",  "CH-SR"};

int FieldId(int point, bool y) {
    return point == 0 ? (y ? 1049 : 1230) : 1050 + 2 * (point - 1) + (y ? 1 : 0);
}
int SpinId(int point, bool y) {
    return 1244 + 2 * point + (y ? 1 : 0);
}

QString CoordText(double metres) {
    return QString::asprintf("%+-.1fm", metres);
}

// A typed number with an optional trailing "m"; nothing readable gives 0.
double ParseMetres(QString text) {
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('m'), Qt::CaseInsensitive))
        text.chop(1);
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

int ParseMetresInt(QString text) {
    return static_cast<int>(std::clamp(ParseMetres(std::move(text)), 1.0, 10.0));
}

RoomPoint StoredPoint(const RoomGeometry& room, int point) {
    return point == 0 ? room.listener : room.speakers[static_cast<size_t>(point - 1)];
}

QSpinBox* MakeSpin(QWidget* parent, int id) {
    auto* spin = new QSpinBox(parent);
    SetCtrlId(spin, id);
    // Only the arrows are used; the number is shown in the field beside it.
    spin->setFixedWidth(18);
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    spin->setStyleSheet(QStringLiteral("QSpinBox { color: transparent; }"));
    return spin;
}

} // namespace

float CSSVCDlg::PositionGainDb(RoomPoint listener, RoomPoint speaker) {
    const float dx = listener.x - speaker.x;
    const float dy = listener.y - speaker.y;
    const float d = std::sqrt(dx * dx + dy * dy);
    return static_cast<float>(3.0 - 3.0 * static_cast<double>(d));
}

CSSVCDlg::CSSVCDlg(DeviceSession& session, int& locateChannel, QWidget* parent)
    : CPage(PageKind::Ssvc, parent), m_session(session), m_locateChannel(locateChannel) {
    UsePageBackground(this);

    m_tabs = new COutputTabRow(PageKind::Ssvc, 0, this);
    connect(m_tabs, &COutputTabRow::requested, this, &CPage::pageRequested);

    // The channel rows.
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(6);
    rows->setVerticalSpacing(4);
    for (int k = 0; k < kChannelCount; ++k) {
        Row r;
        r.locate = new QCheckBox(this);
        SetCtrlId(r.locate, kLocateIds[k]);
        r.role = new QLabel(this);
        SetCtrlId(r.role, kRoleTextId + k);
        r.role->setMinimumWidth(r.role->fontMetrics().horizontalAdvance(QStringLiteral("(后环绕左)")) + 4);
        r.slider = new CXBmpSlider(kSliderId + k, CXBmpSlider::Orientation::Horizontal, this);
        const ValueRange range = FieldValueRange(*FindStoreFieldBySlot(fields::outSurroundVolume.slot), k);
        r.slider->SetSliderRange(static_cast<int>(range.minValue), static_cast<int>(range.maxValue));
        r.slider->setMinimumWidth(150);
        r.value = new QLabel(this);
        SetCtrlId(r.value, kValueTextId + k);
        r.value->setMinimumWidth(r.value->fontMetrics().horizontalAdvance(QStringLiteral("500%")) + 6);
        r.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        rows->addWidget(new QLabel(QStringLiteral("CH%1").arg(k + 1), this), k, 0);
        rows->addWidget(r.locate, k, 1);
        rows->addWidget(r.role, k, 2);
        rows->addWidget(r.slider, k, 3);
        rows->addWidget(r.value, k, 4);
        connect(r.locate, &QCheckBox::clicked, this, [this, k](bool checked) { OnLocate(k, checked); });
        connect(r.slider, &CXBmpSlider::posChanged, this, [this, k](int, int position) { OnSliderMoved(k, position); });
        m_rows.push_back(r);
    }
    rows->setColumnStretch(3, 1);

    // Room size.
    m_unitLabel = new QLabel(this);
    SetCtrlId(m_unitLabel, 1005);
    m_roomLabel = new QLabel(this);
    SetCtrlId(m_roomLabel, 1007);
    m_widthLabel = new QLabel(this);
    SetCtrlId(m_widthLabel, 1229);
    m_lengthLabel = new QLabel(this);
    SetCtrlId(m_lengthLabel, 1139);
    m_widthField = new QLineEdit(this);
    SetCtrlId(m_widthField, 1038);
    m_lengthField = new QLineEdit(this);
    SetCtrlId(m_lengthField, 1039);
    m_widthSpin = MakeSpin(this, 1242);
    m_lengthSpin = MakeSpin(this, 1243);
    for (QSpinBox* spin : {m_widthSpin, m_lengthSpin})
        spin->setRange(1, 10);
    m_modify = new QPushButton(this);
    SetCtrlId(m_modify, 1239);
    connect(m_modify, &QPushButton::clicked, this, &CSSVCDlg::OnModify);
    for (bool length : {false, true}) {
        QSpinBox* spin = RoomSizeSpin(length);
        QLineEdit* field = RoomSizeField(length);
        field->setFixedWidth(48);
        connect(spin, &QSpinBox::valueChanged, this, [this, field](int value) {
            if (m_loading)
                return;
            field->setText(QString::asprintf("%dm", std::clamp(value, 1, 10)));
            ApplyRoomSize(ParseMetresInt(m_widthField->text()), ParseMetresInt(m_lengthField->text()));
        });
    }
    auto* size = new QHBoxLayout;
    size->setSpacing(4);
    size->addWidget(m_roomLabel);
    size->addSpacing(6);
    size->addWidget(m_widthLabel);
    size->addWidget(m_widthField);
    size->addWidget(m_widthSpin);
    size->addSpacing(6);
    size->addWidget(m_lengthLabel);
    size->addWidget(m_lengthField);
    size->addWidget(m_lengthSpin);
    size->addSpacing(6);
    size->addWidget(m_modify);
    size->addStretch(1);

    // Listener and speaker coordinates.
    m_listenerLabel = new QLabel(this);
    SetCtrlId(m_listenerLabel, 1006);
    m_sourceLabel = new QLabel(this);
    SetCtrlId(m_sourceLabel, 1002);
    auto* coords = new QGridLayout;
    coords->setHorizontalSpacing(4);
    coords->setVerticalSpacing(3);
    coords->addWidget(m_listenerLabel, 0, 0, 1, 5);
    coords->addWidget(m_sourceLabel, 2, 0, 1, 5);
    for (int point = 0; point <= kRoomSpeakerCount; ++point) {
        Coord& c = m_coords[static_cast<size_t>(point)];
        const int row = point == 0 ? 1 : point + 2;
        c.name = new QLabel(point == 0 ? QStringLiteral("XY") : QString(), this);
        if (point > 0)
            SetCtrlId(c.name, kPointNameIds[point - 1]);
        coords->addWidget(c.name, row, 0);
        for (int axis = 0; axis < 2; ++axis) {
            const bool y = axis == 1;
            c.field[axis] = new QLineEdit(this);
            SetCtrlId(c.field[axis], FieldId(point, y));
            c.field[axis]->setFixedWidth(60);
            c.spin[axis] = MakeSpin(this, SpinId(point, y));
            coords->addWidget(c.field[axis], row, 1 + 2 * axis);
            coords->addWidget(c.spin[axis], row, 2 + 2 * axis);
            connect(c.field[axis], &QLineEdit::returnPressed, this, [this, point] { HandleEditChange(point, true); });
            QLineEdit* field = c.field[axis];
            connect(c.spin[axis], &QSpinBox::valueChanged, this, [this, point, field](int value) {
                if (m_loading)
                    return;
                field->setText(CoordText(value / 10.0));
                field->setFocus();
                HandleEditChange(point, false);
            });
        }
    }
    coords->setColumnStretch(5, 1);

    m_center = new QPushButton(this);
    SetCtrlId(m_center, 1238);
    connect(m_center, &QPushButton::clicked, this, &CSSVCDlg::OnCenter);
    m_reset = new QPushButton(this);
    SetCtrlId(m_reset, 1216);
    connect(m_reset, &QPushButton::clicked, this, &CSSVCDlg::OnReset);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_unitLabel);
    buttons->addStretch(1);
    buttons->addWidget(m_center);
    buttons->addWidget(m_reset);

    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    left->addLayout(rows);
    left->addLayout(size);
    left->addLayout(coords);
    left->addLayout(buttons);
    left->addStretch(1);

    m_drawing = new CSSVolumePanel(this);
    SetCtrlId(m_drawing, 1237);
    connect(m_drawing, &CSSVolumePanel::pointPicked, this, [this](int point, float x, float y) {
        MovePoint(point, {x, y});
    });
    connect(m_drawing, &CSSVolumePanel::pointMoved, this, [this](int point, float x, float y) {
        MovePoint(point, {x, y});
    });

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addLayout(left, 0);
    body->addWidget(m_drawing, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(m_tabs);
    layout->addLayout(body, 1);

    Relabel();
    RefreshFromStore();
}

QLineEdit* CSSVCDlg::CoordField(int point, bool y) const {
    return m_coords.at(static_cast<size_t>(point)).field[y ? 1 : 0];
}
QSpinBox* CSSVCDlg::CoordSpin(int point, bool y) const {
    return m_coords.at(static_cast<size_t>(point)).spin[y ? 1 : 0];
}
QCheckBox* CSSVCDlg::LocateBox(int channel) const {
    return m_rows.at(static_cast<size_t>(channel)).locate;
}
QLabel* CSSVCDlg::RoleText(int channel) const {
    return m_rows.at(static_cast<size_t>(channel)).role;
}
CXBmpSlider* CSSVCDlg::Slider(int channel) const {
    return m_rows.at(static_cast<size_t>(channel)).slider;
}
QLabel* CSSVCDlg::ValueText(int channel) const {
    return m_rows.at(static_cast<size_t>(channel)).value;
}
CGdipButton* CSSVCDlg::TabButton(int id) const {
    return m_tabs->Button(id);
}

void CSSVCDlg::Relabel() {
    m_tabs->Relabel();
    m_unitLabel->setText(Tr2("长度单位:米(m)", "Unit:m"));
    m_roomLabel->setText(Tr2("房间大小", "Room size"));
    m_widthLabel->setText(Tr2("宽(m)", "Width(m)"));
    m_lengthLabel->setText(Tr2("长(m)", "Length(m)"));
    m_listenerLabel->setText(Tr2("听众位置", "Audience source"));
    m_sourceLabel->setText(Tr2("声源的位置", "Sound source"));
    m_modify->setText(Tr2("立即修改", "Modify"));
    m_center->setText(Tr2("居中", "Center"));
    m_reset->setText(Tr2("复位", "Reset"));
    for (int i = 0; i < kRoomSpeakerCount; ++i)
        m_coords[static_cast<size_t>(i + 1)].name->setText(Tr2(kPointZh[i], kPointEn[i]));
    for (const Row& r : m_rows)
        r.locate->setText(Tr2("定位", "Locate"));
    CPage::Relabel();
    UpdateRoleTexts();
    m_drawing->update(); // the speaker names are painted in the language of the moment
}

void CSSVCDlg::UpdateRoleTexts() {
    const ParameterStore& store = m_session.Store();
    for (int k = 0; k < kChannelCount; ++k) {
        const int role = store.Get(fields::outRole, k);
        // A role code no speaker has names nothing.
        m_rows[static_cast<size_t>(k)].role->setText(role >= 0 && role < kChannelCount
                                                         ? QStringLiteral("(%1)").arg(Tr2(kRoleZh[role], kRoleEn[role]))
                                                         : QString());
    }
}

void CSSVCDlg::RefreshFromStore() {
    const ParameterStore& store = m_session.Store();
    m_loading = true;
    if (m_locateChannel < 0 || m_locateChannel > kChannelCount)
        m_locateChannel = 0;
    for (int k = 0; k < kChannelCount; ++k) {
        Row& r = m_rows[static_cast<size_t>(k)];
        r.locate->setChecked(m_locateChannel == k + 1);
        const int volume = std::clamp(store.Get(fields::outSurroundVolume, k), 0, r.slider->GetSliderMax());
        r.slider->SetSliderPos(volume);
        r.value->setText(QString::asprintf("%d%%", volume));
    }
    m_loading = false;
    UpdateRoleTexts();
    LoadGeometry();
}

void CSSVCDlg::LoadGeometry() {
    const RoomGeometry room = m_session.Store().Room();
    // A record from the processor or a file may hold any size: 0 would divide the drawing by zero, and
    // beyond 10 m the points no longer fit the seven-bit tenths.
    const int width = std::clamp(room.width, 1, 10);
    const int length = std::clamp(room.length, 1, 10);
    m_loading = true;
    m_drawing->SetRoomSize(width, length);
    m_widthSpin->setValue(width);
    m_lengthSpin->setValue(length);
    m_widthField->setText(QString::asprintf("%dm", width));
    m_lengthField->setText(QString::asprintf("%dm", length));
    SetSpinRanges();
    for (int point = 0; point <= kRoomSpeakerCount; ++point) {
        const RoomPoint p = StoredPoint(room, point);
        m_drawing->SetPoint(point, p);
        WriteCoordFields(point, p);
    }
    m_loading = false;
}

void CSSVCDlg::SetSpinRanges() {
    const bool wasLoading = m_loading;
    m_loading = true;
    const int halfX = m_widthSpin->value() * 10 / 2;
    const int halfY = m_lengthSpin->value() * 10 / 2;
    for (Coord& c : m_coords) {
        c.spin[0]->setRange(-halfX, halfX);
        c.spin[1]->setRange(-halfY, halfY);
    }
    m_loading = wasLoading;
}

void CSSVCDlg::WriteCoordFields(int point, RoomPoint value) {
    const bool wasLoading = m_loading;
    m_loading = true;
    Coord& c = m_coords[static_cast<size_t>(point)];
    const double v[2] = {value.x, value.y};
    for (int axis = 0; axis < 2; ++axis) {
        c.field[axis]->setText(CoordText(v[axis]));
        c.spin[axis]->setValue(ScaledSliderPosition(v[axis], 10.0, c.spin[axis]->minimum(), c.spin[axis]->maximum()));
    }
    m_loading = wasLoading;
}

void CSSVCDlg::OnLocate(int channel, bool checked) {
    const int role = m_session.Store().Get(fields::outRole, channel);
    // A channel without a speaker role has nothing to locate: the processor is told "none" and the box
    // does not stay ticked.
    if (checked && role >= 0 && role < kLocateNone) {
        m_session.Commands().SpeakerLocate(role);
        m_locateChannel = channel + 1;
    } else {
        m_session.Commands().SpeakerLocate(kLocateNone);
        m_locateChannel = 0;
    }
    for (int k = 0; k < kChannelCount; ++k)
        m_rows[static_cast<size_t>(k)].locate->setChecked(m_locateChannel == k + 1);
}

void CSSVCDlg::OnSliderMoved(int channel, int position) {
    if (m_loading)
        return;
    m_session.Commands().Set(fields::outSurroundVolume, channel, position);
    m_rows[static_cast<size_t>(channel)].value->setText(QString::asprintf("%d%%", position));
}

void CSSVCDlg::OnModify() {
    const int width = ParseMetresInt(m_widthField->text());
    const int length = ParseMetresInt(m_lengthField->text());
    m_loading = true;
    m_widthSpin->setValue(width);
    m_lengthSpin->setValue(length);
    m_loading = false;
    ApplyRoomSize(width, length);
}

void CSSVCDlg::ApplyRoomSize(int width, int length) {
    width = std::clamp(width, 1, 10);
    length = std::clamp(length, 1, 10);
    m_widthField->setText(QString::asprintf("%dm", width));
    m_lengthField->setText(QString::asprintf("%dm", length));
    m_drawing->SetRoomSize(width, length);
    m_session.Store().SetRoomSize(width, length);
    SendRoom();
    // Points already placed stay where they are until they are edited.
    SetSpinRanges();
}

void CSSVCDlg::HandleEditChange(int point, bool updateSpins) {
    Coord& c = m_coords[static_cast<size_t>(point)];
    const double halfX = m_widthSpin->value() / 2.0;
    const double halfY = m_lengthSpin->value() / 2.0;
    const double x = std::clamp(ParseMetres(c.field[0]->text()), -halfX, halfX);
    const double y = std::clamp(ParseMetres(c.field[1]->text()), -halfY, halfY);
    m_loading = true;
    if (updateSpins) {
        c.spin[0]->setValue(ScaledSliderPosition(x, 10.0, c.spin[0]->minimum(), c.spin[0]->maximum()));
        c.spin[1]->setValue(ScaledSliderPosition(y, 10.0, c.spin[1]->minimum(), c.spin[1]->maximum()));
    }
    c.field[0]->setText(CoordText(x));
    c.field[1]->setText(CoordText(y));
    m_loading = false;
    const RoomPoint p{static_cast<float>(x), static_cast<float>(y)};
    m_drawing->SetPoint(point, p);
    ParameterStore& store = m_session.Store();
    if (point == 0) {
        store.SetRoomListener(p);
        SendRoom();
        for (int n = 1; n <= kRoomSpeakerCount; ++n)
            SendGain(n);
    } else {
        store.SetRoomSpeaker(point - 1, p);
        SendRoom();
        SendGain(point);
    }
}

void CSSVCDlg::MovePoint(int point, RoomPoint value) {
    if (point < 0 || point > kRoomSpeakerCount)
        return;
    m_drawing->SetPoint(point, value);
    ParameterStore& store = m_session.Store();
    if (point == 0)
        store.SetRoomListener(value);
    else
        store.SetRoomSpeaker(point - 1, value);
    SendRoom();
    if (point == 0) {
        for (int n = 1; n <= kRoomSpeakerCount; ++n)
            SendGain(n);
    } else {
        SendGain(point);
    }
    WriteCoordFields(point, value);
}

void CSSVCDlg::SendRoom() {
    m_session.Store().PackRoomFromFloats();
    m_session.Commands().WriteRoomRecord();
}

void CSSVCDlg::SendGain(int point) {
    const RoomGeometry room = m_session.Store().Room();
    const float gain = PositionGainDb(room.listener, room.speakers[static_cast<size_t>(point - 1)]);
    m_session.Commands().SetPositionGainByRole(kPointRole[point - 1], gain);
}

void CSSVCDlg::OnCenter() {
    ParameterStore& store = m_session.Store();
    RoomPoint listener = store.Room().listener;
    m_drawing->SetPoint(0, {0.0f, 0.0f});
    listener.x = 0.0f;
    store.SetRoomListener(listener);
    SendRoom();
    listener.y = 0.0f;
    store.SetRoomListener(listener);
    SendRoom();
    WriteCoordFields(0, listener);
    for (int n = 1; n <= kRoomSpeakerCount; ++n)
        SendGain(n);
}

void CSSVCDlg::OnReset() {
    for (int k = 0; k < kChannelCount; ++k)
        m_session.Commands().SetPositionGain(k, 0.0f);
    m_session.Store().SetRoomRecordBytes(kDefaultRoomRecord);
    m_session.Commands().WriteRoomRecord();
    LoadGeometry();
}

} // namespace orvex
