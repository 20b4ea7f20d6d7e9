// Every window, dialog and panel of the station on a 1920 x 1080 and on a
// 1366 x 768 screen, and on a 1366 x 768 screen whose task bar leaves 728
// rows, filled with the texts a session puts there: each label, check box,
// button, combo box, group title, tab, table header and list line shows its
// whole text inside its parent and on the available area, and no window is
// titled with its class name. Besides each window's first state: a refusal
// shown, the throughput port held by another program, a long adapter name.
#include "FitCheck.h"

#include "AddCustomContentDlg.h"
#include "AppGlobals.h"
#include "CheckQRCodeDlg.h"
#include "CustomLabel.h"
#include "Dravonix.h"
#include "EditCustomContentDlg.h"
#include "ElidedComboBox.h"
#include "HostAdapters.h"
#include "FunctionCodeSetting.h"
#include "LeftBottomWidget.h"
#include "LeftTopWidget.h"
#include "Login_Dlg.h"
#include "MainviewVideoWidget.h"
#include "ManualTestAutomation.h"
#include "ManualTestItemDisplayDlg.h"
#include "NotLoginModeDlg.h"
#include "OrderChooseDialog.h"
#include "QNvrWebMessageBox.h"
#include "QRCodePrintSetting.h"
#include "RightBottomWidget.h"
#include "ScreenArea.h"
#include "SysConfigWidget.h"
#include "TempAppDir.h"
#include "UploadTestResultDialog.h"
#include "VersionInfoTips.h"
#include "VideoForm.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

// Every manual item and its result texts shown, every overlay switch on.
const char kConfig[] =
    "[CONFIG]\niLogSwitch=1\n"
    "[FULL_OSD]\nbAutoTest=true\nbManualTest=true\nbVersionInfo=true\n";

// The station's states beyond its first one that change how it is built.
enum class StationState {
    Usual,
    ThroughputPortHeld,   // another program holds port 3600: the Wi-Fi panel says so
    LongAdapterName,      // the network card's description is longer than its box
};

// A screen, and the part of it a task bar leaves to windows.
struct ScreenCase {
    const char* name;
    QSize size;
    QRect available;
    QRect Available() const { return available.isEmpty() ? QRect(QPoint(0, 0), size) : available; }
};

// Holds port 3600 the way another program would while it lives.
class PortHolder {
public:
    PortHolder()
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(3600);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0
            && (bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 || listen(m_fd, 1) < 0)) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~PortHolder()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool Holds() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The station on a screen of one size, with an order, a device under test and
// results on every panel.
class Station {
public:
    Station(const ScreenCase& screen, StationState state) : m_dir(QByteArray(kConfig))
    {
        CopySkin();
        ScreenArea::SetStandIn(screen.size, screen.available);
        if (state == StationState::LongAdapterName)
            HostAdapters::SetOverride({{"Intel(R) Ethernet Connection (7) I219-LM #2 - Production line port",
                                        "127.0.0.5", "255.255.255.0", QByteArray("\x02\x11\x22\x33\x44\x55", 6)}});
        if (state == StationState::ThroughputPortHeld)
            m_port = std::make_unique<PortHolder>();
        CurrentTestType = 0;
        window = std::make_unique<Dravonix>();
        // Logged in to a station in work-order mode, as the login leaves it.
        LoggedIn = true;
        WholeMachineTestMode = true;
        AfterSalesRight = true;
        FillSession();
        window->show();
        window->VideoWindow()->show();
        window->ResultPanel()->ShowOnTop(true);
        Settle();
    }
    ~Station()
    {
        window.reset();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        ScreenArea::SetStandIn(QSize());
        HostAdapters::ClearOverride();
        LoggedIn = false;
        WholeMachineTestMode = false;
        AfterSalesRight = false;
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    SysConfigWidget* Settings() const { return window->SettingsForm(); }
    template <typename T>
    T* Editor() const { return Settings()->findChild<T*>(); }

    // Waits until the Wi-Fi panel says that its server cannot take its port
    // (held here, or by another program); false when nothing was said.
    bool PortTroubleShown() const
    {
        auto* trouble = window->findChild<QLabel*>("m_lb_ServerState");
        if (!trouble)
            return false;
        const bool shown = QTest::qWaitFor([trouble] { return !trouble->isHidden(); }, 15000);
        Settle();
        return shown;
    }
    bool PortHeld() const { return m_port && m_port->Holds(); }

    TempAppDir m_dir;
    std::unique_ptr<PortHolder> m_port;   // before the window, which takes the port once it is free
    std::unique_ptr<Dravonix> window;

private:
    // The pictures the windows show (logos, button skins) take room too.
    void CopySkin()
    {
        const QDir from(qEnvironmentVariable("STATION_SOURCE_DIR") + "/main/Skin");
        ASSERT_TRUE(from.exists()) << from.path().toStdString();
        QDir(m_dir.path()).mkpath("Skin");
        for (const QString& name : from.entryList(QDir::Files))
            QFile::copy(from.filePath(name), m_dir.file("Skin/" + name));
    }

    void FillSession()
    {
        window->onLoginSignalEimt("operator01", "Shenzhen Example Technology Co., Ltd.", "42");
        window->SetOrderDataDisplay("Order Num:WO20240301-01 \ntotal:1000 Completed Num:250 operator01:120 ");
        LeftBottomWidget* info = window->GetInfoPanel();
        info->SetVersionInfo("V5.6.12.3.240301");
        info->SetSDInfo("card capacity:29.7GB");
        info->SetSN("VT21LN0000000005");

        RightBottomWidget* manual = window->GetManualPanel();
        ConfigInfo config;
        for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
            config.m_ManualItemDisplay.at(i) = true;
        manual->SetConfig(config);
        // As an order's test type does: the panels are laid out for the shown items.
        window->ResizeLayout();
        manual->SetWifiSignalResult("Signal:-45\nQuality:30", true);
        manual->SetFunctionCodeResult("function code check succeed", true);
        manual->SetRestoreFactoryInfo("restory succeed ,will take effect after reboot");
        manual->SetFormatResult("format succeed", true);
        manual->SetSDCardInfo("card capacity:29.7GB", "card space:29.5GB");
        for (const char* line : {"SN information:normal", "Version information:normal",
                                 "function code check succeed", "TFCard Test:normal(32GB)"})
            manual->AddAutoTestResult(line, 1);
        manual->AddAutoTestResult("The automatic test item has not been completed and will not be uploaded", 0);

        auto* wifi = window->findChild<QTableView*>("m_WIFITableView");
        auto* model = qobject_cast<QStandardItemModel*>(wifi->model());
        model->appendRow({new QStandardItem("12.50 MB"), new QStandardItem("18.50 Mb/sec"),
                          new QStandardItem("18.40 Mb/sec"), new QStandardItem("OK")});

        VideoForm* pane = window->VideoWindow()->GetVideoForm();
        pane->SetTestResultText(VideoForm::RESULT_AUTO, "SN information:normal", true);
        pane->SetTestResultText(VideoForm::RESULT_AUTO, "function code check succeed", true);
        pane->SetTestResultText(VideoForm::RESULT_MANUAL, "restory succeed ,will take effect after reboot", true);
        pane->SetTestResultText(VideoForm::RESULT_VERSION, "V5.6.12.3.240301", true);
        pane->ShowTestOSD(true);
    }
};

using Check = std::function<void(QWidget* window)>;

// Opens one window of the station and hands it to the check while it is shown.
struct WindowCase {
    const char* name;
    std::function<void(Station&, const Check&)> open;
    bool floatingAbove = false;   // the video window and the result panel may cover it
    StationState state = StationState::Usual;
};

// The script editor refusing a step without its seconds.
void ScriptRefusal(Station& s, const Check& check)
{
    auto* editor = s.Editor<ManualTestAutomation>();
    editor->LoadConfig();
    editor->show();
    editor->findChild<QLineEdit*>("m_leAddConfig")->setText("Line A");
    QTest::mouseClick(editor->findChild<QPushButton*>("m_btnAddConfig"), Qt::LeftButton);
    QComboBox* item = nullptr;
    for (QComboBox* box : editor->findChildren<QComboBox*>())
        if (box->property("cmb_index") == QVariant(0))
            item = box;
    ASSERT_NE(item, nullptr);
    item->setCurrentIndex(item->findText("Trumpet Test"));
    ASSERT_GT(item->currentIndex(), 0);
    QTest::mouseClick(editor->findChild<QPushButton*>("m_btnSave"), Qt::LeftButton);
    Station::Settle();
    ASSERT_TRUE(editor->findChild<QLabel*>("m_lbTips")->text().startsWith("row 1: enter the seconds of Trumpet Test"));
    check(editor);
    item->setCurrentIndex(0);
    editor->hide();
}

// The network-card box cuts a long adapter name, never the address before it.
void MainWindowWithLongAdapterName(Station& s, const Check& check)
{
    auto* box = s.window->findChild<ElidedComboBox*>("m_cbbNetworkCard");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->ShownText().startsWith("[127.0.0.5]")) << box->ShownText().toStdString();
    EXPECT_EQ(box->toolTip(), box->currentText());
    check(s.window.get());
}

void MainWindowWithPortHeld(Station& s, const Check& check)
{
    if (!s.PortTroubleShown()) {
        if (!s.PortHeld())
            GTEST_SKIP() << "port 3600 could not be held on this machine";
        FAIL() << "the Wi-Fi panel says nothing while its port is held";
    }
    check(s.window.get());
}

void ShowAndCheck(QWidget* window, const Check& check)
{
    window->show();
    Station::Settle();
    check(window);
    window->hide();
}

void AddItemDialog(int type, Station& s, const Check& check)
{
    auto* designer = s.Editor<QRCodePrintSetting>();
    designer->show();
    AddCustomContentDlg dialog(type, designer);
    ShowAndCheck(&dialog, check);
    designer->hide();
}

void EditItemDialog(int index, Station& s, const Check& check)
{
    auto* designer = s.Editor<QRCodePrintSetting>();
    designer->show();
    Station::Settle();
    CustomLabel* item = nullptr;
    for (CustomLabel* label : designer->Labels())
        if (label->index == index)
            item = label;
    ASSERT_NE(item, nullptr) << index;
    LabelItemEditParam param;
    param.width = 20;
    param.height = 8;
    param.fontSize = 3;
    param.text = "VT21LN0000000005";
    EditCustomContentDlg dialog(item->type, param, LabelItemCoordinate{2, 2}, index, item);
    ShowAndCheck(&dialog, check);
    designer->hide();
}

const WindowCase kWindows[] = {
    {"MainWindow", [](Station& s, const Check& check) { check(s.window.get()); }, true},
    {"VideoWindow", [](Station& s, const Check& check) { check(s.window->VideoWindow()); }},
    {"ManualResultPanel",
     [](Station& s, const Check& check) {
         UploadTestResultDialog* panel = s.window->ResultPanel();
         TestConfig order;
         order.upload_test_result_display = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23";
         order.customize_test_items = {{1, "Night vision distance check", "night_vision", 0}};
         panel->SetManualTestItems(order);
         panel->SetBallCameraMode(true);
         Station::Settle();
         check(panel);
     }},
    {"Settings", [](Station& s, const Check& check) { s.window->onSystemConfigBtnClicked(); Station::Settle();
                                                      check(s.Settings()); s.Settings()->hide(); }},
    {"FunctionCodes", [](Station& s, const Check& check) { ShowAndCheck(s.Editor<FunctionCodeSetting>(), check); }},
    {"ManualScripts", [](Station& s, const Check& check) { ShowAndCheck(s.Editor<ManualTestAutomation>(), check); }},
    {"ManualScriptsRefusal", ScriptRefusal},
    {"ManualItemDisplay",
     [](Station& s, const Check& check) { ShowAndCheck(s.Editor<ManualTestItemDisplayDlg>(), check); }},
    {"LabelDesigner", [](Station& s, const Check& check) { ShowAndCheck(s.Editor<QRCodePrintSetting>(), check); }},
    {"AddTextItem", [](Station& s, const Check& check) { AddItemDialog(0, s, check); }},
    {"AddLineItem", [](Station& s, const Check& check) { AddItemDialog(1, s, check); }},
    {"AddPictureItem", [](Station& s, const Check& check) { AddItemDialog(3, s, check); }},
    {"AddBarcodeItem", [](Station& s, const Check& check) { AddItemDialog(4, s, check); }},
    {"EditSerialText", [](Station& s, const Check& check) { EditItemDialog(1, s, check); }},
    {"EditSerialBarcode", [](Station& s, const Check& check) { EditItemDialog(2, s, check); }},
    {"QrCheck",
     [](Station& s, const Check& check) {
         CheckQRCodeDlg dialog("https://example.invalid/app?sn=VT21LN0000000005", "VT21LN0000000005",
                               s.window->GetController());
         ShowAndCheck(&dialog, check);
     }},
    {"Login", [](Station& s, const Check& check) { ShowAndCheck(s.window->LoginDialog(), check); }},
    {"NotLoggedIn",
     [](Station& s, const Check& check) {
         NotLoginModeDlg dialog(s.window->LoginDialog());
         ShowAndCheck(&dialog, check);
     }},
    {"WorkOrder",
     [](Station& s, const Check& check) {
         OrderChooseDialog* dialog = s.window->OrderDialog();
         dialog->SetOrderList({{"WO20240301-01", "VT-IPC-C21LN-4G", "25%"}, {"WO20240302-07", "VT-IPC-B10", "0%"}});
         ShowAndCheck(dialog, check);
     }},
    {"VersionPrompt",
     [](Station& s, const Check& check) {
         VersionInfoTips prompt(s.window->GetController());
         prompt.SetConfigVersion("V5.6.12.3.240301");
         prompt.SetEquipVersion("V5.6.11.9.231120");
         prompt.InitUI();
         ShowAndCheck(&prompt, check);
     }},
    {"MessageBox",
     [](Station& s, const Check& check) {
         QNvrWebMessageBox box(s.window.get());
         box.SetTitle("Error");
         box.SetMessage("single fixed IP test mode only use test interligent_ipc or exterme_ipc, please select "
                        "dev type again");
         ShowAndCheck(&box, check);
     }},
    {"MainWindowPortHeld", MainWindowWithPortHeld, true, StationState::ThroughputPortHeld},
    {"MainWindowLongAdapterName", MainWindowWithLongAdapterName, true, StationState::LongAdapterName},
};

// The message box's form parks its close button outside the box, where it is never seen.
const QString kNeverShown = QStringLiteral("QNvrWebMessageBox/m_btnClose");

void PrintTo(const ScreenCase& screen, std::ostream* os)
{
    *os << screen.name;
}

void PrintTo(const WindowCase& window, std::ostream* os)
{
    *os << window.name;
}

const ScreenCase kScreens[] = {{"1920x1080", {1920, 1080}, {}},
                               {"1366x768", {1366, 768}, {}},
                               {"1366x768 less a task bar", {1366, 768}, {0, 0, 1366, 728}}};

class WindowFitTest : public ::testing::TestWithParam<std::tuple<ScreenCase, WindowCase>> {
protected:
    // The offscreen platform's own default font is larger than the one the
    // station gets under X11 without a desktop theme; the checks use the latter.
    static void SetUpTestSuite()
    {
        s_platformFont = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    }
    static void TearDownTestSuite()
    {
        s_station.reset();
        QApplication::setFont(s_platformFont);
    }

    const ScreenCase& Screen() const { return std::get<0>(GetParam()); }
    const WindowCase& Window() const { return std::get<1>(GetParam()); }

    // One station per screen and state, kept while the cases of both run.
    Station& StationForScreen()
    {
        const QString key = QString("%1 %2").arg(Screen().name).arg(int(Window().state));
        if (!s_station || s_key != key) {
            s_station.reset();
            s_station = std::make_unique<Station>(Screen(), Window().state);
            s_key = key;
        }
        return *s_station;
    }

    static std::unique_ptr<Station> s_station;
    static QString s_key;
    static QFont s_platformFont;
};

std::unique_ptr<Station> WindowFitTest::s_station;
QString WindowFitTest::s_key;
QFont WindowFitTest::s_platformFont;

// With STATION_SCREENSHOT_DIR set, each checked window is saved there to be looked at.
void SaveScreenshot(QWidget* window)
{
    const QString dir = qEnvironmentVariable("STATION_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QString name = QString::fromStdString(std::string(test->name()));
    name.replace('/', '_');
    EXPECT_TRUE(window->grab().save(dir + "/" + name + ".png"));
}

TEST_P(WindowFitTest, EveryTextShowsWhole)
{
    Station& station = StationForScreen();
    QList<QWidget*> floating;
    if (Window().floatingAbove)
        floating = {station.window->VideoWindow(), station.window->ResultPanel()};
    Window().open(station, [&](QWidget* window) {
        const std::vector<Misfit> misfits = FitCheck(Screen().Available(), floating).Run(window);
        for (const Misfit& m : misfits)
            if (m.widget != kNeverShown)
                ADD_FAILURE() << m;
        SaveScreenshot(window);
    });
}

TEST_P(WindowFitTest, TitledWithACaptionNotItsClassName)
{
    Station& station = StationForScreen();
    Window().open(station, [](QWidget* window) {
        // A frameless window shows no title.
        if (!window->windowFlags().testFlag(Qt::FramelessWindowHint)) {
            EXPECT_NE(window->windowTitle().toStdString(), window->metaObject()->className());
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Station, WindowFitTest, ::testing::Combine(::testing::ValuesIn(kScreens),
                                                                     ::testing::ValuesIn(kWindows)),
                         [](const auto& info) {
                             const ScreenCase& screen = std::get<0>(info.param);
                             std::string name = std::string(std::get<1>(info.param).name) + "_"
                                 + std::to_string(screen.size.width());
                             if (!screen.available.isEmpty())
                                 name += "x" + std::to_string(screen.available.height());
                             return name;
                         });

}  // namespace
