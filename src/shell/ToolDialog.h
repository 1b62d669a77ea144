#pragma once

#include <QDialog>

#include <cstdint>

namespace orvex {

// A modeless tool window of the application (machine settings, remote learning, music input,
// smart plugs, features, network connect). The application and the view reach every such window
// through these operations only, so a renamed or retyped entry point fails to compile instead of
// being skipped at run time.
class CToolDialog : public QDialog {
    Q_OBJECT
public:
    explicit CToolDialog(int templateId, QWidget* parent = nullptr);

    int TemplateId() const { return m_templateId; }

    // Reloads the controls from the parameter store; windows without stored state do nothing.
    virtual void RefreshFromStore() {}
    // Applies the current language table with the window's template number. A window with
    // embedded sub-dialogs relabels those too.
    virtual void Relabel();
    // Ends the window for good (a device arrived, the program closes it): closes it, then deletes
    // it. The smart-plug window restores level polling here.
    virtual void CloseDialog();

    // The smart-home window's events from the device link (WM_DEV_ZWAVE_EVENT, WM_DEV_REFRESH),
    // with the message's own parameters.
    virtual void OnZWaveEvent(uint32_t /*wParam*/, uint32_t /*lParam*/) {}
    virtual void OnRefresh(uint32_t /*wParam*/, uint32_t /*lParam*/) {}
    // A key of the processor's remote while the key-learning window is open (WM_DEV_REMOTE_KEY).
    virtual void OnRemoteKey(uint32_t /*keyCode*/) {}
    // The wait box of a key being learnt was aborted: that key is not learnt.
    virtual void OnKeyLearningAborted() {}

private:
    int m_templateId;
};

} // namespace orvex
