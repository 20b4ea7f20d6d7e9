#include "QRCodePrintSetting.h"

#include "ui_QRCodePrintSetting.h"

#include "AddCustomContentDlg.h"
#include "AppGlobals.h"
#include "Clock.h"
#include "CustomLabel.h"
#include "FileDialogHook.h"
#include "LabelItemParam.h"
#include "LabelLine.h"
#include "LabelPrintConfig.h"
#include "LabelPrintJob.h"
#include "LabelPrinter.h"
#include "Log.h"
#include "ModalHook.h"

#include <QCloseEvent>
#include <QDate>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegExpValidator>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <vector>

const char* const QRCodePrintSetting::SampleSerialNumber = "2023080112345678";
const char* const QRCodePrintSetting::SampleIndentifyCode = "508316";
const char* const QRCodePrintSetting::SampleMac = "02:7c:41:af:0a:3f";
const char* const QRCodePrintSetting::SampleMacBarcode = "027c41af0a3f";
const char* const QRCodePrintSetting::SampleAppDownloadHost = "app.vantrel.example";

namespace {

constexpr float kDefaultBaseMm = 40.0f;
constexpr float kDefaultQrMm = 20.0f;
constexpr float kDefaultFontMm = 2.0f;
constexpr float kDefaultBarcodeWidthMm = 24.0f;
constexpr float kDefaultBarcodeHeightMm = 4.0f;
constexpr float kNewItemOffsetMm = 2.0f;
constexpr int kDefaultGapPx = 3;
const char* const kTemplateFilter = "*ini";

QString Decimals8(float value)
{
    return QString::number(double(value), 'f', 8);
}

QString TodayText()
{
    const WallTime now = Clock::Now();
    return QDate(now.year, now.month, now.day).toString("yyyy-MM-dd");
}

// The index field of a line that gave no item; none for a line without nine fields.
bool KeptIndex(const QString& line, int* index)
{
    const QStringList fields = LabelLine::SplitFields(line);
    if (fields.isEmpty())
        return false;
    *index = fields.last().toInt();
    return true;
}

}  // namespace

QString QRCodePrintSetting::SampleBindText()
{
    return QString("bind://v1@type3:%1:%2").arg(SampleSerialNumber, SampleIndentifyCode);
}

QString QRCodePrintSetting::SampleAppPayload()
{
    return QString("http://%1/client/goappurl.php?v=1&q.php?s=").arg(SampleAppDownloadHost) + SampleBindText();
}

QRCodePrintSetting::QRCodePrintSetting(QWidget* owner)
    : QDialog(owner)
    , ui(new Ui::QRCodePrintSetting)
    , m_pOwner(owner)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    // Titled after the settings form's button that opens it.
    setWindowTitle(tr("打印模板配置"));
    m_pCloseTimer = new QTimer(this);
    m_pCloseTimer->setObjectName("closeTimer");
    m_pCloseTimer->setSingleShot(true);
    m_pCloseTimer->setInterval(1000);
    connect(m_pCloseTimer, &QTimer::timeout, this, &QRCodePrintSetting::onCloseQRCodePrintSettingWidget);
    InitUi();
}

QRCodePrintSetting::~QRCodePrintSetting()
{
    delete ui;
}

void QRCodePrintSetting::InitUi()
{
    m_pAddDlg = nullptr;
    m_iLabelIndex = LabelLine::FirstCustomItem;
    CreateDefaultLabels();
    ui->cmb_ContentType->addItems(
        {tr("text"), tr("horizontal line"), tr("vertical line"), tr("picture"), tr("barcode")});
    SetDefaultValues();
    LoadCurrentConfig();
    ui->le_PrintFilePath->setText(CurrentPrintConfigPath);
    InstallValidators();
    ConnectSignals();
    // The defaults and the load above came before the connection.
    onCurrentIndexChanged(ui->cmb_PrintMode->currentIndex());
    RefreshPreview();
    ui->btn_RefreshPreview->setFocus();
}

CustomLabel* QRCodePrintSetting::NewLabel(int type, float canvasWidth, float canvasHeight)
{
    return new CustomLabel(type, canvasWidth, canvasHeight, this);
}

void QRCodePrintSetting::SetIndex(CustomLabel* item, int index)
{
    item->setProperty("index", index);
    item->index = item->property("index").toInt();
}

void QRCodePrintSetting::CreateDefaultLabels()
{
    m_vecLabels.clear();
    const float canvasWidth = float(kDefaultBaseMm * ScreenPxScaleX);
    const float canvasHeight = float(kDefaultBaseMm * ScreenPxScaleY);
    const auto add = [&](int type, int index) {
        CustomLabel* item = NewLabel(type, canvasWidth, canvasHeight);
        SetIndex(item, index);
        m_vecLabels.append(LabelEntry{item, QString()});
        return item;
    };
    const auto placeBelow = [](CustomLabel* item, const CustomLabel* above, int x) {
        item->move(x, above->y() + above->height() + kDefaultGapPx);
    };

    CustomLabel* qr = add(LabelLine::QrCode, LabelLine::QrCodeItem);
    qr->setFixedSize(CustomLabel::ToPxX(kDefaultQrMm), CustomLabel::ToPxY(kDefaultQrMm));
    CustomLabel::DrawQRCode(qr, SampleAppPayload());
    qr->move(kDefaultGapPx, 0);
    CustomLabel* sn = add(LabelLine::Text, LabelLine::SnText);
    sn->ApplyText(tr("SN:%1").arg(SampleSerialNumber), kDefaultFontMm);
    placeBelow(sn, qr, kDefaultGapPx);
    CustomLabel* snBarcode = add(LabelLine::Barcode, LabelLine::SnBarcode);
    snBarcode->ApplyBarcode(SampleSerialNumber, kDefaultBarcodeWidthMm, kDefaultBarcodeHeightMm);
    placeBelow(snBarcode, sn, 0);
    CustomLabel* pin = add(LabelLine::Text, LabelLine::IndentifyText);
    pin->ApplyText(tr("indentifyCode:508316"), kDefaultFontMm);
    placeBelow(pin, snBarcode, kDefaultGapPx);
    CustomLabel* date = add(LabelLine::Text, LabelLine::DateText);
    date->ApplyText(TodayText(), kDefaultFontMm);
    placeBelow(date, pin, kDefaultGapPx);
    CustomLabel* mac = add(LabelLine::Text, LabelLine::MacText);
    mac->ApplyText(tr("MAC:02:7c:41:af:0a:3f"), kDefaultFontMm);
    placeBelow(mac, date, kDefaultGapPx);
    CustomLabel* macBarcode = add(LabelLine::Barcode, LabelLine::MacBarcode);
    macBarcode->ApplyBarcode(SampleMacBarcode, kDefaultBarcodeWidthMm, kDefaultBarcodeHeightMm);
    placeBelow(macBarcode, mac, 0);

    for (const LabelEntry& entry : qAsConst(m_vecLabels)) {
        entry.item->RecordGeometry();
        entry.item->show();
    }
}

void QRCodePrintSetting::SetDefaultValues()
{
    ui->le_BasePictureWidth->setText(QString::number(int(kDefaultBaseMm)));
    ui->le_BasePictureHeight->setText(QString::number(int(kDefaultBaseMm)));
    ui->le_QRCodeWidth->setText(QString::number(int(kDefaultQrMm)));
    ui->le_SNFontSize->setText(QString::number(int(kDefaultFontMm)));
    ui->le_PrintPaperSpacing->setText(QString::number(2));
    ui->ckb_showSN->setChecked(true);
    ui->ckb_showIndentifyCode->setChecked(true);
    ui->ckb_showTimeDate->setChecked(true);
    ui->ckb_showMac->setChecked(true);
    ui->cmb_PrintMode->setCurrentIndex(1);
    ui->ckb_supportJumoAPP->setChecked(false);
    ui->ckb_showEnglish->setChecked(false);
}

void QRCodePrintSetting::InstallValidators()
{
    const auto install = [this](QLineEdit* edit, const char* pattern, const QString& placeholder) {
        edit->setValidator(new QRegExpValidator(QRegExp(pattern, Qt::CaseSensitive), this));
        edit->setPlaceholderText(placeholder);
    };
    install(ui->le_BasePictureWidth, "^[0-9][.][0-9]|[1-8][0-9][.][0-9]|[9][0]", "1.0-90.0");
    install(ui->le_BasePictureHeight, "^[0-9][.][0-9]|[1-3][0-9][.][0-9]|[4][0]", "1.0-40.0");
    install(ui->le_QRCodeWidth, "^[0-9][.][0-9]|[1-2][0-9][.][0-9]|[3][0]", "1.0-30.0");
    install(ui->le_SNFontSize, "^[1-4][.][0-9]||[5]", "1.0-5.0");
    install(ui->le_PrintPaperSpacing, "^[0-9]+([.]{1}[0-9]{1})?$", tr("eg:2.0"));
}

void QRCodePrintSetting::ConnectSignals()
{
    connect(ui->btn_RefreshPreview, SIGNAL(clicked()), this, SLOT(onRefreshPreviewBtnClicked()));
    connect(ui->btn_QRCodeSettingSave, SIGNAL(clicked()), this, SLOT(onQRCodeSettingSaveBtnClicked()));
    connect(ui->btn_LoadConfigFile, SIGNAL(clicked()), this, SLOT(onLoadConfigFileBtnClicked()));
    connect(ui->btn_AddContent, SIGNAL(clicked()), this, SLOT(onAddContentBtnClicked()));
    connect(ui->btn, SIGNAL(clicked()), this, SLOT(onBtnClicked()));
    connect(ui->cmb_PrintMode, SIGNAL(currentIndexChanged(int)), this, SLOT(onCurrentIndexChanged(int)));
}

std::vector<QRCodePrintSetting::SizeField> QRCodePrintSetting::SizeFields() const
{
    const bool anyStationText = ui->ckb_showSN->isChecked() || ui->ckb_showIndentifyCode->isChecked()
                                || ui->ckb_showTimeDate->isChecked() || ui->ckb_showMac->isChecked();
    return {
        {ui->le_BasePictureWidth, true, tr("base picture width can't is empty"),
         tr("Allowed base width: 1.0 to 90.0 mm"), 1.0f, 90.0f},
        {ui->le_BasePictureHeight, true, tr("base picture height can't is empty"),
         tr("Allowed base height: 1.0 to 40.0 mm"), 1.0f, 40.0f},
        {ui->le_QRCodeWidth, true, tr("QRCode width height can't is empty"),
         tr("Allowed QR code size: 1.0 to 30.0 mm"), 1.0f, 30.0f},
        {ui->le_SNFontSize, anyStationText, tr("SN font size can't is empty"),
         tr("Allowed font size: 1.0 to 5.0 mm"), 1.0f, 5.0f},
    };
}

bool QRCodePrintSetting::CheckInput()
{
    for (const SizeField& f : SizeFields()) {
        if (f.needed && f.edit->text().isEmpty()) {
            ShowInputError(f.emptyMessage + "\n" + f.range);
            return false;
        }
    }
    if (ui->cmb_PrintMode->currentIndex() == 1 && ui->le_PrintPaperSpacing->text().isEmpty()) {
        ShowInputError(tr("The print mode is double-column printing, and the paper interval cannot be empty"));
        return false;
    }
    return true;
}

bool QRCodePrintSetting::CheckRanges()
{
    // A thousandth of a millimetre: the edits hold one decimal.
    constexpr float kSlack = 0.001f;
    for (const SizeField& f : SizeFields()) {
        const float value = f.edit->text().toFloat();
        if (f.needed && !(value >= f.min - kSlack && value <= f.max + kSlack)) {
            ShowInputError(f.range);
            return false;
        }
    }
    return true;
}

QString QRCodePrintSetting::ItemName(const CustomLabel* item)
{
    switch (item->index) {
    case LabelLine::QrCodeItem: return tr("QR code");
    case LabelLine::SnText: return tr("SN text");
    case LabelLine::SnBarcode: return tr("SN barcode");
    case LabelLine::IndentifyText: return tr("verification code");
    case LabelLine::DateText: return tr("date");
    case LabelLine::MacText: return tr("MAC text");
    case LabelLine::MacBarcode: return tr("MAC barcode");
    default: break;
    }
    const QStringList kinds = {tr("text"), tr("horizontal line"), tr("vertical line"), tr("picture"), tr("barcode")};
    const QString kind = kinds.value(item->type, tr("item"));
    return item->labelText.isEmpty() ? kind : QString("%1 \"%2\"").arg(kind, item->labelText);
}

QStringList QRCodePrintSetting::ItemsOutsideLabel() const
{
    const float width = ui->le_BasePictureWidth->text().toFloat();
    const float height = ui->le_BasePictureHeight->text().toFloat();
    // Positions come from whole preview pixels: one pixel is not yet outside.
    const double slackX = ScreenMmScaleX;
    const double slackY = ScreenMmScaleY;
    QStringList outside;
    for (const LabelEntry& entry : m_vecLabels) {
        const CustomLabel* item = entry.item;
        if (!item || item->isHidden())
            continue;
        if (item->mmX < -slackX || item->mmY < -slackY || item->mmX + item->mmWidth > width + slackX
            || item->mmY + item->mmHeight > height + slackY)
            outside << ItemName(item);
    }
    return outside;
}

void QRCodePrintSetting::WarnItemsOutsideLabel()
{
    const QStringList outside = ItemsOutsideLabel();
    if (outside.isEmpty())
        return;
    LogPrint(LOG_INFO, "QRCodePrintSetting: %d item(s) reach beyond the label", int(outside.size()));
    ShowError(tr("These items reach beyond the label (%1 x %2 mm) and would be cut off:\n%3")
                  .arg(ui->le_BasePictureWidth->text(), ui->le_BasePictureHeight->text(), outside.join("\n")));
}

bool QRCodePrintSetting::RefreshForOperator()
{
    if (!CheckInput() || !CheckRanges() || !RefreshPreview())
        return false;
    WarnItemsOutsideLabel();
    return true;
}

void QRCodePrintSetting::onRefreshPreviewBtnClicked()
{
    RefreshForOperator();
}

bool QRCodePrintSetting::RefreshPreview()
{
    if (!CheckInput())
        return false;
    m_fBaseWidth = float(ui->le_BasePictureWidth->text().toFloat() * ScreenPxScaleX);
    m_fBaseHeight = float(ui->le_BasePictureHeight->text().toFloat() * ScreenPxScaleY);
    ui->lb_Base->setFixedSize(CustomLabel::PixelsOf(m_fBaseWidth), CustomLabel::PixelsOf(m_fBaseHeight));
    for (const LabelEntry& entry : qAsConst(m_vecLabels)) {
        if (!entry.item)
            continue;
        entry.item->SetCanvasSize(m_fBaseWidth, m_fBaseHeight);
        RefreshFixedItem(entry.item);
    }
    update();
    return true;
}

// The fixed items show the sample data as the printer will fill them in. They are
// taken by type as well as index, as the printer takes them.
void QRCodePrintSetting::RefreshFixedItem(CustomLabel* item)
{
    if (item->type == LabelLine::QrCode) {
        const float q = ui->le_QRCodeWidth->text().toFloat();
        item->setFixedSize(CustomLabel::ToPxX(q), CustomLabel::ToPxY(q));
        item->mmWidth = q;
        item->mmHeight = q;
        CustomLabel::DrawQRCode(item, ui->ckb_supportJumoAPP->isChecked() ? SampleAppPayload() : SampleBindText());
        return;
    }
    const int index = item->property("index").toInt();
    const bool english = ui->ckb_showEnglish->isChecked();
    if (item->type == LabelLine::Text) {
        switch (index) {
        case LabelLine::SnText:
            RefreshStationText(item, ui->ckb_showSN->isChecked(),
                               english ? QString("SN: %1").arg(SampleSerialNumber)
                                       : tr("SN:%1").arg(SampleSerialNumber));
            break;
        case LabelLine::IndentifyText:
            RefreshStationText(item, ui->ckb_showIndentifyCode->isChecked(),
                               english ? QString("PIN: 508316") : tr("indentifyCode:508316"));
            break;
        case LabelLine::DateText:
            RefreshStationText(item, ui->ckb_showTimeDate->isChecked(), item->labelText);
            break;
        case LabelLine::MacText:
            RefreshStationText(item, ui->ckb_showMac->isChecked(),
                               english ? QString("MAC: 02:7c:41:af:0a:3f") : tr("MAC:02:7c:41:af:0a:3f"));
            break;
        default:
            break;
        }
        return;
    }
    if (item->type != LabelLine::Barcode || (index != LabelLine::SnBarcode && index != LabelLine::MacBarcode))
        return;
    const bool sn = index == LabelLine::SnBarcode;
    if (!(sn ? ui->ckb_showSN : ui->ckb_showMac)->isChecked()) {
        item->hide();
        return;
    }
    item->show();
    item->RecordGeometry();
    CustomLabel::DrawBarcode(item, sn ? SampleSerialNumber : SampleMacBarcode);
}

void QRCodePrintSetting::RefreshStationText(CustomLabel* item, bool shown, const QString& text)
{
    if (!shown) {
        item->hide();
        return;
    }
    item->show();
    item->ApplyText(text, ui->le_SNFontSize->text().toFloat());
    item->RecordGeometry();
}

void QRCodePrintSetting::onAddContentBtnClicked()
{
    m_pAddDlg = new AddCustomContentDlg(ui->cmb_ContentType->currentIndex(), this);
    ModalHook::Exec(m_pAddDlg);
    m_pAddDlg->deleteLater();
    m_pAddDlg = nullptr;
}

void QRCodePrintSetting::onCreatSignalEmit(void* pPram)
{
    if (!pPram)
        return;
    const LabelItemParam& param = *static_cast<const LabelItemParam*>(pPram);
    if (param.type < LabelLine::Text || param.type > LabelLine::Barcode)
        return;
    CustomLabel* item = NewLabel(param.type, m_fBaseWidth, m_fBaseHeight);
    switch (param.type) {
    case LabelLine::Text:
        item->ApplyText(param.text, param.fontSize);
        break;
    case LabelLine::HorizontalLine:
    case LabelLine::VerticalLine:
        item->ApplyLine(param.width, param.height);
        break;
    case LabelLine::Picture:
        if (!item->ApplyPicture(param.picturePath, param.width, param.height)) {
            LogPrint(LOG_GENERAL, "QRCodePrintSetting::onCreatSignalEmit() picture %s does not load, no item added",
                     qPrintable(param.picturePath));
            delete item;
            return;
        }
        break;
    default:
        item->ApplyBarcode(param.text, param.width, param.height);
        break;
    }
    item->move(CustomLabel::ToPxX(kNewItemOffsetMm), CustomLabel::ToPxY(kNewItemOffsetMm));
    item->show();
    item->mmX = CustomLabel::ToMmX(item->x());
    item->mmY = CustomLabel::ToMmY(item->y());
    const int index = FreeIndexFrom(m_iLabelIndex);
    SetIndex(item, index);
    m_vecLabels.append(LabelEntry{item, QString()});
    m_iLabelIndex = FreeIndexFrom(qint64(index) + 1);
}

void QRCodePrintSetting::onDelete()
{
    auto* item = qobject_cast<CustomLabel*>(sender());
    if (!item)
        return;
    item->hide();
    for (int i = 0; i < m_vecLabels.size(); ++i) {
        if (m_vecLabels.at(i).item == item) {
            m_vecLabels.remove(i);
            break;
        }
    }
    // The request comes from inside the item's own menu, whose loop still runs.
    item->deleteLater();
}

qint64 QRCodePrintSetting::LargestIndex() const
{
    qint64 largest = LLONG_MIN;
    for (const LabelEntry& entry : m_vecLabels) {
        int index = 0;
        if (entry.item)
            largest = std::max<qint64>(largest, entry.item->index);
        else if (KeptIndex(entry.keptLine, &index))
            largest = std::max<qint64>(largest, index);
    }
    return largest;
}

int QRCodePrintSetting::FreeIndexFrom(qint64 from) const
{
    QSet<int> used;
    for (const LabelEntry& entry : m_vecLabels) {
        int index = 0;
        if (entry.item)
            used.insert(entry.item->index);
        else if (KeptIndex(entry.keptLine, &index))
            used.insert(index);
    }
    // Past the top of the range the search starts again at the first custom index.
    qint64 candidate = std::max<qint64>(from, LabelLine::FirstCustomItem);
    if (candidate > INT_MAX)
        candidate = LabelLine::FirstCustomItem;
    while (candidate < INT_MAX && used.contains(int(candidate)))
        ++candidate;
    return int(candidate);
}

QString QRCodePrintSetting::SerializeLine(const CustomLabel* item)
{
    return QStringList{QString::number(item->type),
                       Decimals8(item->mmX),
                       Decimals8(item->mmY),
                       Decimals8(item->mmWidth),
                       Decimals8(item->mmHeight),
                       Decimals8(item->fontSize),
                       item->labelText,
                       item->picturePath,
                       QString::number(item->index)}
        .join(',');
}

void QRCodePrintSetting::SerializeLabels()
{
    m_strlLabels.clear();
    for (const LabelEntry& entry : qAsConst(m_vecLabels))
        m_strlLabels << (entry.item ? SerializeLine(entry.item) : entry.keptLine);
}

void QRCodePrintSetting::CreateLabelsFromConfig()
{
    m_vecLabels.clear();
    for (const QString& line : qAsConst(m_strlLabels)) {
        CustomLabel* item = CreateLabelFromLine(line);
        m_vecLabels.append(item ? LabelEntry{item, QString()} : LabelEntry{nullptr, line});
    }
    m_iLabelIndex = FreeIndexFrom(LargestIndex() == LLONG_MIN ? 0 : LargestIndex() + 1);
}

CustomLabel* QRCodePrintSetting::CreateLabelFromLine(const QString& line)
{
    LabelLine l;
    if (!LabelLine::Parse(line, &l) || l.type < LabelLine::Text || l.type > LabelLine::QrCode) {
        LogPrint(LOG_GENERAL, "QRCodePrintSetting: template line \"%s\" gives no item, kept as it is",
                 qPrintable(line));
        return nullptr;
    }
    CustomLabel* item = NewLabel(l.type, m_fBaseWidth, m_fBaseHeight);
    switch (l.type) {
    case LabelLine::Text:
        item->ApplyText(l.text, float(l.fontSize));
        break;
    case LabelLine::HorizontalLine:
    case LabelLine::VerticalLine:
        item->ApplyLine(float(l.width), float(l.height));
        break;
    case LabelLine::Picture:
        if (!item->ApplyPicture(l.picturePath, float(l.width), float(l.height))) {
            LogPrint(LOG_GENERAL, "QRCodePrintSetting: picture %s does not load, its line is kept as it is",
                     qPrintable(l.picturePath));
            delete item;
            return nullptr;
        }
        break;
    case LabelLine::Barcode:
        item->ApplyBarcode(l.text, float(l.width), float(l.height));
        break;
    default:
        item->setFixedSize(CustomLabel::ToPxX(l.width), CustomLabel::ToPxY(l.height));
        ui->le_QRCodeWidth->setText(QString::number(l.width, 'f', 1));
        CustomLabel::DrawQRCode(item, SampleAppPayload());
        item->mmWidth = float(l.width);
        item->mmHeight = float(l.height);
        item->fontSize = 0;
        break;
    }
    // The line's own millimetres, not the whole preview pixel they fall on: loading
    // and saving again must not move the item.
    item->MoveToMm(float(l.x), float(l.y));
    SetIndex(item, l.index);
    item->show();
    return item;
}

void QRCodePrintSetting::ClearLabels()
{
    for (const LabelEntry& entry : qAsConst(m_vecLabels)) {
        if (!entry.item)
            continue;
        entry.item->hide();
        entry.item->deleteLater();
    }
    m_vecLabels.clear();
}

void QRCodePrintSetting::LoadTemplateIntoForm()
{
    PrintTemplate tpl;
    LabelPrintConfig* store = LabelPrintConfig::Instance();
    if (!store->Load(tpl))
        LabelPrintConfig::ShowLoadError(store->LastLoadStatus());
    const auto number = [](float v) { return QString::number(double(v), 'g', 6); };
    ui->le_BasePictureWidth->setText(number(tpl.width));
    ui->le_BasePictureHeight->setText(number(tpl.height));
    ui->le_SNFontSize->setText(number(tpl.fontSize));
    ui->le_PrintPaperSpacing->setText(number(tpl.fPrintPaperSpace));
    ui->ckb_showSN->setChecked(tpl.bShowSn);
    ui->ckb_showIndentifyCode->setChecked(tpl.bShowIndentify);
    ui->ckb_showTimeDate->setChecked(tpl.bShowTimeDate);
    ui->ckb_showMac->setChecked(tpl.bShowMac);
    ui->ckb_showEnglish->setChecked(tpl.bShowEnglish);
    ui->cmb_PrintMode->setCurrentIndex(tpl.iPrintMode);
    ui->cmb_PrintTimes->setCurrentIndex(tpl.iPrintTimes);
    ui->ckb_supportJumoAPP->setChecked(tpl.bSupportJumpDownloadApp);
    m_strlLabels = tpl.labels;
    m_fBaseWidth = ui->le_BasePictureWidth->text().toFloat();
    m_fBaseHeight = ui->le_BasePictureHeight->text().toFloat();
    CreateLabelsFromConfig();
}

void QRCodePrintSetting::LoadCurrentConfig()
{
    if (CurrentPrintConfigPath.isEmpty())
        return;
    ClearLabels();
    LoadTemplateIntoForm();
    ui->le_PrintFilePath->setText(CurrentPrintConfigPath);
    RefreshPreview();
}

QString QRCodePrintSetting::TemplateFolder() const
{
    return AppDirPath() + "/PrintConfig/";
}

void QRCodePrintSetting::onLoadConfigFileBtnClicked()
{
    const QString path =
        FileDialogHook::GetOpenFileName(this, tr("select print config file"), TemplateFolder(), kTemplateFilter);
    if (path.isEmpty())
        return;
    CurrentPrintConfigPath = path;
    ClearLabels();
    LoadTemplateIntoForm();
    ui->le_PrintFilePath->setText(path);
    LabelPrintConfig::Instance()->Reload();
    RefreshPreview();
}

PrintTemplate QRCodePrintSetting::TemplateFromForm()
{
    SerializeLabels();
    PrintTemplate t;
    t.width = ui->le_BasePictureWidth->text().toFloat();
    t.height = ui->le_BasePictureHeight->text().toFloat();
    t.bShowSn = ui->ckb_showSN->isChecked();
    t.bShowIndentify = ui->ckb_showIndentifyCode->isChecked();
    t.bShowTimeDate = ui->ckb_showTimeDate->isChecked();
    t.bShowMac = ui->ckb_showMac->isChecked();
    t.bShowEnglish = ui->ckb_showEnglish->isChecked();
    t.fontSize = ui->le_SNFontSize->text().toFloat();
    t.fPrintPaperSpace = ui->le_PrintPaperSpacing->text().toFloat();
    t.iPrintMode = ui->cmb_PrintMode->currentIndex();
    t.iPrintTimes = ui->cmb_PrintTimes->currentIndex();
    t.bSupportJumpDownloadApp = ui->ckb_supportJumoAPP->isChecked();
    t.labels = m_strlLabels;
    return t;
}

void QRCodePrintSetting::onQRCodeSettingSaveBtnClicked()
{
    if (!CheckInput() || !CheckRanges())
        return;
    WarnItemsOutsideLabel();
    const PrintTemplate tpl = TemplateFromForm();
    const int unstorable = LabelPrintConfig::UnstorableLine(tpl);
    if (unstorable >= 0) {
        ShowError(tr("A label item holds characters the template file (GB2312) cannot store:\n%1")
                      .arg(tpl.labels.at(unstorable)));
        return;
    }
    QString path =
        FileDialogHook::GetSaveFileName(this, tr("save print config file"), TemplateFolder(), kTemplateFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += ".ini";
    const QString former = CurrentPrintConfigPath;
    CurrentPrintConfigPath = path;
    if (!LabelPrintConfig::Instance()->Save(tpl)) {
        // The station must not print from a file that was not written.
        CurrentPrintConfigPath = former;
        LogPrint(LOG_MAJOR, "QRCodePrintSetting: template %s could not be written", qPrintable(path));
        ShowError(tr("The print config file could not be written:\n%1").arg(path));
        return;
    }
    ui->le_PrintFilePath->setText(path);
    m_pCloseTimer->start();
}

void QRCodePrintSetting::onCloseQRCodePrintSettingWidget()
{
    NotifyOwner();
    close();
}

void QRCodePrintSetting::onBtnClicked()
{
    if (!RefreshForOperator())
        return;
    LabelPrintJob job;
    job.strQRCode = SampleAppPayload();
    job.strIndentityPart = SampleBindText();
    job.strDevSN = SampleSerialNumber;
    job.strIndentifyCode = SampleIndentifyCode;
    job.strMac = SampleMac;
    job.printTemplate = TemplateFromForm();
    LabelPrinter* printer = LabelPrinter::Instance();
    const int printed = printer ? printer->PrintLabel(&job) : -1;
    if (printed == LabelPrinter::CodeNotDrawn)
        ShowError(tr("The test label was printed without a code that could not be drawn"));
    else if (printed != 0)
        ShowError(tr("The test label could not be printed"));
}

void QRCodePrintSetting::onCurrentIndexChanged(int index)
{
    if (index != 0 && index != 1)
        return;
    ui->lb_PrintPaperSpacing->setVisible(index == 1);
    ui->le_PrintPaperSpacing->setVisible(index == 1);
}

void QRCodePrintSetting::closeEvent(QCloseEvent* event)
{
    NotifyOwner();
    QDialog::closeEvent(event);
}

void QRCodePrintSetting::NotifyOwner()
{
    if (m_pOwner && m_pOwner->metaObject()->indexOfSlot("onPrintConfigClose()") >= 0)
        QMetaObject::invokeMethod(m_pOwner, "onPrintConfigClose", Qt::QueuedConnection);
}

void QRCodePrintSetting::ShowInputError(const QString& text)
{
    QMessageBox box(QMessageBox::Information, tr("error"), text, QMessageBox::NoButton);
    box.addButton(tr("OK"), QMessageBox::AcceptRole);
    ModalHook::Exec(&box);
}

void QRCodePrintSetting::ShowError(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, tr("error"), text, QMessageBox::NoButton, this);
    box.addButton(tr("OK"), QMessageBox::AcceptRole);
    ModalHook::Exec(&box);
}

QList<CustomLabel*> QRCodePrintSetting::Labels() const
{
    QList<CustomLabel*> items;
    for (const LabelEntry& entry : m_vecLabels) {
        if (entry.item)
            items << entry.item;
    }
    return items;
}
