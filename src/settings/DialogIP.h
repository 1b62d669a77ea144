#pragma once

#include "shell/ToolDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

class QCheckBox;

namespace orvex {

class COrvexv13App;
class CIpAddressCtrl;

// The network connect dialog (template 521): a host address, a connection attempt over TCP,
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

    // Button 1: true when the link opened; otherwise the error line says why.
    bool Connect();
    void Relabel() override;

    QCheckBox* ReconnectBox() const { return m_reconnect; }

private:
    COrvexv13App& m_app;
    CIpAddressCtrl* m_address = nullptr;
    QLineEdit* m_port = nullptr;
    QLabel* m_error = nullptr;
    QCheckBox* m_reconnect = nullptr;
};

} // namespace orvex
