// The test-data form: the 63 keys of a result record in the form's order.
#include "HttpClient.h"

#include "DevTestResult.h"

#include <cstddef>
#include <cstring>

namespace {

// One key of the test-data form: its record position, and its text width (0 for an int).
struct FormKey {
    const char* key;
    size_t offset;
    size_t width;
};

#define FORM_INT(key, member) {key, offsetof(DevTestResult, member), 0}
#define FORM_TEXT(key, member) {key, offsetof(DevTestResult, member), sizeof(DevTestResult::member)}

// The form's own order, which is not the record's.
const FormKey kFormKeys[] = {
    FORM_TEXT("order_sn", order_sn),
    FORM_TEXT("dev_sn", dev_sn),
    FORM_INT("sn_result", sn_result),
    FORM_TEXT("model", m_szModel),
    FORM_TEXT("firmware_version", m_szDeviceIdentify),
    FORM_TEXT("dev_version", m_szVersion),
    FORM_INT("ver_result", m_iTestVersion),
    FORM_INT("video_result", m_iTestVideo),
    FORM_INT("lamp_panel_result", lamp_panel_result),
    FORM_INT("bind_result", bind_result),
    FORM_INT("tuya_authorize_result", tuya_authorize_result),
    FORM_TEXT("tuya_uuid", tuya_uuid),
    FORM_INT("func_code_result", func_code_result),
    FORM_TEXT("support_func_code", support_func_code),
    FORM_TEXT("authorized_func_code", authorized_func_code),
    FORM_INT("cusr_authorize_result", cusr_authorize_result),
    FORM_INT("rtc_result", rtc_result),
    FORM_INT("wifi_signal_result", wifi_signal_result),
    FORM_TEXT("wifi_signal_level", wifi_signal_level),
    FORM_TEXT("wifi_snr", wifi_snr),
    FORM_INT("wifi_performance_result", wifi_performance_result),
    FORM_TEXT("wifi_speed_rate", wifi_speed_rate),
    FORM_INT("tf_card_result", tf_card_result),
    FORM_INT("card_info", card_info),
    FORM_INT("card_remain_space", card_remain_space),
    FORM_INT("result_4g", result_4g),
    FORM_TEXT("iccid", iccid),
    FORM_INT("vrl_result", vrl_result),
    FORM_TEXT("iccid2", iccid2),
    FORM_INT("vrl_result2", vrl_result2),
    FORM_INT("qr_code_print_result", qr_code_print_result),
    FORM_INT("qr_code_check_result", qr_code_check_result),
    FORM_INT("trumpet_result", trumpet_result),
    FORM_INT("mic_result", mic_result),
    FORM_INT("fill_light_result", fill_light_result),
    FORM_INT("human_alarm_io_result", human_alarm_io_result),
    FORM_INT("audio_alarm_file_result", audio_alarm_file_result),
    FORM_INT("ircut_day_result", ircut_day_result),
    FORM_INT("ircut_night_result", ircut_night_result),
    FORM_INT("preset_point_call_result", preset_point_call_result),
    FORM_INT("focus_add_result", focus_add_result),
    FORM_INT("focus_sub_result", focus_sub_result),
    FORM_INT("zoom_add_result", zoom_add_result),
    FORM_INT("zoom_sub_result", zoom_sub_result),
    FORM_INT("aper_add_result", aper_add_result),
    FORM_INT("aper_sub_result", aper_sub_result),
    FORM_INT("ptz_up_result", ptz_up_result),
    FORM_INT("ptz_down_result", ptz_down_result),
    FORM_INT("ptz_left_result", ptz_left_result),
    FORM_INT("ptz_right_result", ptz_right_result),
    FORM_INT("ptz_reset_result", ptz_reset_result),
    FORM_INT("sync_time_result", sync_time_result),
    FORM_INT("restore_result", restore_result),
    FORM_INT("format_sdcard_result", format_sdcard_result),
    FORM_TEXT("software_version", software_version),
    FORM_INT("software_type", software_type),
    FORM_INT("total_result", total_result),
    FORM_TEXT("check_machine_id", check_machine_id),
    FORM_TEXT("customized_items_result", customized_items_result),
    FORM_INT("video_result2", video_result2),
    FORM_INT("fill_light_result2", fill_light_result2),
    FORM_INT("ircut_day_result2", ircut_day_result2),
    FORM_INT("ircut_night_result2", ircut_night_result2),
};
static_assert(sizeof(kFormKeys) / sizeof(kFormKeys[0]) == 63, "the test-data form has 63 keys");

#undef FORM_INT
#undef FORM_TEXT

// A text field read from a record that may come from a file: never past its width.
std::string FieldText(const DevTestResult& r, const FormKey& k)
{
    const char* p = reinterpret_cast<const char*>(&r) + k.offset;
    return std::string(p, strnlen(p, k.width));
}

int32_t FieldInt(const DevTestResult& r, const FormKey& k)
{
    int32_t v;
    memcpy(&v, reinterpret_cast<const char*>(&r) + k.offset, sizeof(v));
    return v;
}

// The custom items ("mark=result" joined by "&"): each name and value escaped on
// its own, so a mark can't add or replace a key of the form.
std::string EscapeCustomItems(const std::string& items)
{
    std::string out;
    size_t from = 0;
    while (from <= items.size()) {
        size_t amp = items.find('&', from);
        if (amp == std::string::npos)
            amp = items.size();
        const std::string pair = items.substr(from, amp - from);
        const size_t eq = pair.find('=');
        if (!out.empty() || from > 0)
            out += '&';
        if (eq == std::string::npos)
            out += HttpClient::EscapeRawValue(pair);
        else
            out += HttpClient::EscapeRawValue(pair.substr(0, eq)) + "=" + HttpClient::EscapeRawValue(pair.substr(eq + 1));
        from = amp + 1;
    }
    return out;
}

}  // namespace

std::string HttpClient::BuildTestDataForm(const DevTestResult& result)
{
    std::string body;
    body.reserve(4096);
    for (const FormKey& k : kFormKeys) {
        if (!body.empty())
            body += '&';
        body += k.key;
        body += '=';
        if (k.width == 0)
            body += std::to_string(FieldInt(result, k));
        else if (k.offset == offsetof(DevTestResult, order_sn))
            body += Utf8Encoded(FieldText(result, k).c_str());
        else
            body += EscapeRawValue(FieldText(result, k));
    }
    const std::string custom(result.custom_manual_items, ResultTextLength(result.custom_manual_items));
    if (!custom.empty())
        body += "&" + EscapeCustomItems(custom);
    return body;
}
