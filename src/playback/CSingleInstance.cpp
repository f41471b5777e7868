#include "playback/CSingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

// One request: this line, then one file per line; the sender then hangs up.
const char kActivateLine[] = "activate\n";

}  // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent) {
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

bool CSingleInstance::AskRunningInstance(const QString& name, const QStringList& files,
                                         int timeoutMs) {
    if (name.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray request(kActivateLine);
    for (const QString& file : files) {
        request += file.toUtf8() + '\n';
    }
    socket.write(request);
    socket.flush();
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    return true;
}

QString CSingleInstance::Listen() {
    // In the user's own runtime folder (mode 0700), not the shared temp folder, so another
    // user cannot squat the name and turn our next start away.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        return QString();
    }
    const QString name = QDir(folder).filePath(
        QStringLiteral("SonomapMainFrame-%1").arg(QCoreApplication::applicationPid()));
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed process of the same id would block the name.
    QLocalServer::removeServer(name);
    return m_server.listen(name) ? m_server.fullServerName() : QString();
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            const QByteArray request = socket->readAll();
            socket->deleteLater();
            if (!request.startsWith(kActivateLine)) {
                return;
            }
            QStringList files;
            for (const QByteArray& line : request.mid(sizeof kActivateLine - 1).split('\n')) {
                if (!line.isEmpty()) {
                    files << QString::fromUtf8(line);
                }
            }
            emit ActivationRequested(files);
        });
    }
}
