#pragma once

class QEvent;

// The thread checker does not see Qt's posted-event queue (Qt is not built
// with it): an event filled on one thread and read on the GUI thread after
// Qt's own lock handed it over would look unordered to it. In a build with
// the checker, posting releases the event and taking it acquires it, so the
// hand-over is ordered as it really is; in any other build both do nothing.
// Taking happens on its own: an application event filter, installed when the
// application object is made, takes every event before its receiver sees it.
namespace EventHandOver {

// On the posting thread, once the event and what it carries are complete,
// just before QCoreApplication::postEvent.
void Posted(const QEvent* event);
// On the receiving thread, before anything of the event is read; again when
// it is destroyed, for an event Qt discards undelivered.
void Taken(const QEvent* event);

}  // namespace EventHandOver
