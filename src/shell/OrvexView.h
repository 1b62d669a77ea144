#pragma once

#include "shell/Page.h"
#include "shell/VolumeControls.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <cstdint>

class QColor;
class QLabel;
class QSystemTrayIcon;

namespace orvex {

class COrvexv13App;
class CMainFrame;
enum class RibbonCategoryId;

// The main view: hosts one editing page at a time, routes the ribbon's and status bar's
// commands, and is where the device link's events arrive (on the user-interface thread).
class COrvexv13View : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinPageWidth = 1024;
    static constexpr int kMinPageHeight = 520;

    COrvexv13View(COrvexv13App& app, QWidget* parent);
    ~COrvexv13View() override;

    CPage* CurrentPage() const { return m_currentPage; }
    QRect PageRect() const { return m_pageRect; }
    int OutputChannel() const { return m_outputChannel; }
    // The mic/music page's remembered sub-view (0 mic A, 1 mic B, 2 music): the effects page's Back
    // returns to it, a category change resets it to mic A.
    int RememberedChannelView() const { return m_channelView; }
    // The output whose speaker the processor is asked to identify (1..8), 0 for none; it outlives
    // the speaker page that sets it.
    int& LocateChannel() { return m_locateChannel; }
    // The host answered that another device has it; a new link starts with the question open.
    bool HostBusy() const { return m_hostBusy; }
    void ForgetHostBusy() { m_hostBusy = false; }
    // The memory an "m1".."m4" file names, for the write-all under way (-1: none).
    int PendingModeIndex() const { return m_pendingModeIndex; }

    // Shows the page of `kind`, reusing the current one when it is of that kind. `channel` is
    // the output channel for the output page (-1: the application-wide one) and the kind for the
    // effects page.
    void SwitchToPage(PageKind kind, int channel = -1);
    // The ribbon's active category changed: Input shows the mic/music page, Output the output page.
    void OnCategoryChanged(RibbonCategoryId category);

    // Every command of the ribbon, the application menu and the status bar. True when handled.
    bool OnCommand(int id);

    // Volume handlers: read the active category's twin, clamp, store and send, sync both twins.
    void OnVolumeCommand(VolumeControl control);
    void OnMuteCommand(MuteControl control);
    // Keys and wheel: move both twins by `delta` (clamped to the slider), then run the handler.
    void StepVolume(VolumeControl control, int delta);

    // Link events.
    void OnSyncDone(uint32_t wParam);
    void OnLinkTimeout();
    void OnHostBusy();
    // The host closed the network link or a receive failed.
    void OnLinkLost();
    void OnZWaveEvent(uint32_t wParam, uint32_t lParam);
    void OnRefresh(uint32_t wParam, uint32_t lParam);
    // A level reply is in the store: the page shows it.
    void OnLevels();
    // The processor changed a parameter by itself: the history ends there and the windows show it.
    void OnStoreReported();
    // After the link's reports: the ribbon's panes and check boxes follow the link and the store, and
    // the pages too when the processor changed the store.
    void FollowLink();
    void OnRemoteKey(uint32_t keyCode);
    // The processor refused a parameter; the decoder reports this once per run.
    void OnParameterError(uint8_t code, uint8_t cmd, uint8_t sub);
    void OnUsbArrival(const QString& path);
    void OnUsbRemoval(const QString& path);

    // After a link opens: balloon, read synchronisation, the modal sync dialog, level polling.
    void OnDeviceConnected(bool usbArrival = false);

    void RequestWaitDialog(const QString& text, uint8_t kind, uint8_t value1, uint8_t value2, int delayMs);
    // The smart-plug window's steps on the running operation: the prompt goes to the open wait dialog,
    // or is kept for the one still to open; finishing also cancels a wait dialog still to open.
    void SetWaitPrompt(const QString& text, const QColor& colour);
    void FinishWaitDialog(int ms);
    bool WaitDialogPending() const { return m_timer5.isActive(); }
    // What the last requested wait dialog stands for: its operation and the value it sends.
    uint8_t WaitKind() const { return m_waitRequest.kind; }
    uint8_t WaitValue() const { return m_waitRequest.value2; }
    // A transient desktop notice (the tray balloon where a tray exists, else inside the window).
    void ShowBalloon(const QString& text, const QString& title, int milliseconds);
    QString BalloonText() const { return m_balloonText; }
    // Ends the notice before its time (the gallery's pictures are taken without it).
    void HideBalloon();
    bool BalloonVisible() const;

    // Device modes n = 1..4, from the menus (keyboard: the application adds its own wait).
    void LoadDeviceMode(int n);
    // Loads memory `n` without asking (a phone's request): the processor answers with a read-all.
    void StartDeviceModeLoad(int n);
    void SaveDeviceMode(int n, bool fromKeyboard = false);
    void MachineReset();
    void ResetPageEq();
    void ToggleEqBypass();
    // The stored bypass flag of the equaliser the current page shows (false without one).
    bool EqBypassed() const;

    // Ribbon, current page and open dialogs reload from the store.
    void RefreshAllViews();

    void OnFileOpen();
    void OnFileSave();
    // Loads a mode file into the store and starts write-all; the recent-file list skips the
    // file-title rule. False (after the message) when the file was rejected.
    bool LoadModeFileAndWrite(const QString& path, bool applyNameRule);
    // Sends 04 with the current mode, then writes the file; reports a failed write.
    static bool SaveToDeviceAndFile(COrvexv13App& app, QWidget* parent, const QString& path);

    bool MismatchArmed() const { return m_mismatchArmed; }
    QTimer& LevelPollTimer() { return m_timer3; }
    // The first USB probe after start-up has still to run.
    bool StartupProbePending() const { return m_timer1.isActive(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Shows the page of `kind`; an output page shows channel `argument`, an effects page kind
    // `argument`. The application-wide channel is left as it is.
    void ShowPage(PageKind kind, int argument);

    void OnTimer1();
    void OnTimer3();
    void OnTimer5();
    void Mismatch(const QString& text);
    // After the read-all of a reopened link: offers to send what was edited while it was down.
    void OfferOfflineEdits();
    // No level request for at least `ms` (the processor is busy with what it was just sent).
    void HoldLevelPolls(int ms);
    // No more level requests; the page shows the levels the closed link left (none).
    void StopLevelPolls();
    // The output channel linked with `channel` by the link options, or -1.
    int LinkedOutputPartner(int channel) const;
    void PlacePage();
    CMainFrame* Frame() const;

    COrvexv13App& m_app;
    QPointer<CPage> m_currentPage;
    QRect m_pageRect;
    int m_outputChannel = 0;
    int m_channelView = 0;
    int m_locateChannel = 0;
    bool m_hostBusy = false;
    int m_pendingModeIndex = -1;
    bool m_mismatchArmed = true;

    QTimer m_timer1;               // 250 ms: the first USB probe
    QTimer m_timer3;               // 500 ms: live level polling
    QTimer m_timer5;               // the delayed wait dialog
    QTimer m_timer990;             // ends the balloon
    QDeadlineTimer m_pollQuiet{0}; // no level request before it expires
    bool m_storeReported = false;  // the pages draw the store again after the current reports

    struct WaitRequest {
        QString text;
        uint8_t kind = 0;
        uint8_t value1 = 0;
        uint8_t value2 = 0;
    } m_waitRequest;

    QSystemTrayIcon* m_tray = nullptr;
    QLabel* m_notice = nullptr;
    QString m_balloonText;
};

} // namespace orvex
