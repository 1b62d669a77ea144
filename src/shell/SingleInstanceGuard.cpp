#include "shell/SingleInstanceGuard.h"

#include "link/DebugSink.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace orvex {

namespace {
constexpr int kAskTimeoutMs = 2000;
constexpr char kRaiseRequest[] = "raise\n";
// "connect HOST:PORT\n": raise, then connect as the connect dialog would.
constexpr char kConnectRequest[] = "connect ";
constexpr char kRaisedReply[] = "ok\n";
constexpr char kNoWindowReply[] = "nowindow\n";
} // namespace

SingleInstanceGuard::SingleInstanceGuard(QString name, QObject* parent) : QObject(parent), m_name(std::move(name)) {}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (m_server)
        m_server->close();
}

QString SingleInstanceGuard::DefaultName() {
    QString name = QStringLiteral("Calyx V1.0-%1").arg(getuid());
    const QByteArray suffix = qgetenv("ORVEX_INSTANCE_KEY");
    if (!suffix.isEmpty())
        name += QLatin1Char('-') + QString::fromLocal8Bit(suffix);
    return name;
}

bool SingleInstanceGuard::ParseConnectTarget(const QString& target, QString& host, int& port) {
    const qsizetype colon = target.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const int number = target.mid(colon + 1).toInt(&ok);
    if (!ok || number <= 0 || number > 65535)
        return false;
    host = target.left(colon);
    port = number;
    return true;
}

bool SingleInstanceGuard::AskRunningInstance(const QByteArray& request, Outcome& outcome) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kAskTimeoutMs))
        return false;
    socket.write(request);
    socket.waitForBytesWritten(kAskTimeoutMs);
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(kAskTimeoutMs))
        reply += socket.readAll();
    outcome = reply == kRaisedReply ? Outcome::RaisedOther : Outcome::OtherNoWindow;
    return true;
}

SingleInstanceGuard::Outcome SingleInstanceGuard::Acquire(const QString& connectTarget) {
    const QByteArray request =
        connectTarget.isEmpty() ? QByteArray(kRaiseRequest) : kConnectRequest + connectTarget.toUtf8() + '\n';
    Outcome outcome = Outcome::First;
    if (AskRunningInstance(request, outcome))
        return outcome;

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        if (m_server->serverError() != QAbstractSocket::AddressInUseError)
            return Outcome::CannotCreate;
        // Either a second editor started at the same moment, or a crashed one left its socket
        // file behind. Ask once more before taking the name over.
        if (AskRunningInstance(request, outcome))
            return outcome;
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return Outcome::CannotCreate;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceGuard::OnNewConnection);
    return Outcome::First;
}

void SingleInstanceGuard::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray request = socket->readLine();
            QString host;
            int port = 0;
            const bool connectRequest =
                request.startsWith(kConnectRequest) &&
                ParseConnectTarget(QString::fromUtf8(request.mid(qstrlen(kConnectRequest)).trimmed()), host, port);
            if (request != kRaiseRequest && !connectRequest) {
                socket->disconnectFromServer();
                return;
            }
            const bool raised = m_raise && m_raise();
            DebugOut(raised ? "Single instance: raised the main window\n"
                            : "Single instance: asked to raise, no main window\n");
            socket->write(raised ? kRaisedReply : kNoWindowReply);
            socket->flush();
            // The connect runs its own dialogs: not from inside this socket's notification.
            if (connectRequest && raised && m_connect) {
                QMetaObject::invokeMethod(
                    this, [this, host, port] { m_connect(host, port); }, Qt::QueuedConnection);
            }
        });
    }
}

} // namespace orvex
