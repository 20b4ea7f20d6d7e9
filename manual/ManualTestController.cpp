#include "ManualTestController.h"

ManualTestController::~ManualTestController() = default;
