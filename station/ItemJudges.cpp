#include "ItemJudges.h"

#include "DevChecks.h"
#include "DevTestResult.h"

#include <QCoreApplication>

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("LeftTopWidget", text);
}

// A finite number, or false.
bool FiniteNumber(const QByteArray& text, float* out)
{
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}

bool HasCode(const QList<QByteArray>& list, const QByteArray& code)
{
    return list.contains(code);
}

}  // namespace

JudgeVerdict JudgeVerdict::Of(int result, std::initializer_list<JudgeLine> lines)
{
    JudgeVerdict v;
    v.result = result;
    for (const JudgeLine& line : lines)
        v.lines.append(line);
    return v;
}

bool JudgeVerdict::operator==(const JudgeVerdict& other) const
{
    if (result != other.result || lines.size() != other.lines.size())
        return false;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].text != other.lines[i].text || lines[i].normal != other.lines[i].normal)
            return false;
    }
    return true;
}

QString ShortestNumber(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, int(end.ptr - text));
}

JudgeVerdict JudgeSerialNumber(const QByteArray& devSn, const QByteArray& searchSn)
{
    if (IsValidSN(QString::fromLatin1(devSn)))
        return JudgeVerdict::Of(1, {{Tr("SN information:normal"), true}});
    QString hint;
    if (!devSn.isEmpty())
        hint = Tr("SN:") + QString::fromLatin1(devSn);
    else if (searchSn.startsWith("FFFFFFFF") || searchSn.startsWith("ffffffff"))
        hint = Tr("SN is not activated");
    else
        hint = Tr("Failed to obtain serial number");
    return JudgeVerdict::Of(-1, {{Tr("SN information:abnormal"), false}, {hint, false}});
}

VersionVerdict JudgeVersion(const QString& deviceVersion, const UIVersionConfig& version, bool tipsOn,
                            bool workOrderMode)
{
    VersionVerdict v;
    if (!version.bUseVersion)
        return v;
    if (deviceVersion.isEmpty()) {
        v.result = -1;
        v.lines.append({Tr("Version information:empty"), false});
    } else if (deviceVersion == version.strVersion) {
        v.result = 1;
        v.lines.append({Tr("Version information:normal"), true});
    } else {
        v.result = -1;
        v.prompt = tipsOn && !workOrderMode;
        v.lines.append({Tr("Version information:abnormal"), false});
    }
    return v;
}

JudgeVerdict JudgeLightMode(bool replied, int deviceMode, const QString& modeName, const LightModeConfig& config)
{
    if (replied && deviceMode == config.iLightMode)
        return JudgeVerdict::Of(1, {{Tr("Pattern matching of lamp panel"), true}});
    JudgeVerdict v = JudgeVerdict::Of(-1, {{Tr("Lamp panel mode mismatch"), false}});
    if (!modeName.isEmpty())
        v.lines.append({modeName, false});
    return v;
}

JudgeVerdict JudgeCustomization(CustomItem item, int result)
{
    const char* pass = "Custom Country-City Test:normal";
    const char* fail = "Custom Country-City Test:abnormal";
    if (item == CustomItem::Mac) {
        pass = "Custom Mac Test:normal";
        fail = "Custom Mac Test:abnormal";
    } else if (item == CustomItem::Logo) {
        pass = "Custom Logo File Test:normal";
        fail = "Custom Logo File Test:abnormal";
    }
    if (result == 1)
        return JudgeVerdict::Of(1, {{Tr(pass), true}});
    // Not sent, not answered or refused: each fails the record alike.
    return JudgeVerdict::Of(-1, {{Tr(fail), false}});
}

JudgeVerdict JudgeRtc(int rtcResult)
{
    if (rtcResult == 1)
        return JudgeVerdict::Of(1, {{Tr("RTC Test:normal"), true}});
    return JudgeVerdict::Of(-1, {{Tr("RTC Test:abnormal"), false}});
}

JudgeVerdict JudgeTFCard(int tfCardResult, int cardInfo)
{
    if (tfCardResult == 1)
        return JudgeVerdict::Of(1, {{Tr("TFCard Test:normal(%1GB)").arg(cardInfo), true}});
    return JudgeVerdict::Of(-1, {{Tr("TFCard Test:abnormal"), false}});
}

JudgeVerdict JudgeWifiSignal(const QByteArray& signalLevel, const QByteArray& quality, const SystemConfig& config)
{
    float level = 0;
    float snr = 0;
    const bool levelOk = FiniteNumber(signalLevel, &level);
    const bool snrOk = FiniteNumber(quality, &snr);
    const bool shifted = levelOk && level > 0;
    if (shifted)
        level -= 100;
    const bool pass = levelOk && snrOk && level >= config.WifiSignal.toFloat() && snr >= config.WifiQuality.toFloat();
    // A text that is no number is shown as it came.
    const QString levelText = levelOk ? ShortestNumber(level) : QString::fromLatin1(signalLevel);
    const QString snrText = snrOk ? ShortestNumber(snr) : QString::fromLatin1(quality);
    const char* format = pass ? (shifted ? "Wifi test pass(%1[-100],SNR:%2)" : "Wifi test pass(%1,SNR:%2)")
                              : (shifted ? "Wifi test fail(%1[-100],SNR:%2)" : "Wifi test fail(%1,SNR:%2)");
    return JudgeVerdict::Of(pass ? 1 : -1, {{Tr(format).arg(levelText, snrText), pass}});
}

QString WifiSignalCaption(const QByteArray& signalLevel, const QByteArray& quality)
{
    float level = 0;
    float snr = 0;
    QString levelText = QString::fromLatin1(signalLevel);
    QString snrText = QString::fromLatin1(quality);
    if (FiniteNumber(signalLevel, &level))
        levelText = QString::number(double(level > 0 ? level - 100 : level), 'g', 6);
    if (FiniteNumber(quality, &snr))
        snrText = QString::number(double(snr), 'g', 6);
    return Tr("Signal:") + levelText + QLatin1Char('\n') + Tr("Quality:") + snrText;
}

JudgeVerdict JudgeFunctionCode(int retCode, const QByteArray& authorized, const QByteArray& supported,
                               const int selection[FUNCODE_COUNT])
{
    // 300 is what the sender sets: no usable reply came.
    if (retCode != 0)
        return JudgeVerdict::Of(-1, {{Tr("Authorization code information achieve failed"), false}});
    const QList<QByteArray> authorizedList = authorized.split(',');
    const QList<QByteArray> supportedList = supported.split(',');
    bool pass = true;
    for (int n = 1; n <= FUNCODE_COUNT && pass; ++n) {
        const QByteArray code = QByteArray::number(n);
        const bool inSupported = HasCode(supportedList, code);
        const bool inAuthorized = HasCode(authorizedList, code);
        if (selection[n - 1] == 1)
            pass = inSupported && inAuthorized;
        else
            pass = !(inSupported && inAuthorized);
    }
    if (pass)
        return JudgeVerdict::Of(1, {{Tr("function code check succeed"), true}});
    return JudgeVerdict::Of(-1, {{Tr("function code check fail"), false}});
}

JudgeVerdict JudgeFormat(int formatResult)
{
    if (formatResult == 0)
        return JudgeVerdict::Of(1, {{Tr("format succeed"), true}});
    return JudgeVerdict::Of(-1, {{Tr("format failed"), false}});
}

bool IsResultPass(const DevTestResult& r, int eType, bool wifiSignalOn)
{
    if (r.sn_result != 1 || ResultTextLength(r.m_szVersion) == 0 || r.m_iTestVideo != 1 || r.bind_result != 1)
        return false;
    if (eType == 1 || eType == 2) {
        if (!(r.wifi_signal_result == 1 || (!wifiSignalOn && r.wifi_signal_result == 0)))
            return false;
    } else if (eType == 3 || eType == 6) {
        if (r.result_4g != 1)
            return false;
    }
    const int32_t zeroOrOne[] = {
        r.m_iTestVersion, r.lamp_panel_result, r.tuya_authorize_result, r.func_code_result, r.rtc_result,
        r.tf_card_result, r.vrl_result, r.qr_code_print_result, r.qr_code_check_result, r.trumpet_result,
        r.mic_result, r.audio_alarm_file_result, r.fill_light_result, r.human_alarm_io_result, r.ircut_day_result,
        r.ircut_night_result, r.ptz_up_result, r.ptz_down_result, r.ptz_left_result, r.ptz_right_result,
        r.ptz_reset_result, r.sync_time_result, r.restore_result, r.format_sdcard_result, r.focus_add_result,
        r.focus_sub_result, r.zoom_add_result, r.zoom_sub_result, r.aper_add_result, r.aper_sub_result,
        r.preset_point_call_result, r.cusr_authorize_result, r.custom_mac_result, r.custom_country_result,
        r.video_result2, r.fill_light_result2, r.ircut_day_result2, r.ircut_night_result2,
    };
    for (int32_t value : zeroOrOne) {
        if (uint32_t(value) > 1)
            return false;
    }
    return true;
}
