#include "single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
constexpr int kConnectTimeoutMs = 1000;
const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");

// On Windows the name is a pipe name of the user's session. Elsewhere a bare
// name would be a socket file in the shared temporary folder, where another
// account could hold it (and this user's copy would then never start, or never
// find its twin): the socket goes to the user's private runtime folder instead.
QString SocketName(const QString& name) {
#ifdef Q_OS_WIN
    return name;
#else
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? name : runtime + QLatin1Char('/') + name;
#endif
}

bool SomeoneAnswers(const QString& socketName) {
    QLocalSocket socket;
    socket.connectToServer(socketName);
    const bool answered = socket.waitForConnected(kConnectTimeoutMs);
    socket.abort();
    return answered;
}
}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), m_name(SocketName(name)) {}

SingleInstance::~SingleInstance() {
    if (m_server) m_server->close();
}

bool SingleInstance::AskRunningInstanceToRaise() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(kRaiseRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    // A copy started at the same moment may have taken the name since we
    // asked: it stays the running copy. (With access options Qt's listen
    // renames its socket over an existing one, so it would not refuse.)
    if (SomeoneAnswers(m_name)) return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Nobody answered on this name, so the socket file is a leftover of a crashed copy.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains("raise") && m_raise) m_raise();
            });
        }
    });
    return true;
}

QString SingleInstance::SocketPath() const {
    return m_server ? m_server->fullServerName() : QString();
}
