#include "shell/SynDlg.h"

#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace orvex {

namespace {
constexpr int kMarqueeStepMs = 50;
} // namespace

CSynDlg::CSynDlg(const QString& text, QWidget* parent, int timeoutMs) : QDialog(parent), m_timeoutMs(timeoutMs) {
    SetTemplateId(this, tmpl::Syn);
    UsePageBackground(this);
    setWindowTitle(Tr2("同步过程", "Synchronize"));
    setMinimumWidth(400);
    setCursor(Qt::WaitCursor);

    m_text =
        new QLabel(text.isEmpty() ? Tr2("当前正在与机器同步数据,请稍候......", "Please wait a moment……") : text, this);
    SetCtrlId(m_text, kTextId);
    m_text->setWordWrap(true);

    // A marquee drawn by the dialog itself, so that it advances every 50 ms whatever the style.
    m_progress = new QProgressBar(this);
    SetCtrlId(m_progress, kProgressId);
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(16);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 18);
    layout->setSpacing(12);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);

    connect(&m_marquee, &QTimer::timeout, this,
            [this] { m_progress->setValue(m_progress->value() >= 100 ? 0 : m_progress->value() + 2); });
    m_timeout.setSingleShot(true);
    // Precise: a coarse timer may end a 30 s synchronisation up to 1.5 s early.
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        m_marquee.stop();
        done(kTimedOut);
    });
    ApplyControlHints(this);
}

void CSynDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_timeout.isActive())
        m_timeout.start(m_timeoutMs);
    m_marquee.start(kMarqueeStepMs);
}

void CSynDlg::EndFromOutside() {
    m_timeout.stop();
    m_marquee.stop();
    reject();
}

QString CSynDlg::Text() const {
    return m_text->text();
}

} // namespace orvex
