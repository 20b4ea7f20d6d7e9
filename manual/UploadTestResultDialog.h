#pragma once

#include "DevTestResult.h"
#include "TestConfig.h"

#include <QDialog>
#include <QFont>
#include <QMetaType>
#include <QPoint>
#include <QPointer>
#include <QVector>

#include <climits>
#include <memory>

class QCheckBox;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

namespace Ui {
class UploadTestResultDialog;
}

// The floating "Manual Test Result" panel: one box per manual result field of
// the device's record plus one per customised item of the work order. A ticked
// box means the item FAILED. The commit turns the boxes into a record that goes
// back to the controller through sig_SaveManualTestResult.
class UploadTestResultDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int FIXED_BOX_COUNT = 27;
    static constexpr int PANEL_ITEM_COUNT = 23;
    static constexpr int FIRST_PLACEMENT_LIFT = 27;   // pixels above the video window

    // parent: the main window, whose geometry holds the panel.
    explicit UploadTestResultDialog(QWidget* parent = nullptr);
    ~UploadTestResultDialog() override;

    // The main video window that the first placement lines up with; not owned.
    void SetVideoWindow(QWidget* videoWindow);
    // The next ShowOnTop(true) places the panel afresh (after a new login).
    void SetFirstShow();
    // The first placement lifts the panel above the video window only as far as
    // this screen line (below the main window's title bar, whose texts it would cover).
    void KeepFirstPlacementBelow(int screenY) { m_firstPlacementTop = screenY; }
    // Re-shows the panel on top; with reposition it is placed (the first time)
    // or held inside the main window.
    void ShowOnTop(bool reposition);

    // Shows the panel items that the order lists (1..23) and its customised items.
    void SetManualTestItems(TestConfig config);
    void UpdateItemVisible(const QVector<CustomizeItem>& items);
    // Two-lens devices: shows the second-lens box of each listed pair.
    void SetBallCameraMode(bool ball);
    void ClearAll();
    void ClearAllCheck();
    // Builds the record from the boxes and emits sig_SaveManualTestResult.
    void CommitManualTestResult();
    // Asks the main window to submit the current device's result.
    void UploadTestResult();

    // Ctrl+key toggles a box; public so that the video window can pass its keys on.
    void keyPressEvent(QKeyEvent* event) override;

    // The customised items as last committed (results 1, -1, or as given).
    const QVector<CustomizeItem>& CustomItems() const { return m_vecCustomItems; }

signals:
    void sig_SaveManualTestResult(const DevTestResult& result, const QVector<CustomizeItem>& customItems);
    void sig_UploadTestResult();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void slot_ShowHideBtn_clicked();

private:
    void SetUp();
    void RemoveCustomBoxes();
    void AddCustomBoxes();
    QCheckBox* FixedBox(int index) const;

    QVector<CustomizeItem> m_vecCustomItems;
    // One box per entry of m_vecCustomItems, same order: each entry reads its
    // own box, whatever its mark (a mark may repeat or name a fixed box).
    QVector<QPointer<QCheckBox>> m_customBoxes;
    QFont m_customFont;
    QPoint m_ptDragOffset;
    bool m_bFirstShow = true;
    int m_firstPlacementTop = INT_MIN;
    std::unique_ptr<Ui::UploadTestResultDialog> ui;
    QPointer<QWidget> m_pParent;
    QPointer<QWidget> m_pVideoWindow;
    bool m_bExpanded = true;
    bool m_bShowItem[PANEL_ITEM_COUNT] = {};
};

Q_DECLARE_METATYPE(DevTestResult)
Q_DECLARE_METATYPE(CustomizeItem)
