#pragma once

#include "ConfigInfo.h"

#include <QDialog>
#include <QPointer>
#include <QVector>

#include <memory>

class QCheckBox;
class QTimer;

namespace Ui {
class ManualTestItemDisplayDlg;
}

// Chooses which of the 24 manual items the station shows: the flags of
// MANUAL_TEST_ITEM_DISAPLAY, ticked here or set from an order's display list.
// refresh() tells the owner (the settings form) that new flags are stored.
class ManualTestItemDisplayDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int CLOSE_DELAY_MS = 1000;

    // owner: the settings form; its onRefreshManualTestItemUIEimtShot(), when
    // it has one, answers refresh().
    explicit ManualTestItemDisplayDlg(QWidget* owner = nullptr);
    ~ManualTestItemDisplayDlg() override;

    // Reads the stored flags into the boxes; each opening calls it.
    void LoadFlags();
    // Sets and stores the flags from an order's "ma_item_display" (numbers 1..24
    // joined by ","); the boxes follow at the next LoadFlags. 0, or -1 when the
    // settings file could not be written.
    int ApplyServerItemDisplay(const QString& itemDisplay);

    // Flags of an order's display list: only numbers 1..24 count.
    static ManualItemDisplayFlags ParseItemDisplay(const QString& itemDisplay);

signals:
    void refresh();

public slots:
    void OnSaveBtnClicked();
    void onCloseWidget();

private:
    void FitBoxes();

    QPointer<QWidget> m_pOwner;
    ManualItemDisplayFlags m_flags;
    QVector<QCheckBox*> m_boxes;   // flag order
    QTimer* m_closeTimer = nullptr;
    std::unique_ptr<Ui::ManualTestItemDisplayDlg> ui;
};
