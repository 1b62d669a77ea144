#include "shell/HomeAutomationDlg.h"

#include "shell/AppSettings.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "shell/RemoteHost.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvex {

namespace {
constexpr int kPollMs = 500;
} // namespace

CHomeAutomationDlg::CHomeAutomationDlg(CRemoteHost& host, AppSettings& settings, QWidget* parent)
    : CToolDialog(tmpl::HomeAutomation, parent), m_host(host), m_settings(settings) {
    setObjectName(QStringLiteral("HomeAutomation"));
    setModal(false);
    auto* form = new QGridLayout(this);
    int row = 0;
    m_on = new QCheckBox(this);
    m_on->setObjectName(QStringLiteral("HomeBridgeOn"));
    form->addWidget(m_on, row++, 0, 1, 3);

    const auto field = [&](QLabel*& caption, QLineEdit*& edit, const char* name, const QString& text) {
        caption = new QLabel(this);
        edit = new QLineEdit(text, this);
        edit->setObjectName(QString::fromLatin1(name));
        caption->setBuddy(edit);
        form->addWidget(caption, row, 0);
    };
    field(m_brokerCaption, m_broker, "HomeBroker", settings.HomeBroker());
    form->addWidget(m_broker, row++, 1, 1, 2);
    field(m_roomCaption, m_room, "HomeRoom", settings.HomeRoom());
    form->addWidget(m_room, row++, 1, 1, 2);
    field(m_userCaption, m_user, "HomeUser", settings.HomeUser());
    form->addWidget(m_user, row++, 1, 1, 2);
    field(m_passwordCaption, m_passwordFile, "HomePasswordFile", settings.HomePasswordFile());
    form->addWidget(m_passwordFile, row, 1);
    m_browse = new QPushButton(this);
    form->addWidget(m_browse, row++, 2);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("HomeBridgeStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for the state and a refused command's whole line without the window growing.
    m_status->setMinimumHeight(3 * m_status->fontMetrics().lineSpacing());
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->addWidget(m_status, row++, 0, 1, 3);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->setForegroundRole(QPalette::PlaceholderText);
    form->addWidget(m_note, row++, 0, 1, 3);
    form->setColumnStretch(1, 1);
    form->setRowStretch(row, 1);

    connect(m_on, &QCheckBox::toggled, this, &CHomeAutomationDlg::OnToggled);
    connect(m_browse, &QPushButton::clicked, this, &CHomeAutomationDlg::Browse);
    connect(&m_host, &CRemoteHost::statusChanged, this, &CHomeAutomationDlg::ShowStatus);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CHomeAutomationDlg::ShowStatus);
    SetHint(m_on, "在MQTT服务器上发布并接受控制，编辑器关闭前一直运行",
            "Publish the room on the broker and take its commands while the editor runs");
    SetHint(m_broker, "MQTT服务器，例如 192.168.1.10 或 broker.lan:1883",
            "The MQTT broker, e.g. 192.168.1.10 or broker.lan:1883");
    SetHint(m_room, "主题 orvex/房间/ 下的名称", "The name under orvex/ROOM/ on the broker");
    SetHint(m_user, "登录服务器的用户名", "The user name for the broker");
    SetHint(m_passwordFile, "密码不保存在设置中，只从此文件读取",
            "The password is never stored in the settings, only read from this file");
    SetHint(m_browse, "选择密码文件", "Choose the password file");
    SetHint(m_status, "桥接的状态和最近的消息", "How the bridge is doing, and its latest message");
    Relabel();
    setMinimumWidth(500);
    resize(520, sizeHint().height());
}

void CHomeAutomationDlg::showEvent(QShowEvent* event) {
    CToolDialog::showEvent(event);
    m_poll.start();
    ShowStatus();
}

void CHomeAutomationDlg::hideEvent(QHideEvent* event) {
    m_poll.stop();
    CToolDialog::hideEvent(event);
}

void CHomeAutomationDlg::SaveFields() {
    m_settings.SetHomeBroker(m_broker->text().trimmed());
    m_settings.SetHomeRoom(m_room->text().trimmed());
    m_settings.SetHomeUser(m_user->text().trimmed());
    m_settings.SetHomePasswordFile(m_passwordFile->text().trimmed());
}

void CHomeAutomationDlg::OnToggled(bool on) {
    m_errorText.clear();
    SaveFields();
    if (on) {
        QString error;
        const HomeBridgeConfig config{m_broker->text(), m_room->text(), m_user->text(),
                                      m_passwordFile->text().trimmed()};
        if (!m_host.StartBridge(config, &error))
            m_errorText = error;
    } else {
        m_host.StopBridge();
    }
    m_settings.SetHomeBridgeOn(m_host.BridgeRunning());
    ShowStatus();
}

void CHomeAutomationDlg::Browse() {
    FileDialogRequest request;
    request.caption = Tr2("选择密码文件", "Choose the password file");
    request.defaultName = m_passwordFile->text();
    request.filter = Tr2("所有文件 (*)", "All files (*)");
    const QString path = AskFileName(this, request);
    if (!path.isEmpty())
        m_passwordFile->setText(path);
}

void CHomeAutomationDlg::Relabel() {
    setWindowTitle(Tr2("家居自动化", "Home automation"));
    m_on->setText(Tr2("通过MQTT发布此房间", "Publish this room over MQTT"));
    m_brokerCaption->setText(Tr2("服务器", "Broker"));
    m_broker->setPlaceholderText(Tr2("主机名或地址[:端口]", "host or address[:port]"));
    m_roomCaption->setText(Tr2("房间", "Room"));
    m_room->setPlaceholderText(Tr2("留空则使用机器名称", "empty: the processor's name"));
    m_userCaption->setText(Tr2("用户名", "User"));
    m_user->setPlaceholderText(Tr2("留空则匿名登录", "empty: no login"));
    m_passwordCaption->setText(Tr2("密码文件", "Password file"));
    m_passwordFile->setPlaceholderText(Tr2("第一行为密码的文件", "a file whose first line is the password"));
    m_browse->setText(Tr2("浏览…", "Browse…"));
    m_note->setText(Tr2("Home Assistant 等会自动发现此房间的音量、静音、音源、模式、场景和插座。",
                        "Home Assistant and other MQTT clients find this room's volumes, mutes, source, modes, "
                        "scenes and plugs by themselves."));
    ApplyControlHints(this);
    ShowStatus();
}

void CHomeAutomationDlg::ShowStatus() {
    const bool running = m_host.BridgeRunning();
    {
        const QSignalBlocker block(m_on);
        m_on->setChecked(running);
    }
    for (QWidget* w : {static_cast<QWidget*>(m_broker), static_cast<QWidget*>(m_room), static_cast<QWidget*>(m_user),
                       static_cast<QWidget*>(m_passwordFile), static_cast<QWidget*>(m_browse)})
        w->setEnabled(!running); // changed settings take effect at the next start
    QString text;
    QString colour = QStringLiteral("#c00000");
    if (!m_errorText.isEmpty()) {
        text = m_errorText;
    } else if (!running) {
        text = Tr2("未开启", "Off");
        colour = QString();
    } else if (m_host.BridgeConnected()) {
        text = Tr2("已连接服务器，房间 orvex/%1/", "Connected to the broker as orvex/%1/").arg(m_host.BridgeRoom());
        colour = QStringLiteral("#107010");
    } else {
        text = Tr2("正在连接服务器……", "Trying to reach the broker…");
    }
    const QString note = running ? m_host.BridgeNote() : QString();
    if (!note.isEmpty() && m_errorText.isEmpty())
        text += QStringLiteral("\n") + note;
    m_status->setText(text);
    m_status->setStyleSheet(colour.isEmpty() ? QString() : QStringLiteral("color: %1;").arg(colour));
    m_status->setAccessibleName(text);
}

} // namespace orvex
