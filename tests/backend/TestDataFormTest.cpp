// The test-result record and the 63-key form built from it.
#include "BackendSimulator.h"
#include "DevTestResult.h"
#include "HttpClient.h"
#include "TempAppDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The form in its own order: key, record position, text width (0 for an int).
struct FormField {
    const char* key;
    size_t offset;
    size_t width;
};
const FormField kForm[] = {
    {"order_sn", 32, 128}, {"dev_sn", 160, 32}, {"sn_result", 192, 0}, {"model", 200, 64},
    {"firmware_version", 264, 128}, {"dev_version", 392, 128}, {"ver_result", 520, 0}, {"video_result", 528, 0},
    {"lamp_panel_result", 532, 0}, {"bind_result", 536, 0}, {"tuya_authorize_result", 540, 0},
    {"tuya_uuid", 544, 32}, {"func_code_result", 576, 0}, {"support_func_code", 612, 32},
    {"authorized_func_code", 580, 32}, {"cusr_authorize_result", 644, 0}, {"rtc_result", 648, 0},
    {"wifi_signal_result", 652, 0}, {"wifi_signal_level", 656, 64}, {"wifi_snr", 720, 64},
    {"wifi_performance_result", 784, 0}, {"wifi_speed_rate", 788, 16}, {"tf_card_result", 804, 0},
    {"card_info", 808, 0}, {"card_remain_space", 812, 0}, {"result_4g", 816, 0}, {"iccid", 820, 32},
    {"vrl_result", 852, 0}, {"iccid2", 856, 32}, {"vrl_result2", 888, 0}, {"qr_code_print_result", 892, 0},
    {"qr_code_check_result", 896, 0}, {"trumpet_result", 900, 0}, {"mic_result", 904, 0},
    {"fill_light_result", 912, 0}, {"human_alarm_io_result", 916, 0}, {"audio_alarm_file_result", 908, 0},
    {"ircut_day_result", 920, 0}, {"ircut_night_result", 924, 0}, {"preset_point_call_result", 1000, 0},
    {"focus_add_result", 960, 0}, {"focus_sub_result", 964, 0}, {"zoom_add_result", 968, 0},
    {"zoom_sub_result", 972, 0}, {"aper_add_result", 976, 0}, {"aper_sub_result", 980, 0},
    {"ptz_up_result", 928, 0}, {"ptz_down_result", 932, 0}, {"ptz_left_result", 936, 0},
    {"ptz_right_result", 940, 0}, {"ptz_reset_result", 944, 0}, {"sync_time_result", 948, 0},
    {"restore_result", 952, 0}, {"format_sdcard_result", 956, 0}, {"software_version", 1560, 16},
    {"software_type", 1576, 0}, {"total_result", 1580, 0}, {"check_machine_id", 0, 32},
    {"customized_items_result", 1516, 32}, {"video_result2", 984, 0}, {"fill_light_result2", 988, 0},
    {"ircut_day_result2", 992, 0}, {"ircut_night_result2", 996, 0},
};

// Every int holds its own offset, every text its key name: each form value then
// names the record position it came from.
DevTestResult PositionRecord()
{
    DevTestResult r;
    memset(&r, 0, sizeof(r));
    char* bytes = reinterpret_cast<char*>(&r);
    for (size_t off = 0; off + 4 <= sizeof(r); off += 4) {
        const int32_t v = int32_t(off);
        memcpy(bytes + off, &v, 4);
    }
    for (const FormField& f : kForm) {
        if (f.width) {
            memset(bytes + f.offset, 0, f.width);
            memcpy(bytes + f.offset, f.key, std::min(strlen(f.key), f.width - 1));
        }
    }
    memset(r.custom_manual_items, 0, sizeof(r.custom_manual_items));
    return r;
}

std::vector<std::pair<std::string, std::string>> Pairs(const std::string& body)
{
    std::vector<std::pair<std::string, std::string>> out;
    size_t from = 0;
    while (from <= body.size()) {
        size_t amp = body.find('&', from);
        if (amp == std::string::npos)
            amp = body.size();
        const std::string pair = body.substr(from, amp - from);
        const size_t eq = pair.find('=');
        out.emplace_back(pair.substr(0, eq), eq == std::string::npos ? std::string() : pair.substr(eq + 1));
        from = amp + 1;
    }
    return out;
}

}  // namespace

TEST(DevTestResultTest, TextFieldsAreCutToWidthLessOne)
{
    DevTestResult r;
    memset(&r, 0x5A, sizeof(r));
    const std::string sn31(31, 'S');
    SetResultText(r.dev_sn, sn31.c_str());
    EXPECT_EQ(std::string(r.dev_sn), sn31);
    EXPECT_EQ(r.dev_sn[31], '\0');
    SetResultText(r.dev_sn, std::string(40, 'L').c_str());
    EXPECT_EQ(std::string(r.dev_sn), std::string(31, 'L'));
    EXPECT_EQ(r.sn_result, 0x5A5A5A5A);   // the next field is untouched
    SetResultText(r.dev_sn, nullptr);
    EXPECT_EQ(r.dev_sn[0], '\0');
    EXPECT_EQ(r.dev_sn[1], 'L');           // bytes behind the terminator stay as they were
}

TEST(TestDataFormTest, EveryKeyReadsItsOwnRecordPosition)
{
    const std::string body = HttpClient::BuildTestDataForm(PositionRecord());
    const auto pairs = Pairs(body);
    ASSERT_EQ(pairs.size(), sizeof(kForm) / sizeof(kForm[0]));
    for (size_t i = 0; i < pairs.size(); ++i) {
        const FormField& f = kForm[i];
        SCOPED_TRACE(f.key);
        EXPECT_EQ(pairs[i].first, f.key);
        // "software_version" is cut to its 16-byte field.
        EXPECT_EQ(pairs[i].second, f.width ? std::string(f.key).substr(0, f.width - 1) : std::to_string(f.offset));
    }
    // No custom items: the body ends with the last int and no "&".
    EXPECT_EQ(body.substr(body.size() - 24), "&ircut_night_result2=996");
}

TEST(TestDataFormTest, ValuesCannotAddOrReplaceKeys)
{
    DevTestResult r;
    memset(&r, 0, sizeof(r));
    r.total_result = -1;
    SetResultText(r.dev_sn, "x&total_result=1");
    SetResultText(r.m_szModel, "VC 200#a%b+c");
    SetResultText(r.order_sn, "WO\xE5\xB7\xA5 1");
    SetResultText(r.custom_manual_items, "sticker=1&lab el=-1&a&b=1");
    const std::string body = HttpClient::BuildTestDataForm(r);
    const auto pairs = Pairs(body);
    int totals = 0;
    for (const auto& p : pairs) {
        if (p.first == "total_result") {
            ++totals;
            EXPECT_EQ(p.second, "-1");
        }
    }
    EXPECT_EQ(totals, 1);
    EXPECT_NE(body.find("&dev_sn=x%26total_result=1&"), std::string::npos);
    EXPECT_NE(body.find("&model=VC%20200%23a%25b%2Bc&"), std::string::npos);
    EXPECT_EQ(body.find("order_sn=WO%E5%B7%A5+1&"), 0u);
    // Custom items are appended pair by pair, separators kept.
    EXPECT_EQ(body.substr(body.find("&ircut_night_result2=0") + 22), "&sticker=1&lab%20el=-1&a&b=1");
}

TEST(TestDataFormTest, OrdinaryRecordKeepsItsBytes)
{
    DevTestResult r;
    memset(&r, 0, sizeof(r));
    SetResultText(r.dev_sn, "VT20240301000123");
    SetResultText(r.m_szVersion, "V2.1.0_build-17");
    SetResultText(r.support_func_code, "1,2,5");
    SetResultText(r.wifi_signal_level, "-45dBm");
    SetResultText(r.check_machine_id, "00:1A:2B:3C:4D:5E");
    const std::string body = HttpClient::BuildTestDataForm(r);
    for (const char* pair : {"&dev_sn=VT20240301000123&", "&dev_version=V2.1.0_build-17&",
                             "&support_func_code=1,2,5&", "&wifi_signal_level=-45dBm&",
                             "&check_machine_id=00:1A:2B:3C:4D:5E&"})
        EXPECT_NE(body.find(pair), std::string::npos) << pair;
}

TEST(TestDataFormTest, UnterminatedTextsStopAtTheirWidth)
{
    DevTestResult r;
    memset(&r, 'A', sizeof(r));   // e.g. a damaged cache record: no NUL anywhere
    const std::string body = HttpClient::BuildTestDataForm(r);
    const auto pairs = Pairs(body);
    for (size_t i = 0; i < 63; ++i) {
        if (kForm[i].width) {
            EXPECT_EQ(pairs[i].second, std::string(kForm[i].width, 'A')) << kForm[i].key;
        }
    }
    EXPECT_EQ(pairs.back().first, std::string(512, 'A'));
}

TEST(TestDataFormTest, PostedRequestCarriesTheFormWithItsByteLength)
{
    TempAppDir app;
    BackendSimulator sim;
    ASSERT_TRUE(sim.Start(0, app.file("results.txt")));
    HttpClient::SetBackendCookie("sid=7");
    DevTestResult r = PositionRecord();
    SetResultText(r.order_sn, "\xE5\xB7\xA5\xE5\x8D\x95-1");
    SetResultText(r.custom_manual_items, "sticker=1");
    HttpClient client;
    const HttpResult result = client.HttpUploadDevTestResult(BackendEndpoint{sim.HostText()}, r);
    ASSERT_EQ(result.Value(), 0);
    EXPECT_STREQ(result.body.c_str(), "{\"ret\":0,\"msg\":\"submit success\"}");

    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string form = HttpClient::BuildTestDataForm(r);
    const std::string expectedHead = "POST /api/whole/machine/test/data/submit HTTP/1.0\r\nAccept-Language: zh-cn\r\n"
                                     "Accept: */*;\r\nContent-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
                                     "User-Agent: velmar/product-retrospect\r\nHost: " + sim.HostText() + "\r\n"
                                     "Content-Length: " + std::to_string(form.size()) + "\r\n"
                                     "Connection: Keep-Alive\r\nCookie: sid=7\r\n";
    EXPECT_EQ(requests[0].head, expectedHead);
    EXPECT_EQ(requests[0].body, form);
    // The simulator's results file holds each received form as one line.
    EXPECT_EQ(app.readFile("results.txt"), QByteArray::fromStdString(form + "\n"));
    EXPECT_EQ(form.substr(form.size() - 10), "&sticker=1");
}
