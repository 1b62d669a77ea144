#include "shell/AppSettings.h"

#include "shell/Language.h"

#include <QSettings>

namespace orvex {

namespace {
constexpr const char* kSection = "Settings/";
constexpr const char* kRecentSection = "Recent File List/File";
} // namespace

AppSettings::AppSettings() : m_settings(std::make_unique<QSettings>(QString::fromUtf8(kKeyName), "orvex")) {}

AppSettings::~AppSettings() = default;

int AppSettings::Language() const {
    return LanguageFromSetting(m_settings->value(QString(kSection) + "language", 0).toInt());
}

void AppSettings::SetLanguage(int language) {
    m_settings->setValue(QString(kSection) + "language", language);
}

int AppSettings::ApplicationLook() const {
    return m_settings->value(QString(kSection) + "ApplicationLook", kDefaultApplicationLook).toInt();
}

void AppSettings::SetApplicationLook(int look) {
    m_settings->setValue(QString(kSection) + "ApplicationLook", look);
}

QByteArray AppSettings::DefaultQtOption() {
    return QByteArray::fromHex("0101010000000000");
}

QByteArray AppSettings::QtOption() const {
    const QByteArray stored = m_settings->value(QString(kSection) + "QtOption").toByteArray();
    return stored.size() == 8 ? stored : DefaultQtOption();
}

void AppSettings::SetQtOption(const QByteArray& option) {
    QByteArray bytes = option.left(8);
    bytes.append(QByteArray(8 - bytes.size(), '\0'));
    m_settings->setValue(QString(kSection) + "QtOption", bytes);
}

QString AppSettings::IpAddr() const {
    return m_settings->value(QString(kSection) + "IPAddr").toString();
}

void AppSettings::SetIpAddr(const QString& address) {
    m_settings->setValue(QString(kSection) + "IPAddr", address);
}

QString AppSettings::LastFolder() const {
    return m_settings->value(QString(kSection) + "LastFolder").toString();
}

void AppSettings::SetLastFolder(const QString& folder) {
    m_settings->setValue(QString(kSection) + "LastFolder", folder);
}

int AppSettings::IpPort() const {
    bool ok = false;
    const int port = m_settings->value(QString(kSection) + "IPPort", kDefaultPort).toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : kDefaultPort;
}

void AppSettings::SetIpPort(int port) {
    m_settings->setValue(QString(kSection) + "IPPort", port);
}

bool AppSettings::AutoReconnect() const {
    return m_settings->value(QString(kSection) + "AutoReconnect", 1).toInt() != 0;
}

void AppSettings::SetAutoReconnect(bool on) {
    m_settings->setValue(QString(kSection) + "AutoReconnect", on ? 1 : 0);
}

bool AppSettings::PhoneRemoteOnNetwork() const {
    return m_settings->value(QString(kSection) + "PhoneRemoteNetwork", 0).toInt() != 0;
}

void AppSettings::SetPhoneRemoteOnNetwork(bool on) {
    m_settings->setValue(QString(kSection) + "PhoneRemoteNetwork", on ? 1 : 0);
}

int AppSettings::PhoneRemotePort() const {
    constexpr int kDefault = 8080;
    bool ok = false;
    const int port = m_settings->value(QString(kSection) + "PhoneRemotePort", kDefault).toInt(&ok);
    return ok && port >= 1024 && port <= 65535 ? port : kDefault;
}

void AppSettings::SetPhoneRemotePort(int port) {
    m_settings->setValue(QString(kSection) + "PhoneRemotePort", port);
}

QString AppSettings::HomeBroker() const {
    return m_settings->value(QString(kSection) + "HomeBroker").toString();
}

void AppSettings::SetHomeBroker(const QString& broker) {
    m_settings->setValue(QString(kSection) + "HomeBroker", broker);
}

QString AppSettings::HomeRoom() const {
    return m_settings->value(QString(kSection) + "HomeRoom").toString();
}

void AppSettings::SetHomeRoom(const QString& room) {
    m_settings->setValue(QString(kSection) + "HomeRoom", room);
}

QString AppSettings::HomeUser() const {
    return m_settings->value(QString(kSection) + "HomeUser").toString();
}

void AppSettings::SetHomeUser(const QString& user) {
    m_settings->setValue(QString(kSection) + "HomeUser", user);
}

QString AppSettings::HomePasswordFile() const {
    return m_settings->value(QString(kSection) + "HomePasswordFile").toString();
}

void AppSettings::SetHomePasswordFile(const QString& path) {
    m_settings->setValue(QString(kSection) + "HomePasswordFile", path);
}

bool AppSettings::HomeBridgeOn() const {
    return m_settings->value(QString(kSection) + "HomeBridgeOn", 0).toInt() != 0;
}

void AppSettings::SetHomeBridgeOn(bool on) {
    m_settings->setValue(QString(kSection) + "HomeBridgeOn", on ? 1 : 0);
}

QStringList AppSettings::RecentFiles() const {
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString f = m_settings->value(QString(kRecentSection) + QString::number(i)).toString();
        if (!f.isEmpty())
            files << f;
    }
    return files;
}

void AppSettings::AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    WriteRecentFiles(files);
}

void AppSettings::WriteRecentFiles(const QStringList& files) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QString(kRecentSection) + QString::number(i);
        if (i <= files.size())
            m_settings->setValue(key, files[i - 1]);
        else
            m_settings->remove(key);
    }
}

void AppSettings::Sync() {
    m_settings->sync();
}

} // namespace orvex
