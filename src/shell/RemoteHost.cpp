#include "shell/RemoteHost.h"

#include "bridge/BridgeTopics.h"
#include "bridge/MqttBridge.h"
#include "link/DeviceSession.h"
#include "link/SceneRunner.h"
#include "remote/RemoteApi.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteSnapshot.h"
#include "remote/RemoteWrites.h"
#include "shell/ControlIds.h"
#include "shell/EditHistory.h"
#include "shell/Language.h"
#include "shell/MainFrame.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "shell/ToolDialog.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>

namespace orvex {

namespace {

bool IsPrivateAddress(const QHostAddress& ip) {
    static const std::pair<QHostAddress, int> kPrivate[] = {
        {QHostAddress(QStringLiteral("10.0.0.0")), 8},
        {QHostAddress(QStringLiteral("172.16.0.0")), 12},
        {QHostAddress(QStringLiteral("192.168.0.0")), 16},
    };
    return std::any_of(std::begin(kPrivate), std::end(kPrivate),
                       [&](const auto& net) { return ip.isInSubnet(net.first, net.second); });
}

} // namespace

CRemoteHost::CRemoteHost(COrvexv13App& app)
    : m_app(app), m_pin(QString::fromStdString(MakeRemotePin())), m_board(std::make_unique<SnapshotBoard>()) {
    m_publish.setInterval(kPublishMs);
    connect(&m_publish, &QTimer::timeout, this, [this] {
        Publish();
        ApplyPending(); // writes that waited for a synchronisation to end
    });
}

CRemoteHost::~CRemoteHost() {
    Stop();
    StopBridge();
    m_board->Close();
}

bool CRemoteHost::Start(Scope scope, uint16_t port, QString* error) {
    Stop();
    m_scope = scope;
    m_api = std::make_unique<RemoteApi>(m_pin.toStdString(), *this, *m_board);
    m_server = std::make_unique<RemoteServer>(*m_api, *m_board);
    Publish();
    std::string reason;
    const char* address = scope == Scope::ThisComputer ? "127.0.0.1" : "0.0.0.0";
    if (!m_server->Start(address, port, &reason)) {
        m_server.reset();
        m_api.reset();
        if (error)
            *error = QString::fromStdString(reason);
        emit statusChanged();
        return false;
    }
    m_pairedSeen = 0;
    UpdatePublishing();
    emit statusChanged();
    return true;
}

void CRemoteHost::Stop() {
    const bool was = Running();
    if (m_server)
        m_server->Stop();
    m_server.reset();
    m_api.reset();
    UpdatePublishing();
    if (was)
        emit statusChanged();
}

void CRemoteHost::UpdatePublishing() {
    if (Running() || BridgeRunning()) {
        if (!m_publish.isActive())
            m_publish.start();
        return;
    }
    m_publish.stop();
    std::lock_guard lock(m_mutex);
    m_pending.clear(); // nobody is left whose writes these were
}

bool CRemoteHost::StartBridge(const HomeBridgeConfig& config, QString* error) {
    StopBridge();
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        emit statusChanged();
        return false;
    };
    bridge::BridgeOptions options;
    std::string reason;
    if (!bridge::ParseBrokerAddress(config.broker.trimmed().toStdString(), false, options.host, options.port, &reason))
        return fail(QString::fromStdString(reason));
    options.username = config.username.trimmed().toStdString();
    bool othersCanRead = false;
    if (!config.passwordFile.isEmpty()) {
        if (options.username.empty())
            return fail(Tr2("密码文件需要用户名", "A password file needs a user name"));
        if (!bridge::ReadBrokerPassword(config.passwordFile.toStdString(), options.password, &reason, &othersCanRead))
            return fail(QString::fromStdString(reason));
    }
    const std::string module = m_app.Store().Identity().moduleName;
    const std::string named = config.room.trimmed().toStdString();
    options.device.room = bridge::TopicRoom(named.empty() ? module : named);
    if (options.device.room.empty())
        return fail(named.empty()
                        ? Tr2("请填写房间名，或先连接机器", "Name the room, or connect the processor first")
                        : Tr2("房间名不能只有通配符和斜杠", "The room's name needs more than wildcards and slashes"));
    options.device.module = module;
    m_bridgeModule = module;
    {
        std::lock_guard lock(m_noteMutex);
        m_bridgeNote = othersCanRead
                           ? Tr2("注意：这台电脑的所有用户都能读取 %1", "Note: every user of this computer can read %1")
                                 .arg(config.passwordFile)
                           : QString();
    }
    // The bridge's lines come from its own threads.
    auto candidate = std::make_unique<bridge::MqttBridge>(options, *m_board, *this, [this](const std::string& line) {
        std::lock_guard lock(m_noteMutex);
        m_bridgeNote = QString::fromStdString(line);
    });
    Publish();
    if (!candidate->Start(&reason))
        return fail(QString::fromStdString(reason));
    m_bridge = std::move(candidate);
    m_bridgeRoom = QString::fromStdString(options.device.room);
    UpdatePublishing();
    emit statusChanged();
    return true;
}

void CRemoteHost::StopBridge() {
    if (!m_bridge)
        return;
    m_bridge->Stop(); // says "offline" to the broker
    m_bridge.reset();
    UpdatePublishing();
    emit statusChanged();
}

bool CRemoteHost::BridgeConnected() const {
    return m_bridge && m_bridge->Connected();
}

QString CRemoteHost::BridgeNote() const {
    std::lock_guard lock(m_noteMutex);
    return m_bridgeNote;
}

uint16_t CRemoteHost::Port() const {
    return m_server ? m_server->Port() : 0;
}

void CRemoteHost::NewPin() {
    m_pin = QString::fromStdString(MakeRemotePin());
    if (!Running()) {
        emit statusChanged();
        return;
    }
    // The tokens die with the server that gave them out.
    const uint16_t port = Port();
    if (!Start(m_scope, port))
        emit statusChanged();
}

size_t CRemoteHost::PairedCount() const {
    return m_api ? m_api->PairedCount() : 0;
}

QStringList CRemoteHost::Addresses() const {
    if (!Running())
        return {};
    const QString port = QString::number(Port());
    if (m_scope == Scope::ThisComputer)
        return {QStringLiteral("http://127.0.0.1:%1/").arg(port)};
    // Private addresses first: those are the ones the phones on the room's network reach.
    QStringList preferred;
    QStringList others;
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        const auto flags = nic.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() != QAbstractSocket::IPv4Protocol || ip.isLoopback() || ip.isLinkLocal())
                continue;
            const QString url = QStringLiteral("http://%1:%2/").arg(ip.toString(), port);
            (IsPrivateAddress(ip) ? preferred : others).append(url);
        }
    }
    return preferred + others;
}

void CRemoteHost::Post(RemoteWrite write) {
    std::lock_guard lock(m_mutex);
    m_pending.push_back(write);
    if (m_applyQueued)
        return;
    m_applyQueued = true;
    // By name: the call crosses from the server's thread to the window's.
    QMetaObject::invokeMethod(this, "ApplyPending", Qt::QueuedConnection);
}

void CRemoteHost::ApplyPending() {
    DeviceSession& session = m_app.Session();
    std::vector<RemoteWrite> writes;
    {
        std::lock_guard lock(m_mutex);
        m_applyQueued = false;
        if (m_pending.empty())
            return;
        if (!session.IsConnected()) {
            m_pending.clear(); // nothing reaches a processor that is not there
            return;
        }
        // A synchronisation owns the link while it runs; the writes wait for its end (the next turn
        // of the publishing timer looks again).
        if (session.Link().Sync().Running())
            return;
        writes.swap(m_pending);
    }
    bool changed = false;
    int mode = 0;
    for (const RemoteWrite& write : writes) {
        if (write.entry == nullptr)
            continue;
        switch (write.entry->target) {
        case ControlTarget::Scene:
            RunScene(write.value);
            break;
        case ControlTarget::DeviceMode:
            mode = write.value; // the last one asked for, after every other write
            break;
        default:
            Apply(write);
            changed = true;
            break;
        }
    }
    if (changed) {
        // The phones' changes are not the user's to undo here.
        m_app.History().Break({"手机遥控", "Phone remote"});
        m_app.RefreshRibbonFromStore();
        if (COrvexv13View* view = m_app.View())
            view->RefreshAllViews();
        if (CMainFrame* frame = m_app.MainFrame())
            frame->UpdateCommandUI();
        if (CToolDialog* plugs = m_app.ToolDialog(tmpl::SmartPlug))
            plugs->RefreshFromStore();
    }
    Publish();
    if (mode != 0) {
        if (COrvexv13View* view = m_app.View())
            view->StartDeviceModeLoad(mode); // returns when the processor's read-all is in
    }
}

void CRemoteHost::Apply(const RemoteWrite& write) {
    ApplyRemoteWrite(m_app.Session().Link(), write);
}

void CRemoteHost::RunScene(int scene) {
    // One scene at a time in the whole program: a request while one runs is dropped.
    if (SceneRunner::AnyRunning())
        return;
    DeviceSession& session = m_app.Session();
    m_scenes = std::make_unique<SceneRunner>(session);
    m_scenes->Start(session.Link().SmartHome().Scene(scene));
}

void CRemoteHost::Publish() {
    DeviceSession& session = m_app.Session();
    if (m_bridge && session.IsConnected()) {
        // The processor's name in the descriptions follows the processor now connected.
        const std::string module = m_app.Store().Identity().moduleName;
        if (!module.empty() && module != m_bridgeModule) {
            m_bridgeModule = module;
            m_bridge->SetModule(module);
        }
    }
    m_board->Publish(TakeRemoteSnapshot(m_app.Store(), session.Link().SmartHome(), session.IsConnected()));
    const size_t paired = PairedCount();
    if (paired != m_pairedSeen) {
        m_pairedSeen = paired;
        emit statusChanged();
    }
}

} // namespace orvex
