// The function-code dialog: an order's code list, Save and its failure, the
// boxes at the next opening, the FUNCODE bytes and the controller's copy.
#include "FunctionCodeSetting.h"

#include "SettingsFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <set>

namespace {

// The FUNCODE group with codes n set, as the store writes it (keys sorted as text).
QByteArray FunctionCodeGroupBytes(const std::set<int>& chosen)
{
    QMap<QString, int> sorted;
    for (int n = 1; n <= FUNCODE_COUNT; ++n)
        sorted.insert(QString::number(n), chosen.count(n) ? 1 : 0);
    QByteArray bytes = "[FUNCODE]\n";
    for (auto it = sorted.cbegin(); it != sorted.cend(); ++it)
        bytes += it.key().toLatin1() + "=" + QByteArray::number(it.value()) + "\n";
    return bytes;
}

std::set<int> Chosen(const int codes[FUNCODE_COUNT])
{
    std::set<int> chosen;
    for (int n = 1; n <= FUNCODE_COUNT; ++n) {
        if (codes[n - 1] != 0)
            chosen.insert(n);
    }
    return chosen;
}

class FunctionCodeTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        dialog = new FunctionCodeSetting(receiver.get());
        dialog->SetController(MakeController());
    }

    QCheckBox* Box(int n) const { return dialog->findChild<QCheckBox*>(QString("cbx_%1").arg(n)); }
    QString Tips() const { return dialog->findChild<QLabel*>("lb_Tips")->text(); }
    QTimer* CloseTimer() const { return dialog->findChild<QTimer*>(); }
    std::set<int> Boxes() const
    {
        std::set<int> checked;
        for (int n = 1; n <= FUNCODE_COUNT; ++n) {
            if (Box(n)->isChecked())
                checked.insert(n);
        }
        return checked;
    }

    FunctionCodeSetting* dialog = nullptr;   // owned by the receiver
};

TEST_F(FunctionCodeTest, AnOrdersListChoosesExactlyItsCodes)
{
    struct ListCase {
        const char* list;
        std::set<int> codes;
    };
    const ListCase cases[] = {
        {"3,20,21,0", {3, 20}},
        {"", {}},
        {"1,1,x,,5", {1, 5}},
        {"-2, 7 ,20", {7, 20}},
        {"12", {12}},
    };
    for (const ListCase& c : cases) {
        // Every earlier choice goes, the seeded code 3 included.
        ASSERT_EQ(ParseFunctionCodeList(dialog, c.list), 0) << c.list;
        EXPECT_TRUE(ConfigBytes().contains(FunctionCodeGroupBytes(c.codes))) << c.list;
        EXPECT_EQ(Chosen(controller->ConfigSnapshot().m_FunCode), c.codes) << c.list;
        EXPECT_EQ(Chosen(Stored().m_FunCode), c.codes) << c.list;
        dialog->LoadFunctionCodes();
        EXPECT_EQ(Boxes(), c.codes) << c.list << ": the next opening shows the list";
    }
    EXPECT_EQ(Tips(), "") << "an order's list shows no message";
    EXPECT_EQ(ParseFunctionCodeList(nullptr, "1"), -1);
}

TEST_F(FunctionCodeTest, SaveStoresTheBoxesAndClosesAfterItsMessage)
{
    dialog->show();
    dialog->LoadFunctionCodes();
    EXPECT_EQ(Boxes(), std::set<int>{3}) << "loaded from the store";
    Box(3)->setChecked(false);
    QTest::mouseClick(dialog->findChild<QPushButton*>("btn_Save"), Qt::LeftButton);
    EXPECT_EQ(Tips(), "save succeed");
    EXPECT_TRUE(ConfigBytes().contains(FunctionCodeGroupBytes({})));
    EXPECT_EQ(Chosen(controller->ConfigSnapshot().m_FunCode), std::set<int>{});
    ASSERT_TRUE(CloseTimer()->isActive());
    EXPECT_EQ(CloseTimer()->interval(), FunctionCodeSetting::CLOSE_DELAY_MS);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !dialog->isVisible(); }, 10000));
    EXPECT_EQ(Tips(), "");

    // Every press writes, unchanged or not.
    Box(8)->setChecked(true);
    Box(20)->setChecked(true);
    dialog->findChild<QPushButton*>("btn_Save")->click();
    EXPECT_TRUE(ConfigBytes().contains(FunctionCodeGroupBytes({8, 20})));
    EXPECT_EQ(Chosen(ReadAfresh().m_FunCode), (std::set<int>{8, 20}));
}

TEST_F(FunctionCodeTest, AFailedWriteSaysSoAndStaysOpen)
{
    dialog->show();
    dialog->LoadFunctionCodes();
    Box(11)->setChecked(true);
    BreakConfigFile();
    dialog->findChild<QPushButton*>("btn_Save")->click();
    EXPECT_EQ(Tips(), "save failed");
    EXPECT_FALSE(CloseTimer()->isActive());
    EXPECT_TRUE(dialog->isVisible());
    Mend();
    dialog->findChild<QPushButton*>("btn_Save")->click();
    EXPECT_EQ(Tips(), "save succeed");
    EXPECT_EQ(Chosen(ReadAfresh().m_FunCode), (std::set<int>{3, 11}));
}

TEST_F(FunctionCodeTest, WithoutAControllerTheChoiceIsStillStored)
{
    dialog->SetController(nullptr);
    ASSERT_EQ(ParseFunctionCodeList(dialog, "4"), 0);
    EXPECT_EQ(Chosen(ReadAfresh().m_FunCode), std::set<int>{4});
    EXPECT_EQ(Chosen(controller->ConfigSnapshot().m_FunCode), std::set<int>{3}) << "the controller kept its copy";
}

TEST_F(FunctionCodeTest, TheDialogIsBuiltAsItsWindowRequires)
{
    EXPECT_EQ(dialog->size(), QSize(211, 592));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_TRUE(dialog->windowFlags() & Qt::Dialog);
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    for (int n = 1; n <= FUNCODE_COUNT; ++n) {
        ASSERT_NE(Box(n), nullptr) << n;
        EXPECT_EQ(Box(n)->text(), QString::number(n));
        EXPECT_FALSE(Box(n)->isChecked()) << "nothing is loaded before the form opens the dialog";
    }
}

}  // namespace
