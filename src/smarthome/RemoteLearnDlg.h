#pragma once

#include "shell/PageContext.h"
#include "model/PlugKeyFile.h"
#include "smarthome/HomeTheaterPage.h"

#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace orvex {

class CGridListCtrlEx;
class DeviceSession;

// The remote-learning page of the smart-plug window: the infrared keys of a plug, learnt, named,
// cleared and test-sent. Names and learned states live in the plug's key file; the page shows the
// file and changes it one attribute at a time.
class CRemoteLearnDlg : public CHomeTheaterPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 516;
    static constexpr int kPlugComboId = 1134;
    static constexpr int kKeyListId = 1223;
    static constexpr int kNameEditId = 1038;
    static constexpr int kLearnId = 1233;
    static constexpr int kTransmitId = 1232;
    static constexpr int kRenameId = 1234;
    static constexpr int kClearId = 1235;

    // Plug values: 128 + k sends learnt key k, 192 + k starts learning it.
    static constexpr int kTransmitValue = 128;
    static constexpr int kLearnValue = 192;
    // How long a learn or transmit may wait for its wait box to appear before it counts as gone.
    static constexpr int kOpenGraceMs = 2000;

    CRemoteLearnDlg(const PageContext& ctx, QWidget* parent);

    // Relists the plugs (keeping the chosen one) and reloads the keys.
    void RefreshFromStore() override;
    void Relabel() override;
    // Infrared reports of the plug being taught or tested (application command, values 2..7).
    void OnZWaveEvent(uint32_t wParam, uint32_t lParam) override;
    // The wait box of a learning was aborted or timed out: the key is not learnt.
    void OnKeyLearningAborted() override;

    void OnLearn();
    void OnTransmit();
    void OnRename();
    void OnClear();

    // Node id of the chosen plug, 0 for none.
    int SelectedNode() const;
    // The key index (0..31) of the selected row, -1 for none.
    int SelectedKey() const;
    bool OperationRunning() const { return m_operation.kind != Operation::None; }

    QComboBox* PlugCombo() const { return m_plugs; }
    CGridListCtrlEx* KeyList() const { return m_list; }
    QLineEdit* NameEdit() const { return m_name; }
    // The keys the list shows, in its row order.
    const std::vector<PlugKey>& Keys() const { return m_keys; }

private:
    struct Operation {
        enum Kind { None, Learn, Transmit } kind = None;
        int node = 0;
        int key = -1;
        QElapsedTimer started;
        bool boxSeen = false; // the wait box of this operation has been open
        // A result that came before the wait box: shown when it opens.
        bool outcomePending = false;
        QString prompt;
        QColor colour;
        int finishMs = -1; // -1: the box stays open
    };

    void FillPlugs();
    void Reload();
    std::filesystem::path KeyFolder();
    // The shared checks of Learn, Transmit and Clear; false after telling the user what is missing.
    bool CheckReady(bool needConnection, const QString& noRow);
    void StartOperation(Operation::Kind kind, int node, int key);
    void EndOperation();
    // Sets the wait box's prompt and, unless finishMs is -1, finishes it; before the box is open the
    // result waits for it.
    void ShowOutcome(const QString& prompt, const QColor& colour, int finishMs);
    void WatchOperation();
    void ReportBrokenFile(const KeyFileResult& result);

    DeviceSession& m_session;
    DisplayServices& m_display;
    QComboBox* m_plugs = nullptr;
    CGridListCtrlEx* m_list = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_learn = nullptr;
    QPushButton* m_transmit = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_clear = nullptr;
    std::vector<PlugKey> m_keys;
    int m_listedNode = -1;         // the plug whose keys the list shows
    int m_reportedBroken = -1;     // the plug whose unreadable file was last reported
    bool m_folderReported = false; // the key folder's failure is told once, not at every reload
    Operation m_operation;
    QTimer m_watch;
};

} // namespace orvex
