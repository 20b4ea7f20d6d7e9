#pragma once

#include "WIFITestOwner.h"

#include "CConfigFile.h"
#include "TempAppDir.h"
#include "VantrelEvent.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QStandardItemModel>
#include <QStringList>
#include <QTableView>
#include <QVector>
#include <QWidget>

class WIFITestWidget;

// An event the panel posted to its owner.
struct PostedEvent {
    int code = 0;
    qint64 word1 = 0;
    qint64 word2 = 0;
    bool operator==(const PostedEvent& o) const { return code == o.code && word1 == o.word1 && word2 == o.word2; }
};

// The main window as the panel sees it: receives the panel's events and
// offers the video form of the main video pane.
class FakeOwner : public QWidget, public WIFITestOwner {
public:
    VideoForm* MainVideoForm() const override { return form; }
    void customEvent(QEvent* event) override
    {
        if (auto* e = dynamic_cast<VantrelEvent*>(event))
            events.append({int(e->code), e->word1, e->word2});
    }
    VideoForm* form = nullptr;
    QVector<PostedEvent> events;
};

// A suite whose settings store reads the given config.ini. The store is made
// once per process, over the first application folder, so each test program
// makes it once.
class WifiSettingsSuite : public ::testing::Test {
protected:
    static void MakeSettingsStore(const QByteArray& configIni)
    {
        s_appDir = new TempAppDir(configIni);
        CConfigFile::GetInstance();
    }
    static void TearDownTestSuite()
    {
        delete s_appDir;
        s_appDir = nullptr;
    }
    static inline TempAppDir* s_appDir = nullptr;
};

// Marks a cell of the result row that holds no item at all.
inline const QString kNoItem = QStringLiteral("<no item>");

inline QStandardItemModel* ResultModel(QWidget* panel)
{
    auto* view = panel->findChild<QTableView*>("m_WIFITableView");
    return view ? qobject_cast<QStandardItemModel*>(view->model()) : nullptr;
}

// The four cells of row 0, or an empty list when the table has no row.
inline QStringList ResultRow(QWidget* panel)
{
    QStandardItemModel* model = ResultModel(panel);
    QStringList row;
    if (!model || model->rowCount() == 0)
        return row;
    for (int column = 0; column < 4; ++column) {
        QStandardItem* item = model->item(0, column);
        row << (item ? item->text() : kNoItem);
    }
    return row;
}

// The panel's own timers (the test tick), as the event dispatcher keeps them.
inline QList<QAbstractEventDispatcher::TimerInfo> PanelTimers(QObject* panel)
{
    return QAbstractEventDispatcher::instance()->registeredTimers(panel);
}
