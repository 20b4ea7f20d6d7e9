#pragma once

#include <cstdint>

class LeftTopWidget;

// The test station controller with no main window behind it: made once, with
// a stand-in for the window's services, the station's adapter on 127.0.0.5
// and a current device logged in as CurrentLogin. Needs FuzzEnv's Widgets app.
namespace ControllerHarness {

constexpr int64_t CurrentLogin = 51;
constexpr int64_t OtherLogin = 52;

LeftTopWidget& Controller();
// A fresh current device and no step waiting for a reply.
void ResetCurrentDevice();
// Delivers what the controller posted meanwhile.
void Settle();

}  // namespace ControllerHarness
