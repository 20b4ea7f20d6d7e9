#include "CMapManualDesc.h"

#include "EnumClass.h"

namespace {

struct ItemSource {
    int id;
    const char* keyName;
    const char* desc;
    bool release;
};

const ItemSource kItems[] = {
    {EnumClass::MANUAL_TRUMPET, "Q", QT_TRANSLATE_NOOP("CMapManualDesc", "Trumpet Test"), false},
    {EnumClass::MANUAL_MIC_TEST, "W", QT_TRANSLATE_NOOP("CMapManualDesc", "Mic Test"), false},
    {EnumClass::MANUAL_AUDIO_ALARM_TEST, "E", QT_TRANSLATE_NOOP("CMapManualDesc", "Audio Alarm Test"), false},
    {EnumClass::MANUAL_UPLOAD_ALARM_FILE, "M", QT_TRANSLATE_NOOP("CMapManualDesc", "Upload Alram File"), false},
    {EnumClass::MANUAL_FOCUS_ADD, "R", QT_TRANSLATE_NOOP("CMapManualDesc", "Focus Add"), true},
    {EnumClass::MANUAL_FOCUS_SUB, "T", QT_TRANSLATE_NOOP("CMapManualDesc", "Focus Sub"), true},
    {EnumClass::MANUAL_RTC, "N", QT_TRANSLATE_NOOP("CMapManualDesc", "Sync Time"), false},
    {EnumClass::MANUAL_OPEN_WHITE_LIGHT, "Y", QT_TRANSLATE_NOOP("CMapManualDesc", "Open White Light"), false},
    {EnumClass::MANUAL_APER_ADD, "O", QT_TRANSLATE_NOOP("CMapManualDesc", "Aper Add"), true},
    {EnumClass::MANUAL_APER_SUB, "P", QT_TRANSLATE_NOOP("CMapManualDesc", "Aper Sub"), true},
    {EnumClass::MANUAL_RESTORE_FACTORY, "B", QT_TRANSLATE_NOOP("CMapManualDesc", "Restore Factory"), false},
    {EnumClass::MANUAL_HUMAN_ALARM_IO, "A", QT_TRANSLATE_NOOP("CMapManualDesc", "Human Alarm IO"), false},
    {EnumClass::MANUAL_DAY_MODE, "S", QT_TRANSLATE_NOOP("CMapManualDesc", "Day Mode"), false},
    {EnumClass::MANUAL_NIGHT_MODE, "D", QT_TRANSLATE_NOOP("CMapManualDesc", "Night Mode"), false},
    {EnumClass::MANUAL_WIFI_TEST, "G", QT_TRANSLATE_NOOP("CMapManualDesc", "Wifi Test"), false},
    {EnumClass::MANUAL_ZOOM_ADD, "H", QT_TRANSLATE_NOOP("CMapManualDesc", "Zoom Add"), true},
    {EnumClass::MANUAL_ZOOM_SUB, "J", QT_TRANSLATE_NOOP("CMapManualDesc", "Zoom Sub"), true},
    {EnumClass::MANUAL_WIFI_SIGNAL_TEST, "K", QT_TRANSLATE_NOOP("CMapManualDesc", "Wifi Signal Test"), false},
    {EnumClass::MANUAL_UP, "Up", QT_TRANSLATE_NOOP("CMapManualDesc", "PTZ Up"), true},
    {EnumClass::MANUAL_DOWN, "Down", QT_TRANSLATE_NOOP("CMapManualDesc", "PTZ Down"), true},
    {EnumClass::MANUAL_LEFT, "Left", QT_TRANSLATE_NOOP("CMapManualDesc", "PTZ Left"), true},
    {EnumClass::MANUAL_RIGHT, "Right", QT_TRANSLATE_NOOP("CMapManualDesc", "PTZ Right"), true},
    {EnumClass::MANUAL_PTZ_RESET, "L", QT_TRANSLATE_NOOP("CMapManualDesc", "PTZ Reset"), false},
    {EnumClass::MANUAL_FUNCTION_CODE, "C", QT_TRANSLATE_NOOP("CMapManualDesc", "Function Code Check"), false},
    {EnumClass::MANUAL_QRCODE_CHECK, "2", QT_TRANSLATE_NOOP("CMapManualDesc", "QRCode Check"), false},
    {EnumClass::MANUAL_FORMAT_SDCARD, "V", QT_TRANSLATE_NOOP("CMapManualDesc", "Format SD card"), false},
    {EnumClass::MANUAL_PRINT_QRCODE, "X", QT_TRANSLATE_NOOP("CMapManualDesc", "Print QRCode"), false},
    {EnumClass::MANUAL_4GTEST, "1", QT_TRANSLATE_NOOP("CMapManualDesc", "4G test item test"), false},
    {EnumClass::MANUAL_SWITCH_SENSOR, "U", QT_TRANSLATE_NOOP("CMapManualDesc", "Switch Sensor"), false},
    {EnumClass::MANUAL_SWITCH_CHANNEL, "I", QT_TRANSLATE_NOOP("CMapManualDesc", "Switch Channel"), false},
    {EnumClass::MANUAL_AUTO, "Space", QT_TRANSLATE_NOOP("CMapManualDesc", "Manual Auto"), false},
};

// Item groups of test types 0..4 ("wifi plug-in card", "wired plug-in card",
// "4G plug-in card", "Intelligent IPC", "Extreme IPC"), in offering order.
const QVector<int> kGroups[CMapManualDesc::TEST_TYPE_COUNT] = {
    {0, 1, 7, 11, 12, 13, 14, 17, 18, 19, 20, 21, 23, 6, 10, 24, 26, 32, 30},
    {0, 1, 7, 11, 12, 13, 18, 19, 20, 21, 23, 6, 10, 24, 26, 32, 30},
    {0, 1, 7, 11, 12, 13, 18, 19, 20, 21, 23, 6, 10, 24, 26, 32, 30},
    {0, 1, 2, 7, 11, 12, 13, 3, 10, 24, 32, 30},
    {0, 1, 7, 12, 13, 10, 24, 32, 30},
};

} // namespace

CMapManualDesc* CMapManualDesc::GetInstance()
{
    static CMapManualDesc instance;
    return &instance;
}

CMapManualDesc::CMapManualDesc()
{
    InitItems();
    InitItemGroups();
}

void CMapManualDesc::InitItems()
{
    for (const ItemSource& src : kItems) {
        ManualItemDesc desc;
        desc.iId = src.id;
        desc.strKeyName = QString::fromLatin1(src.keyName);
        desc.strDesc = tr(src.desc);
        desc.bRelease = src.release;
        m_mapItems.insert(desc.iId, desc);
    }
}

void CMapManualDesc::InitItemGroups()
{
    for (int type = 0; type < TEST_TYPE_COUNT; ++type) {
        m_vecItemGroup[type].clear();
        for (int id : kGroups[type])
            m_vecItemGroup[type].append(m_mapItems.value(id));
    }
}

bool CMapManualDesc::FindItemByKeyName(const QString& keyName, ManualItemDesc& out) const
{
    if (keyName.isEmpty())
        return false;
    for (auto it = m_mapItems.cbegin(); it != m_mapItems.cend(); ++it) {
        if (it->strKeyName == keyName) {
            out = *it;
            return true;
        }
    }
    return false;
}

bool CMapManualDesc::GetItemIdByKey(int key, ManualItemDesc& out) const
{
    return FindItemByKeyName(KeyNameOf(key), out);
}

const QVector<ManualItemDesc>& CMapManualDesc::GetItemGroup(int testType) const
{
    static const QVector<ManualItemDesc> kNoItems;
    if (testType < 0 || testType >= TEST_TYPE_COUNT)
        return kNoItems;
    return m_vecItemGroup[testType];
}

QString CMapManualDesc::KeyNameOf(int key)
{
    switch (key) {
    case Qt::Key_Space: return QStringLiteral("Space");
    case Qt::Key_Left: return QStringLiteral("Left");
    case Qt::Key_Up: return QStringLiteral("Up");
    case Qt::Key_Right: return QStringLiteral("Right");
    case Qt::Key_Down: return QStringLiteral("Down");
    default: break;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return QString(QChar(key));
    return QString();
}
