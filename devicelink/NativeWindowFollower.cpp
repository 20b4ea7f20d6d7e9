#include "NativeWindowFollower.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

NativeWindowFollower::NativeWindowFollower(QWidget* widget)
    : QObject(widget)
    , m_widget(widget)
{
    m_widget->installEventFilter(this);
    WatchAncestors();
}

bool NativeWindowFollower::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::WinIdChange:   // a native window made anew takes its children as they were
        WatchAncestors();
        Reattach();
        Place();
        break;
    case QEvent::Move:
        if (watched != m_widget)
            Place();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void NativeWindowFollower::WatchAncestors()
{
    for (const QPointer<QWidget>& ancestor : m_ancestors) {
        if (ancestor)
            ancestor->removeEventFilter(this);
    }
    m_ancestors.clear();
    for (QWidget* p = m_widget->parentWidget(); p; p = p->parentWidget()) {
        p->installEventFilter(this);
        m_ancestors.append(p);
    }
}

void NativeWindowFollower::Reattach()
{
    QWindow* window = m_widget->windowHandle();
    if (!window)
        return;
    QWidget* nativeParent = m_widget->nativeParentWidget();
    QWindow* parentWindow = nativeParent ? nativeParent->windowHandle() : nullptr;
    if (window->parent() == parentWindow)
        return;
    // Without a window to sit in it must not come up as a window of its own.
    if (!parentWindow)
        window->hide();
    window->setParent(parentWindow);
}

void NativeWindowFollower::Place()
{
    QWindow* window = m_widget->windowHandle();
    QWidget* nativeParent = m_widget->nativeParentWidget();
    if (window && nativeParent)
        window->setPosition(m_widget->mapTo(nativeParent, QPoint()));
}
