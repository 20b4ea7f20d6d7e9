// The item judges and the pass rule as tables: each a function of what the
// parsers stored and of the configuration.
#include "DevChecks.h"
#include "DevTestResult.h"
#include "ItemJudges.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <ostream>

// Shown by the test runner when a verdict differs.
void PrintTo(const JudgeVerdict& v, std::ostream* os)
{
    *os << "result " << v.result << ":";
    for (const JudgeLine& l : v.lines)
        *os << " [" << (l.normal ? "" : "!") << l.text.toStdString() << "]";
}

namespace {

JudgeVerdict V(int result, std::initializer_list<JudgeLine> lines)
{
    return JudgeVerdict::Of(result, lines);
}

TEST(JudgesTest, SerialNumber)
{
    struct Case {
        const char* devSn;
        const char* searchSn;
        JudgeVerdict expected;
    };
    const Case cases[] = {
        {"VTS0000000000011", "VTS0000000000011", V(1, {{"SN information:normal", true}})},
        {"VT21A0000001", "VT21A0000001", V(-1, {{"SN information:abnormal", false}, {"SN:VT21A0000001", false}})},
        {"FFFFFFFF00000011", "x", V(-1, {{"SN information:abnormal", false}, {"SN:FFFFFFFF00000011", false}})},
        {"0000000000000000", "x", V(-1, {{"SN information:abnormal", false}, {"SN:0000000000000000", false}})},
        {"", "FFFFFFFF12345678", V(-1, {{"SN information:abnormal", false}, {"SN is not activated", false}})},
        {"", "ffffffff12345678", V(-1, {{"SN information:abnormal", false}, {"SN is not activated", false}})},
        {"", "FfFFFFFF12345678",
         V(-1, {{"SN information:abnormal", false}, {"Failed to obtain serial number", false}})},
        {"", "", V(-1, {{"SN information:abnormal", false}, {"Failed to obtain serial number", false}})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeSerialNumber(c.devSn, c.searchSn), c.expected) << c.devSn << " / " << c.searchSn;
}

TEST(JudgesTest, VersionAndItsPrompt)
{
    struct Case {
        const char* name;
        bool use;
        const char* device;
        bool tips;
        bool workOrder;
        JudgeVerdict expected;
        bool prompt;
    };
    const Case cases[] = {
        {"not checked", false, "V2", true, false, V(0, {}), false},
        {"empty", true, "", true, false, V(-1, {{"Version information:empty", false}}), false},
        {"equal", true, "V1", true, false, V(1, {{"Version information:normal", true}}), false},
        {"other, tips on", true, "V2", true, false, V(-1, {{"Version information:abnormal", false}}), true},
        {"other, tips off", true, "V2", false, false, V(-1, {{"Version information:abnormal", false}}), false},
        {"other, work order", true, "V2", true, true, V(-1, {{"Version information:abnormal", false}}), false},
    };
    for (const Case& c : cases) {
        UIVersionConfig config;
        config.bUseVersion = c.use;
        config.strVersion = "V1";
        const VersionVerdict v = JudgeVersion(c.device, config, c.tips, c.workOrder);
        EXPECT_EQ(static_cast<const JudgeVerdict&>(v), c.expected) << c.name;
        EXPECT_EQ(v.prompt, c.prompt) << c.name;
    }
}

TEST(JudgesTest, LightModePassesOnlyOnAReply)
{
    LightModeConfig config;
    config.bUseLightModeTest = true;
    config.iLightMode = 0;
    const JudgeVerdict pass = V(1, {{"Pattern matching of lamp panel", true}});
    // A zeroed record already holds the expected mode 0: only the reply counts.
    EXPECT_EQ(JudgeLightMode(true, 0, "Ordinary infrared light board", config), pass);
    EXPECT_EQ(JudgeLightMode(false, 0, "", config), V(-1, {{"Lamp panel mode mismatch", false}}));
    EXPECT_EQ(JudgeLightMode(true, 2, "PWM (BWM) warm light board", config),
              V(-1, {{"Lamp panel mode mismatch", false}, {"PWM (BWM) warm light board", false}}));
}

TEST(JudgesTest, WifiSignal)
{
    struct Case {
        const char* level;
        const char* quality;
        const char* minLevel;
        JudgeVerdict expected;
    };
    const Case cases[] = {
        {"-45", "80", "-50", V(1, {{"Wifi test pass(-45,SNR:80)", true}})},
        {"55", "80", "-50", V(1, {{"Wifi test pass(-45[-100],SNR:80)", true}})},
        {"45", "80", "-50", V(-1, {{"Wifi test fail(-55[-100],SNR:80)", false}})},
        {"-50", "30", "-50", V(1, {{"Wifi test pass(-50,SNR:30)", true}})},
        {"-45.5", "29.5", "-50", V(-1, {{"Wifi test fail(-45.5,SNR:29.5)", false}})},
        {"-60", "80", "-50", V(-1, {{"Wifi test fail(-60,SNR:80)", false}})},
        {"", "80", "-50", V(-1, {{"Wifi test fail(,SNR:80)", false}})},
        {"-45", "", "-50", V(-1, {{"Wifi test fail(-45,SNR:)", false}})},
        // Not a number: fails instead of reading as 0, which passed.
        {"strong", "80", "-50", V(-1, {{"Wifi test fail(strong,SNR:80)", false}})},
        {"-45", "good", "-50", V(-1, {{"Wifi test fail(-45,SNR:good)", false}})},
        {"nan", "80", "-50", V(-1, {{"Wifi test fail(nan,SNR:80)", false}})},
        {"-45", "inf", "-50", V(-1, {{"Wifi test fail(-45,SNR:inf)", false}})},
    };
    for (const Case& c : cases) {
        SystemConfig config;
        config.WifiSignal = c.minLevel;
        config.WifiQuality = "30";
        EXPECT_EQ(JudgeWifiSignal(c.level, c.quality, config), c.expected) << c.level << " / " << c.quality;
    }
}

TEST(JudgesTest, WifiSignalCaption)
{
    struct Case {
        const char* level;
        const char* quality;
        const char* caption;
    };
    const Case cases[] = {
        {"40", "30", "Signal:-60\nQuality:30"},     // a level above 0 is shown less 100
        {"-45", "80", "Signal:-45\nQuality:80"},
        {"40.1", "29.25", "Signal:-59.9\nQuality:29.25"},
        {"0", "0", "Signal:0\nQuality:0"},
        {"", "", "Signal:\nQuality:"},
        {"nan", "strong", "Signal:nan\nQuality:strong"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WifiSignalCaption(c.level, c.quality), QString(c.caption)) << c.level << " / " << c.quality;
}

TEST(JudgesTest, FunctionCodes)
{
    int selection[FUNCODE_COUNT] = {};
    selection[0] = 1;   // code 1
    selection[2] = 1;   // code 3
    struct Case {
        const char* name;
        int retCode;
        const char* authorized;
        const char* supported;
        bool pass;
    };
    const Case cases[] = {
        {"selected codes held", 0, "1,3", "1,2,3", true},
        {"an unselected code only supported", 0, "1,3", "1,2,3,20", true},
        {"an unselected code supported and authorized", 0, "1,2,3", "1,2,3", false},
        {"a selected code not authorized", 0, "1", "1,3", false},
        {"a selected code not supported", 0, "1,3", "1", false},
        {"whole codes only", 0, "1,33", "1,33", false},
        {"empty parts kept", 0, ",1,,3,", "1,3", true},
    };
    for (const Case& c : cases) {
        const JudgeVerdict v = JudgeFunctionCode(c.retCode, c.authorized, c.supported, selection);
        EXPECT_EQ(v, c.pass ? V(1, {{"function code check succeed", true}}) : V(-1, {{"function code check fail", false}}))
            << c.name;
    }
    // No usable reply: the sender's 300 is still there. It never passes by silence.
    const int none[FUNCODE_COUNT] = {};
    for (int retCode : {300, 1, -1})
        EXPECT_EQ(JudgeFunctionCode(retCode, "", "", none),
                  V(-1, {{"Authorization code information achieve failed", false}}))
            << retCode;
    EXPECT_EQ(JudgeFunctionCode(0, "", "", none), V(1, {{"function code check succeed", true}}));
}

TEST(JudgesTest, ClockCardFormatAndCustomisation)
{
    EXPECT_EQ(JudgeRtc(1), V(1, {{"RTC Test:normal", true}}));
    EXPECT_EQ(JudgeRtc(0), V(-1, {{"RTC Test:abnormal", false}}));
    EXPECT_EQ(JudgeRtc(-1), V(-1, {{"RTC Test:abnormal", false}}));
    EXPECT_EQ(JudgeTFCard(1, 32), V(1, {{"TFCard Test:normal(32GB)", true}}));
    EXPECT_EQ(JudgeTFCard(0, 32), V(-1, {{"TFCard Test:abnormal", false}}));
    EXPECT_EQ(JudgeTFCard(-1, 0), V(-1, {{"TFCard Test:abnormal", false}}));
    EXPECT_EQ(JudgeFormat(0), V(1, {{"format succeed", true}}));
    EXPECT_EQ(JudgeFormat(-1), V(-1, {{"format failed", false}}));
    EXPECT_EQ(JudgeCustomization(CustomItem::CountryCity, 1), V(1, {{"Custom Country-City Test:normal", true}}));
    EXPECT_EQ(JudgeCustomization(CustomItem::CountryCity, 0), V(-1, {{"Custom Country-City Test:abnormal", false}}));
    EXPECT_EQ(JudgeCustomization(CustomItem::Mac, 0), V(-1, {{"Custom Mac Test:abnormal", false}}));
    EXPECT_EQ(JudgeCustomization(CustomItem::Mac, -1), V(-1, {{"Custom Mac Test:abnormal", false}}));
    EXPECT_EQ(JudgeCustomization(CustomItem::Mac, 1), V(1, {{"Custom Mac Test:normal", true}}));
    EXPECT_EQ(JudgeCustomization(CustomItem::Logo, 0), V(-1, {{"Custom Logo File Test:abnormal", false}}));
    EXPECT_EQ(JudgeCustomization(CustomItem::Logo, 1), V(1, {{"Custom Logo File Test:normal", true}}));
}

TEST(JudgesTest, ManualScriptSteps)
{
    struct Case {
        const char* step;
        bool ok;
        const char* key;
        int seconds;
    };
    const Case cases[] = {
        {"R:3", true, "R", 3},     {"Up:0", true, "Up", 0},  {"Q:3600", true, "Q", 3600},
        {"Q", false, "", 0},       {"Q:2:1", false, "", 0},  {"Q:", false, "", 0},
        {"Q:abc", false, "", 0},   {"Q:-1", false, "", 0},   {"Q:3601", false, "", 0},
        {"Q:2.5", false, "", 0},   {"", false, "", 0},
    };
    for (const Case& c : cases) {
        QString key;
        int seconds = -7;
        EXPECT_EQ(ParseManualAutoStep(c.step, &key, &seconds), c.ok) << c.step;
        if (c.ok) {
            EXPECT_EQ(key, c.key);
            EXPECT_EQ(seconds, c.seconds);
        }
    }
}

// ---------------------------------------------------------------------------
// Pass rule

DevTestResult PassingRecord()
{
    DevTestResult r;
    std::memset(&r, 0, sizeof r);
    r.sn_result = 1;
    SetResultText(r.m_szVersion, "V5.2.0");
    r.m_iTestVideo = 1;
    r.bind_result = 1;
    return r;
}

using Word = int32_t DevTestResult::*;

TEST(PassRuleTest, EachResultOfTheRuleFailsAtMinusOneAndAtTwo)
{
    const Word zeroOrOne[] = {
        &DevTestResult::m_iTestVersion, &DevTestResult::lamp_panel_result, &DevTestResult::tuya_authorize_result,
        &DevTestResult::func_code_result, &DevTestResult::rtc_result, &DevTestResult::tf_card_result,
        &DevTestResult::vrl_result, &DevTestResult::qr_code_print_result, &DevTestResult::qr_code_check_result,
        &DevTestResult::trumpet_result, &DevTestResult::mic_result, &DevTestResult::audio_alarm_file_result,
        &DevTestResult::fill_light_result, &DevTestResult::human_alarm_io_result, &DevTestResult::ircut_day_result,
        &DevTestResult::ircut_night_result, &DevTestResult::ptz_up_result, &DevTestResult::ptz_down_result,
        &DevTestResult::ptz_left_result, &DevTestResult::ptz_right_result, &DevTestResult::ptz_reset_result,
        &DevTestResult::sync_time_result, &DevTestResult::restore_result, &DevTestResult::format_sdcard_result,
        &DevTestResult::focus_add_result, &DevTestResult::focus_sub_result, &DevTestResult::zoom_add_result,
        &DevTestResult::zoom_sub_result, &DevTestResult::aper_add_result, &DevTestResult::aper_sub_result,
        &DevTestResult::preset_point_call_result, &DevTestResult::cusr_authorize_result,
        &DevTestResult::custom_mac_result, &DevTestResult::custom_country_result, &DevTestResult::video_result2,
        &DevTestResult::fill_light_result2, &DevTestResult::ircut_day_result2, &DevTestResult::ircut_night_result2,
    };
    ASSERT_TRUE(IsResultPass(PassingRecord(), 0, false));
    int index = 0;
    for (Word field : zeroOrOne) {
        for (int32_t value : {1, -1, 2}) {
            DevTestResult r = PassingRecord();
            r.*field = value;
            EXPECT_EQ(IsResultPass(r, 0, false), value == 1) << "field " << index << " = " << value;
        }
        ++index;
    }
}

TEST(PassRuleTest, FirstConditionsAndTheDeviceTypes)
{
    struct Case {
        const char* name;
        std::function<void(DevTestResult&)> change;
        int eType;
        bool wifiSignalOn;
        bool pass;
    };
    const Case cases[] = {
        {"baseline", [](DevTestResult&) {}, 0, false, true},
        {"serial number failed", [](DevTestResult& r) { r.sn_result = -1; }, 0, false, false},
        {"no version text", [](DevTestResult& r) { SetResultText(r.m_szVersion, ""); }, 0, false, false},
        {"video not seen", [](DevTestResult& r) { r.m_iTestVideo = 0; }, 0, false, false},
        {"not bound", [](DevTestResult& r) { r.bind_result = 0; }, 0, false, false},
        {"Wi-Fi device, signal passed", [](DevTestResult& r) { r.wifi_signal_result = 1; }, 1, true, true},
        {"Wi-Fi device, signal not tested while on", [](DevTestResult&) {}, 2, true, false},
        {"Wi-Fi device, signal not tested while off", [](DevTestResult&) {}, 1, false, true},
        {"Wi-Fi device, signal failed while off", [](DevTestResult& r) { r.wifi_signal_result = -1; }, 1, false, false},
        {"4G device passed", [](DevTestResult& r) { r.result_4g = 1; }, 3, false, true},
        {"dual 4G device, 4G code 13", [](DevTestResult& r) { r.result_4g = 13; }, 6, false, false},
        {"4G device untested", [](DevTestResult&) {}, 3, false, false},
        {"wired device, 4G and Wi-Fi ignored",
         [](DevTestResult& r) {
             r.result_4g = 13;
             r.wifi_signal_result = -1;
         },
         4, true, true},
        {"outside the rule",
         [](DevTestResult& r) {
             r.factory_test_code = -1;
             r.wifi_performance_result = -1;
             r.vrl_result2 = -1;
             r.custom_logo_result = -1;
         },
         5, false, true},
    };
    for (const Case& c : cases) {
        DevTestResult r = PassingRecord();
        c.change(r);
        EXPECT_EQ(IsResultPass(r, c.eType, c.wifiSignalOn), c.pass) << c.name;
    }
}

}  // namespace
