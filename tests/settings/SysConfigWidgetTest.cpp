// The settings form: the Save sequence (checks in order, the change test, the
// whole-machine mode, a failed write), the decode rule and the controller's
// decoding fallback, a work order's test configuration, the editors' doors,
// the template file choice and the close notices.
#include "SysConfigWidget.h"
#include "LeftTopWidgetTestPeer.h"

#include "SettingsFixture.h"

#include "BoxRecorder.h"
#include "CMapManualDesc.h"
#include "DecodeModes.h"
#include "FileDialogHook.h"
#include "FunctionCodeSetting.h"
#include "ManualTestAutomation.h"
#include "ManualTestItemDisplayDlg.h"
#include "QRCodePrintSetting.h"
#include "ScreenArea.h"
#include "TestConfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

using Posted = EventReceiver::Posted;
const Posted kClosed{WM_CONFIG_CLOSED, 0, 1};
const Posted kSaved{WM_CONFIG_SAVED, 0, 0};

class SysConfigTest : public SettingsTest {
public:
    SysConfigWidget* MakeForm()
    {
        form = new SysConfigWidget(receiver.get());
        return form;
    }

    template <typename T>
    T* Child(const char* name) const
    {
        T* child = form->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QLineEdit* Edit(const char* name) const { return Child<QLineEdit>(name); }
    QCheckBox* Box(const char* name) const { return Child<QCheckBox>(name); }
    QComboBox* Combo(const char* name) const { return Child<QComboBox>(name); }
    QString Tips() const { return Child<QLabel>("lb_Tips")->text(); }
    QTimer* CloseTimer() const { return form->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly); }
    void UseRange(const char* start, const char* end) const
    {
        Box("ckb_IPSection")->setChecked(true);
        Edit("le_StartIP")->setText(start);
        Edit("le_EndIP")->setText(end);
    }
    void Save() const { QTest::mouseClick(Child<QPushButton>("btn_Save"), Qt::LeftButton); }

    // Lets the close timer run out.
    void RunCloseTimer() const
    {
        ASSERT_TRUE(CloseTimer()->isActive());
        ASSERT_EQ(CloseTimer()->interval(), SysConfigWidget::CLOSE_DELAY_MS);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !CloseTimer()->isActive(); }, 10000));
    }

    SysConfigWidget* form = nullptr;   // owned by the receiver
};

// ---------------------------------------------------------------------------
// Save

TEST_F(SysConfigTest, ChecksRunInOrderAndAFailureWritesNothing)
{
    struct CheckCase {
        const char* what;
        std::function<void(SysConfigTest&)> edit;
        const char* message;
    };
    const CheckCase cases[] = {
        {"version and SSID empty",
         [](SysConfigTest& t) {
             t.Edit("le_Version")->clear();
             t.Edit("le_SSID")->clear();
         },
         "Version empty input!"},
        {"SSID", [](SysConfigTest& t) { t.Edit("le_SSID")->clear(); }, "SSID empty input!"},
        {"password and duration",
         [](SysConfigTest& t) {
             t.Edit("le_Password")->clear();
             t.Edit("le_DurationTime")->clear();
         },
         "Password empty input!"},
        {"duration", [](SysConfigTest& t) { t.Edit("le_DurationTime")->clear(); }, "DurationTime empty input!"},
        {"speed", [](SysConfigTest& t) { t.Edit("le_AveSpeed")->clear(); }, "AveSpeed empty input!"},
        {"test mode", [](SysConfigTest& t) { t.Edit("le_TestMode")->clear(); }, "TestMode empty input!"},
        {"signal", [](SysConfigTest& t) { t.Edit("le_Signal")->clear(); }, "wifi Signal empty input!"},
        {"signal unfinished", [](SysConfigTest& t) { t.Edit("le_Signal")->setText("-"); },
         "wifi Signal must be -30 to -120!"},
        {"quality", [](SysConfigTest& t) { t.Edit("le_Quality")->clear(); }, "wifi Quality empty input!"},
        {"quality unfinished", [](SysConfigTest& t) { t.Edit("le_Quality")->setText("0."); },
         "wifi Quality must be 0.0 to 1.0!"},
        {"duration out of range", [](SysConfigTest& t) { t.Edit("le_DurationTime")->setText("200"); },
         "DurationTime must be 0 to 100!"},
        {"speed out of range", [](SysConfigTest& t) { t.Edit("le_AveSpeed")->setText("101"); },
         "AveSpeed must be 0 to 100!"},
        {"4G signal", [](SysConfigTest& t) { t.Edit("le_4GSignal")->clear(); }, "4G Signal empty input!"},
        {"4G quality", [](SysConfigTest& t) { t.Edit("le_4GQuality")->clear(); }, "4G Quality empty input!"},
        {"end address",
         [](SysConfigTest& t) {
             t.Box("ckb_IPSection")->setChecked(true);
             t.Edit("le_EndIP")->clear();
         },
         "start ip or end ip is empty"},
        {"test mode out of range",
         [](SysConfigTest& t) {
             t.Edit("le_TestMode")->clear();
             QTest::keyClicks(t.Edit("le_TestMode"), "2");
         },
         "TestMode must be 0 or 1!"},
        {"start address no address", [](SysConfigTest& t) { t.UseRange("abc.999.1", "10.0.0"); },
         "start ip is not an IPv4 address like 192.168.1.100"},
        {"end address no address", [](SysConfigTest& t) { t.UseRange("10.0.0.1", "10.0.0"); },
         "end ip is not an IPv4 address like 192.168.1.200"},
        {"ends in two subnets", [](SysConfigTest& t) { t.UseRange("192.168.1.100", "192.168.2.50"); },
         "start ip and end ip must differ only in the last number"},
        {"start above end", [](SysConfigTest& t) { t.UseRange("127.0.0.20", "127.0.0.10"); },
         "start ip must not be above end ip"},
    };
    const QByteArray before = ConfigBytes();
    for (const CheckCase& c : cases) {
        MakeForm();
        form->ShowWidget();
        c.edit(*this);
        Save();
        EXPECT_EQ(Tips(), c.message) << c.what;
        EXPECT_EQ(ConfigBytes(), before) << c.what;
        EXPECT_FALSE(CloseTimer()->isActive()) << c.what << ": the form stays open";
        EXPECT_TRUE(receiver->Events().isEmpty()) << c.what;
        delete form;
        receiver->Forget();
    }
}

// What a limited field's text became in config.ini.
QString StoredLimit(const ConfigInfo& c, const QString& edit)
{
    if (edit == "le_Signal")
        return c.m_SystemConfig.WifiSignal;
    if (edit == "le_Quality")
        return c.m_SystemConfig.WifiQuality;
    if (edit == "le_4GSignal")
        return c.m_Config4G.Signal4G;
    if (edit == "le_4GQuality")
        return c.m_Config4G.Quality4G;
    if (edit == "le_DurationTime")
        return QString::number(c.m_WifiNet.iDurationTime);
    if (edit == "le_AveSpeed")
        return QString::number(c.m_WifiNet.iAveSpeed);
    return QString::number(c.m_SystemConfig.iTestMode);
}

// Restores the process's default locale when it goes.
struct DefaultLocale {
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(previous); }
    QLocale previous;
};

// A limit the form saves is one its placeholder and message allow, and the
// value the judges read is the one the operator typed.
TEST_F(SysConfigTest, EachLimitAcceptsExactlyTheRangeItsTextsState)
{
    struct LimitCase {
        const char* edit;
        QString text;
        const char* message;   // null: saved as typed
    };
    const char* signal = "wifi Signal must be -30 to -120!";
    const char* quality = "wifi Quality must be 0.0 to 1.0!";
    const QString fullWidthFive = QString::fromUtf8("\xef\xbc\x95");
    const LimitCase cases[] = {
        {"le_Signal", "-5", signal},
        {"le_Signal", "-0", signal},
        {"le_Signal", "-29", signal},
        {"le_Signal", "-121", signal},
        {"le_Signal", "-30", nullptr},
        {"le_Signal", "-120", nullptr},
        {"le_Signal", "-99", nullptr},
        {"le_Quality", "1.0", nullptr},
        {"le_Quality", "0.25", nullptr},
        {"le_Quality", "0.0", nullptr},
        {"le_Quality", "1", nullptr},
        {"le_Quality", "1.01", quality},
        {"le_Quality", "1.5", quality},
        {"le_Quality", "0." + fullWidthFive, quality},
        {"le_DurationTime", "0", nullptr},
        {"le_DurationTime", "100", nullptr},
        {"le_DurationTime", "101", "DurationTime must be 0 to 100!"},
        {"le_AveSpeed", "100", nullptr},
        {"le_AveSpeed", "-1", "AveSpeed must be 0 to 100!"},
        {"le_TestMode", "0", nullptr},
        {"le_TestMode", "2", "TestMode must be 0 or 1!"},
        {"le_4GSignal", "-85", nullptr},
        {"le_4GSignal", "20.5", nullptr},
        {"le_4GSignal", "abc", "4G Signal must be a number!"},
        {"le_4GSignal", "2" + fullWidthFive, "4G Signal must be a number!"},
        {"le_4GQuality", "0.25", nullptr},
        {"le_4GQuality", "good", "4G Quality must be a number!"},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(std::string(c.edit) + " = " + c.text.toStdString());
        Seed(ValidConfig());
        const QByteArray before = ConfigBytes();
        MakeForm();
        form->ShowWidget();
        Edit(c.edit)->setText(c.text);
        Save();
        if (c.message) {
            EXPECT_EQ(Tips().toStdString(), c.message);
            EXPECT_TRUE(ConfigBytes() == before) << "nothing is written";
        } else {
            EXPECT_EQ(Tips().toStdString(), "Save succeed!");
            EXPECT_EQ(StoredLimit(ReadAfresh(), c.edit).toStdString(), c.text.toStdString());
        }
        delete form;
        receiver->Forget();
    }
}

TEST_F(SysConfigTest, ALocalesGroupSeparatorIsNoDigit)
{
    // In a Chinese locale "0,050" reads as 50; config.ini would get 0.
    const DefaultLocale chinese(QLocale(QLocale::Chinese, QLocale::China));
    const QByteArray before = ConfigBytes();
    MakeForm();
    form->ShowWidget();
    Edit("le_DurationTime")->setText("0,050");
    Save();
    EXPECT_EQ(Tips().toStdString(), "DurationTime must be 0 to 100!");
    EXPECT_TRUE(ConfigBytes() == before) << "nothing is written";
}

TEST_F(SysConfigTest, AStoredLimitOutsideTheRangeIsAskedForAgain)
{
    struct StoredCase {
        const char* what;
        std::function<void(ConfigInfo&)> store;
        const char* message;
    };
    const StoredCase cases[] = {
        {"signal", [](ConfigInfo& c) { c.m_SystemConfig.WifiSignal = "-5"; }, "wifi Signal must be -30 to -120!"},
        {"4G signal", [](ConfigInfo& c) { c.m_Config4G.Signal4G = "strong"; }, "4G Signal must be a number!"},
        {"duration", [](ConfigInfo& c) { c.m_WifiNet.iDurationTime = 500; }, "DurationTime must be 0 to 100!"},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigInfo stored = ValidConfig();
        c.store(stored);
        Seed(stored);
        const QByteArray before = ConfigBytes();
        MakeForm();
        form->ShowWidget();
        Save();
        EXPECT_EQ(Tips().toStdString(), c.message);
        EXPECT_TRUE(ConfigBytes() == before) << "nothing is written";
        EXPECT_FALSE(CloseTimer()->isActive()) << "the form stays open for a new value";
        delete form;
        receiver->Forget();
    }
}

TEST_F(SysConfigTest, AWifiNetworkTheFileOrTheCameraCannotTakeIsRefusedWithItsReason)
{
    struct Case {
        const char* what;
        QString ssid;
        QString password;
        const char* message;             // null: saved
    };
    const QString hangul = QString::fromUtf8("\xea\xb3\xb5\xec\x9e\xa5");   // no GB2312 bytes for these
    const Case cases[] = {
        {"an SSID config.ini can't store", hangul + "-AP", "pa55word",
         "SSID holds \"\xea\xb3\xb5\xec\x9e\xa5\", which config.ini can't store: please use other characters"},
        {"a password with a tab", "line-ap", "pa55\tword",
         "Password holds a control character the camera can't receive: please remove it"},
        {"longer than the camera's command holds", QString(500, 'S'), QString(500, 'P'),
         "SSID and Password are too long for the camera: please shorten them"},
        {"Chinese and XML's own characters", QString::fromUtf8("\xe5\xb7\xa5\xe5\x8e\x82-AP"), "pa<\"&>ss", nullptr},
    };
    for (bool wholeMachine : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (wholeMachine ? ", whole-machine mode" : ""));
            Seed(ValidConfig());
            WholeMachineTestMode = wholeMachine;
            MakeForm();
            form->ShowWidget();
            Edit("le_SSID")->setText(c.ssid);
            Edit("le_Password")->setText(c.password);
            const QByteArray before = ConfigBytes();
            Save();
            if (c.message) {
                EXPECT_EQ(Tips(), QString::fromUtf8(c.message));
                EXPECT_EQ(ConfigBytes(), before);
                EXPECT_FALSE(CloseTimer()->isActive()) << "the form stays open";
                EXPECT_TRUE(receiver->Events().isEmpty());
            } else {
                EXPECT_EQ(Tips(), "Save succeed!");
                EXPECT_EQ(ReadAfresh().m_SystemConfig.SSID, c.ssid);
                EXPECT_EQ(ReadAfresh().m_SystemConfig.Password, c.password);
            }
            delete form;
            receiver->Forget();
        }
    }
    WholeMachineTestMode = false;
}

TEST_F(SysConfigTest, AnUnchangedSaveWritesNothingAndOnlyCloses)
{
    const QByteArray before = ConfigBytes();
    MakeForm();
    form->ShowWidget();
    Save();
    EXPECT_EQ(Tips(), "Save succeed!");
    EXPECT_EQ(ConfigBytes(), before);
    RunCloseTimer();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ConfigBytes(), before);
    const QVector<Posted> events = receiver->Events();
    ASSERT_FALSE(events.isEmpty());
    for (const Posted& e : events)
        EXPECT_EQ(e, kClosed);
}

TEST_F(SysConfigTest, AChangeIsWrittenWithTheStoresOtherGroups)
{
    // An editor wrote its group meanwhile: the Save keeps it.
    MakeForm();
    int codes[FUNCODE_COUNT] = {};
    codes[6] = 1;
    ASSERT_EQ(CConfigFile::GetInstance()->WriteFunctionCode(codes), 0);
    Box("m_ckbTFCard_Test")->setChecked(true);
    Combo("cmb_HardAccel")->setCurrentIndex(1);
    HardwareDecodeMode = 0;
    Save();
    EXPECT_EQ(Tips(), "Save succeed!");
    EXPECT_TRUE(CloseTimer()->isActive());
    EXPECT_EQ(receiver->Events(), QVector<Posted>{kSaved});

    const ConfigInfo saved = ReadAfresh();
    EXPECT_TRUE(saved.m_AutoTest.bTFCard);
    EXPECT_EQ(saved.m_SystemConfig.HardwareAccelMode, 1);
    EXPECT_EQ(saved.m_SystemConfig.MultiThreadDecode, 0);
    EXPECT_EQ(saved.m_FunCode[6], 1);
    EXPECT_EQ(saved.m_FunCode[2], 0);
    EXPECT_EQ(saved.m_SystemConfig.iLogSwitch, 3) << "keys the form does not show keep their values";
    EXPECT_EQ(HardwareDecodeMode.load(), 1);
    EXPECT_EQ(MultiThreadDecodeMode.load(), 0);
}

TEST_F(SysConfigTest, TheWholeMachineModeWritesWithoutChecks)
{
    MakeForm();
    Edit("le_SSID")->clear();
    Edit("le_Signal")->setText("-");
    WholeMachineTestMode = true;
    const QByteArray before = ConfigBytes();
    Save();
    EXPECT_EQ(Tips(), "Save succeed!");
    EXPECT_NE(ConfigBytes(), before);
    EXPECT_EQ(ReadAfresh().m_SystemConfig.SSID, "");
    EXPECT_EQ(ReadAfresh().m_SystemConfig.WifiSignal, "-");
    EXPECT_EQ(receiver->Events(), QVector<Posted>{kSaved});
}

TEST_F(SysConfigTest, TheWholeMachineModeStillRefusesAnUnusableRange)
{
    WholeMachineTestMode = true;
    const QByteArray before = ConfigBytes();
    MakeForm();
    UseRange("abc.999.1", "10.0.0");
    Save();
    EXPECT_EQ(Tips(), "start ip is not an IPv4 address like 192.168.1.100");
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_TRUE(receiver->Events().isEmpty());

    UseRange("127.0.0.30", "127.0.0.40");
    Save();
    EXPECT_EQ(Tips(), "Save succeed!");
    EXPECT_TRUE(ReadAfresh().m_IpSection.bUseIpSection);
    EXPECT_EQ(ReadAfresh().m_IpSection.EndIP, "127.0.0.40");
}

TEST_F(SysConfigTest, AnUncheckedRangeSavesEmptyAddresses)
{
    MakeForm();
    Edit("le_StartIP")->clear();
    Edit("le_EndIP")->clear();
    Save();
    EXPECT_EQ(Tips(), "Save succeed!");
    EXPECT_EQ(ReadAfresh().m_IpSection.EndIP, "");
}

TEST_F(SysConfigTest, AFailedWriteKeepsTheFormOpenAndTheNextSaveWrites)
{
    MakeForm();
    form->ShowWidget();
    Edit("le_DurationTime")->setText("30");
    BreakConfigFile();
    Save();
    EXPECT_EQ(Tips(), "Save failed!");
    EXPECT_FALSE(CloseTimer()->isActive());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(receiver->Events().isEmpty()) << "nothing was saved";

    // The store took the values though the file did not: the form still writes them.
    Mend();
    Save();
    EXPECT_EQ(Tips(), "Save succeed!");
    EXPECT_EQ(receiver->Events(), QVector<Posted>{kSaved});
    EXPECT_EQ(ReadAfresh().m_WifiNet.iDurationTime, 30);
}

TEST_F(SysConfigTest, OpeningAgainStopsAPendingClose)
{
    MakeForm();
    form->ShowWidget();
    Save();
    form->close();
    form->ShowWidget();
    EXPECT_FALSE(CloseTimer()->isActive());
    EXPECT_EQ(Tips(), "");
    EXPECT_TRUE(form->isVisible());
}

// ---------------------------------------------------------------------------
// Decoding

TEST_F(SysConfigTest, TheDecodeRuleLocksMultiThreadDecodingWithHardwareDecoding)
{
    struct StoredCase {
        int hardware;
        int multiThread;
        int shownMultiThread;
        bool enabled;
    };
    for (const StoredCase c : {StoredCase{0, 0, 1, true}, StoredCase{1, 1, 0, false}, StoredCase{1, 0, 0, false}}) {
        ConfigInfo config = ValidConfig();
        config.m_SystemConfig.HardwareAccelMode = c.hardware;
        config.m_SystemConfig.MultiThreadDecode = c.multiThread;
        Seed(config);
        MakeForm();
        EXPECT_EQ(Combo("cmb_MultiThreadDecode")->currentIndex(), c.shownMultiThread) << c.hardware;
        EXPECT_EQ(Combo("cmb_MultiThreadDecode")->isEnabled(), c.enabled) << c.hardware;
        EXPECT_EQ(Child<QLabel>("lb_MultiThradDecode")->isEnabled(), c.enabled) << c.hardware;
        EXPECT_EQ(HardwareDecodeMode.load(), c.hardware) << "loaded as stored";
        EXPECT_EQ(MultiThreadDecodeMode.load(), c.multiThread);

        Combo("cmb_HardAccel")->setCurrentIndex(1 - c.hardware);
        EXPECT_EQ(Combo("cmb_MultiThreadDecode")->currentIndex(), c.hardware == 1 ? 1 : 0);
        EXPECT_EQ(Combo("cmb_MultiThreadDecode")->isEnabled(), c.hardware == 1);
        delete form;
    }
}

TEST_F(SysConfigTest, SoftwareDecodingTakesEffectWithoutTheOperatorsEdits)
{
    ConfigInfo config = ValidConfig();
    config.m_SystemConfig.HardwareAccelMode = 1;
    config.m_SystemConfig.MultiThreadDecode = 0;
    Seed(config);
    MakeForm();
    form->ShowWidget();
    Edit("le_SSID")->clear();
    Edit("le_DurationTime")->setText("55");
    HardwareDecodeMode = 1;
    MultiThreadDecodeMode = 0;

    form->SetHardwareDecode(0);
    EXPECT_EQ(Combo("cmb_HardAccel")->currentIndex(), 0);
    EXPECT_EQ(Combo("cmb_MultiThreadDecode")->currentIndex(), 1);
    EXPECT_EQ(HardwareDecodeMode.load(), 0);
    EXPECT_EQ(MultiThreadDecodeMode.load(), 1);
    const ConfigInfo saved = ReadAfresh();
    EXPECT_EQ(saved.m_SystemConfig.HardwareAccelMode, 0);
    EXPECT_EQ(saved.m_SystemConfig.MultiThreadDecode, 1);
    EXPECT_EQ(saved.m_SystemConfig.SSID, "line-ap") << "the unsaved edits stay unsaved";
    EXPECT_EQ(saved.m_WifiNet.iDurationTime, 10);
    EXPECT_EQ(Edit("le_DurationTime")->text(), "55");
    EXPECT_EQ(Tips(), "");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(receiver->Events(), QVector<Posted>{kSaved});

    // A mode that is none changes nothing.
    const QByteArray before = ConfigBytes();
    form->SetHardwareDecode(7);
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_EQ(Combo("cmb_HardAccel")->currentIndex(), 0);
    EXPECT_EQ(HardwareDecodeMode.load(), 0);
}

TEST_F(SysConfigTest, TheDecodingFallbackTakesEffectEvenWhenTheFileCannotBeWritten)
{
    ConfigInfo config = ValidConfig();
    config.m_SystemConfig.HardwareAccelMode = 1;
    config.m_SystemConfig.MultiThreadDecode = 0;
    Seed(config);
    MakeForm();
    BreakConfigFile();
    form->SetHardwareDecode(0);
    EXPECT_EQ(HardwareDecodeMode.load(), 0);
    EXPECT_TRUE(receiver->Events().isEmpty());
    Mend();
    Save();
    EXPECT_EQ(ReadAfresh().m_SystemConfig.HardwareAccelMode, 0) << "the next Save writes it";
}

// ---------------------------------------------------------------------------
// A work order's test configuration

TestConfig OrderConfig()
{
    TestConfig c;
    c.wifi_test_time = 15;
    c.wifi_average_speed = 6;
    c.wifi_signal_Level = -65;
    c.wifi_signal_quality = 0.5f;
    c.test_pattern = 0;
    c.signal_4g = 18;
    c.quality_4g = 0.25f;
    c.soft_version_4g = "EG91";
    c.is_version_check = 1;
    c.config_version = "V3.0";
    c.is_prompted_mismatch = 0;
    c.full_osd_show_info = "1,3";
    c.auto_test_info = "2,5";
    c.check_func_code = "3,20";
    c.ma_item_display = "2,24";
    c.is_lamp_plate_type_check = 1;
    c.check_lamp_plate_type = 5;
    c.is_auto_print_qrcode = 0;
    c.is_auto_check_qrcode = 1;
    return c;
}

TEST_F(SysConfigTest, AnOrdersListsCheckExactlyTheNumbersTheyHold)
{
    struct ListCase {
        const char* list;
        bool first, second, third;
    };
    const ListCase cases[] = {
        {"1,3", true, false, true},
        {" 1", false, false, false},
        {"", false, false, false},
        {"2,2,9,x", false, true, false},
    };
    WholeMachineTestMode = true;
    for (const ListCase& c : cases) {
        MakeForm();
        TestConfig order = OrderConfig();
        order.full_osd_show_info = c.list;
        order.auto_test_info = c.list;
        EXPECT_EQ(form->ApplyTestConfig(order), 0);
        EXPECT_EQ(Box("m_ckbAutomaticTest")->isChecked(), c.first) << c.list;
        EXPECT_EQ(Box("m_ckbManualTest")->isChecked(), c.second) << c.list;
        EXPECT_EQ(Box("m_ckbVersionInfo")->isChecked(), c.third) << c.list;
        EXPECT_EQ(Box("m_ckbRTC_Test")->isChecked(), c.first) << c.list;
        EXPECT_EQ(Box("m_ckbPTZ_Test")->isChecked(), c.second) << c.list;
        EXPECT_EQ(Box("m_ckbWifiSignal_Test")->isChecked(), c.third) << c.list;
        EXPECT_FALSE(Box("m_ckbFunctionCode_Test")->isChecked()) << c.list;
        EXPECT_FALSE(Box("m_ckbTFCard_Test")->isChecked()) << c.list;
        const ConfigInfo saved = ReadAfresh();
        EXPECT_EQ(saved.m_FullOsd.bAutoTest, c.first) << c.list;
        EXPECT_EQ(saved.m_AutoTest.bWifiSignal, c.third) << c.list;
        delete form;
    }
}

TEST_F(SysConfigTest, AnOrderIsAppliedLockedAndSaved)
{
    MakeController();
    MakeForm();
    form->SetController(controller.get());
    WholeMachineTestMode = true;
    EXPECT_EQ(form->ApplyTestConfig(OrderConfig()), 0);

    EXPECT_EQ(Edit("le_DurationTime")->text(), "15");
    EXPECT_EQ(Edit("le_AveSpeed")->text(), "6");
    EXPECT_EQ(Edit("le_Signal")->text(), "-65");
    EXPECT_EQ(Edit("le_Quality")->text(), "0.5");
    EXPECT_EQ(Edit("le_4GQuality")->text(), "0.25");
    EXPECT_EQ(Edit("le_TestMode")->text(), "0");
    EXPECT_EQ(Edit("le_Version")->text(), "V3.0");
    EXPECT_EQ(Combo("cmb_LightMode")->currentIndex(), 5);

    // Locked: the order's part; the station's own settings stay open.
    for (const char* locked : {"group_WIFI", "le_TestMode", "group_4G", "group_Version", "group_FullOSD",
                               "group_AutoTest", "group_FunctionCodeSet", "group_ManualItemDispSet",
                               "group_LightMode", "ckb_QRCode", "ckb_CheckQRCode", "m_btnManualAutomation"})
        EXPECT_FALSE(Child<QWidget>(locked)->isEnabled()) << locked;
    for (const char* open : {"le_SSID", "le_Password", "cmb_HardAccel", "ckb_IPSection", "le_PrintConfigPath",
                             "btn_browsPrintPath", "btn_QRCodeConfig", "btn_Save"})
        EXPECT_TRUE(Child<QWidget>(open)->isEnabled()) << open;
    form->SetEditable(true);
    EXPECT_TRUE(Child<QWidget>("group_WIFI")->isEnabled());

    const ConfigInfo saved = ReadAfresh();
    EXPECT_EQ(saved.m_WifiNet.iDurationTime, 15);
    EXPECT_EQ(saved.m_SystemConfig.WifiQuality, "0.5");
    EXPECT_EQ(saved.m_Config4G.SoftVersion, "EG91");
    EXPECT_EQ(saved.m_SystemConfig.SSID, "line-ap") << "an order leaves the network settings";
    EXPECT_TRUE(saved.m_LightMode.bUseLightModeTest);
    EXPECT_EQ(saved.m_LightMode.iLightMode, 5);
    EXPECT_FALSE(saved.m_PrintQrCode.bAutoPrint);
    EXPECT_TRUE(saved.m_PrintQrCode.bCheckQRCode);
    for (int n = 1; n <= FUNCODE_COUNT; ++n)
        EXPECT_EQ(saved.m_FunCode[n - 1], (n == 3 || n == 20) ? 1 : 0) << n;
    EXPECT_TRUE(saved.m_ManualItemDisplay.bHumanAlarmIO);
    EXPECT_TRUE(saved.m_ManualItemDisplay.bPresetCall);
    EXPECT_FALSE(saved.m_ManualItemDisplay.bTrumpet);
    const ConfigInfo held = controller->ConfigSnapshot();
    EXPECT_EQ(held.m_FunCode[2], 1);
    EXPECT_EQ(held.m_FunCode[19], 1);
    EXPECT_TRUE(receiver->Codes().contains(WM_CONFIG_SAVED));
}

TEST_F(SysConfigTest, AnOrdersScriptSurvivesItsAutoStartSwitch)
{
    ConfigInfo config = ValidConfig();
    config.m_ManualAutoTest.iNum = 1;
    config.m_ManualAutoTest.CurChoiseKey = "1";
    config.m_ManualAutoTest.AllKeyName = "1";
    config.m_ManualAutoTest.mapConfig.insert("1", "Old line#Q:3");
    Seed(config);
    const QVector<ManualItemDesc>& group = CMapManualDesc::GetInstance()->GetItemGroup(0);
    ASSERT_FALSE(group.isEmpty());

    MakeForm();
    WholeMachineTestMode = true;
    TestConfig order = OrderConfig();
    order.is_manual_auto_test = 1;
    order.ma_config_name = "Order line";
    order.stepLists = {{ConfigItem{group[0].iId, group[0].strDesc, 4}}};
    form->ApplyTestConfig(order);

    const ManualAutoTestConfig manual = ReadAfresh().m_ManualAutoTest;
    EXPECT_TRUE(manual.bAutoBeginRun);
    EXPECT_EQ(manual.iNum, 2);
    EXPECT_EQ(manual.CurChoiseKey, "2");
    EXPECT_EQ(manual.AllKeyName, "1,2");
    EXPECT_EQ(manual.mapConfig.value("2"), "Order line#" + group[0].strKeyName + ":4");
    EXPECT_EQ(manual.mapConfig.value("1"), "Old line#Q:3");
}

TEST_F(SysConfigTest, AnOrderOutsideTheWholeMachineModeIsCheckedButItsOwnTextsAreNot)
{
    MakeForm();
    // A level the operator could not type, and a lamp board that is none.
    TestConfig order = OrderConfig();
    order.wifi_signal_Level = 50;
    order.check_lamp_plate_type = 9;
    form->ApplyTestConfig(order);
    EXPECT_EQ(Tips(), "Save succeed!");
    EXPECT_EQ(Combo("cmb_LightMode")->currentIndex(), 2) << "the board stays as it was";
    EXPECT_EQ(ReadAfresh().m_SystemConfig.WifiSignal, "50");
    EXPECT_EQ(ReadAfresh().m_LightMode.iLightMode, 2);

    // An operator's unfinished text in an unlocked form is still refused.
    form->SetEditable(true);
    Edit("le_Signal")->setText("-");
    Save();
    EXPECT_EQ(Tips(), "wifi Signal must be -30 to -120!");

    // An empty SSID stops an order's save outside the whole-machine mode: the
    // order's values wait in the widgets.
    Edit("le_SSID")->clear();
    TestConfig second = OrderConfig();
    second.wifi_test_time = 40;
    form->ApplyTestConfig(second);
    EXPECT_EQ(Tips(), "SSID empty input!");
    EXPECT_EQ(Edit("le_DurationTime")->text(), "40");
    EXPECT_EQ(ReadAfresh().m_WifiNet.iDurationTime, 15);
}

// ---------------------------------------------------------------------------
// The editors, the template file, the close notices

TEST_F(SysConfigTest, EditorsOpenOnlyWithAControllerThatRunsNoScript)
{
    struct EditorCase {
        const char* button;
        std::function<QWidget*(SysConfigWidget*)> editor;
    };
    const EditorCase cases[] = {
        {"m_btnManualAutomation", [](SysConfigWidget* f) { return f->findChild<ManualTestAutomation*>(); }},
        {"btn_FunctionCodeSet", [](SysConfigWidget* f) { return f->findChild<FunctionCodeSetting*>(); }},
        {"btn_QRCodeConfig", [](SysConfigWidget* f) { return f->findChild<QRCodePrintSetting*>(); }},
        {"btn_ManualTestItemDisplay", [](SysConfigWidget* f) { return f->findChild<ManualTestItemDisplayDlg*>(); }},
    };
    BoxRecorder boxes;
    MakeController();
    for (const EditorCase& c : cases) {
        MakeForm();
        QWidget* editor = c.editor(form);
        ASSERT_NE(editor, nullptr) << c.button;
        QPushButton* button = Child<QPushButton>(c.button);

        button->click();
        EXPECT_FALSE(editor->isVisible()) << c.button << ": no controller yet";

        form->SetController(controller.get());
        Peer(*controller).m_bManalAutoTesting = true;
        Edit("le_PrintConfigPath")->setText(s_dir->file("PrintConfig/other.ini"));
        CurrentPrintConfigPath.clear();
        button->click();
        EXPECT_FALSE(editor->isVisible()) << c.button;
        EXPECT_EQ(boxes.texts, QStringList{"Error|it is being automated test, please wait"}) << c.button;
        if (QString(c.button) == "btn_QRCodeConfig") {
            EXPECT_EQ(CurrentPrintConfigPath, s_dir->file("PrintConfig/other.ini"));
        }

        Peer(*controller).m_bManalAutoTesting = false;
        button->click();
        EXPECT_TRUE(editor->isVisible()) << c.button;
        EXPECT_EQ(editor->parentWidget(), form);
        boxes.texts.clear();
        delete form;
    }
}

TEST_F(SysConfigTest, TheTemplateFileComesFromTheDialogHook)
{
    FileDialogHook::Request asked;
    QString answer = s_dir->file("PrintConfig/chosen.ini");
    FileDialogHook::Set([&](const FileDialogHook::Request& r) {
        asked = r;
        return answer;
    });
    MakeForm();
    Child<QPushButton>("btn_browsPrintPath")->click();
    EXPECT_EQ(asked.mode, FileDialogHook::Mode::Open);
    EXPECT_EQ(asked.parent, form);
    EXPECT_EQ(asked.caption, "select print config file");
    EXPECT_EQ(asked.dir, AppDirPath() + "/PrintConfig/");
    EXPECT_EQ(asked.filter, "*ini");
    EXPECT_EQ(Edit("le_PrintConfigPath")->text(), answer);
    EXPECT_EQ(CurrentPrintConfigPath, answer);

    answer.clear();
    Child<QPushButton>("btn_browsPrintPath")->click();
    EXPECT_EQ(Edit("le_PrintConfigPath")->text(), s_dir->file("PrintConfig/chosen.ini")) << "cancelled";
    EXPECT_EQ(CurrentPrintConfigPath, s_dir->file("PrintConfig/chosen.ini"));
    FileDialogHook::Clear();

    // The label editor may have switched templates: its close brings the path back.
    CurrentPrintConfigPath = s_dir->file("PrintConfig/saved-as.ini");
    QMetaObject::invokeMethod(form, "onPrintConfigClose");
    EXPECT_EQ(Edit("le_PrintConfigPath")->text(), CurrentPrintConfigPath);
}

TEST_F(SysConfigTest, ClosingAndTheDisplayFlagsNotifyTheReceiver)
{
    MakeForm();
    form->ShowWidget();
    form->close();
    EXPECT_EQ(receiver->Events(), QVector<Posted>{kClosed});
    receiver->Forget();

    // The item display dialog's close after a save reaches the form, which posts a refresh.
    auto* display = form->findChild<ManualTestItemDisplayDlg*>();
    ASSERT_NE(display, nullptr);
    display->onCloseWidget();
    EXPECT_EQ(receiver->Events(), QVector<Posted>{kSaved});

    // Without a receiver nothing is posted, and nothing breaks.
    SysConfigWidget orphan(nullptr);
    orphan.ShowWidget();
    orphan.close();
}

TEST_F(SysConfigTest, TheFormIsBuiltAsItsWindowRequires)
{
    MakeForm();
    // The form's width; its height at least the form's where the available
    // area allows with the title bar (more when the font needs it), never more.
    const int room = ScreenArea::Available().height() - ScreenArea::FrameHeight(form);
    EXPECT_EQ(form->width(), SysConfigWidget::FORM_WIDTH);
    EXPECT_GE(form->height(), qMin(SysConfigWidget::FORM_HEIGHT, room));
    EXPECT_LE(form->height(), room);
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_TRUE(form->windowFlags() & Qt::Dialog);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_EQ(form->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(form->parentWidget(), receiver.get());
    EXPECT_EQ(Combo("cmb_LightMode")->count(), 7);
    EXPECT_EQ(Combo("cmb_HardAccel")->itemText(1), "Hardware Decode");
    EXPECT_EQ(Edit("le_Signal")->placeholderText(), "Range:-30~-120");
    EXPECT_EQ(Edit("le_Password")->echoMode(), QLineEdit::Normal);
    for (const char* name : {"le_DurationTime", "le_AveSpeed", "le_SSID", "le_Password", "le_TestMode", "le_Version",
                             "le_Signal", "le_Quality"})
        EXPECT_EQ(Edit(name)->contextMenuPolicy(), Qt::NoContextMenu) << name;
    // Loaded from the store.
    EXPECT_EQ(Edit("le_Quality")->text(), "0.5");
    EXPECT_TRUE(Box("m_ckbVersionInfo")->isChecked());
    EXPECT_EQ(Combo("cmb_LightMode")->currentIndex(), 2);
    EXPECT_TRUE(Edit("le_Version")->isEnabled());
    EXPECT_FALSE(Edit("le_StartIP")->isEnabled());
    Box("ckb_UseVersion")->setChecked(false);
    EXPECT_FALSE(Edit("le_Version")->isEnabled());
    EXPECT_FALSE(Box("m_ckbVesionInfoTips")->isEnabled());
    Box("ckb_IPSection")->setChecked(true);
    EXPECT_TRUE(Edit("le_EndIP")->isEnabled());

    const QString dir = qEnvironmentVariable("STATION_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        form->ShowWidget();
        Edit("le_Signal")->setText("-");
        Save();
        QTest::qWait(50);
        EXPECT_TRUE(form->grab().save(dir + "/settings_form.png"));
    }
}

}  // namespace
