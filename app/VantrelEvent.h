#pragma once

#include <QEvent>
#include <QtGlobal>

// Codes of the station's one event class; the QEvent type is the code itself.
enum VantrelEventCode : int {
    WM_UPDATE_VIDEO = 1004,
    WM_FULL_SCREEN = 1005,
    WM_DEV_STATUS = 1006,
    WM_DEV_RESPONSE = 1010,
    WM_TEST_TYPE_CHANGED = 1018,
    WM_AUTO_PLAY_CHANGED = 1019,
    WM_BEGIN_AUTO_TEST = 1020,
    WM_RESET_UI = 1021,
    WM_MANUAL_TEST = 1022,
    WM_WIFI_TEST_FINISH = 1023,
    WM_WIFI_TEST_DATA = 1024,
    WM_CONFIG_SAVED = 1026,
    WM_RUN_STATE = 1027,
    WM_CONFIG_CLOSED = 1028,
    WM_PLAYER_STATUS = 1029,
    WM_SENSOR_SWITCH_SUPPORT = 1030,
    WM_MANUAL_ITEM_ENABLE = 1031,
};

// The station's cross-panel and cross-thread notification. Always allocated with
// new and posted; a heap record carried in a word belongs to the receiver.
class VantrelEvent : public QEvent {
public:
    VantrelEvent(int code, qint64 word1, qint64 word2);
    ~VantrelEvent() override;

    qint64 code;
    qint64 word1;
    qint64 word2;
};

// Posts a new VantrelEvent to receiver (normal priority). Returns false, and posts
// nothing, when receiver is null; the caller then still owns any record in the words.
bool PostVantrelEvent(QObject* receiver, int code, qint64 word1, qint64 word2);
