#pragma once

#include "shell/ToolDialog.h"

#include <QTimer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex {

class AppSettings;
class CRemoteHost;

// The home-automation bridge's window: the broker, the room, the login, on and off, and how the
// bridge is doing. The bridge publishes this room on the broker from the editor's own session.
class CHomeAutomationDlg : public CToolDialog {
    Q_OBJECT
public:
    CHomeAutomationDlg(CRemoteHost& host, AppSettings& settings, QWidget* parent = nullptr);

    void Relabel() override;

    QCheckBox* OnBox() const { return m_on; }
    QLineEdit* BrokerField() const { return m_broker; }
    QLineEdit* RoomField() const { return m_room; }
    QLineEdit* UserField() const { return m_user; }
    QLineEdit* PasswordFileField() const { return m_passwordFile; }
    QLabel* StatusLabel() const { return m_status; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void OnToggled(bool on);
    void Browse();
    void ShowStatus();
    void SaveFields();

    CRemoteHost& m_host;
    AppSettings& m_settings;
    QCheckBox* m_on = nullptr;
    QLabel* m_brokerCaption = nullptr;
    QLineEdit* m_broker = nullptr;
    QLabel* m_roomCaption = nullptr;
    QLineEdit* m_room = nullptr;
    QLabel* m_userCaption = nullptr;
    QLineEdit* m_user = nullptr;
    QLabel* m_passwordCaption = nullptr;
    QLineEdit* m_passwordFile = nullptr;
    QPushButton* m_browse = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_note = nullptr;
    QString m_errorText;
    // While the window shows, the broker's state is looked at twice a second.
    QTimer m_poll;
};

} // namespace orvex
