#pragma once

#include <QAbstractEventDispatcher>
#include <QList>
#include <QObject>

// The timers registered for root and every object under it: what wakes the
// GUI thread while nothing happens, read without waiting for one to fire.
inline QList<QAbstractEventDispatcher::TimerInfo> RunningTimers(QObject* root)
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(root->thread());
    QList<QAbstractEventDispatcher::TimerInfo> timers = dispatcher->registeredTimers(root);
    for (QObject* child : root->findChildren<QObject*>())
        timers += dispatcher->registeredTimers(child);
    return timers;
}
