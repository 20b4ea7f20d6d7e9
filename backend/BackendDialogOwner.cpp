#include "BackendDialogOwner.h"

#include <QTimer>

BackendDialogOwner::~BackendDialogOwner() = default;

void CloseMainWindowLater(BackendDialogOwner* owner, QObject* context)
{
    if (owner)
        QTimer::singleShot(0, context, [owner] { owner->CloseMainWindow(); });
}
