#include "smarthome/SceneRunDlg.h"

#include "shell/ControlHints.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "smarthome/PlugCommon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

// Past its plan a run is stopped: something else than the commands holds it.
constexpr int kLimitMarginMs = 2000;

QPointer<CSceneRunDlg>& CurrentDialog() {
    static QPointer<CSceneRunDlg> dialog;
    return dialog;
}

} // namespace

CSceneRunDlg* CSceneRunDlg::Current() {
    return CurrentDialog();
}

SceneRunner::End CSceneRunDlg::RunScene(const PageContext& ctx, QWidget* parent, const SceneRecord& record,
                                        const QString& text, const SceneRunner::Timing& timing) {
    if (!PlugLinkReady(ctx))
        return SceneRunner::End::LinkLost;
    if (SceneRunner::AnyRunning()) {
        ctx.display.ShowInfoMessage(Tr2("情景正在运行，请稍候", "A scene is running"), kPlugNoticeMs);
        return SceneRunner::End::Cancelled;
    }
    SceneRunner runner(ctx.session, timing);
    if (!runner.Start(record)) {
        ctx.display.ShowInfoMessage(Tr2("情景正在运行，请稍候", "A scene is running"), kPlugNoticeMs);
        return SceneRunner::End::Cancelled;
    }
    {
        CSceneRunDlg dialog(runner, text, parent);
        dialog.exec();
    }
    runner.Cancel(); // a dialog closed from outside leaves nothing running behind it
    const SceneRunner::End end =
        runner.Result() == SceneRunner::End::Running ? SceneRunner::End::Cancelled : runner.Result();
    if (end == SceneRunner::End::LinkLost)
        ctx.display.ShowInfoMessage(Tr2("设备已断开，情景中止", "Device disconnected, scene stopped"), kPlugNoticeMs);
    return end;
}

CSceneRunDlg::CSceneRunDlg(SceneRunner& runner, const QString& text, QWidget* parent)
    : QDialog(parent), m_runner(runner) {
    setWindowTitle(Tr2("情景", "Scene"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    m_text = new QLabel(text, this);
    m_text->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, std::max(1, runner.Total()));
    m_progress->setValue(0);
    m_progress->setMinimumWidth(300);
    m_cancel = new QPushButton(Tr2("取消", "Cancel"), this);
    SetHint(m_cancel, "停止运行这个情景", "Stop running the scene");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(m_cancel);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_cancel, &QPushButton::clicked, this, &CSceneRunDlg::reject);
    connect(&m_tick, &QTimer::timeout, this, &CSceneRunDlg::OnTick);
    m_tick.start(20);
    m_clock.start();
    CurrentDialog() = this;
}

CSceneRunDlg::~CSceneRunDlg() = default;

int CSceneRunDlg::ProgressValue() const {
    return m_progress->value();
}

void CSceneRunDlg::OnTick() {
    m_progress->setValue(m_runner.Done());
    if (m_runner.Result() != SceneRunner::End::Running) {
        m_tick.stop();
        accept();
        return;
    }
    if (m_clock.elapsed() > m_runner.Limit().count() + kLimitMarginMs)
        m_runner.Cancel();
}

void CSceneRunDlg::reject() {
    m_runner.Cancel();
    m_cancel->setEnabled(false);
    // The tick closes the dialog once the thread has noticed.
}

} // namespace orvex
