#include "smarthome/DlgZwaveSwitch.h"

#include "widgets/ControlId.h"
#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "smarthome/PlugCommon.h"
#include "smarthome/PlugValue.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace orvex {

namespace {

// A round lamp button face: green when lit, grey when dark.
QIcon LampIcon(bool on) {
    constexpr int kSize = 40;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(on ? QColor(0, 120, 40) : QColor(90, 90, 90), 2));
    p.setBrush(on ? QColor(60, 200, 90) : QColor(190, 190, 190));
    p.drawEllipse(QRectF(3, 3, kSize - 6, kSize - 6));
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(12, 12, 16, 16), 125 * 16, 290 * 16);
    p.drawLine(QPointF(20, 9), QPointF(20, 19));
    return QIcon(pixmap);
}

} // namespace

CDlgZwaveSwitch::CDlgZwaveSwitch(const PageContext& ctx, QWidget* parent)
    : CToolDialog(tmpl::PlugSwitch, parent), m_ctx(ctx) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 20, 24, 20);
    row->setSpacing(20);
    m_on = new QPushButton(LampIcon(true), QString::fromUtf8("开"), this);
    SetCtrlId(m_on, kOnId);
    m_off = new QPushButton(LampIcon(false), QString::fromUtf8("关"), this);
    SetCtrlId(m_off, kOffId);
    for (QPushButton* b : {m_on, m_off}) {
        b->setIconSize(QSize(40, 40));
        b->setMinimumSize(120, 64);
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_on, &QPushButton::clicked, this, [this] { Switch(true); });
    connect(m_off, &QPushButton::clicked, this, [this] { Switch(false); });
    UpdateTitle();
}

void CDlgZwaveSwitch::SetNode(int node) {
    m_node = node;
    UpdateTitle();
}

void CDlgZwaveSwitch::UpdateTitle() {
    setWindowTitle(Tr2("开关控制: ", "Switch: ") + (IsPlugNode(m_node) ? PlugDisplayName(m_ctx, m_node) : QString()));
}

void CDlgZwaveSwitch::Relabel() {
    CToolDialog::Relabel();
    UpdateTitle();
}

void CDlgZwaveSwitch::Switch(bool on) {
    if (on)
        StartPlugValue(m_ctx, m_node, kOnValue, Tr2("设备开启操作", "Switching on"), kWaitDelayMs);
    else
        StartPlugValue(m_ctx, m_node, kOffValue, Tr2("设备关闭操作", "Switching off"), kWaitDelayMs);
}

void CDlgZwaveSwitch::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        hide();
        deleteLater();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return; // a stray Enter switches nothing; Space presses the focused button
    default:
        CToolDialog::keyPressEvent(event);
        return;
    }
}

} // namespace orvex
