#include "TestConfig.h"

#include "JsonReply.h"
#include "Log.h"

#include <json/value.h>

#include <cstring>

namespace {

// Reads the members of one object, remembering the first key of a wrong kind.
class Reader {
public:
    Reader(const Json::Value& object, QString* error) : m_object(object), m_error(error) {}

    int Int(const char* key)
    {
        int v = 0;
        if (!JsonReply::ReadInt(m_object, key, &v))
            Fail(key);
        return v;
    }
    QString Text(const char* key)
    {
        std::string v;
        if (!JsonReply::ReadString(m_object, key, &v))
            Fail(key);
        return QString::fromUtf8(v.c_str());
    }
    // A string (or number) read as a decimal float; 0 when it is not a number.
    float Float(const char* key) { return Text(key).trimmed().toFloat(); }
    // A string or number read as a decimal integer; 0 when it is not a number.
    int IntText(const char* key) { return Text(key).trimmed().toInt(); }
    const Json::Value& Array(const char* key)
    {
        bool ok = true;
        const Json::Value& v = JsonReply::Member(m_object, key, Json::arrayValue, &ok);
        if (!ok)
            Fail(key);
        return v;
    }
    void Fail(const char* key)
    {
        if (m_ok && m_error)
            *m_error = QString::fromLatin1(key);
        m_ok = false;
    }
    bool ok() const { return m_ok; }

private:
    const Json::Value& m_object;
    QString* m_error;
    bool m_ok = true;
};

}  // namespace

bool ParseConfigItemArray(const Json::Value& array, QVector<ConfigItem>* items, QString* error)
{
    items->clear();
    if (array.isNull())
        return true;
    if (!array.isArray()) {
        if (error)
            *error = "array";
        return false;
    }
    for (Json::ArrayIndex i = 0; i < array.size(); ++i) {
        const Json::Value& element = array[i];
        if (!element.isObject()) {
            if (error)
                *error = QString("element %1").arg(i);
            return false;
        }
        Reader r(element, error);
        ConfigItem item;
        item.id = r.Int("id");
        item.name = r.Text("name");
        item.time = r.IntText("time");
        if (!r.ok())
            return false;
        if (item.time > 0)
            items->append(item);
    }
    return true;
}

bool ParseTestConfig(const Json::Value& data, TestConfig* config, QString* error)
{
    *config = TestConfig();
    if (data.isNull())
        return true;
    if (!data.isObject()) {
        if (error)
            *error = "data";
        return false;
    }
    Reader r(data, error);
    TestConfig c;
    c.name = r.Text("name");
    c.test_dev_type = r.Int("test_dev_type");
    c.upload_config_file = r.Int("upload_config_file");
    c.upload_audio_alarm_file = r.Int("upload_audio_alarm_file");
    c.lock_param = r.Int("lock_param");
    c.auto_test_mode = r.Int("auto_test_mode");
    c.ma_item_display = r.Text("ma_item_display");
    c.wifi_test_time = r.Int("wifi_test_time");
    c.wifi_average_speed = r.Int("wifi_average_speed");
    c.wifi_signal_Level = r.Int("wifi_signal_Level");
    c.wifi_signal_quality = r.Float("wifi_signal_quality");
    c.test_pattern = r.Int("test_pattern");
    c.signal_4g = r.Int("signal_4g");
    c.quality_4g = r.Float("quality_4g");
    c.soft_version_4g = r.Text("soft_version_4g");
    c.is_version_check = r.Int("is_version_check");
    c.config_version = r.Text("config_version");
    c.is_prompted_mismatch = r.Int("is_prompted_mismatch");
    c.full_osd_show_info = r.Text("full_osd_show_info");
    c.auto_test_info = r.Text("auto_test_info");
    c.check_func_code = r.Text("check_func_code");
    c.is_lamp_plate_type_check = r.Int("is_lamp_plate_type_check");
    c.check_lamp_plate_type = r.Int("check_lamp_plate_type");
    c.is_auto_print_qrcode = r.Int("is_auto_print_qrcode");
    c.is_auto_check_qrcode = r.Int("is_auto_check_qrcode");
    c.is_manual_auto_test = r.Int("is_manual_auto_test");
    c.ma_config_name = r.Text("ma_config_name");
    c.upload_test_result_display = r.Text("upload_test_result_display");
    if (!r.ok())
        return false;

    QVector<ConfigItem> steps;
    if (!ParseConfigItemArray(r.Array("ma_config_data"), &steps, error) || !r.ok())
        return false;
    c.stepLists.append(steps);

    bool present = true;
    const Json::Value& channels = JsonReply::Member(data, "channel_config_arr", Json::objectValue, &present);
    if (!present) {
        if (error)
            *error = "channel_config_arr";
        return false;
    }
    if (!channels.isNull()) {
        c.stepLists.clear();
        Reader cr(channels, error);
        const int channelNum = cr.Int("channel_num");
        const Json::Value& list = cr.Array("list");
        if (!cr.ok())
            return false;
        if (channelNum == int(list.size())) {
            for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
                QVector<ConfigItem> channelSteps;
                if (!ParseConfigItemArray(list[i], &channelSteps, error))
                    return false;
                c.stepLists.append(channelSteps);
            }
        } else {
            LogPrint(LOG_MAJOR, "OrderChooseDialog::slot_NextStepBtnClicked() channel_config_arr size=%d and channel_num=%d",
                     int(list.size()), channelNum);
        }
    }

    const Json::Value& custom = r.Array("customize_test_items");
    if (!r.ok())
        return false;
    for (Json::ArrayIndex i = 0; i < custom.size(); ++i) {
        if (!custom[i].isObject()) {
            if (error)
                *error = "customize_test_items";
            return false;
        }
        Reader ir(custom[i], error);
        CustomizeItem item;
        item.id = ir.Int("id");
        item.name = ir.Text("name");
        item.mark = ir.Text("mark");
        if (!ir.ok())
            return false;
        c.customize_test_items.append(item);
    }
    *config = c;
    return true;
}

bool ParseTestConfigReply(const char* body, TestConfig* config, QString* error)
{
    Json::Value root;
    if (!body || !JsonReply::ParseObject(body, strlen(body), &root)) {
        *config = TestConfig();
        if (error)
            *error = "reply";
        return false;
    }
    return ParseTestConfig(root.get("data", Json::Value()), config, error);
}
