#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Runs `onStop` once on the GUI thread when the system asks the process to end
// by a stop signal (support/stop_signals.h). Does nothing where those signals
// do not exist.
class StopSignalWatch : public QObject {
    Q_OBJECT
public:
    explicit StopSignalWatch(std::function<void()> onStop, QObject* parent = nullptr);

private:
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_onStop;
};
