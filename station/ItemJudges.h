#pragma once

#include "ConfigInfo.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <initializer_list>

struct DevTestResult;

// The judges of the automatic items: functions of what the reply parsers
// stored and of the configuration. Each gives the result word to write and
// the result lines to show, translated in the "LeftTopWidget" context; the
// controller writes and shows them.

struct JudgeLine {
    QString text;
    bool normal = true;
};

struct JudgeVerdict {
    int result = 0;                      // 1 pass, -1 fail, 0 not judged
    QVector<JudgeLine> lines;

    static JudgeVerdict Of(int result, std::initializer_list<JudgeLine> lines);
    bool operator==(const JudgeVerdict& other) const;
};

// Serial number: dev_sn of the record, the search entry's serial number for the hint.
JudgeVerdict JudgeSerialNumber(const QByteArray& devSn, const QByteArray& searchSn);

// Firmware version against UIVersion. prompt: the configuration-version prompt
// is to be shown before the lines (a mismatch while tips are on outside work-order mode).
struct VersionVerdict : JudgeVerdict {
    bool prompt = false;
};
VersionVerdict JudgeVersion(const QString& deviceVersion, const UIVersionConfig& version, bool tipsOn,
                            bool workOrderMode);

// Lamp board. replied: the step ended on a reply to 1201 (not on its time-out).
JudgeVerdict JudgeLightMode(bool replied, int deviceMode, const QString& modeName, const LightModeConfig& config);

enum class CustomItem { CountryCity, Mac, Logo };
// The customisation results the reply parsers set (1 means the device took it);
// anything else fails with -1, to be written into the record.
JudgeVerdict JudgeCustomization(CustomItem item, int result);

JudgeVerdict JudgeRtc(int rtcResult);
// TF card of the automatic chain.
JudgeVerdict JudgeTFCard(int tfCardResult, int cardInfo);

// Wi-Fi signal: SignalLevel and Quality texts against CONFIG/WifiSignal and
// CONFIG/WifiQuality. A text that is not a finite number fails.
JudgeVerdict JudgeWifiSignal(const QByteArray& signalLevel, const QByteArray& quality, const SystemConfig& config);
// The manual reading's caption, "Signal:" level (less 100 when above 0), a
// line break, "Quality:" quality; a text that is not a finite number as it came.
QString WifiSignalCaption(const QByteArray& signalLevel, const QByteArray& quality);

// Function codes: RetCode 0 is a usable reply; 300 means none came. Each code
// 1..20 selected in selection must be supported and authorized; an unselected
// one must not be both.
JudgeVerdict JudgeFunctionCode(int retCode, const QByteArray& authorized, const QByteArray& supported,
                               const int selection[FUNCODE_COUNT]);

// SD-card format result (0 success): one line, which also goes to the panel's
// format label and the pane's manual caption.
JudgeVerdict JudgeFormat(int formatResult);

// The pass rule over a finished record: eType of the device type, and
// AUTO_TEST/bWifiSignal.
bool IsResultPass(const DevTestResult& result, int eType, bool wifiSignalOn);

// The shortest text that reads back as value.
QString ShortestNumber(float value);
