#pragma once

#include "HttpCode.h"
#include "OrderRow.h"

#include <QDialog>
#include <QString>
#include <QVector>

namespace Ui {
class OrderChooseDialog;
}

class BackendDialogOwner;
class HttpClient;
class QCloseEvent;
class QComboBox;
class QModelIndex;
class QStandardItemModel;

// The modal dialog in which the operator picks the work order to test. "Next Step"
// fetches the order's configuration package, alarm audio, test configuration,
// details and logo, hands them to the owner and accepts the dialog when every
// step succeeded; the last failure stays in the hint line. With the after-sales
// right, "After Sale" leaves into the after-sales mode instead.
class OrderChooseDialog : public QDialog {
    Q_OBJECT
public:
    // owner receives the results and is closed with the dialog; may be null.
    explicit OrderChooseDialog(BackendDialogOwner* owner);
    ~OrderChooseDialog() override;

    // Shows the orders (an empty list changes nothing) and clears the choice.
    void SetOrderList(const QVector<OrderRow>& rows);
    // The table row last clicked, -1 for none.
    int SelectedRow() const { return m_iSelectedRow; }

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void slot_NextStepBtnClicked();
    void slot_AfterSaleBtnClicked();
    void slot_TabelView_clicked(const QModelIndex& index);
    void slot_cmb_OrderNum_currentIndexChanged(int index);
    void slot_cmb_Model_currentIndexChanged(int index);

private:
    struct Run;

    void InitDialog();
    void InitTable();
    static void InitFilterCombo(QComboBox* combo);
    static void FillFilterCombo(QComboBox* combo, const QStringList& values);
    void FilterOrders(const QString& orderSn, const QString& model);
    void FillTable(const QVector<OrderRow>& rows);

    // The steps of "Next Step"; a false return ends the sequence.
    bool FetchConfigPackage(Run& run, const QString& model);
    void FetchAlarmFile(Run& run, const QString& model);
    void FetchTestConfig(Run& run, const QString& model);
    void FetchOrderDetail(Run& run, const QString& orderSn);
    // Downloads the logo into the logo folder; the path handed on, empty when the
    // URL gives no usable file name.
    QString DownloadLogoFile(const QString& logoUrl);
    // Downloads url into folder (ending in "/"). *path: the file the download writes,
    // empty (and DownloadFile without a request) when the URL gives no usable file name.
    static HttpCode DownloadInto(HttpClient& client, const QString& folder, const QString& url, int kind,
                            const QString& fileKind, QString* path);

    // A failed step: its hint, its log line, the success flag cleared. Return false.
    bool RequestFailed(Run& run, const char* operation, const QString& hint);
    bool ReplyFailed(Run& run, const char* operation, const char* member, const QString& hint);
    // Also deletes what the download left at path.
    bool DownloadFailed(Run& run, const char* what, HttpCode code, const QString& path, const QString& hint);
    void ShowHint(const QString& text);

    Ui::OrderChooseDialog* ui;
    BackendDialogOwner* m_pOwner = nullptr;
    QStandardItemModel* m_pModel = nullptr;
    int m_iSelectedRow = -1;
    QVector<OrderRow> m_orderRows;
};
