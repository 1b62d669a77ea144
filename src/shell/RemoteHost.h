#pragma once

#include "remote/RemoteOwner.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orvex {

class COrvexv13App;
class RemoteApi;
class RemoteServer;
class SceneRunner;
class SnapshotBoard;
namespace bridge {
class MqttBridge;
}

// Where the home-automation bridge publishes: the broker ("host" or "host:port"), the room's name
// under orvex/ (the processor's name when empty), and the login (no user: anonymous).
struct HomeBridgeConfig {
    QString broker;
    QString room;
    QString username;
    QString passwordFile;
};

// The outside controllers served from the editor's own session, the phone remote and the
// home-automation bridge: they and the editor see each other's changes at once. Their threads only
// hand writes over; every write is applied here, on the window thread, through the setters the
// ribbon and the plug windows use.
class CRemoteHost : public QObject, public RemoteOwner {
    Q_OBJECT
public:
    enum class Scope { ThisComputer, LocalNetwork };
    // How often the state is looked at for the phones while serving (changes reach them within 250 ms).
    static constexpr int kPublishMs = 100;

    explicit CRemoteHost(COrvexv13App& app);
    ~CRemoteHost() override;

    // Serves on `port` of this computer's loopback address or of every address. False with a reason
    // when the port cannot be had.
    bool Start(Scope scope, uint16_t port, QString* error = nullptr);
    void Stop();
    bool Running() const { return m_server != nullptr; }
    Scope ServingScope() const { return m_scope; }
    uint16_t Port() const;
    QString Pin() const { return m_pin; }
    // A new PIN: the phones paired so far must pair again.
    void NewPin();
    size_t PairedCount() const;
    // The addresses a phone opens ("http://192.168.1.20:8080/"), the likeliest first; the loopback
    // one when serving this computer only.
    QStringList Addresses() const;

    // The home-automation bridge: false with a reason when the settings are unusable (the broker's
    // address, the password file, no room name while the processor's is unknown). A broker that is
    // not there yet is no failure: the bridge keeps trying.
    bool StartBridge(const HomeBridgeConfig& config, QString* error = nullptr);
    void StopBridge();
    bool BridgeRunning() const { return m_bridge != nullptr; }
    bool BridgeConnected() const;
    // The room's topic name, as the broker sees it ("orvex/ROOM/...").
    QString BridgeRoom() const { return m_bridgeRoom; }
    // The bridge's last word (a refused command, the broker away), empty when it had none.
    QString BridgeNote() const;

    // RemoteOwner: any thread.
    void Post(RemoteWrite write) override;

signals:
    // Started, stopped, a new PIN, or the number of paired phones changed.
    void statusChanged();

private:
    Q_INVOKABLE void ApplyPending();
    void Publish();
    void Apply(const RemoteWrite& write);
    void RunScene(int scene);
    // The state goes out while either the phones or the bridge are served.
    void UpdatePublishing();

    COrvexv13App& m_app;
    QString m_pin;
    Scope m_scope = Scope::ThisComputer;
    std::unique_ptr<SnapshotBoard> m_board;
    std::unique_ptr<RemoteApi> m_api;
    std::unique_ptr<RemoteServer> m_server;
    std::unique_ptr<SceneRunner> m_scenes;
    std::unique_ptr<bridge::MqttBridge> m_bridge;
    QString m_bridgeRoom;
    std::string m_bridgeModule; // the processor's name as the bridge's descriptions last had it
    mutable std::mutex m_noteMutex;
    QString m_bridgeNote;
    QTimer m_publish;
    size_t m_pairedSeen = 0;

    std::mutex m_mutex;
    std::vector<RemoteWrite> m_pending;
    bool m_applyQueued = false;
};

} // namespace orvex
