#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

// One running copy per user: the first start listens on a local socket of the
// given name; a later start finds it, asks it to come to the front and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when a running copy answered; it has been asked to raise its window.
    bool AskRunningInstanceToRaise();
    // Becomes the running copy; a socket left by a crashed copy is replaced.
    // False when another copy took the name meanwhile, or the socket fails.
    bool Listen();
    // Called on the GUI thread whenever a later start asks us to come forward.
    void SetRaiseHandler(std::function<void()> handler) { m_raise = std::move(handler); }
    // Where the listening socket lives (empty before Listen).
    QString SocketPath() const;

private:
    QString m_name;
    QLocalServer* m_server = nullptr;
    std::function<void()> m_raise;
};
