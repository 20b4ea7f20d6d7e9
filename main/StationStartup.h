#pragma once

class QApplication;

// The station after its application object and crash writer: builds the main
// window, takes the operator through login and (in order mode) the work-order
// choice, shows the station and runs the event loop until the window closes.
// A refused login or order dialog ends it with 0 before anything is shown.
// Every way out runs the window's close sequence once; the window is gone when
// this returns. The result is the program's exit code.
int RunStation(QApplication& app);
