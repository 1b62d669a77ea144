#include "support/PlaceholderDialog.h"

#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvex {

namespace {
QString PlaceholderTitle(int templateId) {
    switch (templateId) {
    case tmpl::MachineSettings:
        return Tr2("机器设置", "Machine Set");
    case tmpl::Remote:
        return Tr2("遥控学习", "Remote control");
    case tmpl::MusicInput:
        return Tr2("输入源", "Input Source");
    case tmpl::SmartPlug:
        return Tr2("智能插座", "Smart plug");
    case tmpl::Features:
        return Tr2("特色功能", "Features");
    default:
        return QString::number(templateId);
    }
}
} // namespace

CPlaceholderDialog::CPlaceholderDialog(int templateId, QWidget* parent) : CToolDialog(templateId, parent) {
    UsePageBackground(this);
    setWindowTitle(PlaceholderTitle(templateId));
    auto* note = new QLabel(Tr2("此窗口尚在制作中", "This window is still being built"), this);
    note->setAlignment(Qt::AlignCenter);
    note->setStyleSheet(QStringLiteral("color: #7890a8;"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->addWidget(note);
    resize(420, 220);
}

} // namespace orvex
