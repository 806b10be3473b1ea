#include "stop_signal_watch.h"

#include <QSocketNotifier>

#include "support/stop_signals.h"

StopSignalWatch::StopSignalWatch(std::function<void()> onStop, QObject* parent)
    : QObject(parent), m_onStop(std::move(onStop)) {
    const int descriptor = quillane::InstallStopSignals();
    if (descriptor < 0) return;
    // A signal that came before this watch existed is still waiting in the descriptor.
    m_notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        if (quillane::TakeStopSignal() == 0) return;
        m_notifier->setEnabled(false);
        m_onStop();
    });
}
