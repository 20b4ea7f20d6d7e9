#include "OrderChooseDialog.h"

#include "ui_OrderChooseDialog.h"

#include "AppGlobals.h"
#include "BackendDialogOwner.h"
#include "BackendEndpoint.h"
#include "HttpClient.h"
#include "InfoBox.h"
#include "JsonReply.h"
#include "Log.h"
#include "ModalHook.h"
#include "OrderDetail.h"
#include "TestConfig.h"
#include "WorkOrderFiles.h"

#include <QCloseEvent>
#include <QCompleter>
#include <QFile>
#include <QHeaderView>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <json/value.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int DOWNLOAD_LIMIT_S = 10;

enum DownloadKind { KIND_PACKAGE = 0, KIND_ALARM = 1, KIND_LOGO = 2 };

// Reads text members of a reply body; false with the offending key in *wrong.
bool ReadReplyTexts(const char* body, std::initializer_list<std::pair<const char*, QString*>> members,
                    const char** wrong)
{
    Json::Value root;
    if (!JsonReply::ParseObject(body, strlen(body), &root)) {
        *wrong = "reply";
        return false;
    }
    for (const auto& member : members) {
        std::string value;
        if (!JsonReply::ReadString(root, member.first, &value)) {
            *wrong = member.first;
            return false;
        }
        *member.second = QString::fromUtf8(value.c_str());
    }
    return true;
}

void RemoveIfPresent(const QString& path)
{
    if (!path.isEmpty() && QFile::exists(path))
        QFile::remove(path);
}

}  // namespace

// One run of the "Next Step" sequence: one client, the last reply, the files so far.
struct OrderChooseDialog::Run {
    HttpClient client;
    HttpResult reply;
    BackendEndpoint backend = BackendEndpoint::Station();
    bool ok = true;
    QString packagePath;
    QString alarmPath;
    QString logoPath;

    const char* Body() const { return reply.body.c_str(); }
};

OrderChooseDialog::OrderChooseDialog(BackendDialogOwner* owner)
    : QDialog(nullptr), ui(new Ui::OrderChooseDialog), m_pOwner(owner)
{
    ui->setupUi(this);
    m_iSelectedRow = -1;
    InitDialog();
}

OrderChooseDialog::~OrderChooseDialog()
{
    delete ui;
}

void OrderChooseDialog::InitDialog()
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(tr("Select Work Order"));
    setWindowIcon(QIcon(AppDirPath() + "/Skin/mv_logo"));
    // Sizes below are taken from the laid-out form.
    layout()->activate();
    InitTable();
    InitFilterCombo(ui->cmb_OrderNumber);
    InitFilterCombo(ui->cmb_Model);
    ui->btn_AfterSale->setVisible(AfterSalesRight);

    connect(ui->btn_NextStep, &QPushButton::clicked, this, &OrderChooseDialog::slot_NextStepBtnClicked);
    connect(ui->btn_AfterSale, &QPushButton::clicked, this, &OrderChooseDialog::slot_AfterSaleBtnClicked);
    connect(ui->tableView, &QTableView::clicked, this, &OrderChooseDialog::slot_TabelView_clicked);
    connect(ui->cmb_OrderNumber, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &OrderChooseDialog::slot_cmb_OrderNum_currentIndexChanged);
    connect(ui->cmb_Model, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &OrderChooseDialog::slot_cmb_Model_currentIndexChanged);
}

void OrderChooseDialog::InitTable()
{
    m_pModel = new QStandardItemModel(0, 3, this);
    m_pModel->setHorizontalHeaderLabels({tr("order numer"), tr("model"), tr("complete percent")});
    QTableView* table = ui->tableView;
    table->setModel(m_pModel);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setMouseTracking(true);
    const int width = table->width();
    table->setColumnWidth(0, width * 3 / 5);
    table->setColumnWidth(1, width / 5);
    table->setColumnWidth(2, width / 5 - 5);
}

void OrderChooseDialog::InitFilterCombo(QComboBox* combo)
{
    auto* completer = new QCompleter(combo->model(), combo);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    combo->setCompleter(completer);
    combo->setMaximumWidth(combo->width());
}

void OrderChooseDialog::FillFilterCombo(QComboBox* combo, const QStringList& values)
{
    combo->clear();
    combo->addItem(QString());
    combo->addItems(values);
}

void OrderChooseDialog::SetOrderList(const QVector<OrderRow>& rows)
{
    if (rows.isEmpty())
        return;
    m_orderRows = rows;
    QStringList orderNumbers;
    QStringList models;
    for (const OrderRow& row : rows) {
        if (!orderNumbers.contains(row.order_sn))
            orderNumbers << row.order_sn;
        if (!models.contains(row.model))
            models << row.model;
    }
    {
        // One refill of the table below, not one per combo change.
        const QSignalBlocker blockOrders(ui->cmb_OrderNumber);
        const QSignalBlocker blockModels(ui->cmb_Model);
        FillFilterCombo(ui->cmb_OrderNumber, orderNumbers);
        FillFilterCombo(ui->cmb_Model, models);
    }
    FillTable(rows);
    ui->btn_AfterSale->setVisible(AfterSalesRight);
}

void OrderChooseDialog::FillTable(const QVector<OrderRow>& rows)
{
    m_pModel->removeRows(0, m_pModel->rowCount());
    for (const OrderRow& row : rows) {
        m_pModel->appendRow({new QStandardItem(row.order_sn), new QStandardItem(row.model),
                             new QStandardItem(row.complete_percent)});
    }
    // A remembered row would now name another order, or none.
    m_iSelectedRow = -1;
    ui->tableView->clearSelection();
}

void OrderChooseDialog::FilterOrders(const QString& orderSn, const QString& model)
{
    QVector<OrderRow> kept;
    for (const OrderRow& row : m_orderRows) {
        if ((orderSn.isEmpty() || orderSn == row.order_sn) && (model.isEmpty() || model == row.model))
            kept.append(row);
    }
    FillTable(kept);
}

void OrderChooseDialog::slot_cmb_OrderNum_currentIndexChanged(int /*index*/)
{
    FilterOrders(ui->cmb_OrderNumber->currentText(), ui->cmb_Model->currentText());
}

void OrderChooseDialog::slot_cmb_Model_currentIndexChanged(int /*index*/)
{
    FilterOrders(ui->cmb_OrderNumber->currentText(), ui->cmb_Model->currentText());
}

void OrderChooseDialog::slot_TabelView_clicked(const QModelIndex& index)
{
    if (index.isValid())
        m_iSelectedRow = index.row();
}

void OrderChooseDialog::ShowHint(const QString& text)
{
    ui->lb_Hint->setText(text);
}

void OrderChooseDialog::slot_NextStepBtnClicked()
{
    if (m_iSelectedRow < 0 || m_iSelectedRow >= m_pModel->rowCount()) {
        RunInfoBox(this, tr("Error"), tr("Please select a test order number first"), "OK");
        return;
    }
    ui->lb_Hint->clear();
    const QString orderSn = m_pModel->index(m_iSelectedRow, 0).data().toString();
    const QString model = m_pModel->index(m_iSelectedRow, 1).data().toString();
    if (orderSn.isEmpty())
        return;

    Run run;
    // A failure of the package step ends the sequence; the later steps run on
    // after a failure and only keep the dialog open.
    if (FetchConfigPackage(run, model)) {
        FetchAlarmFile(run, model);
        FetchTestConfig(run, model);
        FetchOrderDetail(run, orderSn);
    }
    if (run.ok)
        accept();
}

bool OrderChooseDialog::RequestFailed(Run& run, const char* operation, const QString& hint)
{
    ShowHint(hint);
    LogPrint(LOG_INFO, "OrderChooseDialog::slot_NextStepBtnClicked() %s return error, ret=%d, szRecvBuf=%s", operation,
             run.reply.Value(), run.Body());
    return run.ok = false;
}

bool OrderChooseDialog::ReplyFailed(Run& run, const char* operation, const char* member, const QString& hint)
{
    ShowHint(hint);
    LogPrint(LOG_INFO, "OrderChooseDialog::slot_NextStepBtnClicked() %s reply member %s is of another kind, szRecvBuf=%s",
             operation, member, run.Body());
    return run.ok = false;
}

bool OrderChooseDialog::DownloadFailed(Run& run, const char* what, HttpCode code, const QString& path,
                                       const QString& hint)
{
    ShowHint(hint);
    LogPrint(LOG_INFO, "OrderChooseDialog::slot_NextStepBtnClicked() HttpDownloadFile download %s return error, ret=%d",
             what, CodeValue(code));
    RemoveIfPresent(path);
    return run.ok = false;
}

HttpCode OrderChooseDialog::DownloadInto(HttpClient& client, const QString& folder, const QString& url, int kind,
                                         const QString& fileKind, QString* path)
{
    std::string name;
    if (!HttpClient::DownloadFileName(url.toStdString(), kind, fileKind.toStdString(), &name)) {
        LogPrint(LOG_INFO, "OrderChooseDialog: the address %s names no usable file", url.toUtf8().constData());
        path->clear();
        return HttpCode::DownloadFile;
    }
    *path = folder + QString::fromUtf8(name.c_str());
    return client.HttpDownloadFile(BackendEndpoint::Station(), folder.toUtf8().constData(), url.toUtf8().constData(),
                                   kind, fileKind.toUtf8().constData(), DOWNLOAD_LIMIT_S);
}

bool OrderChooseDialog::FetchConfigPackage(Run& run, const QString& model)
{
    const QString hint = tr("get config package download addr failed");
    run.reply = run.client.HttpGetConfigPackageDownloadAddr(run.backend, model.toUtf8().constData());
    if (!run.reply.Accepted())
        return RequestFailed(run, "HttpGetConfigPackageDownloadAddr", hint);
    QString url;
    const char* wrong = nullptr;
    if (!ReadReplyTexts(run.Body(), {{"url", &url}}, &wrong))
        return ReplyFailed(run, "HttpGetConfigPackageDownloadAddr", wrong, hint);
    if (url.isEmpty()) {
        LogPrint(LOG_INFO, "#OrderChooseDialog::slot_NextStepBtnClicked() HttpGetConfigPackageDownloadAddr return url "
                           "is empty, not downlaod config file package !");
        return true;
    }
    QString folder;
    const HttpCode dl = PrepareConfigPackageDir(model, &folder)
        ? DownloadInto(run.client, folder, url, KIND_PACKAGE, QString(), &run.packagePath)
        : HttpCode::DownloadFile;
    if (dl != HttpCode::Ok)
        return DownloadFailed(run, "config file", dl, run.packagePath, tr("download config file package failed"));
    if (!IsConfigPackageIntack(run.packagePath)) {
        ShowHint(tr("check config file package not intack"));
        LogPrint(LOG_INFO, "OrderChooseDialog::slot_NextStepBtnClicked() IsConfigPackageIntack return error");
        RemoveIfPresent(run.packagePath);
        return run.ok = false;
    }
    return true;
}

void OrderChooseDialog::FetchAlarmFile(Run& run, const QString& model)
{
    const QString hint = tr("get audio alarm file download addr failed");
    run.reply = run.client.HttpGetAudioAlarmFileDownloadAddr(run.backend, model.toUtf8().constData());
    if (!run.reply.Accepted()) {
        RequestFailed(run, "HttpGetAudioAlarmFileDownloadAddr", hint);
        return;
    }
    QString url;
    QString type;
    const char* wrong = nullptr;
    if (!ReadReplyTexts(run.Body(), {{"url", &url}, {"type", &type}}, &wrong)) {
        ReplyFailed(run, "HttpGetAudioAlarmFileDownloadAddr", wrong, hint);
        return;
    }
    if (url.isEmpty()) {
        LogPrint(LOG_INFO, "#OrderChooseDialog::slot_NextStepBtnClicked() HttpGetAudioAlarmFileDownloadAddr return url "
                           "is empty, not downlaod audio alarm file!");
        return;
    }
    QString folder;
    const HttpCode dl = ClearAudioAlarmFileDir(&folder)
        ? DownloadInto(run.client, folder, url, KIND_ALARM, type, &run.alarmPath)
        : HttpCode::DownloadFile;
    // On failure the path handed on still names the file the download was to write.
    if (dl != HttpCode::Ok)
        DownloadFailed(run, "audio alram file", dl, run.alarmPath, tr("download audio alarm file failed"));
}

void OrderChooseDialog::FetchTestConfig(Run& run, const QString& model)
{
    const QString hint = tr("get test config initialize info failed");
    run.reply = run.client.HttpGetTestConfigInitializeInfo(run.backend, model.toUtf8().constData());
    if (!run.reply.Accepted()) {
        RequestFailed(run, "HttpGetTestConfigInitializeInfo", hint);
        return;
    }
    TestConfig config;
    QString wrong;
    if (!ParseTestConfigReply(run.Body(), &config, &wrong)) {
        ReplyFailed(run, "HttpGetTestConfigInitializeInfo", wrong.toUtf8().constData(), hint);
        return;
    }
    if (m_pOwner)
        m_pOwner->ApplyTestConfig(config, run.packagePath, run.alarmPath);
}

void OrderChooseDialog::FetchOrderDetail(Run& run, const QString& orderSn)
{
    const QString hint = tr("Failed to get order information");
    run.reply = run.client.HttpGetCurrentOrderInfo(run.backend, orderSn.toUtf8().constData());
    if (!run.reply.Accepted()) {
        RequestFailed(run, "HttpGetCurrentOrderInfo", hint);
        return;
    }
    OrderDetail detail;
    QString wrong;
    if (!ParseOrderDetail(run.Body(), &detail, &wrong)) {
        ReplyFailed(run, "HttpGetCurrentOrderInfo", wrong.toUtf8().constData(), hint);
        return;
    }
    // A logo that cannot be fetched leaves the sequence's outcome as it is.
    if (!detail.logo.isEmpty())
        run.logoPath = DownloadLogoFile(detail.logo);
    if (m_pOwner) {
        m_pOwner->SetOrderCustomization(detail.regions, run.logoPath, detail.mac);
        m_pOwner->SetOrderDataDisplay(OrderDataText(detail));
        m_pOwner->SetOrderDetail(orderSn, detail.module_model, detail.cloud_module_alias);
    }
    LogPrint(LOG_INFO,
             "OrderChooseDialog::slot_NextStepBtnClicked() HttpGetCurrentOrderInfo strModuleModel=%s, "
             "strCloudModuleAlias=%s, strMsg=%s",
             detail.module_model.toUtf8().constData(), detail.cloud_module_alias.toUtf8().constData(), run.Body());
}

QString OrderChooseDialog::DownloadLogoFile(const QString& logoUrl)
{
    QString folder;
    QString path;
    HttpClient client;
    const HttpCode ret = ClearLogoFileDir(&folder)
        ? DownloadInto(client, folder, logoUrl, KIND_LOGO, QString(), &path)
        : HttpCode::DownloadFile;
    if (ret != HttpCode::Ok) {
        ShowHint(tr("download logo file failed"));
        LogPrint(LOG_INFO, "OrderChooseDialog::DownloadLogoFile() HttpDownloadFile download logo file return error, ret=%d",
                 CodeValue(ret));
        RemoveIfPresent(path);
    }
    return path;
}

void OrderChooseDialog::slot_AfterSaleBtnClicked()
{
    QMessageBox box(QMessageBox::Question, tr("tips"),
                    tr("After-sales maintenance test data will not be uploaded. Do you want to continue?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.button(QMessageBox::Yes)->setText(tr("continue"));
    box.button(QMessageBox::No)->setText(tr("return"));
    if (ModalHook::Exec(&box) != QMessageBox::Yes)
        return;
    WholeMachineTestMode = false;
    if (m_pOwner)
        m_pOwner->EnterAfterSalesMode();
    accept();
}

void OrderChooseDialog::closeEvent(QCloseEvent* event)
{
    CloseMainWindowLater(m_pOwner, this);
    QDialog::closeEvent(event);
}
