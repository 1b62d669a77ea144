#pragma once

#include "shell/ToolDialog.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace orvex {

class AppSettings;
class CRemoteHost;

// The phone remote's window: on and off, this computer only or the local network, the port, the PIN,
// the address to open with its QR code, and how many phones are paired.
class CPhoneRemoteDlg : public CToolDialog {
    Q_OBJECT
public:
    CPhoneRemoteDlg(CRemoteHost& host, AppSettings& settings, QWidget* parent = nullptr);

    void Relabel() override;

    QCheckBox* OnBox() const { return m_on; }
    QRadioButton* NetworkChoice() const { return m_network; }
    QSpinBox* PortBox() const { return m_port; }
    QPushButton* NewPinButton() const { return m_newPin; }
    QLabel* PinLabel() const { return m_pin; }
    QLabel* AddressLabel() const { return m_address; }
    QLabel* QrLabel() const { return m_qr; }
    QLabel* PairedLabel() const { return m_paired; }
    QLabel* ErrorLabel() const { return m_error; }

private:
    void OnToggled(bool on);
    void Restart();
    void ShowStatus();

    CRemoteHost& m_host;
    AppSettings& m_settings;
    QCheckBox* m_on = nullptr;
    QLabel* m_scopeCaption = nullptr;
    QRadioButton* m_local = nullptr;
    QRadioButton* m_network = nullptr;
    QLabel* m_portCaption = nullptr;
    QSpinBox* m_port = nullptr;
    QLabel* m_pinCaption = nullptr;
    QLabel* m_pin = nullptr;
    QPushButton* m_newPin = nullptr;
    QLabel* m_addressCaption = nullptr;
    QLabel* m_address = nullptr;
    QLabel* m_qr = nullptr;
    QLabel* m_paired = nullptr;
    QLabel* m_error = nullptr;
    QLabel* m_note = nullptr;
    QString m_errorText;
};

} // namespace orvex
