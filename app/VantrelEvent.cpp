#include "VantrelEvent.h"

#include "EventHandOver.h"

#include <QCoreApplication>

VantrelEvent::VantrelEvent(int code_, qint64 word1_, qint64 word2_)
    : QEvent(static_cast<QEvent::Type>(code_)), code(code_), word1(word1_), word2(word2_)
{
}

VantrelEvent::~VantrelEvent()
{
    EventHandOver::Taken(this);
}

void PostCompleteVantrelEvent(QObject* receiver, VantrelEvent* event)
{
    EventHandOver::Posted(event);
    QCoreApplication::postEvent(receiver, event, Qt::NormalEventPriority);
}

bool PostVantrelEvent(QObject* receiver, int code, qint64 word1, qint64 word2)
{
    if (!receiver)
        return false;
    PostCompleteVantrelEvent(receiver, new VantrelEvent(code, word1, word2));
    return true;
}
