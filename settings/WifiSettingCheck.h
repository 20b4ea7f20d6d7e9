#pragma once

#include <QString>

// The Wi-Fi network name and key of the settings form go to config.ini
// (GB2312) and, in the device commands, to every Wi-Fi camera. The first
// reason, in the operator's words, why they can't, naming the field and what
// to do; empty when both can.
QString WifiSettingProblem(const QString& ssid, const QString& password);
