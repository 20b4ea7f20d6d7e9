// The manual script editor: the stored script text and its readers, scripts
// saved and read back through config.ini, keys, Add / Save / Delete and their
// refusals, an order's script, and what the controller is handed.
#include "ManualTestAutomation.h"

#include "BoxRecorder.h"
#include "ManualPanelFixture.h"
#include "ManualStoreFixture.h"

#include "AppGlobals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using Steps = QStringList;

QByteArray ScriptGroup(const QByteArray& lines)
{
    return "[MANUAL_AUTO_TEST]\n" + lines;
}

TEST(ScriptText, ReadersSplitTheTextAsStored)
{
    struct TextCase {
        const char* text;
        const char* name;
        Steps steps;
    };
    const TextCase cases[] = {
        {"Line A#Q:5,I:1", "Line A", {"Q:5", "I:1"}},
        {"Empty#", "Empty", {""}},
        {"#Q:5", "", {"Q:5"}},
        {"NoHash", "", {""}},
        {"a,b#Q:1", "", {"Q:1"}},
        {"x#y#Q:1", "x", {"y#Q:1"}},
        {"L#Q:5, R :2,Q", "L", {"Q:5", " R :2", "Q"}},
        {"", "", {""}},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(ManualTestAutomation::DisplayNameOf(c.text), QString::fromUtf8(c.name)) << c.text;
        EXPECT_EQ(ManualTestAutomation::StepListOf(c.text), c.steps) << c.text;
    }
}

TEST(ScriptText, ANewKeyIsAboveEveryNumericKeyAndNeverInUse)
{
    struct KeyCase {
        QStringList keys;
        const char* next;
    };
    const KeyCase cases[] = {
        {{}, "1"},
        {{"1", "2", "3"}, "4"},
        {{"1", "3"}, "4"},
        {{"1", "2"}, "3"},
        {{"5", "2"}, "6"},          // the last key is not the largest
        {{"1", "2", "3", "4"}, "5"},  // 4 added and not saved yet
        {{"x", ""}, "1"},
        {{"x", "1"}, "2"},
        {{"-7", "0"}, "1"},
        {{"2147483647"}, "2147483648"},
        {{"9223372036854775807", "3"}, "4"},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(ManualTestAutomation::NextScriptKey(c.keys), QString(c.next)) << c.keys.join(",").toStdString();
}

TEST(ScriptText, AnOrdersNameIsStoredWithoutSeparators)
{
    EXPECT_EQ(ManualTestAutomation::StoredScriptName("Line A"), QString("Line A"));
    EXPECT_EQ(ManualTestAutomation::StoredScriptName("A,B#C"), QString("A_B_C"));
    EXPECT_EQ(ManualTestAutomation::StoredScriptName(QString::fromUtf8("产线一")), QString::fromUtf8("产线一"));
}

// An editor over the process's config.ini with test type 0 and a fake controller.
class ScriptEditorTest : public ManualStoreTest {
protected:
    void SetUp() override
    {
        ManualStoreTest::SetUp();
        CurrentTestType = 0;
    }

    void TearDown() override
    {
        editor.reset();
        ManualStoreTest::TearDown();
    }

    void Open(const QByteArray& ini)
    {
        Reseed(ini);
        editor = std::make_unique<ManualTestAutomation>();
        editor->SetController(&controller);
    }

    template <typename T>
    T* Child(const char* name) const
    {
        T* child = editor->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QComboBox* Scripts() const { return Child<QComboBox>("m_cbxConfigChoise"); }
    QString Tips() const { return Child<QLabel>("m_lbTips")->text(); }
    QTimer* CloseTimer() const { return editor->findChild<QTimer*>(); }
    void Click(const char* button) { Child<QPushButton>(button)->click(); }

    // The 33 row combos and edits, in row order.
    QList<QComboBox*> RowCombos() const
    {
        QList<QComboBox*> combos;
        for (QComboBox* combo : editor->findChildren<QComboBox*>())
            if (combo->property("cmb_index").isValid())
                combos << combo;
        return combos;
    }
    QList<QLineEdit*> RowEdits() const
    {
        QList<QLineEdit*> edits;
        for (QLineEdit* edit : editor->findChildren<QLineEdit*>())
            if (edit->objectName().isEmpty())
                edits << edit;
        return edits;
    }

    void SetRow(int row, const char* keyName, const char* seconds)
    {
        QComboBox* combo = RowCombos().at(row);
        combo->setCurrentIndex(combo->findData(QString::fromLatin1(keyName)));
        RowEdits().at(row)->setText(QString::fromLatin1(seconds));
    }

    // Row i as (key name, seconds), or "hidden".
    QStringList Rows(int count) const
    {
        QStringList rows;
        const QList<QComboBox*> combos = RowCombos();
        const QList<QLineEdit*> edits = RowEdits();
        for (int i = 0; i < count; ++i) {
            if (combos[i]->isHidden())
                rows << "hidden";
            else
                rows << combos[i]->currentData().toString() + ":" + edits[i]->text();
        }
        return rows;
    }

    void AddScript(const QString& name)
    {
        Child<QLineEdit>("m_leAddConfig")->setText(name);
        Click("m_btnAddConfig");
    }

    FakeController controller;
    std::unique_ptr<ManualTestAutomation> editor;
};

const QByteArray kThreeScripts = ScriptGroup(
    "1=\"One#Q:5,I:1\"\nAllKeyName=\"1,2,3\"\nCurChoiseKey=2\nbAutoBeginRun=false\niNum=3\n"
    "2=\"Two#W:2,A:3,S:4\"\n3=Three#N:1\n");

TEST_F(ScriptEditorTest, ASavedScriptReadsBackThroughTheSettingsFile)
{
    Open("");
    EXPECT_EQ(editor->LoadConfig(), -2);
    EXPECT_EQ(Scripts()->count(), 0);
    EXPECT_EQ(RowCombos().size(), 33);
    EXPECT_EQ(RowCombos()[0]->count(), 1 + 19) << "the empty entry and test type 0's items";

    AddScript("Line A");
    EXPECT_EQ(Scripts()->currentText(), QString("Line A"));
    EXPECT_EQ(Scripts()->currentData().toString(), QString("1"));
    SetRow(0, "Q", "5");
    SetRow(2, "I", "1");   // row 1 stays empty and is skipped
    SetRow(3, "Up", "");   // an item without seconds is refused, not dropped
    Child<QCheckBox>("m_chkAutoBeginRun")->setChecked(true);
    EXPECT_EQ(controller.autoBegin, std::vector<bool>{true});
    const QByteArray before = ConfigBytes();
    Click("m_btnSave");
    EXPECT_EQ(Tips(), QString("row 4: enter the seconds of PTZ Up, or empty the row"));
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_TRUE(controller.steps.empty());
    EXPECT_FALSE(CloseTimer()->isActive());

    RowCombos().at(3)->setCurrentIndex(0);
    Click("m_btnSave");

    EXPECT_EQ(Tips(), QString("save succeed"));
    EXPECT_TRUE(ConfigBytes().contains(ScriptGroup(
        "1=\"Line A#Q:5,I:1\"\nAllKeyName=1\nCurChoiseKey=1\nbAutoBeginRun=true\niNum=1\n")))
        << ConfigBytes().constData();
    ASSERT_EQ(controller.steps.size(), 1u);
    EXPECT_EQ(controller.steps[0], (Steps{"Q:5", "I:1"}));

    const ManualAutoTestConfig fresh = ReadScriptsAfresh();
    EXPECT_EQ(fresh.mapConfig.value("1"), QString("Line A#Q:5,I:1"));
    EXPECT_TRUE(fresh.bAutoBeginRun);

    ManualTestAutomation reopened;
    ASSERT_EQ(reopened.LoadConfig(), 0);
    editor.reset(new ManualTestAutomation);
    EXPECT_EQ(Scripts()->currentText(), QString("Line A"));
    EXPECT_EQ(Rows(3), (QStringList{"Q:5", "I:1", "hidden"}));
    EXPECT_TRUE(Child<QCheckBox>("m_chkAutoBeginRun")->isChecked());
}

TEST_F(ScriptEditorTest, LoadingShowsTheCurrentScriptRowByRow)
{
    Open(kThreeScripts + "4=\"Odd#Q:5,Q:1:2,Z:3\"\n");
    EXPECT_EQ(Scripts()->count(), 3) << "key 4 is not in AllKeyName";
    EXPECT_EQ(Scripts()->currentText(), QString("Two"));
    EXPECT_EQ(Rows(4), (QStringList{"W:2", "A:3", "S:4", "hidden"}));
    Scripts()->setCurrentIndex(2);
    EXPECT_EQ(Rows(2), (QStringList{"N:1", "hidden"}));

    // A step that does not split in two stays empty; a key outside the group keeps its seconds.
    Reseed(ScriptGroup("1=\"Odd#Q:5,Q:1:2,Z:3\"\nAllKeyName=1\nCurChoiseKey=1\n"));
    EXPECT_EQ(editor->LoadConfig(), 0);
    EXPECT_EQ(Rows(4), (QStringList{"Q:5", ":", ":3", "hidden"}));
}

TEST_F(ScriptEditorTest, SecondsAreWholeNumbersUpTo3600)
{
    Open(ScriptGroup("1=\"A#Q:5,W:abc\"\nAllKeyName=1\nCurChoiseKey=1\n"));
    EXPECT_EQ(Rows(2), (QStringList{"Q:5", "W:abc"}));
    const QByteArray before = ConfigBytes();
    Click("m_btnSave");
    EXPECT_EQ(Tips(), QString("row 2: seconds must be a whole number from 0 to 3600"));
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_TRUE(controller.steps.empty());
    EXPECT_FALSE(CloseTimer()->isActive());

    struct TypedCase {
        const char* typed;
        const char* kept;
    };
    const TypedCase typed[] = {{"1,2:3", "123"}, {"4000", "400"}, {"3601", "360"}, {"-5", "5"},
                               {"1.5", "15"}, {"3600", "3600"}, {"0", "0"}, {"007", "0"}};
    QLineEdit* edit = RowEdits().at(1);
    for (const TypedCase& t : typed) {
        edit->clear();
        QTest::keyClicks(edit, t.typed);
        EXPECT_EQ(edit->text(), QString(t.kept)) << t.typed;
    }
    Click("m_btnSave");
    EXPECT_EQ(Tips(), QString("save succeed"));
    EXPECT_EQ(ReadScriptsAfresh().mapConfig.value("1"), QString("A#Q:5,W:0"));
}

TEST_F(ScriptEditorTest, AddRefusesEmptyDuplicateAndSeparatingNames)
{
    Open(kThreeScripts);
    BoxRecorder boxes;
    for (const char* name : {"", "Two", "A,B", "C#D", "#"})
        AddScript(QString::fromLatin1(name));
    EXPECT_EQ(boxes.texts, (QStringList{"Error|please input config name first",
                                        "Error|config name is already exists int the list, please confirm",
                                        "Error|a config name may not hold \",\" or \"#\"",
                                        "Error|a config name may not hold \",\" or \"#\"",
                                        "Error|a config name may not hold \",\" or \"#\""}));
    EXPECT_EQ(Scripts()->count(), 3);
    EXPECT_EQ(Scripts()->currentText(), QString("Two"));
}

TEST_F(ScriptEditorTest, UnsavedScriptsGetKeysOfTheirOwn)
{
    Open(ScriptGroup("5=A#Q:1\n2=B#W:1\nAllKeyName=\"5,2\"\nCurChoiseKey=2\n"));
    AddScript("C");
    AddScript("D");
    EXPECT_EQ(Scripts()->itemData(2).toString(), QString("6"));
    EXPECT_EQ(Scripts()->itemData(3).toString(), QString("7"));
    SetRow(0, "N", "9");
    Click("m_btnSave");
    const ManualAutoTestConfig fresh = ReadScriptsAfresh();
    EXPECT_EQ(fresh.AllKeyName, QString("5,2,6,7"));
    EXPECT_EQ(fresh.iNum, 4);
    EXPECT_EQ(fresh.CurChoiseKey, QString("7"));
    EXPECT_EQ(fresh.mapConfig.value("7"), QString("D#N:9"));
    EXPECT_EQ(fresh.mapConfig.value("5"), QString("A#Q:1")) << "other scripts are not rewritten";
}

TEST_F(ScriptEditorTest, DeleteHandsTheControllerTheScriptNowCurrent)
{
    Open(kThreeScripts);
    Click("m_btnDeleteConfig");   // "Two", key 2
    EXPECT_EQ(Scripts()->currentText(), QString("Three"));
    ASSERT_EQ(controller.steps.size(), 1u);
    EXPECT_EQ(controller.steps.back(), (Steps{"N:1"}));
    ManualAutoTestConfig fresh = ReadScriptsAfresh();
    EXPECT_EQ(fresh.AllKeyName, QString("1,3"));
    EXPECT_EQ(fresh.CurChoiseKey, QString("3"));
    EXPECT_FALSE(ConfigBytes().contains("Two#"));
    AddScript("New");
    EXPECT_EQ(Scripts()->currentData().toString(), QString("4"));
    Click("m_btnDeleteConfig");   // the unsaved one
    Click("m_btnDeleteConfig");   // "Three": the last entry, so "One" follows
    EXPECT_EQ(controller.steps.back(), (Steps{"Q:5", "I:1"}));
    AddScript("Again");
    EXPECT_EQ(Scripts()->currentData().toString(), QString("2")) << "keys deleted from the top come back";
    Click("m_btnDeleteConfig");
    Click("m_btnDeleteConfig");
    EXPECT_EQ(Scripts()->count(), 0);
    EXPECT_EQ(controller.steps.back(), (Steps{""})) << "no script left: one empty step";
    fresh = ReadScriptsAfresh();
    EXPECT_TRUE(fresh.AllKeyName.isEmpty());
    EXPECT_TRUE(fresh.CurChoiseKey.isEmpty());
    AddScript("First");
    EXPECT_EQ(Scripts()->currentData().toString(), QString("1"));
}

TEST_F(ScriptEditorTest, WritesThatFailAreNeverReportedAsSaved)
{
    Open(kThreeScripts);
    editor->show();
    SetRow(0, "Q", "7");
    BreakConfigFile();
    Click("m_btnSave");
    EXPECT_EQ(Tips(), QString("save failed"));
    EXPECT_EQ(Child<QLabel>("m_lbTips")->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::red));
    EXPECT_FALSE(CloseTimer()->isActive());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(controller.steps.empty()) << "nothing stored, nothing handed over";

    Click("m_btnDeleteConfig");
    EXPECT_EQ(Tips(), QString("delete failed"));
    EXPECT_EQ(editor->ApplyServerConfig(0, "Order", {{{0, "", 3}}}), -1);

    Mend();
    Reseed(kThreeScripts);
    editor->LoadConfig();
    Click("m_btnSave");
    EXPECT_EQ(Tips(), QString("save succeed"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return !editor->isVisible(); }, 10000));
    EXPECT_TRUE(Tips().isEmpty());
}

TEST_F(ScriptEditorTest, AnOrdersScriptBecomesTheCurrentScript)
{
    struct OrderCase {
        const char* what;
        QVector<QVector<ConfigItem>> channels;
        const char* text;
        Steps steps;
    };
    const OrderCase cases[] = {
        {"one channel", {{{0, "Trumpet", 5}, {1, "Mic", 2}}}, "Order#Q:5,W:2", {"Q:5", "W:2"}},
        {"two channels", {{{0, "", 3}}, {{1, "", 4}}}, "Order#I:1,Q:3,I:1,W:4", {"I:1", "Q:3", "I:1", "W:4"}},
        {"items outside the group", {{{2, "", 3}, {0, "", 1}, {99, "", 1}}}, "Order#Q:1", {"Q:1"}},
        {"no items", {}, "Order#", {""}},
    };
    Open(kThreeScripts);
    for (const OrderCase& c : cases) {
        EXPECT_EQ(editor->ApplyServerConfig(1, "Order", c.channels), 0) << c.what;
        const ManualAutoTestConfig fresh = ReadScriptsAfresh();
        EXPECT_EQ(fresh.AllKeyName, QString("1,2,3,4")) << c.what << ": one script, whatever its steps";
        EXPECT_EQ(fresh.iNum, 4) << c.what;
        EXPECT_EQ(fresh.CurChoiseKey, QString("4")) << c.what;
        EXPECT_TRUE(fresh.bAutoBeginRun) << c.what;
        EXPECT_EQ(fresh.mapConfig.value("4"), QString(c.text)) << c.what;
        EXPECT_EQ(controller.steps.back(), c.steps) << c.what;
    }
    EXPECT_EQ(editor->ApplyServerConfig(0, "Two", {{{13, "", 8}}}), 0);
    const ManualAutoTestConfig fresh = ReadScriptsAfresh();
    EXPECT_EQ(fresh.CurChoiseKey, QString("2"));
    EXPECT_EQ(fresh.mapConfig.value("2"), QString("Two#D:8"));
    EXPECT_EQ(fresh.AllKeyName, QString("1,2,3,4"));

    const size_t handed = controller.steps.size();
    const QByteArray before = ConfigBytes();
    EXPECT_EQ(editor->ApplyServerConfig(1, "", {{{0, "", 5}}}), 0);
    EXPECT_EQ(ConfigBytes(), before) << "no name: nothing written";
    EXPECT_EQ(controller.steps.size(), handed) << "no name: nothing handed over";
}

TEST_F(ScriptEditorTest, AnOrderAppliedAgainAfterARestartFindsItsScript)
{
    // "," and "#" would split the stored text; Thai letters do not survive GB2312.
    const QString name = QString::fromUtf8("Line ก,A#1");
    Open("");
    ASSERT_EQ(editor->ApplyServerConfig(0, name, {{{0, "", 5}}}), 0);
    ManualAutoTestConfig fresh = ReadScriptsAfresh();
    ASSERT_EQ(fresh.AllKeyName, QString("1"));
    const QString stored = ManualTestAutomation::DisplayNameOf(fresh.mapConfig.value("1"));
    EXPECT_EQ(stored, ManualTestAutomation::StoredScriptName(name));
    EXPECT_TRUE(stored.startsWith("Line ")) << qPrintable(stored);
    EXPECT_TRUE(stored.endsWith("_A_1")) << qPrintable(stored);

    // As a restarted station: the store reads the file again.
    Reseed(ConfigBytes());
    editor = std::make_unique<ManualTestAutomation>();
    editor->SetController(&controller);
    ASSERT_EQ(editor->ApplyServerConfig(0, name, {{{1, "", 2}}}), 0);
    fresh = ReadScriptsAfresh();
    EXPECT_EQ(fresh.AllKeyName, QString("1"));
    EXPECT_EQ(fresh.iNum, 1);
    EXPECT_EQ(fresh.mapConfig.value("1"), stored + "#W:2");
    ASSERT_EQ(editor->LoadConfig(), 0);
    EXPECT_EQ(Scripts()->count(), 1);
    EXPECT_EQ(Scripts()->currentText(), stored);
}

TEST_F(ScriptEditorTest, FormAndWindow)
{
    Open("");
    EXPECT_EQ(editor->windowTitle(), QString("Manual Automation"));
    EXPECT_EQ(editor->minimumSize(), QSize(258, 592));
    EXPECT_EQ(editor->maximumSize(), QSize(258, 592));
    EXPECT_EQ(editor->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(editor->isWindow());
    EXPECT_FALSE(editor->windowFlags() & Qt::WindowContextHelpButtonHint);
    const QList<QComboBox*> combos = RowCombos();
    ASSERT_EQ(combos.size(), 33);
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(combos[i]->property("cmb_index").toInt(), i);

    // Test type 3 offers its own group; any other value none.
    CurrentTestType = 3;
    editor->LoadConfig();
    EXPECT_EQ(combos[0]->count(), 1 + 12);
    CurrentTestType = 7;
    editor->LoadConfig();
    EXPECT_EQ(combos[0]->count(), 1);
}

}  // namespace
