#pragma once

#include <QString>
#include <QVector>

namespace Json {
class Value;
}

// One step of a manual automation run.
struct ConfigItem {
    int id = 0;
    QString name;
    int time = 0;   // seconds
};

// One customised test item of a work order; result 0 until the manual result panel sets 1 or -1.
struct CustomizeItem {
    int id = 0;
    QString name;
    QString mark;
    int result = 0;
};

// The work order's test configuration as the back-end sends it ("data" of
// init/test/config). Members are named after their JSON keys. Held by value.
struct TestConfig {
    QString name;
    int test_dev_type = 0;
    int upload_config_file = 0;
    int upload_audio_alarm_file = 0;
    int lock_param = 0;
    int auto_test_mode = 0;
    QString ma_item_display;
    int wifi_test_time = 0;
    int wifi_average_speed = 0;
    int wifi_signal_Level = 0;
    float wifi_signal_quality = 0.0f;
    int test_pattern = 0;
    int signal_4g = 0;
    float quality_4g = 0.0f;
    QString soft_version_4g;
    int is_version_check = 0;
    QString config_version;
    int is_prompted_mismatch = 0;
    QString full_osd_show_info;
    QString auto_test_info;
    QString check_func_code;
    int is_lamp_plate_type_check = 0;
    int check_lamp_plate_type = 0;
    int is_auto_print_qrcode = 0;
    int is_auto_check_qrcode = 0;
    int is_manual_auto_test = 0;
    QString ma_config_name;
    QVector<QVector<ConfigItem>> stepLists;   // "ma_config_data", or per channel from "channel_config_arr"
    QString upload_test_result_display;
    QVector<CustomizeItem> customize_test_items;
};

// Steps of a JSON array in order; steps whose "time" is 0, negative or not a number
// are dropped. False (with the offending key in *error) for a member of the wrong kind.
bool ParseConfigItemArray(const Json::Value& array, QVector<ConfigItem>* items, QString* error);

// Builds the record from the "data" object. A missing "data" or key gives zeros and
// empty texts; a member of the wrong kind is reported (false, key in *error), never thrown.
bool ParseTestConfig(const Json::Value& data, TestConfig* config, QString* error);

// The same from a whole reply body ({"ret":..,"data":{..}}); a body that is not a
// JSON object is reported like a wrong kind.
bool ParseTestConfigReply(const char* body, TestConfig* config, QString* error);
