#pragma once

#include <QObject>

// Holder of Manual_Enum, so that an item's enumerator name can be read from its
// value through QMetaEnum (log lines and saved results use these names).
class EnumClass : public QObject {
    Q_OBJECT
public:
    // The manual test items. Values run 0..34 without gaps. MANUAL_TEST_MAX is a
    // count marker and MANUAL_AUTO runs the manual script; both lie above every
    // ordinary item.
    enum Manual_Enum {
        MANUAL_TRUMPET,
        MANUAL_MIC_TEST,
        MANUAL_AUDIO_ALARM_TEST,
        MANUAL_UPLOAD_ALARM_FILE,
        MANUAL_FOCUS_ADD,
        MANUAL_FOCUS_SUB,
        MANUAL_RTC,
        MANUAL_OPEN_WHITE_LIGHT,
        MANUAL_APER_ADD,
        MANUAL_APER_SUB,
        MANUAL_RESTORE_FACTORY,
        MANUAL_HUMAN_ALARM_IO,
        MANUAL_DAY_MODE,
        MANUAL_NIGHT_MODE,
        MANUAL_WIFI_TEST,
        MANUAL_ZOOM_ADD,
        MANUAL_ZOOM_SUB,
        MANUAL_WIFI_SIGNAL_TEST,
        MANUAL_UP,
        MANUAL_DOWN,
        MANUAL_LEFT,
        MANUAL_RIGHT,
        MANUAL_SPEED_CHANGE,
        MANUAL_PTZ_RESET,
        MANUAL_FUNCTION_CODE,
        MANUAL_QRCODE_CHECK,
        MANUAL_FORMAT_SDCARD,
        MANUAL_PRINT_QRCODE,
        MANUAL_4GTEST,
        MANUAL_BIND_DEV,
        MANUAL_SWITCH_SENSOR,
        MANUAL_CALL_PRESET,
        MANUAL_SWITCH_CHANNEL,
        MANUAL_TEST_MAX,
        MANUAL_AUTO,
    };
    Q_ENUM(Manual_Enum)

    using QObject::QObject;
};

using Manual_Enum = EnumClass::Manual_Enum;
