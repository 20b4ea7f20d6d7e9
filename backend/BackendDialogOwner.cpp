#include "BackendDialogOwner.h"

BackendDialogOwner::~BackendDialogOwner() = default;
