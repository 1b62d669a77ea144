#include "shell/InfoDlg.h"

#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace orvex {

CInfoDlg::CInfoDlg(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    SetTemplateId(this, tmpl::Info);
    UsePageBackground(this);
    setMinimumWidth(380);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    m_message = new QLabel(this);
    SetCtrlId(m_message, kMessageId);
    m_message->setFont(MessageFont(18));
    m_message->setWordWrap(true);
    m_message->setMinimumHeight(48);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_close = new QPushButton(this);
    SetCtrlId(m_close, kCloseId);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(8);
    top->addWidget(m_message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 12);
    layout->addLayout(top);
    layout->addLayout(buttons);

    // Precise: a coarse timer may fire up to 5 % early, and the 1100 ms are what the user reads by.
    m_closeTimer.setTimerType(Qt::PreciseTimer);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QDialog::close);
    Relabel();
}

void CInfoDlg::Relabel() {
    setWindowTitle(Tr2("信息", "Information"));
    m_close->setText(Tr2("关闭", "Close"));
}

void CInfoDlg::ShowMessage(const QString& text, int milliseconds) {
    m_message->setText(text);
    m_closeTimer.start(milliseconds);
}

QString CInfoDlg::Text() const {
    return m_message->text();
}

} // namespace orvex
