#include "EventHandOver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#if defined(__SANITIZE_THREAD__)
#define STATION_THREAD_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define STATION_THREAD_CHECKER 1
#endif
#endif

#ifdef STATION_THREAD_CHECKER
#include <sanitizer/tsan_interface.h>

namespace {

// Takes every event delivered on the application's thread before its receiver
// or the receiver's own filters see it.
class TakeBeforeDelivery : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        EventHandOver::Taken(event);
        return false;
    }
};

void InstallTakeBeforeDelivery()
{
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new TakeBeforeDelivery(app));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallTakeBeforeDelivery)

void EventHandOver::Posted(const QEvent* event)
{
    __tsan_release(const_cast<QEvent*>(event));
}

void EventHandOver::Taken(const QEvent* event)
{
    __tsan_acquire(const_cast<QEvent*>(event));
}

#else

void EventHandOver::Posted(const QEvent*) {}

void EventHandOver::Taken(const QEvent*) {}

#endif
