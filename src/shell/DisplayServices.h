#pragma once

#include <QString>

namespace orvex {

class COrvexv13View;
class CToolDialog;
class CWaitDlg;

// What the shell shows on a page's behalf: the transient notice, the modal synchronisation and
// wait dialogs, the other tool windows and the help page.
class DisplayServices {
public:
    virtual void ShowInfoMessage(const QString& text, int milliseconds) = 0;
    virtual void ShowSyncDialog(const QString& text) = 0;
    virtual void EndSyncDialog() = 0;
    // The wait dialog now up, if any.
    virtual CWaitDlg* WaitDialog() const = 0;
    // The view, which times the wait dialogs of the smart-home module (null while it is not built).
    virtual COrvexv13View* View() const = 0;
    virtual CToolDialog* ShowToolDialog(int templateId) = 0;
    virtual CToolDialog* ToolDialog(int templateId) const = 0;
    virtual void DestroyToolDialog(int templateId) = 0;
    // The ribbon's volume sliders follow the store again.
    virtual void RefreshRibbonFromStore() = 0;
    // The browser shows the help page (nothing when it could not be written out).
    virtual void OpenHelpPage() = 0;

protected:
    ~DisplayServices() = default;
};

} // namespace orvex
