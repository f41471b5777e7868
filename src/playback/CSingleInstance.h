#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

// The single-instance rule over a local socket. The running main frame listens under a name
// it stores as "Initialization"/"ClassName"; a second start connects to that name, asks it to
// come to the front (and to open the files it was given), and exits.
class CSingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit CSingleInstance(QObject* parent = nullptr);

    // True when a program listens under name and took the request; waits at most timeoutMs.
    static bool AskRunningInstance(const QString& name, const QStringList& files,
                                   int timeoutMs = 2000);
    // Listens under a socket path of this process's own in the user's runtime folder; returns
    // the path, or an empty string on failure.
    QString Listen();
    QString Name() const { return m_server.fullServerName(); }

  signals:
    // Another start asked this one to come to the front; files are absolute or as given.
    void ActivationRequested(const QStringList& files);

  private:
    void OnNewConnection();

    QLocalServer m_server;
};
