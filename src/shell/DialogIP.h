#pragma once

#include "link/ConnectResult.h"
#include "shell/ToolDialog.h"

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class QCheckBox;

namespace orvex {

class COrvexv13App;
class CIpAddressCtrl;

// The network connect dialog (template 521): a host address and port, a connection attempt over TCP,
// and on success the address and port are remembered and the view's connected sequence runs.
class CDialogIP : public CToolDialog {
    Q_OBJECT
public:
    static constexpr int kAddressId = 1242;
    static constexpr int kAddressLabelId = 1005;
    static constexpr int kErrorId = 1006;
    static constexpr int kPortLabelId = 1007;
    static constexpr int kGroupId = 1008;
    static constexpr int kPortId = 1039;
    static constexpr int kConnectId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kScanId = 3;
    static constexpr int kReconnectId = 1300;
    // Proposed when no address was ever stored; only tried when the user presses Connect.
    static constexpr const char* kProposedAddress = "192.168.1.100";

    explicit CDialogIP(COrvexv13App& app, QWidget* parent = nullptr);

    CIpAddressCtrl* AddressCtrl() const { return m_address; }
    QString ErrorText() const;
    int Port() const;
    void SetPort(int port);

    // Button 1: starts an attempt (a running one is given up) and returns at once; the window keeps
    // running meanwhile. connectFinished tells how it ended: on success the dialog hides and the
    // connected sequence runs, otherwise the error line says why.
    void Connect();
    bool IsConnecting() const { return m_attempt != 0; }
    void Relabel() override;

    QCheckBox* ReconnectBox() const { return m_reconnect; }
    QLineEdit* PortField() const { return m_port; }
    QPushButton* ConnectButton() const { return m_connectButton; }

signals:
    // After the attempt's outcome is on screen and, on success, the read-all has ended.
    void connectFinished(bool opened);

private:
    // 1..65535 from the port text, nothing for anything else.
    static std::optional<int> ParsePort(const QString& text);
    // The error line says what a port must be and the port field takes the caret.
    void RefusePort();
    // The address control handed over a port (empty: a ":" was typed).
    void OnPortEntered(const QString& text);
    void OnConnectResult(const QString& address, int port, ConnectResult result);
    void ShowConnecting(bool connecting);

    COrvexv13App& m_app;
    QPushButton* m_connectButton = nullptr;
    int m_attempt = 0; // the attempt under way, 0 for none
    int m_lastAttempt = 0;
    CIpAddressCtrl* m_address = nullptr;
    QLabel* m_portLabel = nullptr;
    QLineEdit* m_port = nullptr;
    QLabel* m_error = nullptr;
    QCheckBox* m_reconnect = nullptr;
};

} // namespace orvex
