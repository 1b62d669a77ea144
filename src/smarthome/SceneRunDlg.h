#pragma once

#include "shell/PageContext.h"
#include "model/SmartHomeTables.h"
#include "link/SceneRunner.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvex {

// The progress of a running scene: its text, a bar over the scene's commands and Cancel (also
// Escape). It closes when the run ends, is cancelled, loses the link, or outlasts its plan.
class CSceneRunDlg : public QDialog {
    Q_OBJECT
public:
    // Runs `record` behind the modal progress, at `timing`; the result says how the run ended. Nothing
    // runs (and the user is told why) when the link is down or another scene is running.
    static SceneRunner::End RunScene(const PageContext& ctx, QWidget* parent, const SceneRecord& record,
                                     const QString& text, const SceneRunner::Timing& timing = {});
    // The dialog of the run in progress, or null.
    static CSceneRunDlg* Current();

    CSceneRunDlg(SceneRunner& runner, const QString& text, QWidget* parent);
    ~CSceneRunDlg() override;

    QPushButton* CancelButton() const { return m_cancel; }
    int ProgressValue() const;

protected:
    void reject() override; // Escape and Cancel: stop the run, then close when it has stopped

private:
    void OnTick();

    SceneRunner& m_runner;
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer m_tick;
    QElapsedTimer m_clock;
};

} // namespace orvex
