#include "shell/DialogIP.h"

#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "shell/Reconnector.h"
#include "shell/Theme.h"
#include "shell/IpAddressCtrl.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <optional>

namespace orvex {

CDialogIP::CDialogIP(COrvexv13App& app, QWidget* parent) : CToolDialog(tmpl::ConnectIp, parent), m_app(app) {
    UsePageBackground(this);
    setWindowTitle(QString::fromUtf8("网络连接"));

    auto* group = new QGroupBox(this);
    SetCtrlId(group, kGroupId);
    auto* addressLabel = new QLabel(QString::fromUtf8("机器IP地址"), group);
    SetCtrlId(addressLabel, kAddressLabelId);
    m_address = new CIpAddressCtrl(group);
    SetCtrlId(m_address, kAddressId);
    m_portLabel = new QLabel(QString::fromUtf8("通信端口："), group);
    SetCtrlId(m_portLabel, kPortLabelId);
    m_port = new QLineEdit(group);
    SetCtrlId(m_port, kPortId);
    // Digits only; a number out of range is refused when Connect is pressed.
    m_port->setValidator(new QIntValidator(0, 99999, m_port));
    m_port->setMaxLength(5);
    m_port->setFixedWidth(m_port->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    m_portLabel->setBuddy(m_port);
    connect(m_address, &CIpAddressCtrl::portEntered, this, &CDialogIP::OnPortEntered);

    m_error = new QLabel(group);
    SetCtrlId(m_error, kErrorId);
    m_error->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    m_error->setWordWrap(true);
    m_error->setMinimumHeight(m_error->fontMetrics().height() * 2);

    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(16, 14, 16, 10);
    grid->setHorizontalSpacing(10);
    grid->addWidget(addressLabel, 0, 0);
    grid->addWidget(m_address, 0, 1, Qt::AlignLeft);
    grid->addWidget(m_portLabel, 1, 0);
    grid->addWidget(m_port, 1, 1, Qt::AlignLeft);
    grid->addWidget(m_error, 2, 0, 1, 2);
    m_reconnect = new QCheckBox(group);
    SetCtrlId(m_reconnect, kReconnectId);
    m_reconnect->setChecked(m_app.Settings().AutoReconnect());
    connect(m_reconnect, &QCheckBox::toggled, this, [this](bool on) {
        m_app.Settings().SetAutoReconnect(on);
        if (!on)
            m_app.StopReconnecting();
    });
    grid->addWidget(m_reconnect, 3, 0, 1, 2);

    auto* connectButton = new QPushButton(QString::fromUtf8("尝试连接"), this);
    m_connectButton = connectButton;
    SetCtrlId(connectButton, kConnectId);
    connectButton->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8("取消"), this);
    SetCtrlId(cancel, kCancelId);
    auto* scan = new QPushButton(QString::fromUtf8("扫描网段"), this);
    SetCtrlId(scan, kScanId);
    scan->hide();
    connect(connectButton, &QPushButton::clicked, this, [this] { Connect(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(scan);
    buttons->addWidget(connectButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(12);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    // The keyboard walks the address, the port, then the buttons.
    QWidget* previous = m_address->Field(0);
    for (int i = 1; i < 4; ++i) {
        setTabOrder(previous, m_address->Field(i));
        previous = m_address->Field(i);
    }
    for (QWidget* next : {static_cast<QWidget*>(m_port), static_cast<QWidget*>(connectButton),
                          static_cast<QWidget*>(cancel), static_cast<QWidget*>(m_reconnect)}) {
        setTabOrder(previous, next);
        previous = next;
    }

    SetPort(m_app.Settings().IpPort());
    const QString stored = m_app.Settings().IpAddr();
    if (stored.isEmpty() || !m_address->SetAddress(stored))
        m_address->SetAddress(QString::fromLatin1(kProposedAddress));
}

void CDialogIP::Relabel() {
    CToolDialog::Relabel();
    m_reconnect->setText(Tr2("自动重新连接", "Reconnect automatically"));
    m_portLabel->setText(Tr2("通信端口：", "Port:"));
}

std::optional<int> CDialogIP::ParsePort(const QString& text) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

void CDialogIP::RefusePort() {
    m_error->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    m_error->setText(Tr2("通信端口须是1到65535之间的数字!", "The port must be a number from 1 to 65535."));
    m_port->setFocus(Qt::OtherFocusReason);
    m_port->selectAll();
}

void CDialogIP::OnPortEntered(const QString& text) {
    if (text.isEmpty()) {
        // Only the ":" so far: the digits that follow are typed into the port field.
        m_port->setFocus(Qt::OtherFocusReason);
        m_port->selectAll();
        return;
    }
    const std::optional<int> port = ParsePort(text);
    if (!port) {
        RefusePort();
        return;
    }
    SetPort(*port);
    if (!IsConnecting())
        m_error->clear();
}

QString CDialogIP::ErrorText() const {
    return m_error->text();
}

int CDialogIP::Port() const {
    return m_port->text().toInt();
}

void CDialogIP::SetPort(int port) {
    m_port->setText(QString::number(port));
}

void CDialogIP::ShowConnecting(bool connecting) {
    if (connecting) {
        m_error->setStyleSheet(QStringLiteral("color: rgb(0,0,0);"));
        m_error->setText(Tr2("正在连接 %1……", "Connecting to %1…").arg(m_address->Address()));
        if (!QApplication::overrideCursor())
            QApplication::setOverrideCursor(Qt::BusyCursor);
        return;
    }
    m_error->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    m_error->clear();
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void CDialogIP::Connect() {
    // A connect of the user's own ends any retrying of the previous link.
    m_app.StopReconnecting();
    DeviceSession& session = m_app.Session();
    if (session.IsConnected() && !session.IsNetwork())
        session.CloseUsbWithoutNotice();
    if (COrvexv13View* view = m_app.View())
        view->ForgetHostBusy();

    const QString address = m_address->Address();
    const std::optional<int> checked = ParsePort(m_port->text());
    const int port = checked.value_or(0);
    const int attempt = ++m_lastAttempt;
    m_attempt = attempt;
    if (!checked) {
        // Nothing is tried; reported the way every outcome is: after the click has returned.
        session.CancelTcpConnect();
        ShowConnecting(false);
        QMetaObject::invokeMethod(
            this,
            [this, attempt] {
                if (m_attempt != attempt)
                    return;
                m_attempt = 0;
                RefusePort();
                emit connectFinished(false);
            },
            Qt::QueuedConnection);
        return;
    }
    ShowConnecting(true);
    QPointer<CDialogIP> self(this);
    session.StartTcpConnect(address.toStdString(), static_cast<uint16_t>(port),
                            [self, address, port, attempt](ConnectResult result) {
                                // A newer attempt of this dialog's, or a closed dialog, takes no report.
                                if (self && self->m_attempt == attempt)
                                    self->OnConnectResult(address, port, result);
                            });
}

void CDialogIP::OnConnectResult(const QString& address, int port, ConnectResult result) {
    m_attempt = 0;
    ShowConnecting(false);
    if (result) {
        m_app.Settings().SetIpPort(port);
        m_app.Settings().SetIpAddr(address);
        m_app.Reconnector().Remember(address, static_cast<uint16_t>(port));
        hide();
        QPointer<CDialogIP> self(this);
        m_app.OnTcpLinkOpened(); // returns when the read-all has ended
        if (self)
            emit connectFinished(true);
        return;
    }
    // A USB processor that arrived meanwhile took over: nothing went wrong.
    if (result.error != ECANCELED) {
        // The platform's number as ever, and what it means.
        const bool chinese = UiLanguageIndex() != kLanguageEnglish;
        m_error->setText(Tr2("错误%1（%2），请确认IP地址和端口号正确!", "Connect failed. Error %1 (%2)")
                             .arg(result.error)
                             .arg(QString::fromStdString(ConnectErrorReason(result.error, chinese))));
    }
    emit connectFinished(false);
}

} // namespace orvex
