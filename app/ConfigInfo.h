#pragma once

#include <QMap>
#include <QString>

// The whole settings file as one value record, one part per settings group.
// A missing key reads as false, 0 or an empty text: these are the only defaults.

struct LoginInfo {                       // LOGIN_CNF_INFO
    QString ServiceIp;
    QString LoginUserName;
    QString LoginPassword;               // held as stored (scrambled by the login dialog)
    bool bRemeberPassword = false;
    bool bAutoLogin = false;
};

struct UIVersionConfig {                 // UIVersion
    bool bUseVersion = false;
    QString strVersion;                  // key szVersion
};

struct WifiNetConfig {                   // WIFINet
    int iDurationTime = 0;               // seconds
    int iAveSpeed = 0;                   // Mbit/s
};

// Least stream judge time (CONFIG/StreamJudgeTime, ms). The stream-test thread
// finishes a camera when its frame counter did not move between two checks at
// least this far apart; the checks run every 100 ms. The slowest stream the
// station plays sends a frame a second, and one late or lost frame doubles that
// gap, so a healthy stream is never cut from 2000 ms on. Shorter values drop
// every camera before its record can be submitted.
constexpr int STREAM_JUDGE_TIME_MIN_MS = 2000;

struct SystemConfig {                    // CONFIG
    int iLogSwitch = 0;
    int iSingleFixedIPTestMode = 0;
    int iTestMode = 0;
    QString SSID;
    QString Password;
    int StreamJudgeTime = 0;
    QString WifiSignal;
    QString WifiQuality;
    int HardwareAccelMode = 0;
    int MultiThreadDecode = 0;
};

struct Config4G {                        // 4G_CONFIG
    QString Signal4G;                    // key 4GSignal
    QString Quality4G;                   // key 4GQuality
    QString SoftVersion;
};

struct FullOsdConfig {                   // FULL_OSD
    bool bAutoTest = false;
    bool bManualTest = false;
    bool bVersionInfo = false;
};

struct AutoTestConfig {                  // AUTO_TEST
    bool bRTC = false;
    bool bPTZ = false;
    bool bWifiSignal = false;
    bool bFunctionCode = false;
    bool bTFCard = false;
};

struct TipsConfig {                      // TIPS
    bool bVesionInfo = false;
};

struct ManualAutoTestConfig {            // MANUAL_AUTO_TEST
    bool bAutoBeginRun = false;
    int iNum = 0;
    QString CurChoiseKey;
    QString AllKeyName;                  // script keys joined by ","
    QMap<QString, QString> mapConfig;    // script key -> "name#ITEM:secs,ITEM:secs"
};

struct PrintQrCodeConfig {               // PRINT_QRCODE_CONFIG (switches)
    bool bAutoPrint = false;
    bool bCheckQRCode = false;
    // Host of the label's app-download address (key szAppDownloadHost). Read
    // only: set by hand in config.ini, never written by the store.
    QString szAppDownloadHost;
};

struct IpSectionConfig {                 // IP
    bool bUseIpSection = false;
    QString StartIp;
    QString EndIP;
};

struct LightModeConfig {                 // LIGHT_MODE
    bool bUseLightModeTest = false;
    int iLightMode = 0;                  // 0..6
};

constexpr int FUNCODE_COUNT = 20;
constexpr int MANUAL_ITEM_DISPLAY_COUNT = 24;

struct ManualItemDisplayFlags {          // MANUAL_TEST_ITEM_DISAPLAY, flags 1..24 in key order
    bool bTrumpet = false;
    bool bHumanAlarmIO = false;
    bool bMicTest = false;
    bool bAudioAlarm = false;
    bool bDay = false;
    bool bNight = false;
    bool bWifiSignalTest = false;
    bool bWifiTest = false;
    bool bOpenWhiteLight = false;
    bool bFunctionCodeTest = false;
    bool bDevQRCodeCheck = false;
    bool b4GTest = false;
    bool bAperAdd = false;
    bool bAperReduce = false;
    bool bFocusAdd = false;
    bool bFocusReduce = false;
    bool bZoomAdd = false;
    bool bZoomReduce = false;
    bool bUp = false;
    bool bDown = false;
    bool bLeft = false;
    bool bRight = false;
    bool bPTZReset = false;
    bool bPresetCall = false;

    // Flag i (0..23) in key order.
    bool& at(int i);
    bool at(int i) const;
    // Key name of flag i, such as "bTrumpet".
    static const char* KeyName(int i);
};

struct ConfigInfo {
    LoginInfo m_LoginInfo;
    UIVersionConfig m_UIVerion;
    WifiNetConfig m_WifiNet;
    SystemConfig m_SystemConfig;
    Config4G m_Config4G;
    FullOsdConfig m_FullOsd;
    AutoTestConfig m_AutoTest;
    TipsConfig m_Tips;
    ManualAutoTestConfig m_ManualAutoTest;
    PrintQrCodeConfig m_PrintQrCode;
    IpSectionConfig m_IpSection;
    int m_FunCode[FUNCODE_COUNT] = {};   // element n-1 mirrors FUNCODE/n
    LightModeConfig m_LightMode;
    QString m_PrintConfigFilePath;       // PRINT_QRCODE_CONFIG/PrintConfigFilePath
    ManualItemDisplayFlags m_ManualItemDisplay;
};
