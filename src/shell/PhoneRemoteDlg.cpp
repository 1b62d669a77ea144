#include "shell/PhoneRemoteDlg.h"

#include "shell/AppSettings.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Language.h"
#include "shell/QrCode.h"
#include "shell/RemoteHost.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace orvex {

namespace {
constexpr int kQrSide = 222; // six pixels a module for an address's code with its quiet zone
} // namespace

CPhoneRemoteDlg::CPhoneRemoteDlg(CRemoteHost& host, AppSettings& settings, QWidget* parent)
    : CToolDialog(tmpl::PhoneRemote, parent), m_host(host), m_settings(settings) {
    setObjectName(QStringLiteral("PhoneRemote"));
    setModal(false);
    auto* outer = new QHBoxLayout(this);
    auto* form = new QGridLayout;
    outer->addLayout(form, 1);

    int row = 0;
    m_on = new QCheckBox(this);
    m_on->setObjectName(QStringLiteral("PhoneRemoteOn"));
    form->addWidget(m_on, row++, 0, 1, 3);

    m_scopeCaption = new QLabel(this);
    form->addWidget(m_scopeCaption, row, 0, Qt::AlignTop);
    m_local = new QRadioButton(this);
    m_network = new QRadioButton(this);
    m_network->setObjectName(QStringLiteral("PhoneRemoteNetwork"));
    auto* scope = new QButtonGroup(this);
    scope->addButton(m_local);
    scope->addButton(m_network);
    const bool network =
        host.Running() ? host.ServingScope() == CRemoteHost::Scope::LocalNetwork : settings.PhoneRemoteOnNetwork();
    (network ? m_network : m_local)->setChecked(true);
    form->addWidget(m_local, row++, 1, 1, 2);
    form->addWidget(m_network, row++, 1, 1, 2);

    m_portCaption = new QLabel(this);
    form->addWidget(m_portCaption, row, 0);
    m_port = new QSpinBox(this);
    m_port->setRange(1024, 65535);
    m_port->setValue(host.Running() ? host.Port() : settings.PhoneRemotePort());
    m_portCaption->setBuddy(m_port);
    form->addWidget(m_port, row++, 1);

    m_pinCaption = new QLabel(this);
    form->addWidget(m_pinCaption, row, 0);
    m_pin = new QLabel(this);
    m_pin->setObjectName(QStringLiteral("PhoneRemotePin"));
    m_pin->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = m_pin->font();
    // The theme may give the font in pixels rather than points.
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 1.8);
    else if (big.pixelSize() > 0)
        big.setPixelSize(big.pixelSize() * 9 / 5);
    big.setBold(true);
    big.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    m_pin->setFont(big);
    form->addWidget(m_pin, row, 1);
    m_newPin = new QPushButton(this);
    form->addWidget(m_newPin, row++, 2);

    m_addressCaption = new QLabel(this);
    form->addWidget(m_addressCaption, row, 0, Qt::AlignTop);
    m_address = new QLabel(this);
    m_address->setObjectName(QStringLiteral("PhoneRemoteAddress"));
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_address->setWordWrap(true);
    form->addWidget(m_address, row++, 1, 1, 2);

    m_paired = new QLabel(this);
    form->addWidget(m_paired, row++, 0, 1, 3);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("PhoneRemoteError"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #c00000;"));
    form->addWidget(m_error, row++, 0, 1, 3);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->setForegroundRole(QPalette::PlaceholderText);
    form->addWidget(m_note, row++, 0, 1, 3);
    form->setRowStretch(row, 1);
    form->setColumnStretch(1, 1);

    m_qr = new QLabel(this);
    m_qr->setObjectName(QStringLiteral("PhoneRemoteQr"));
    m_qr->setFixedSize(kQrSide, kQrSide);
    m_qr->setAlignment(Qt::AlignCenter);
    outer->addWidget(m_qr, 0, Qt::AlignTop);

    connect(m_on, &QCheckBox::toggled, this, &CPhoneRemoteDlg::OnToggled);
    connect(scope, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
        if (checked && m_host.Running())
            Restart();
    });
    connect(m_port, &QSpinBox::editingFinished, this, [this] {
        if (m_host.Running() && m_port->value() != m_host.Port())
            Restart();
    });
    connect(m_newPin, &QPushButton::clicked, this, [this] { m_host.NewPin(); });
    connect(&m_host, &CRemoteHost::statusChanged, this, &CPhoneRemoteDlg::ShowStatus);
    SetHint(m_on, "手机打开下面的地址并输入PIN后即可遥控",
            "Phones open the address below and enter the PIN to control the room");
    SetHint(m_local, "只接受这台电脑本身的连接", "Only this computer itself can connect, for trying the remote");
    SetHint(m_network, "同一局域网内的手机都可以连接", "Phones on the same local network can connect");
    SetHint(m_port, "手机连接的端口 (1024..65535)", "The port the phones connect to (1024..65535)");
    SetHint(m_pin, "手机第一次连接时输入的六位数字", "The six digits a phone enters when it first connects");
    SetHint(m_newPin, "已配对的手机需重新输入PIN", "Paired phones must enter the new PIN");
    SetHint(m_address, "在手机浏览器中打开此地址，或扫描二维码",
            "Open this address in the phone's browser, or scan the QR code");
    SetHint(m_qr, "用手机相机扫描，打开遥控页面", "Scan it with the phone's camera to open the remote");
    Relabel();
    resize(620, sizeHint().height());
}

void CPhoneRemoteDlg::OnToggled(bool on) {
    if (on == m_host.Running())
        return;
    m_errorText.clear();
    if (on)
        Restart();
    else
        m_host.Stop();
    ShowStatus();
}

void CPhoneRemoteDlg::Restart() {
    QString error;
    const auto scope = m_network->isChecked() ? CRemoteHost::Scope::LocalNetwork : CRemoteHost::Scope::ThisComputer;
    m_errorText.clear();
    m_settings.SetPhoneRemoteOnNetwork(scope == CRemoteHost::Scope::LocalNetwork);
    m_settings.SetPhoneRemotePort(m_port->value());
    if (!m_host.Start(scope, static_cast<uint16_t>(m_port->value()), &error))
        m_errorText =
            Tr2("无法在端口 %1 上提供服务：%2", "Cannot serve on port %1: %2").arg(m_port->value()).arg(error);
    ShowStatus();
}

void CPhoneRemoteDlg::Relabel() {
    setWindowTitle(Tr2("手机遥控", "Phone remote"));
    m_on->setText(Tr2("开启手机遥控", "Serve the phone remote"));
    m_scopeCaption->setText(Tr2("允许访问", "Phones on"));
    m_local->setText(Tr2("仅本机（测试用）", "This computer only (for trying it)"));
    m_network->setText(Tr2("局域网内的手机", "The local network"));
    m_portCaption->setText(Tr2("端口", "Port"));
    m_pinCaption->setText(Tr2("PIN", "PIN"));
    m_newPin->setText(Tr2("更换PIN", "New PIN"));
    ApplyControlHints(this);
    ShowStatus();
}

void CPhoneRemoteDlg::ShowStatus() {
    const bool running = m_host.Running();
    {
        const QSignalBlocker block(m_on);
        m_on->setChecked(running);
    }
    m_pin->setText(m_host.Pin());
    const QStringList addresses = m_host.Addresses();
    if (!running) {
        m_address->setText(Tr2("（未开启）", "(off)"));
    } else if (addresses.isEmpty()) {
        m_address->setText(Tr2("本机没有连接局域网", "This computer is on no local network"));
    } else {
        m_address->setText(addresses.join(QLatin1Char('\n')));
    }
    // Whole pixels per module, so that every module of the code is the same size on the screen.
    const QImage modules = addresses.isEmpty() ? QImage() : QrCodeImage(addresses.first(), 1);
    const QImage code =
        modules.isNull() ? modules : QrCodeImage(addresses.first(), std::max(1, kQrSide / modules.width()));
    if (code.isNull()) {
        m_qr->setPixmap({});
        m_qr->setText(running ? QString() : Tr2("开启后显示二维码", "The QR code shows when it is on"));
        m_qr->setWordWrap(true);
    } else {
        m_qr->setPixmap(QPixmap::fromImage(code));
    }
    m_qr->setAccessibleName(addresses.isEmpty() ? Tr2("二维码", "QR code")
                                                : Tr2("二维码：%1", "QR code: %1").arg(addresses.first()));
    m_paired->setText(running ? Tr2("已配对的手机：%1", "Paired phones: %1").arg(m_host.PairedCount()) : QString());
    m_error->setText(m_errorText);
    m_error->setVisible(!m_errorText.isEmpty());
}

} // namespace orvex
