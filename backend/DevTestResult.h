#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The result of one device under test. Stored raw in the offline cache files, so
// this layout (little-endian, 1,584 bytes, no padding) is a file format: never
// reorder, resize or insert a member. Results: 1 pass, -1 fail, 0 not tested.
struct DevTestResult {
    char check_machine_id[32];          // station identity (MAC text of the station PC)
    char order_sn[128];
    char dev_sn[32];
    int32_t sn_result;
    int32_t factory_test_code;          // reply to 1598; not posted
    char m_szModel[64];                 // form key "model"
    char m_szDeviceIdentify[128];       // form key "firmware_version"
    char m_szVersion[128];              // form key "dev_version"
    int32_t m_iTestVersion;             // form key "ver_result"
    int32_t reserved;                   // kept zero, carried through the cache untouched
    int32_t m_iTestVideo;               // form key "video_result"
    int32_t lamp_panel_result;
    int32_t bind_result;
    int32_t tuya_authorize_result;
    char tuya_uuid[32];
    int32_t func_code_result;
    char authorized_func_code[32];
    char support_func_code[32];
    int32_t cusr_authorize_result;
    int32_t rtc_result;
    int32_t wifi_signal_result;
    char wifi_signal_level[64];
    char wifi_snr[64];
    int32_t wifi_performance_result;
    char wifi_speed_rate[16];
    int32_t tf_card_result;
    int32_t card_info;
    int32_t card_remain_space;
    int32_t result_4g;
    char iccid[32];
    int32_t vrl_result;
    char iccid2[32];
    int32_t vrl_result2;
    int32_t qr_code_print_result;
    int32_t qr_code_check_result;
    int32_t trumpet_result;
    int32_t mic_result;
    int32_t audio_alarm_file_result;
    int32_t fill_light_result;
    int32_t human_alarm_io_result;
    int32_t ircut_day_result;
    int32_t ircut_night_result;
    int32_t ptz_up_result;
    int32_t ptz_down_result;
    int32_t ptz_left_result;
    int32_t ptz_right_result;
    int32_t ptz_reset_result;
    int32_t sync_time_result;
    int32_t restore_result;
    int32_t format_sdcard_result;
    int32_t focus_add_result;
    int32_t focus_sub_result;
    int32_t zoom_add_result;
    int32_t zoom_sub_result;
    int32_t aper_add_result;
    int32_t aper_sub_result;
    int32_t video_result2;
    int32_t fill_light_result2;
    int32_t ircut_day_result2;
    int32_t ircut_night_result2;
    int32_t preset_point_call_result;
    char custom_manual_items[512];      // "mark=result" entries joined by "&"; appended to the form
    char customized_items_result[32];   // comma list of failed customisation codes
    int32_t custom_mac_result;          // reply to 337; not posted
    int32_t custom_country_result;      // reply to 1117; not posted
    int32_t custom_logo_result;         // not posted
    char software_version[16];
    int32_t software_type;
    int32_t total_result;
};

// Copies text into a fixed field: at most N - 1 bytes, NUL-terminated, the rest of
// the field left as it was (a zero-filled record stays zero behind the text).
template <size_t N>
inline void SetResultText(char (&field)[N], const char* text)
{
    size_t n = text ? strnlen(text, N - 1) : 0;
    memcpy(field, text ? text : "", n);
    field[n] = '\0';
}

// Length of a fixed text field read from untrusted bytes (a cache file, a peer):
// never past the field, even when no NUL is present.
template <size_t N>
inline size_t ResultTextLength(const char (&field)[N])
{
    return strnlen(field, N);
}

static_assert(sizeof(int32_t) == 4, "32-bit results");
static_assert(sizeof(DevTestResult) == 1584, "DevTestResult is a 1,584-byte file record");
static_assert(alignof(DevTestResult) == 4, "DevTestResult has no wider member");
static_assert(offsetof(DevTestResult, check_machine_id) == 0, "layout");
static_assert(offsetof(DevTestResult, order_sn) == 32, "layout");
static_assert(offsetof(DevTestResult, dev_sn) == 160, "layout");
static_assert(offsetof(DevTestResult, sn_result) == 192, "layout");
static_assert(offsetof(DevTestResult, factory_test_code) == 196, "layout");
static_assert(offsetof(DevTestResult, m_szModel) == 200, "layout");
static_assert(offsetof(DevTestResult, m_szDeviceIdentify) == 264, "layout");
static_assert(offsetof(DevTestResult, m_szVersion) == 392, "layout");
static_assert(offsetof(DevTestResult, m_iTestVersion) == 520, "layout");
static_assert(offsetof(DevTestResult, reserved) == 524, "layout");
static_assert(offsetof(DevTestResult, m_iTestVideo) == 528, "layout");
static_assert(offsetof(DevTestResult, lamp_panel_result) == 532, "layout");
static_assert(offsetof(DevTestResult, bind_result) == 536, "layout");
static_assert(offsetof(DevTestResult, tuya_authorize_result) == 540, "layout");
static_assert(offsetof(DevTestResult, tuya_uuid) == 544, "layout");
static_assert(offsetof(DevTestResult, func_code_result) == 576, "layout");
static_assert(offsetof(DevTestResult, authorized_func_code) == 580, "layout");
static_assert(offsetof(DevTestResult, support_func_code) == 612, "layout");
static_assert(offsetof(DevTestResult, cusr_authorize_result) == 644, "layout");
static_assert(offsetof(DevTestResult, rtc_result) == 648, "layout");
static_assert(offsetof(DevTestResult, wifi_signal_result) == 652, "layout");
static_assert(offsetof(DevTestResult, wifi_signal_level) == 656, "layout");
static_assert(offsetof(DevTestResult, wifi_snr) == 720, "layout");
static_assert(offsetof(DevTestResult, wifi_performance_result) == 784, "layout");
static_assert(offsetof(DevTestResult, wifi_speed_rate) == 788, "layout");
static_assert(offsetof(DevTestResult, tf_card_result) == 804, "layout");
static_assert(offsetof(DevTestResult, card_info) == 808, "layout");
static_assert(offsetof(DevTestResult, card_remain_space) == 812, "layout");
static_assert(offsetof(DevTestResult, result_4g) == 816, "layout");
static_assert(offsetof(DevTestResult, iccid) == 820, "layout");
static_assert(offsetof(DevTestResult, vrl_result) == 852, "layout");
static_assert(offsetof(DevTestResult, iccid2) == 856, "layout");
static_assert(offsetof(DevTestResult, vrl_result2) == 888, "layout");
static_assert(offsetof(DevTestResult, qr_code_print_result) == 892, "layout");
static_assert(offsetof(DevTestResult, qr_code_check_result) == 896, "layout");
static_assert(offsetof(DevTestResult, trumpet_result) == 900, "layout");
static_assert(offsetof(DevTestResult, mic_result) == 904, "layout");
static_assert(offsetof(DevTestResult, audio_alarm_file_result) == 908, "layout");
static_assert(offsetof(DevTestResult, fill_light_result) == 912, "layout");
static_assert(offsetof(DevTestResult, human_alarm_io_result) == 916, "layout");
static_assert(offsetof(DevTestResult, ircut_day_result) == 920, "layout");
static_assert(offsetof(DevTestResult, ircut_night_result) == 924, "layout");
static_assert(offsetof(DevTestResult, ptz_up_result) == 928, "layout");
static_assert(offsetof(DevTestResult, ptz_down_result) == 932, "layout");
static_assert(offsetof(DevTestResult, ptz_left_result) == 936, "layout");
static_assert(offsetof(DevTestResult, ptz_right_result) == 940, "layout");
static_assert(offsetof(DevTestResult, ptz_reset_result) == 944, "layout");
static_assert(offsetof(DevTestResult, sync_time_result) == 948, "layout");
static_assert(offsetof(DevTestResult, restore_result) == 952, "layout");
static_assert(offsetof(DevTestResult, format_sdcard_result) == 956, "layout");
static_assert(offsetof(DevTestResult, focus_add_result) == 960, "layout");
static_assert(offsetof(DevTestResult, focus_sub_result) == 964, "layout");
static_assert(offsetof(DevTestResult, zoom_add_result) == 968, "layout");
static_assert(offsetof(DevTestResult, zoom_sub_result) == 972, "layout");
static_assert(offsetof(DevTestResult, aper_add_result) == 976, "layout");
static_assert(offsetof(DevTestResult, aper_sub_result) == 980, "layout");
static_assert(offsetof(DevTestResult, video_result2) == 984, "layout");
static_assert(offsetof(DevTestResult, fill_light_result2) == 988, "layout");
static_assert(offsetof(DevTestResult, ircut_day_result2) == 992, "layout");
static_assert(offsetof(DevTestResult, ircut_night_result2) == 996, "layout");
static_assert(offsetof(DevTestResult, preset_point_call_result) == 1000, "layout");
static_assert(offsetof(DevTestResult, custom_manual_items) == 1004, "layout");
static_assert(offsetof(DevTestResult, customized_items_result) == 1516, "layout");
static_assert(offsetof(DevTestResult, custom_mac_result) == 1548, "layout");
static_assert(offsetof(DevTestResult, custom_country_result) == 1552, "layout");
static_assert(offsetof(DevTestResult, custom_logo_result) == 1556, "layout");
static_assert(offsetof(DevTestResult, software_version) == 1560, "layout");
static_assert(offsetof(DevTestResult, software_type) == 1576, "layout");
static_assert(offsetof(DevTestResult, total_result) == 1580, "layout");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "DevTestResult is stored little-endian; a big-endian build would need byte swapping"
#endif
