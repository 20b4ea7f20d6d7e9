#include "GuiWakeup.h"

#include "Log.h"

#include <QMetaObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

GuiWakeup::GuiWakeup(std::function<void()> onWake, QObject* parent) : QObject(parent), m_onWake(std::move(onWake))
{
    m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0) {
        LogPrint(LOG_MAJOR, "GuiWakeup: no eventfd (errno %d), wake-ups go through the event queue", errno);
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &GuiWakeup::onActivated);
}

GuiWakeup::~GuiWakeup()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void GuiWakeup::Wake()
{
    if (m_fd < 0) {
        QMetaObject::invokeMethod(this, "onActivated", Qt::QueuedConnection);
        return;
    }
    const uint64_t one = 1;
    // A full counter (never in practice) still leaves the fd readable: the wake-up is not lost.
    while (::write(m_fd, &one, sizeof(one)) < 0 && errno == EINTR) {
    }
}

void GuiWakeup::onActivated()
{
    if (m_fd >= 0) {
        uint64_t count = 0;
        while (::read(m_fd, &count, sizeof(count)) < 0 && errno == EINTR) {
        }
    }
    if (m_onWake)
        m_onWake();
}
