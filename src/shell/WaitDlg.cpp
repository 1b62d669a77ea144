#include "shell/WaitDlg.h"

#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

CWaitDlg::CWaitDlg(const QString& text, uint8_t kind, uint8_t value1, uint8_t value2, QWidget* parent,
                   const DialogTimeouts& timeouts)
    : QDialog(parent), m_textValue(text), m_kind(kind), m_value1(value1), m_value2(value2), m_timeouts(timeouts) {
    SetTemplateId(this, tmpl::Wait);
    UsePageBackground(this);
    // This template has no entries in the language tables: its texts are chosen here.
    setWindowTitle(Tr2("请稍等……", "Please wait…"));
    setMinimumWidth(400);
    setCursor(Qt::WaitCursor);

    m_text = new QLabel(text, this);
    SetCtrlId(m_text, kTextId);
    m_text->setWordWrap(true);

    m_progress = new QProgressBar(this);
    SetCtrlId(m_progress, kProgressId);
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(16);

    m_abortButton = new QPushButton(Tr2("强行中止", "Abort"), this);
    SetCtrlId(m_abortButton, kAbortId);
    m_abortButton->setCursor(Qt::ArrowCursor);
    connect(m_abortButton, &QPushButton::clicked, this, &CWaitDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_abortButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(12);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    SetTextColour(m_colour);

    connect(&m_step, &QTimer::timeout, this, [this] {
        const int next = m_progress->value() + 10;
        m_progress->setValue(next > 100 ? 0 : next);
    });
    m_step.setTimerType(Qt::PreciseTimer);
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, &CWaitDlg::OnTimeout);
    m_finish.setSingleShot(true);
    m_finish.setTimerType(Qt::PreciseTimer);
    connect(&m_finish, &QTimer::timeout, this, &QDialog::accept);
    ApplyControlHints(this);
}

void CWaitDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_step.isActive() && !m_finish.isActive() && !m_aborted) {
        m_step.start(kStepMs);
        m_timeout.start(m_timeouts.waitMs);
    }
}

void CWaitDlg::RestartTimers() {
    m_step.start(kStepMs);
    m_timeout.start(m_timeouts.waitRestartMs);
}

void CWaitDlg::SetText(const QString& text) {
    m_textValue = text;
    m_text->setText(text);
}

void CWaitDlg::SetTextColour(const QColor& colour) {
    m_colour = colour;
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::WindowText, colour);
    m_text->setPalette(palette);
}

void CWaitDlg::Finish(int ms) {
    m_step.stop();
    m_timeout.stop();
    if (ms <= 0) {
        accept();
        return;
    }
    m_progress->setValue(100);
    m_finish.start(ms);
}

QString CWaitDlg::Text() const {
    return m_textValue;
}

int CWaitDlg::ProgressValue() const {
    return m_progress->value();
}

void CWaitDlg::Abort() {
    if (m_aborted)
        return;
    m_aborted = true;
    if (m_abort)
        m_abort(m_kind, m_value1, m_value2);
}

void CWaitDlg::reject() {
    Abort();
    m_step.stop();
    m_timeout.stop();
    m_finish.stop();
    QDialog::reject();
}

void CWaitDlg::OnTimeout() {
    Abort();
    m_step.stop();
    m_finish.stop();
    QDialog::reject();
    if (m_timeoutNotice)
        m_timeoutNotice();
}

} // namespace orvex
