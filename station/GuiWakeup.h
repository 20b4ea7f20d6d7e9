#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Wakes the thread this object was made on, from any thread: Wake writes to an
// eventfd that a socket notifier of the owning thread watches, and onWake runs
// there. Nothing crosses threads in Qt's event queue, so the thread sanitizer
// sees the hand-over (the fd orders the write before the read) although Qt's
// own locking is invisible to it. Callers hand their data over under their own
// lock and Wake afterwards. Wake must not be called once the object is gone.
class GuiWakeup : public QObject {
    Q_OBJECT
public:
    explicit GuiWakeup(std::function<void()> onWake, QObject* parent = nullptr);
    ~GuiWakeup() override;
    GuiWakeup(const GuiWakeup&) = delete;
    GuiWakeup& operator=(const GuiWakeup&) = delete;

    void Wake();

private slots:
    void onActivated();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_onWake;
};
