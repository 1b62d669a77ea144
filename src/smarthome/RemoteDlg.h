#pragma once

#include "shell/PageContext.h"
#include "shell/ToolDialog.h"
#include "smarthome/RemoteStudyDlg.h"

#include <QPointer>

class QLabel;
class QPushButton;

namespace orvex {

class CRemotePicture;

// "Learn remoter control": teaches the processor which code of any infrared remote means which of
// its 17 functions. A key of the picture starts learning its function and shows the study dialog;
// Apply sends the code table, and the table is kept in remote data files (".remo").
class CRemoteDlg : public CToolDialog {
    Q_OBJECT
public:
    static constexpr int kHelpId = 1216;
    static constexpr int kApplyId = 1;
    static constexpr int kLoadId = 3;
    static constexpr int kSaveId = 4;
    static constexpr int kNotSupportedId = 1616;

    explicit CRemoteDlg(const PageContext& ctx, QWidget* parent = nullptr);
    ~CRemoteDlg() override;

    void Relabel() override;
    // The learned code of the key being learnt (WM_DEV_REMOTE_KEY): it goes to the study dialog.
    void OnRemoteKey(uint32_t keyCode) override;

    // What a click on a hot spot does.
    void OnHotSpot(int controlId);
    void OnApply();
    void OnLoadFile();
    void OnSaveFile();

    CRemotePicture* Picture() const { return m_picture; }
    CRemoteStudyDlg* StudyDialog() const { return m_study; }

    // Marks the keys of the picture whose function has a code in the store's table, and says so in
    // their hints.
    void ShowLearnedKeys();

    // The function number (1..17) of a hot spot, 0 for none.
    static int FunctionOf(int controlId);
    // The learn prompt of a function 1..17 in the current language.
    static QString LearnPrompt(int function);

protected:
    void closeEvent(QCloseEvent* event) override;

public slots:
    void reject() override; // Escape: the window goes

private:
    PageContext m_ctx;
    CRemotePicture* m_picture = nullptr;
    QLabel* m_help = nullptr;
    QPointer<CRemoteStudyDlg> m_study;
    bool m_levelPollWasOn = false;
};

} // namespace orvex
