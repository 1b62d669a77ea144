#include "smarthome/RemoteStudyDlg.h"

#include "link/CommandEncoder.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/Relabel.h"
#include "shell/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {
// The page style gives fonts in pixels (pointSizeF is then -1): scale whichever unit the font has.
void ScaleFont(QFont& font, double factor) {
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else if (font.pixelSize() > 0)
        font.setPixelSize(static_cast<int>(font.pixelSize() * factor + 0.5));
}
} // namespace

CRemoteStudyDlg::CRemoteStudyDlg(DeviceSession& session, const QString& prompt, QWidget* parent)
    : QDialog(parent), m_session(session) {
    SetTemplateId(this, kTemplateId);
    UsePageBackground(this);
    setWindowTitle(QString::fromUtf8("学习中……"));
    setModal(true);
    setMinimumWidth(380);

    m_prompt = new QLabel(prompt, this);
    SetCtrlId(m_prompt, kPromptId);
    QFont strong = m_prompt->font();
    ScaleFont(strong, 1.15);
    strong.setBold(true);
    m_prompt->setFont(strong);
    m_prompt->setStyleSheet(QStringLiteral("color: #1d4f91;"));

    auto* codeLabel = new QLabel(QString::fromUtf8("请您按下遥控器上的对应的按键"), this);
    SetCtrlId(codeLabel, kCodeLabelId);
    m_code = new QLineEdit(this);
    SetCtrlId(m_code, kCodeId);
    m_code->setReadOnly(true);
    m_code->setAlignment(Qt::AlignCenter);
    m_code->setFixedWidth(90);
    m_code->setFocusPolicy(Qt::NoFocus);
    QFont mono = m_code->font();
    ScaleFont(mono, 1.4);
    mono.setBold(true);
    m_code->setFont(mono);

    m_closing = new QLabel(this);
    SetCtrlId(m_closing, kClosingId);
    m_closing->setStyleSheet(QStringLiteral("color: #b0006e;"));
    m_closing->hide();

    m_cancel = new QPushButton(QString::fromUtf8("放弃学习"), this);
    SetCtrlId(m_cancel, kCancelId);
    m_cancel->setAutoDefault(false);
    m_close = new QPushButton(QString::fromUtf8("关闭"), this);
    SetCtrlId(m_close, kCloseId);
    m_close->setAutoDefault(false);
    m_close->hide();
    connect(m_cancel, &QPushButton::clicked, this, &CRemoteStudyDlg::reject);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(codeLabel);
    codeRow->addStretch();
    codeRow->addWidget(m_code);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_closing);
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(14);
    layout->addWidget(m_prompt);
    layout->addLayout(codeRow);
    layout->addLayout(buttons);

    m_autoClose.setSingleShot(true);
    connect(&m_autoClose, &QTimer::timeout, this, &QDialog::accept);
    Relabel();
    ApplyControlHints(this);
}

void CRemoteStudyDlg::Relabel() {
    RelabelDialog(this, kTemplateId);
    m_closing->setText(Tr2("窗口将自动关闭", "Window will be closed!"));
}

void CRemoteStudyDlg::ShowCode(uint8_t code) {
    m_learned = true;
    m_code->setText(QString::asprintf("%02X", code));
    m_cancel->hide();
    m_close->show();
    m_close->setDefault(true);
    m_close->setFocus();
    m_closing->show();
    m_autoClose.start(kAutoCloseMs);
}

QString CRemoteStudyDlg::CodeText() const {
    return m_code->text();
}

void CRemoteStudyDlg::keyPressEvent(QKeyEvent* event) {
    // Enter while waiting would give up the learning by accident; once the code is in, it closes.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !m_learned) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CRemoteStudyDlg::reject() {
    m_autoClose.stop();
    // Once: a second close of a hidden dialog sends nothing more.
    if (!m_learned && isVisible())
        m_session.Commands().StopRemoteLearning();
    QDialog::reject();
}

} // namespace orvex
