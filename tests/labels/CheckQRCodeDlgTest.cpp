#include "AppGlobals.h"
#include "BoxRecorder.h"
#include "CConfigFile.h"
#include "CheckQRCodeDlg.h"
#include "LabelPrintConfig.h"
#include "TempAppDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kFull = "http://app.example.test/api/url.php?v=0&s=bind://v1@t2:VT0123456789:508316";
const QString kBind = "bind://v1@t2:VT0123456789:508316";

// The controller's side of the check: the slot the dialog connects to.
class ScanReceiver : public QWidget {
    Q_OBJECT
public:
    QList<bool> results;
public slots:
    void onCheckQRCodeSignalEimt(bool bSame) { results << bSame; }
};

// One application folder for the process: the configuration store is created once.
class ScanCheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempAppDir("[PRINT_QRCODE_CONFIG]\nbCheckQRCode=true\n");
        s_dir->writeFile("PrintConfig/label.ini", "");
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    // Points the settings at a template with the given payload form.
    void UseTemplate(const QString& name, bool fullPayload)
    {
        CurrentPrintConfigPath = s_dir->file("PrintConfig/" + name);
        PrintTemplate t;
        t.width = 40;
        t.height = 30;
        t.bShowMac = true;
        t.bSupportJumpDownloadApp = fullPayload;
        ASSERT_TRUE(LabelPrintConfig::Instance()->Save(t));
        SelectTemplateFile(CurrentPrintConfigPath);
    }
    void SelectTemplateFile(QString path)   // by value: the store resets CurrentPrintConfigPath
    {
        ConfigInfo info;
        CConfigFile::GetInstance()->GetConfigInfo(info);
        info.m_PrintConfigFilePath = path;
        ASSERT_EQ(CConfigFile::GetInstance()->SaveAll(info), 0);
        CurrentPrintConfigPath.clear();   // the dialog must take it from the settings
    }

    static TempAppDir* s_dir;
};
TempAppDir* ScanCheckTest::s_dir = nullptr;

}  // namespace

TEST_F(ScanCheckTest, ScanMatchesOnlyTheExactPayloadOfTheTemplatesForm)
{
    const struct {
        bool full;
        QString scan;
        QString qr;
        QString bind;
        bool same;
        const char* name;
        Qt::Key end = Qt::Key_Return;   // the keypad's Enter ends a scan too
    } cases[] = {
        {true, kFull, kFull, kBind, true, "full payload, exact"},
        {true, kFull.toUpper(), kFull, kBind, false, "full payload, case changed"},
        {true, kFull + " ", kFull, kBind, false, "full payload, trailing blank"},
        {true, kBind, kFull, kBind, false, "bind text where the full payload is printed"},
        {true, "", kFull, kBind, false, "empty scan"},
        {false, kBind, kFull, kBind, true, "bind text, exact"},
        {false, kBind, kFull, kBind, true, "bind text, exact, keypad Enter", Qt::Key_Enter},
        {false, kFull, kFull, kBind, false, "full payload where the bind text is printed"},
        {false, " " + kBind, kFull, kBind, false, "leading blank"},
        {false, "", kFull, "", false, "empty scan and empty expected text"},
        {true, "x", "", kBind, false, "empty expected text"},
    };
    for (const auto& c : cases) {
        UseTemplate("label.ini", c.full);
        ScanReceiver receiver;
        auto* dlg = new CheckQRCodeDlg(c.qr, c.bind, &receiver);
        EXPECT_EQ(dlg->ComparesFullCode(), c.full) << c.name;
        EXPECT_EQ(CurrentPrintConfigPath, s_dir->file("PrintConfig/label.ini")) << c.name;
        QSignalSpy spy(dlg, &CheckQRCodeDlg::addCheckItem);
        dlg->show();
        QTest::keyClicks(dlg->ScanEdit(), c.scan);
        QTest::keyClick(dlg->ScanEdit(), c.end, c.end == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        ASSERT_EQ(spy.count(), 1) << c.name;
        EXPECT_EQ(spy.at(0).at(0).toBool(), c.same) << c.name;
        EXPECT_EQ(receiver.results, QList<bool>{c.same}) << c.name;
        EXPECT_FALSE(dlg->isVisible()) << c.name;
    }
}

TEST_F(ScanCheckTest, EscapeKeepsTheDialogOpenAndReportsNothing)
{
    UseTemplate("label.ini", true);
    auto dlg = std::make_unique<CheckQRCodeDlg>(kFull, kBind, nullptr);
    QSignalSpy spy(dlg.get(), &CheckQRCodeDlg::addCheckItem);
    dlg->show();
    QTest::keyClicks(dlg->ScanEdit(), kFull);
    QTest::keyClick(dlg->ScanEdit(), Qt::Key_Escape);
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(dlg->ScanEdit()->text(), kFull);
}

TEST_F(ScanCheckTest, UnreadableTemplateComparesTheBindTextAndShowsTheBox)
{
    s_dir->writeFile("PrintConfig/old.ini", "[OTHER]\nbSupportJumpDownloadApp=true\n[LABELS]\niSize=1\n0=\"0,1\"\n");
    SelectTemplateFile(s_dir->file("PrintConfig/old.ini"));
    auto boxes = std::make_unique<BoxRecorder>();
    CheckQRCodeDlg dlg(kFull, kBind, nullptr);
    EXPECT_EQ(boxes->texts, QStringList{"error|moudle file's label field number is error"});
    boxes.reset();
    // The flags read before the bad line still count: the full payload is compared.
    EXPECT_TRUE(dlg.ComparesFullCode());

    SelectTemplateFile(s_dir->file("PrintConfig/none.ini"));
    CheckQRCodeDlg missing(kFull, kBind, nullptr);
    EXPECT_FALSE(missing.ComparesFullCode());
}

TEST_F(ScanCheckTest, FormAndWindowFlags)
{
    UseTemplate("label.ini", true);
    CheckQRCodeDlg dlg(kFull, kBind, nullptr);
    EXPECT_EQ(dlg.objectName(), "CheckQRCodeDlg");
    EXPECT_EQ(dlg.size(), QSize(1007, 55));
    EXPECT_EQ(dlg.ScanEdit()->objectName(), "le_QRCode");
    // The field keeps the form's row and right edge; it starts at 90 unless the
    // caption before it needs the room.
    const QRect field = dlg.ScanEdit()->geometry();
    const QRect caption = dlg.findChild<QLabel*>("label")->geometry();
    EXPECT_EQ(field.y(), 20);
    EXPECT_EQ(field.height(), 20);
    EXPECT_EQ(field.right(), 90 + 881 - 1);
    EXPECT_EQ(field.left(), qMax(90, caption.right() + 6));
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dlg.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
}

#include "CheckQRCodeDlgTest.moc"
