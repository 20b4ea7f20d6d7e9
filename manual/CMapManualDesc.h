#pragma once

#include "ManualItemDesc.h"

#include <QMap>
#include <QObject>
#include <QVector>

// The process-wide table of manual items: keyboard keys, descriptions and the
// item group offered by each station test type. Filled once, read-only after.
class CMapManualDesc : public QObject {
    Q_OBJECT
public:
    static constexpr int TEST_TYPE_COUNT = 5;

    static CMapManualDesc* GetInstance();

    CMapManualDesc();

    // First entry, in ascending item order, whose key name equals keyName
    // (case-sensitive). False, and out untouched, when none does.
    bool FindItemByKeyName(const QString& keyName, ManualItemDesc& out) const;
    // The same lookup for a Qt key code (letters, digits, arrows, space).
    bool GetItemIdByKey(int key, ManualItemDesc& out) const;
    // The group of test type 0..4; an empty group for any other value.
    const QVector<ManualItemDesc>& GetItemGroup(int testType) const;

    // Key name of a Qt key code; empty for a key that names no item.
    static QString KeyNameOf(int key);

private:
    void InitItems();
    void InitItemGroups();

    QVector<ManualItemDesc> m_vecItemGroup[TEST_TYPE_COUNT];
    QMap<int, ManualItemDesc> m_mapItems;
};
