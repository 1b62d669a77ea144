#include "shell/AboutDlg.h"

#include "link/LinkState.h"
#include "model/ParameterStore.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "shell/OrvexApp.h"
#include "shell/Theme.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

CAboutDlg::CAboutDlg(ParameterStore& store, LinkState& link, QWidget* parent) : QDialog(parent), m_link(link) {
    SetTemplateId(this, tmpl::About);
    UsePageBackground(this);
    setWindowTitle(Tr2("关于", "About"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/orvex.svg")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QString::fromUtf8(COrvexv13App::kMainCaption), this);
    QFont nameFont = name->font();
    nameFont.setPixelSize(18);
    nameFont.setWeight(QFont::DemiBold);
    name->setFont(nameFont);
    auto* buildDate = new QLabel(Tr2("编译日期:%1", "Build Date:%1").arg(QStringLiteral("2016-04-25")), this);

    const DeviceIdentity identity = store.Identity();
    m_module = new QLabel(Tr2("模块:%1", "Module:%1").arg(QString::fromLatin1(identity.moduleName)), this);
    SetCtrlId(m_module, kModuleId);
    m_mcu = new QLabel(Tr2("MCU版本:%1 指令版本:%2", "MCU Ver:%1 CMD Ver:%2")
                           .arg(QString::fromStdString(identity.mcuVersion))
                           .arg(identity.commandSetVersion, 2, 10, QLatin1Char('0')),
                       this);
    SetCtrlId(m_mcu, kMcuId);
    m_dsp = new QLabel(Tr2("DSP版本:%1", "DSP Ver:%1").arg(QString::fromLatin1(identity.dspVersion)), this);
    SetCtrlId(m_dsp, kDspId);
    m_peak = new QCheckBox(Tr2("峰值", "Peak"), this);
    SetCtrlId(m_peak, kPeakId);
    m_peak->setChecked(link.levelPollEnabled.load() != 0);
    connect(m_peak, &QCheckBox::clicked, this,
            [this](bool checked) { m_link.levelPollEnabled.store(checked ? 1 : 0); });

    m_module->hide();
    m_peak->hide();
    const bool connected = link.linkConnected.load() != 0;
    m_mcu->setVisible(connected);
    m_dsp->setVisible(connected);

    auto* ok = new QPushButton(Tr2("确定", "OK"), this);
    SetCtrlId(ok, 1);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(name);
    text->addWidget(buildDate);
    text->addWidget(m_module);
    text->addWidget(m_mcu);
    text->addWidget(m_dsp);
    text->addWidget(m_peak);
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    ApplyControlHints(this);
}

void CAboutDlg::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F11) {
        const Qt::KeyboardModifiers m = event->modifiers();
        if ((m & Qt::ControlModifier) && (m & Qt::ShiftModifier)) {
            m_module->show();
            m_peak->show();
        }
        event->accept();
        return;
    }
    QDialog::keyReleaseEvent(event);
}

} // namespace orvex
