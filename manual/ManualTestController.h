#pragma once

#include "PresetCallParam.h"

#include <QStringList>
#include <QtGlobal>

#include <memory>

// What the manual windows need of the test station controller: running a manual
// item on the current device and the manual script run. The controller
// implements it; each window keeps a plain pointer that the owner of both
// clears before the controller goes.
class ManualTestController {
public:
    virtual ~ManualTestController();

    // Runs manual item `item` (a Manual_Enum value other than MANUAL_CALL_PRESET)
    // with its WM_MANUAL_TEST parameter.
    virtual void dealManualTest(int item, qint64 param) = 0;
    // Runs MANUAL_CALL_PRESET; the record is the handler's from here on.
    virtual void dealCallPreset(std::unique_ptr<PresetCallParam> param) = 0;

    // Replaces the steps of the manual script run: each a manual item's key
    // name, ":" and whole seconds, as the script text holds them.
    virtual void SetManualAutomationList(const QStringList& steps) = 0;
    // The controller's own copy of MANUAL_AUTO_TEST/bAutoBeginRun (the windows
    // write the settings file themselves): start the current script at the end
    // of each device's automatic chain.
    virtual void SetAutoBeginRun(bool autoBeginRun) = 0;
    // True while a manual script runs; the settings editors stay shut meanwhile.
    virtual bool IsManualAutoTesting() const = 0;
};
