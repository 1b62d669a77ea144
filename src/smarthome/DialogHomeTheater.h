#pragma once

#include "shell/PageContext.h"
#include "shell/ToolDialog.h"

#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>

class QButtonGroup;
class QKeyEvent;
class QPushButton;
class QStackedWidget;

namespace orvex {

class CDlgZwaveList;
class CHomeTheaterPage;

// The smart-plug window: a tab strip over the plug list, the scene editor and the remote learning,
// the reset and help buttons, and the inclusion/exclusion handshake the plug list and the plug dialog
// start. It receives the smart module's events and the end of a smart-data synchronisation and passes
// them to its pages. While it exists the view's level polling is suspended.
class CDialogHomeTheater : public CToolDialog {
    Q_OBJECT
public:
    static constexpr int kPagePlugs = 0;
    static constexpr int kPageScenes = 1;
    static constexpr int kPageLearn = 2;
    static constexpr int kPageCount = 3;
    // The tab buttons, by page.
    static constexpr std::array<int, kPageCount> kTabIds{1074, 1077, 1080};
    static constexpr int kPowerOnId = 1005;
    static constexpr int kPowerOffId = 1007;
    static constexpr int kPowerOnScene = 4;
    static constexpr int kPowerOffScene = 5;
    static constexpr int kResetId = 1078;
    static constexpr int kHelpId = 1079;
    static constexpr int kPageAreaId = 1226;
    static constexpr uint32_t kSmartDataRefresh = 8;
    static constexpr int kReadDelayMs = 200;

    // Where adding and removing stand. Adding is an exclusion (first press) followed by an inclusion
    // (second press); removing is the exclusion alone.
    enum class Operation { Idle, Removing, AddExcluding, AddIncluding };

    explicit CDialogHomeTheater(const PageContext& ctx, QWidget* parent = nullptr);
    ~CDialogHomeTheater() override;

    void RefreshFromStore() override;
    void Relabel() override;
    void CloseDialog() override;
    void OnZWaveEvent(uint32_t wParam, uint32_t lParam) override;
    void OnRefresh(uint32_t wParam, uint32_t lParam) override;
    void OnKeyLearningAborted() override;

    // The plug dialog's Add: the pending record takes type and name, then the exclusion starts.
    void StartAddPlug(uint8_t type, const QString& name);
    // "Delete plug": the exclusion alone; the plug whose button is pressed goes.
    void StartRemovePlug();
    // "Reset": the module forgets every plug and scene; key files go once that has succeeded.
    void ResetPlugs();
    // "Power ON" and "Power OFF": run the power-on or power-off scene.
    void RunPowerScene(bool on);

    void ShowPage(int page);
    int CurrentPageIndex() const { return m_current; }
    CHomeTheaterPage* Page(int page) const;
    CDlgZwaveList* PlugList() const { return m_list; }
    QPushButton* TabButton(int page) const { return m_tabs[page]; }

    Operation CurrentOperation() const { return m_operation; }
    // 1 while an add is in progress, 0 for a plain removal.
    int OperationFlag() const {
        return m_operation == Operation::AddExcluding || m_operation == Operation::AddIncluding ? 1 : 0;
    }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void accept() override; // Enter: put away, the ribbon command shows it again
    void reject() override; // Escape and the close box: the window goes

private:
    void OnReadTimer();
    void OnRemoveEvent(uint16_t status, uint16_t node);
    void OnAddEvent(uint16_t status, uint16_t node);
    void OnSendDataEvent(uint16_t status, uint16_t callback);
    // A plug has left: its scene commands would drive the next plug given its id, so the user is asked
    // whether they go from all six scenes.
    void OfferToRemoveSceneCommands(int node);
    // The operation ends by itself when its wait dialog was aborted or timed out.
    void SetOperation(Operation operation);
    void ForgetEndedOperation();
    void Prompt(const QString& text, const QColor& colour);
    void Finish(int ms);
    void RefreshPages();
    void UpdateTabColours();
    void RestorePolling();
    void DestroyPlugDialogs();

    PageContext m_ctx;
    std::array<QPushButton*, kPageCount> m_tabs{};
    std::array<CHomeTheaterPage*, kPageCount> m_pages{};
    CDlgZwaveList* m_list = nullptr;
    QButtonGroup* m_tabGroup = nullptr;
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_powerOn = nullptr;
    QPushButton* m_powerOff = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_help = nullptr;
    int m_current = kPagePlugs;
    QTimer m_readTimer;
    Operation m_operation = Operation::Idle;
    bool m_resetRefreshSeen = false;
    bool m_pollingRestored = false;
};

} // namespace orvex
