#include "CustomLabel.h"

#include "ui_CustomLabel.h"

#include "AppGlobals.h"
#include "BarcodeGenerator.h"
#include "EditCustomContentDlg.h"
#include "LabelItemCoordinate.h"
#include "LabelItemEditParam.h"
#include "LabelLine.h"
#include "ModalHook.h"
#include "QrSymbol.h"

#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const char* const kFontFamily = "Microsoft YaHei";
const char* const kLineStyle = "CustomLabel{background-color: rgb(0, 0, 0);}";
const char* const kMenuStyle =
    "QMenu {background - color: white; border: 1px solid white;} "
    "QMenu::item {background-color: transparent; margin:0px 8px;} QMenu::item:selected {color: red;}";
constexpr double kBarcodeModuleMm = 0.2;

// Below a label's size in pixels the float error of a stored millimetre value stays
// far under this.
constexpr double kWholePixelTolerance = 1e-3;

}  // namespace

CustomLabel::CustomLabel(int itemType, float canvasWidth, float canvasHeight, QWidget* canvas)
    : QLabel(canvas)
    , ui(new Ui::CustomLabel)
    , m_pCanvas(canvas)
{
    if (objectName().isEmpty())
        setObjectName("CustomLabel");
    ui->setupUi(this);
    type = itemType;
    SetCanvasSize(canvasWidth, canvasHeight);
    if (canvas && canvas->metaObject()->indexOfSlot("onDelete()") >= 0)
        connect(this, SIGNAL(del()), canvas, SLOT(onDelete()));
}

CustomLabel::~CustomLabel()
{
    delete ui;
}

void CustomLabel::SetCanvasSize(float width, float height)
{
    m_iCanvasWidth = PixelsOf(width);
    m_iCanvasHeight = PixelsOf(height);
}

int CustomLabel::PixelsOf(double px)
{
    if (std::isnan(px))
        return 0;
    px = std::clamp(px, -double(QWIDGETSIZE_MAX), double(QWIDGETSIZE_MAX));
    const double whole = std::round(px);
    if (std::fabs(px - whole) < kWholePixelTolerance)
        return int(whole);
    return int(px);
}

int CustomLabel::ToPxX(double mm) { return PixelsOf(mm * ScreenPxScaleX); }
int CustomLabel::ToPxY(double mm) { return PixelsOf(mm * ScreenPxScaleY); }
float CustomLabel::ToMmX(int px) { return float(px * ScreenMmScaleX); }
float CustomLabel::ToMmY(int px) { return float(px * ScreenMmScaleY); }

bool CustomLabel::HasDeleteMenu(int index)
{
    return index != LabelLine::SnText && index != LabelLine::IndentifyText && index != LabelLine::DateText
           && index != LabelLine::MacText;
}

bool CustomLabel::IsEditable(int index)
{
    return index != LabelLine::QrCodeItem;
}

void CustomLabel::SetFixedSizeMm(float width, float height)
{
    setFixedSize(ToPxX(width), ToPxY(height));
}

void CustomLabel::ApplyText(const QString& text, float fontSizeMm)
{
    QFont itemFont = font();
    itemFont.setFamily(kFontFamily);
    itemFont.setPixelSize(std::max(1, ToPxY(fontSizeMm)));
    setFont(itemFont);
    setText(text);
    adjustSize();
    mmWidth = ToMmX(QLabel::width());
    mmHeight = ToMmY(QLabel::height());
    fontSize = fontSizeMm;
    labelText = text;
}

void CustomLabel::ApplyLine(float width, float height)
{
    SetFixedSizeMm(width, height);
    setStyleSheet(kLineStyle);
    mmWidth = width;
    mmHeight = height;
    fontSize = 0;
}

bool CustomLabel::ApplyPicture(const QString& path, float width, float height)
{
    SetFixedSizeMm(width, height);
    QPixmap picture;
    if (path.isEmpty() || !picture.load(path))
        return false;
    const QSize size = QLabel::size();
    setPixmap(picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    setFixedSize(size);
    mmWidth = width;
    mmHeight = height;
    fontSize = 0;
    picturePath = path;
    return true;
}

void CustomLabel::ApplyBarcode(const QString& content, float width, float height)
{
    SetFixedSizeMm(width, height);
    DrawBarcode(this, content);
    mmWidth = width;
    mmHeight = height;
    fontSize = 0;
    labelText = content;
}

void CustomLabel::MoveToMm(float x, float y)
{
    move(ToPxX(x), ToPxY(y));
    mmX = x;
    mmY = y;
}

void CustomLabel::RecordGeometry()
{
    mmX = ToMmX(pos().x());
    mmY = ToMmY(pos().y());
    mmWidth = ToMmX(QLabel::width());
    mmHeight = ToMmY(QLabel::height());
}

void CustomLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    raise();
    m_pressPos = event->pos();
}

void CustomLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() == Qt::LeftButton)
        move(mapToParent(event->pos()) - m_pressPos);
    ClampToCanvas();
}

// Left before right, so an item wider than the canvas ends with its right edge on
// the canvas edge (a negative x).
void CustomLabel::ClampToCanvas()
{
    const QRect r = geometry();
    if (r.left() <= 0)
        move(0, pos().y());
    if (geometry().right() >= m_iCanvasWidth)
        move(m_iCanvasWidth - QLabel::width(), pos().y());
    if (geometry().top() <= 0)
        move(pos().x(), 0);
    if (geometry().bottom() >= m_iCanvasHeight)
        move(pos().x(), m_iCanvasHeight - QLabel::height());
}

void CustomLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        mmX = ToMmX(pos().x());
        mmY = ToMmY(pos().y());
    } else if (event->button() == Qt::RightButton && HasDeleteMenu(index)) {
        ShowDeleteMenu(event->globalPos());
    }
}

void CustomLabel::ShowDeleteMenu(const QPoint& globalPos)
{
    QMenu menu;
    QAction* action = menu.addAction(tr("Delete Record"));
    connect(action, &QAction::triggered, this, &CustomLabel::onDeleteRecord);
    menu.setStyleSheet(kMenuStyle);
    // The editor only hides this item from inside the loop and frees it later.
    ModalHook::ExecMenu(&menu, globalPos);
}

void CustomLabel::onDeleteRecord()
{
    emit del();
}

void CustomLabel::mouseDoubleClickEvent(QMouseEvent*)
{
    if (!IsEditable(index))
        return;
    LabelItemEditParam param;
    param.width = mmWidth;
    param.height = mmHeight;
    param.fontSize = fontSize;
    param.text = labelText;
    param.picturePath = picturePath;
    LabelItemCoordinate coordinate{mmX, mmY};
    EditCustomContentDlg dialog(type, param, coordinate, index, this);
    ModalHook::Exec(&dialog);
}

void CustomLabel::onChangedSignalEmit(void* pPram, void* pPramCoordinate)
{
    if (!pPram || !pPramCoordinate)
        return;
    const LabelItemEditParam& param = *static_cast<const LabelItemEditParam*>(pPram);
    const LabelItemCoordinate& coordinate = *static_cast<const LabelItemCoordinate*>(pPramCoordinate);
    switch (type) {
    case LabelLine::Text:
        ApplyText(param.text, param.fontSize);
        break;
    case LabelLine::HorizontalLine:
    case LabelLine::VerticalLine:
        ApplyLine(param.width, param.height);
        break;
    case LabelLine::Picture:
        if (!ApplyPicture(param.picturePath, param.width, param.height))
            return;
        break;
    case LabelLine::Barcode:
        ApplyBarcode(param.text, param.width, param.height);
        break;
    default:
        break;
    }
    show();
    MoveToMm(coordinate.x, coordinate.y);
}

bool CustomLabel::LayoutBarcode(int moduleCount, int targetWidth, double pxPerMm, BarcodeLayout* layout)
{
    const double module = kBarcodeModuleMm * pxPerMm;
    const double total = moduleCount * module;
    if (moduleCount <= 0 || !std::isfinite(total) || total < 1.0 || total > INT_MAX)
        return false;
    layout->module = module;
    layout->scale = double(targetWidth) / int(total);
    layout->pen = layout->scale * module;
    return true;
}

void CustomLabel::DrawBarcode(QLabel* target, const QString& content)
{
    if (!target)
        return;
    const QString modules = BarcodeGenerator().EncodeCode128(content);
    BarcodeLayout layout;
    if (!LayoutBarcode(modules.size(), target->width(), ScreenPxScaleX, &layout))
        return;
    QImage image(target->size(), QImage::Format_ARGB32);
    if (image.isNull())
        return;
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(QBrush(Qt::black), layout.pen, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    for (int i = 0; i < modules.size(); ++i) {
        if (modules.at(i) == QLatin1Char('b'))
            painter.drawLine(layout.X(i), 0, layout.X(i), target->height());
    }
    painter.end();
    target->setPixmap(QPixmap::fromImage(image));
    target->setVisible(true);
    target->update();
}

void CustomLabel::DrawQRCode(QWidget* target, const QString& content)
{
    auto* label = qobject_cast<QLabel*>(target);
    if (!label)
        return;
    QImage image(label->size(), QImage::Format_ARGB32);
    if (image.isNull())
        return;
    image.fill(Qt::white);
    const QrSymbol symbol(content);
    const int n = symbol.Width();
    if (n > 0) {
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        const double w = double(label->width()) / n;
        const double h = double(label->height()) / n;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                if (symbol.IsDark(i, j))
                    painter.drawRect(QRectF(w * j, h * i, w, h));
            }
        }
    }
    label->setPixmap(QPixmap::fromImage(image));
    label->setVisible(true);
    label->update();
}
