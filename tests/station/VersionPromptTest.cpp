// The configuration-version prompt: its layout, and its answer written
// through the configuration store while the chain judges the camera.
#include "ChainFixture.h"

#include "VersionInfoTips.h"

#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCodec>

namespace {

class VersionPromptTest : public ChainTestBase {
protected:
    void SetUp() override
    {
        ChainTestBase::SetUp();
        SetConfig([](ConfigInfo& c) { c.m_Tips.bVesionInfo = true; });
        CurrentTestType = 1;
        cam = Camera(WIRED);
        SetVersion(cam, "V9.9.9");
        // The file as the operator left it, with a text of the store's encoding.
        CConfigFile* store = CConfigFile::GetInstance();
        ConfigInfo info;
        store->GetConfigInfo(info);
        info.m_UIVerion.bUseVersion = true;
        info.m_UIVerion.strVersion = kVersion;
        info.m_Tips.bVesionInfo = true;
        info.m_LoginInfo.LoginUserName = QString::fromUtf8("测试员");
        ASSERT_EQ(store->SaveAll(info), 0);
    }

    static QByteArray ConfigBytes()
    {
        QFile file(CConfigFile::GetInstance()->FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QByteArray Gb2312(const QString& text) { return QTextCodec::codecForName("GB2312")->fromUnicode(text); }

    // Runs cam's chain; answer gets the prompt each time one opens.
    void RunChain(const std::function<int(VersionInfoTips*)>& answer)
    {
        ModalHook::Set([&](QDialog* dialog) {
            ++prompts;
            auto* tips = qobject_cast<VersionInfoTips*>(dialog);
            EXPECT_NE(tips, nullptr);
            return tips ? answer(tips) : int(QDialog::Rejected);
        });
        host.panel->ClearAutoTestResults();
        StartChain(cam);
        ASSERT_TRUE(WaitFor([&] { return Finished(); }, 20000));
        ModalHook::Clear();
    }

    SimCam cam;
    int prompts = 0;
};

TEST(VersionPromptLayoutTest, TheDialogAndItsControlsFollowTheAvailableArea)
{
    const VersionInfoTips::Layout l = VersionInfoTips::LayoutFor(1920, 1040);
    EXPECT_EQ(l.dialog, QRect(640, 347, 640, 346));
    EXPECT_EQ(l.yes, QRect(128, 301, 128, 34));
    EXPECT_EQ(l.no, QRect(384, 301, 128, 34));
    EXPECT_EQ(l.message, QRect(138, 39, 502, 86));
    EXPECT_EQ(l.checkBox, QRect(138, 130, 502, 34));
    EXPECT_EQ(l.configLabel, QRect(138, 164, 91, 28));
    EXPECT_EQ(l.configEdit, QRect(234, 164, 401, 28));
    EXPECT_EQ(l.equipLabel, QRect(138, 197, 91, 28));
    EXPECT_EQ(l.equipEdit, QRect(234, 197, 401, 28));

    VersionInfoTips tips(nullptr);
    tips.SetConfigVersion("V1");
    tips.SetEquipVersion("V2");
    tips.InitUI();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const VersionInfoTips::Layout here = VersionInfoTips::LayoutFor(area.width(), area.height());
    EXPECT_EQ(tips.geometry(), here.dialog);
    EXPECT_EQ(tips.findChild<QPushButton*>("btnYes")->geometry(), here.yes);
    EXPECT_EQ(tips.findChild<QPushButton*>("btnNo")->geometry(), here.no);
    EXPECT_EQ(tips.findChild<QLineEdit*>("editConfigVersion")->text(), "V1");
    EXPECT_EQ(tips.findChild<QLineEdit*>("editEquipVersion")->text(), "V2");
    EXPECT_FALSE(tips.findChild<QLineEdit*>("editEquipVersion")->isEnabled());
}

TEST_F(VersionPromptTest, YesMakesTheCamerasVersionTheConfiguredOneInTheStore)
{
    const QByteArray name = Gb2312(QString::fromUtf8("测试员"));
    ASSERT_TRUE(ConfigBytes().contains(name));
    QString shownConfig;
    QString shownEquip;
    RunChain([&](VersionInfoTips* tips) {
        shownConfig = tips->findChild<QLineEdit*>("editConfigVersion")->text();
        shownEquip = tips->findChild<QLineEdit*>("editEquipVersion")->text();
        tips->findChild<QPushButton*>("btnYes")->click();
        return tips->result();
    });
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(shownConfig, "V5.2.0.20261120");
    EXPECT_EQ(shownEquip, "V9.9.9");
    // This camera stays abnormal: the answer is for the ones after it.
    EXPECT_TRUE(host.Lines().contains("!Version information:abnormal"));
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.m_iTestVersion, -1);

    const QByteArray bytes = ConfigBytes();
    EXPECT_TRUE(bytes.contains("szVersion=V9.9.9"));
    EXPECT_TRUE(bytes.contains("bVesionInfo=true"));
    EXPECT_TRUE(bytes.contains(name)) << "other values keep their bytes";
    // The store's record took the answer too, so saving everything keeps it.
    ConfigInfo info;
    CConfigFile::GetInstance()->GetConfigInfo(info);
    EXPECT_EQ(info.m_UIVerion.strVersion, "V9.9.9");
    ASSERT_EQ(CConfigFile::GetInstance()->SaveAll(info), 0);
    EXPECT_TRUE(ConfigBytes().contains("szVersion=V9.9.9"));

    // The next camera of that version passes without a prompt.
    EXPECT_EQ(widget->ConfigSnapshot().m_UIVerion.strVersion, "V9.9.9");
    RunChain([](VersionInfoTips*) { return int(QDialog::Rejected); });
    EXPECT_EQ(prompts, 1);
    EXPECT_TRUE(host.Lines().contains("Version information:normal"));
}

TEST_F(VersionPromptTest, NoWithDoNotRemindTurnsTheTipsOffAndKeepsTheVersion)
{
    RunChain([](VersionInfoTips* tips) {
        tips->findChild<QCheckBox*>("checkDoNotRemind")->setChecked(true);
        tips->findChild<QPushButton*>("btnNo")->click();
        return tips->result();
    });
    const QByteArray bytes = ConfigBytes();
    EXPECT_TRUE(bytes.contains("szVersion=V5.2.0.20261120"));
    EXPECT_TRUE(bytes.contains("bVesionInfo=false"));
    EXPECT_FALSE(widget->ConfigSnapshot().m_Tips.bVesionInfo);
    // The next mismatch is judged without asking.
    RunChain([](VersionInfoTips*) { return int(QDialog::Rejected); });
    EXPECT_EQ(prompts, 1);
    EXPECT_TRUE(host.Lines().contains("!Version information:abnormal"));
}

TEST_F(VersionPromptTest, TickingTwiceRemindsAgainAndClosingWritesNothing)
{
    const QByteArray before = ConfigBytes();
    RunChain([](VersionInfoTips* tips) {
        auto* box = tips->findChild<QCheckBox*>("checkDoNotRemind");
        box->setChecked(true);
        box->setChecked(false);
        EXPECT_FALSE(tips->IsDoNotRemind());
        tips->reject();
        return tips->result();
    });
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_TRUE(widget->ConfigSnapshot().m_Tips.bVesionInfo);

    // In work-order mode nobody is asked.
    WholeMachineTestMode = true;
    RunChain([](VersionInfoTips*) { return int(QDialog::Rejected); });
    EXPECT_EQ(prompts, 1);
}

}  // namespace
