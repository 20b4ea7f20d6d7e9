#include "CMapManualDesc.h"
#include "EnumClass.h"

#include <QKeyEvent>
#include <QMap>
#include <QMetaEnum>
#include <QSet>

#include <gtest/gtest.h>

#include <iterator>

namespace {

struct KeyCase {
    int key;
    int id;
    const char* keyName;
    const char* desc;
    bool release;
};

// The whole table: every key with its item, description and release flag.
const KeyCase kTable[] = {
    {Qt::Key_Q, 0, "Q", "Trumpet Test", false},
    {Qt::Key_W, 1, "W", "Mic Test", false},
    {Qt::Key_E, 2, "E", "Audio Alarm Test", false},
    {Qt::Key_M, 3, "M", "Upload Alram File", false},
    {Qt::Key_R, 4, "R", "Focus Add", true},
    {Qt::Key_T, 5, "T", "Focus Sub", true},
    {Qt::Key_N, 6, "N", "Sync Time", false},
    {Qt::Key_Y, 7, "Y", "Open White Light", false},
    {Qt::Key_O, 8, "O", "Aper Add", true},
    {Qt::Key_P, 9, "P", "Aper Sub", true},
    {Qt::Key_B, 10, "B", "Restore Factory", false},
    {Qt::Key_A, 11, "A", "Human Alarm IO", false},
    {Qt::Key_S, 12, "S", "Day Mode", false},
    {Qt::Key_D, 13, "D", "Night Mode", false},
    {Qt::Key_G, 14, "G", "Wifi Test", false},
    {Qt::Key_H, 15, "H", "Zoom Add", true},
    {Qt::Key_J, 16, "J", "Zoom Sub", true},
    {Qt::Key_K, 17, "K", "Wifi Signal Test", false},
    {Qt::Key_Up, 18, "Up", "PTZ Up", true},
    {Qt::Key_Down, 19, "Down", "PTZ Down", true},
    {Qt::Key_Left, 20, "Left", "PTZ Left", true},
    {Qt::Key_Right, 21, "Right", "PTZ Right", true},
    {Qt::Key_L, 23, "L", "PTZ Reset", false},
    {Qt::Key_C, 24, "C", "Function Code Check", false},
    {Qt::Key_2, 25, "2", "QRCode Check", false},
    {Qt::Key_V, 26, "V", "Format SD card", false},
    {Qt::Key_X, 27, "X", "Print QRCode", false},
    {Qt::Key_1, 28, "1", "4G test item test", false},
    {Qt::Key_U, 30, "U", "Switch Sensor", false},
    {Qt::Key_I, 32, "I", "Switch Channel", false},
    {Qt::Key_Space, 34, "Space", "Manual Auto", false},
};

TEST(ManualItemTable, EveryKeySelectsItsItem)
{
    const CMapManualDesc* table = CMapManualDesc::GetInstance();
    for (const KeyCase& c : kTable) {
        SCOPED_TRACE(c.keyName);
        ManualItemDesc byKey;
        ASSERT_TRUE(table->GetItemIdByKey(c.key, byKey));
        EXPECT_EQ(byKey.iId, c.id);
        EXPECT_EQ(byKey.strKeyName, QString::fromLatin1(c.keyName));
        EXPECT_EQ(byKey.strDesc, QString::fromLatin1(c.desc));
        EXPECT_EQ(byKey.bRelease, c.release);

        ManualItemDesc byName;
        ASSERT_TRUE(table->FindItemByKeyName(QString::fromLatin1(c.keyName), byName));
        EXPECT_EQ(byName.iId, c.id);
    }
}

TEST(ManualItemTable, KeysWithoutItemMissAndLeaveTheRecordAlone)
{
    const CMapManualDesc* table = CMapManualDesc::GetInstance();
    const int misses[] = {Qt::Key_F, Qt::Key_Z, Qt::Key_0, Qt::Key_3, Qt::Key_9, Qt::Key_Escape, Qt::Key_F1,
                          Qt::Key_Return, 0, -1};
    for (int key : misses) {
        SCOPED_TRACE(key);
        ManualItemDesc out;
        out.iId = 99;
        out.strKeyName = "keep";
        EXPECT_FALSE(table->GetItemIdByKey(key, out));
        EXPECT_EQ(out.iId, 99);
        EXPECT_EQ(out.strKeyName, "keep");
    }
    for (const char* name : {"up", "space", "q", "", "F", "UP "}) {
        SCOPED_TRACE(name);
        ManualItemDesc out;
        EXPECT_FALSE(table->FindItemByKeyName(QString::fromLatin1(name), out));
        EXPECT_EQ(out.iId, -1);
    }
}

TEST(ManualItemTable, KeypadDigitsSelectTheSameItems)
{
    // The keypad sends the digit's key code with the keypad modifier beside it.
    const QKeyEvent pad1(QEvent::KeyPress, Qt::Key_1, Qt::KeypadModifier, "1");
    const QKeyEvent pad2(QEvent::KeyPress, Qt::Key_2, Qt::KeypadModifier, "2");
    ManualItemDesc one, two;
    ASSERT_TRUE(CMapManualDesc::GetInstance()->GetItemIdByKey(pad1.key(), one));
    ASSERT_TRUE(CMapManualDesc::GetInstance()->GetItemIdByKey(pad2.key(), two));
    EXPECT_EQ(one.iId, EnumClass::MANUAL_4GTEST);
    EXPECT_EQ(two.iId, EnumClass::MANUAL_QRCODE_CHECK);
}

// Every key code that has a key name selects exactly the item of the table above,
// or nothing: no other key, and no second item behind a key name.
TEST(ManualItemTable, NoKeyBeyondTheTableSelectsAnItem)
{
    QMap<int, int> expected;   // key code -> item
    for (const KeyCase& c : kTable)
        expected.insert(c.key, c.id);
    QList<int> keys{Qt::Key_Space, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down};
    for (int key = Qt::Key_0; key <= Qt::Key_9; ++key)
        keys << key;
    for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key)
        keys << key;
    QSet<int> items;
    for (int key : keys) {
        SCOPED_TRACE(key);
        ManualItemDesc out;
        const bool found = CMapManualDesc::GetInstance()->GetItemIdByKey(key, out);
        ASSERT_EQ(found, expected.contains(key));
        if (found) {
            EXPECT_EQ(out.iId, expected.value(key));
            items.insert(out.iId);
        }
    }
    EXPECT_EQ(items.size(), int(std::size(kTable)));   // 31 distinct items, none of 22, 29, 31, 33
}

TEST(ManualItemTable, GroupsPerTestType)
{
    const std::vector<int> expected[] = {
        {0, 1, 7, 11, 12, 13, 14, 17, 18, 19, 20, 21, 23, 6, 10, 24, 26, 32, 30},
        {0, 1, 7, 11, 12, 13, 18, 19, 20, 21, 23, 6, 10, 24, 26, 32, 30},
        {0, 1, 7, 11, 12, 13, 18, 19, 20, 21, 23, 6, 10, 24, 26, 32, 30},
        {0, 1, 2, 7, 11, 12, 13, 3, 10, 24, 32, 30},
        {0, 1, 7, 12, 13, 10, 24, 32, 30},
    };
    const CMapManualDesc* table = CMapManualDesc::GetInstance();
    for (int type = 0; type < 5; ++type) {
        SCOPED_TRACE(type);
        std::vector<int> ids;
        for (const ManualItemDesc& item : table->GetItemGroup(type)) {
            ids.push_back(item.iId);
            // Group entries are full copies of the table's entries.
            ManualItemDesc entry;
            ASSERT_TRUE(table->FindItemByKeyName(item.strKeyName, entry));
            EXPECT_EQ(entry.iId, item.iId);
            EXPECT_EQ(entry.strDesc, item.strDesc);
        }
        EXPECT_EQ(ids, expected[type]);
    }
    for (int type : {-1, 5, 100})
        EXPECT_TRUE(table->GetItemGroup(type).isEmpty());
}

TEST(ManualItemTable, EnumeratorNamesComeFromTheMetaObject)
{
    const QMetaEnum meta = QMetaEnum::fromType<EnumClass::Manual_Enum>();
    ASSERT_EQ(meta.keyCount(), 35);
    for (int i = 0; i < meta.keyCount(); ++i)
        EXPECT_EQ(meta.value(i), i);
    EXPECT_STREQ(meta.valueToKey(0), "MANUAL_TRUMPET");
    EXPECT_STREQ(meta.valueToKey(6), "MANUAL_RTC");
    EXPECT_STREQ(meta.valueToKey(22), "MANUAL_SPEED_CHANGE");
    EXPECT_STREQ(meta.valueToKey(31), "MANUAL_CALL_PRESET");
    EXPECT_STREQ(meta.valueToKey(33), "MANUAL_TEST_MAX");
    EXPECT_STREQ(meta.valueToKey(34), "MANUAL_AUTO");
    EXPECT_EQ(meta.keyToValue("MANUAL_SWITCH_CHANNEL"), 32);
}

} // namespace
