#pragma once

#include "PresetCallParam.h"

#include <QtGlobal>

#include <memory>

// What the manual control panel needs of the test station controller: running a
// manual item on the current device. The controller implements it; the panel
// keeps a plain pointer that the owner of both clears before the controller goes.
class ManualTestController {
public:
    virtual ~ManualTestController();

    // Runs manual item `item` (a Manual_Enum value other than MANUAL_CALL_PRESET)
    // with its WM_MANUAL_TEST parameter.
    virtual void dealManualTest(int item, qint64 param) = 0;
    // Runs MANUAL_CALL_PRESET; the record is the handler's from here on.
    virtual void dealCallPreset(std::unique_ptr<PresetCallParam> param) = 0;
};
