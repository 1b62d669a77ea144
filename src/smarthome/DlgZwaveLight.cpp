#include "smarthome/DlgZwaveLight.h"

#include "widgets/ControlId.h"
#include "model/SmartHomeTables.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "smarthome/PlugCommon.h"
#include "smarthome/PlugValue.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace orvex {

CDlgZwaveLight::CDlgZwaveLight(const PageContext& ctx, QWidget* parent)
    : CToolDialog(tmpl::PlugDimmer, parent), m_ctx(ctx) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(10);

    auto* warning = new QGroupBox(QString::fromUtf8("警告"), this);
    SetCtrlId(warning, kWarningId);
    warning->setStyleSheet(QStringLiteral("QGroupBox { color: rgb(255, 0, 0); } QLabel { color: rgb(255, 0, 0); }"));
    auto* warningLayout = new QVBoxLayout(warning);
    auto* text1 = new QLabel(QString::fromUtf8("某些设备无法工作在低电压状态，可能损坏设备"), warning);
    SetCtrlId(text1, kWarningTextId);
    auto* text2 = new QLabel(QString::fromUtf8("请您确保此插座上的设备允许调节电压"), warning);
    SetCtrlId(text2, kWarningText2Id);
    for (QLabel* l : {text1, text2}) {
        l->setWordWrap(true);
        warningLayout->addWidget(l);
    }
    layout->addWidget(warning);

    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(QString::fromUtf8("电压"), this);
    SetCtrlId(caption, kCaptionId);
    m_down = new QPushButton(QStringLiteral("<"), this);
    m_up = new QPushButton(QStringLiteral(">"), this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(0, kMaxLevel);
    m_slider->setMinimumWidth(220);
    caption->setBuddy(m_slider);
    m_value = new QLabel(LevelText(0), this);
    m_value->setMinimumWidth(m_value->fontMetrics().horizontalAdvance(QStringLiteral("100%  ")) + 10);
    m_value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QPushButton* b : {m_down, m_up})
        b->setFixedWidth(32);
    SetHint(m_down, "调暗一级", "One step dimmer");
    SetHint(m_up, "调亮一级", "One step brighter");
    SetHint(m_slider, "亮度, 0..99, 松开后设置", "Brightness, 0..99, set on release");
    row->addWidget(caption);
    row->addWidget(m_down);
    row->addWidget(m_slider, 1);
    row->addWidget(m_up);
    row->addWidget(m_value);
    layout->addLayout(row);

    auto* hint = new QLabel(QString::fromUtf8("提示：松开滑动条后设置灯光亮度"), this);
    SetCtrlId(hint, kHintId);
    layout->addWidget(hint);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_off = new QPushButton(QString::fromUtf8("关"), this);
    SetCtrlId(m_off, kOffId);
    m_max = new QPushButton(QString::fromUtf8("最大"), this);
    SetCtrlId(m_max, kMaxId);
    for (QPushButton* b : {m_off, m_max}) {
        b->setMinimumWidth(90);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    for (QPushButton* b : {m_down, m_up, m_off, m_max})
        b->setAutoDefault(false);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_slider, m_down);
    setTabOrder(m_down, m_up);
    setTabOrder(m_up, m_off);
    setTabOrder(m_off, m_max);

    connect(m_slider, &QSlider::valueChanged, this, [this](int value) { m_value->setText(LevelText(value)); });
    connect(m_slider, &QSlider::sliderReleased, this, &CDlgZwaveLight::Apply);
    // Keys move the slider without a release; the key's release applies instead.
    m_slider->installEventFilter(this);
    connect(m_down, &QPushButton::clicked, this, [this] { SetLevelAndApply(m_slider->value() - 1); });
    connect(m_up, &QPushButton::clicked, this, [this] { SetLevelAndApply(m_slider->value() + 1); });
    connect(m_off, &QPushButton::clicked, this, [this] { SetLevelAndApply(0); });
    connect(m_max, &QPushButton::clicked, this, [this] { SetLevelAndApply(kMaxLevel); });
    UpdateTitle();
}

QString CDlgZwaveLight::LevelText(int level) {
    if (level <= 0)
        return Tr2("关", "OFF");
    if (level >= kMaxLevel)
        return Tr2("最大", "Max");
    return QString::asprintf("%d%%", level);
}

void CDlgZwaveLight::SetNode(int node) {
    m_node = node;
    // The node's last value; a node outside the network's ids starts at 0. A stored value past the
    // slider (a switch's 0xFF) shows as its top.
    const bool known = node >= kZWaveControllerNode && node < kZWaveNodeCount;
    const int last = known ? m_ctx.session.Link().SmartHome().NodeValue(node) : 0;
    m_slider->setValue(std::clamp(last, 0, kMaxLevel));
    m_value->setText(LevelText(m_slider->value()));
    UpdateTitle();
}

void CDlgZwaveLight::UpdateTitle() {
    setWindowTitle(Tr2("电压控制: ", "Voltage: ") + (IsPlugNode(m_node) ? PlugDisplayName(m_ctx, m_node) : QString()));
}

void CDlgZwaveLight::Relabel() {
    CToolDialog::Relabel();
    // The English table says it all in one line; the second line is Chinese only.
    if (QLabel* second = FindCtrl<QLabel>(this, kWarningText2Id))
        second->setVisible(UiLanguageIndex() != kLanguageEnglish);
    m_value->setText(LevelText(m_slider->value()));
    UpdateTitle();
}

void CDlgZwaveLight::Apply() {
    StartPlugValue(m_ctx, m_node, static_cast<uint8_t>(m_slider->value()), Tr2("正在设置……", "Setting..."),
                   kWaitDelayMs);
}

void CDlgZwaveLight::SetLevelAndApply(int level) {
    m_slider->setValue(std::clamp(level, 0, kMaxLevel));
    Apply();
}

bool CDlgZwaveLight::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_slider && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!key->isAutoRepeat())
                Apply();
            break;
        default:
            break;
        }
    }
    return CToolDialog::eventFilter(watched, event);
}

void CDlgZwaveLight::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        hide();
        deleteLater();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return;
    default:
        CToolDialog::keyPressEvent(event);
        return;
    }
}

} // namespace orvex
