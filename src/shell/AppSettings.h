#pragma once

#include "link/NetworkPort.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace orvex {

// The per-user settings under the key "Calyxon V1.0". Value names, kinds and defaults are the
// ones the program has always used; where they are kept is QSettings' business.
class AppSettings {
public:
    static constexpr const char* kKeyName = "Calyxon V1.0";
    static constexpr int kDefaultApplicationLook = 215;
    static constexpr int kDefaultPort = kDefaultNetworkPort;
    static constexpr int kRecentFileCount = 10;

    AppSettings();
    ~AppSettings();

    int Language() const; // 0 or 1; any other stored value reads as 0
    void SetLanguage(int language);

    int ApplicationLook() const;
    void SetApplicationLook(int look);

    // Eight bytes: 0 channels 1+2 linked, 1 channels 3+4, 2 channels 7+8; 3..7 unused.
    static QByteArray DefaultQtOption();
    QByteArray QtOption() const; // the default when absent or not 8 bytes long
    void SetQtOption(const QByteArray& option);

    QString IpAddr() const; // empty when never stored
    void SetIpAddr(const QString& address);
    int IpPort() const;
    void SetIpPort(int port);
    // Whether a dropped network link is reopened by itself (on unless the user turned it off).
    bool AutoReconnect() const;
    void SetAutoReconnect(bool on);

    // The phone remote's last choices: the local network rather than this computer only, and the port
    // (never whether it was on: it starts off).
    bool PhoneRemoteOnNetwork() const;
    void SetPhoneRemoteOnNetwork(bool on);
    int PhoneRemotePort() const; // 8080 when none was stored or the stored one is out of range
    void SetPhoneRemotePort(int port);

    // The home-automation bridge: the broker, the room, the login, and whether it runs (it starts
    // again with the editor when it was on: it only connects out, to a broker the user named).
    QString HomeBroker() const;
    void SetHomeBroker(const QString& broker);
    QString HomeRoom() const;
    void SetHomeRoom(const QString& room);
    QString HomeUser() const;
    void SetHomeUser(const QString& user);
    QString HomePasswordFile() const;
    void SetHomePasswordFile(const QString& path);
    bool HomeBridgeOn() const;
    void SetHomeBridgeOn(bool on);

    // The folder of the file last chosen in a file dialog (empty when never stored).
    QString LastFolder() const;
    void SetLastFolder(const QString& folder);

    QStringList RecentFiles() const;
    // Moves `path` to the front; the list keeps 10 entries.
    void AddRecentFile(const QString& path);

    void Sync();

private:
    void WriteRecentFiles(const QStringList& files);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace orvex
