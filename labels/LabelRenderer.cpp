#include "LabelRenderer.h"

#include "BarcodeGenerator.h"
#include "Clock.h"
#include "Log.h"

#include <QCoreApplication>
#include <QDate>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kMaxDpi = 10000.0;

QString Tr(const char* text)
{
    return QCoreApplication::translate("LabelPrinter", text);
}

QString TodayText()
{
    const WallTime now = Clock::Now();
    return QDate(now.year, now.month, now.day).toString("yyyy-MM-dd");
}

}  // namespace

LabelRenderer::LabelRenderer(const LabelPrintJob& job)
    : m_job(job)
{
    const PrintTemplate& tpl = m_job.printTemplate;
    m_qrText = tpl.bSupportJumpDownloadApp ? m_job.strQRCode : m_job.strIndentityPart;
    m_symbol = std::make_unique<QrSymbol>(m_qrText);
    PrepareItems();
}

LabelRenderer::~LabelRenderer() = default;

bool LabelRenderer::PaperSizeMm(const PrintTemplate& tpl, QSizeF* size)
{
    const double width = tpl.width;
    const double height = tpl.height;
    const double space = tpl.fPrintPaperSpace;
    const double paperWidth = IsDoubleColumn(tpl) ? 2.0 * width + space + 4.0 : width;
    const auto inRange = [](double v) { return std::isfinite(v) && v > 0 && v <= MaxPaperMillimetres; };
    if (!inRange(width) || !inRange(height) || !inRange(paperWidth))
        return false;
    const double wholeWidth = std::floor(paperWidth);
    if (wholeWidth < 1.0)
        return false;
    *size = QSizeF(wholeWidth, height);
    return true;
}

void LabelRenderer::PrepareItems()
{
    QVector<Item> pictures;
    QVector<Item> others;
    const QStringList& lines = m_job.printTemplate.labels;
    for (int i = 0; i < lines.size(); ++i) {
        Item item;
        if (!LabelLine::Parse(lines.at(i), &item.line)) {
            LogPrint(LOG_GENERAL, "LabelPrinter: label line %d skipped, it is not a valid item", i);
            continue;
        }
        if (item.line.type == LabelLine::Barcode) {
            bool shown = true;
            const QString content = BarcodeContent(item.line, &shown);
            if (!shown)
                continue;
            item.barcode = BarcodeGenerator().EncodeCode128(content);
            if (item.barcode.isEmpty()) {
                LogPrint(LOG_GENERAL, "LabelPrinter: the barcode of label line %d cannot be drawn", i);
                ++m_undrawnCodes;
            }
        }
        if (item.line.type == LabelLine::QrCode && !m_symbol->IsValid()) {
            LogPrint(LOG_GENERAL, "LabelPrinter: the QR code of label line %d cannot be drawn (%d characters)", i,
                     int(m_qrText.size()));
            ++m_undrawnCodes;
        }
        (item.line.type == LabelLine::Picture ? pictures : others).append(item);
    }
    m_items = pictures + others;
}

QString LabelRenderer::BarcodeContent(const LabelLine& line, bool* shown) const
{
    const PrintTemplate& tpl = m_job.printTemplate;
    switch (line.index) {
    case LabelLine::SnBarcode:
        *shown = tpl.bShowSn;
        return m_job.strDevSN;
    case LabelLine::MacBarcode:
        *shown = tpl.bShowMac;
        return QString(m_job.strMac).remove(':');
    default:
        *shown = true;
        return line.text;
    }
}

bool LabelRenderer::Paint(QPaintDevice* device, double dpi) const
{
    QPainter painter;
    if (!device || !painter.begin(device))
        return false;
    Paint(painter, dpi);
    return painter.end();
}

void LabelRenderer::Paint(QPainter& painter, double dpi) const
{
    const PrintTemplate& tpl = m_job.printTemplate;
    QSizeF paper;
    // Out-of-range sizes would turn into out-of-range integer dots below.
    if (!std::isfinite(dpi) || dpi <= 0 || dpi > kMaxDpi || !PaperSizeMm(tpl, &paper))
        return;
    const double d = dpi / kMmPerInch;
    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont font = painter.font();
    font.setFamily("Microsoft YaHei");
    painter.setFont(font);
    for (const Item& item : m_items)
        PaintItem(painter, item, d, 0.0);
    if (!IsDoubleColumn(tpl))
        return;
    // Only the second label uses the gap; PaperSizeMm has bounded it for double columns,
    // while a single label's gap may hold anything (0 times an infinite pitch is NaN).
    const double pitch = (double(tpl.fPrintPaperSpace) + tpl.width) * d;
    for (const Item& item : m_items)
        PaintItem(painter, item, d, pitch);
}

void LabelRenderer::PaintItem(QPainter& painter, const Item& item, double d, double xOffset) const
{
    const LabelLine& l = item.line;
    const double x = l.x * d + xOffset;
    const double y = l.y * d;
    const double w = l.width * d;
    const double h = l.height * d;
    switch (l.type) {
    case LabelLine::Text:
        PaintText(painter, l, x, y, w, h, d);
        break;
    case LabelLine::HorizontalLine:
    case LabelLine::VerticalLine:
        painter.fillRect(QRectF(x, y, w, h), Qt::black);
        break;
    case LabelLine::Picture:
        PaintPicture(painter, l, x, y, w, h);
        break;
    case LabelLine::Barcode:
        painter.setPen(Qt::NoPen);
        painter.fillRect(QRectF(x, y, w, h), Qt::white);
        PaintBarcode(painter, item.barcode, x, y, w, h, d);
        break;
    case LabelLine::QrCode:
        m_symbol->Paint(painter, QRectF(x, y, w, h));
        break;
    default:
        break;
    }
}

void LabelRenderer::PaintText(QPainter& painter, const LabelLine& l, double x, double y, double w, double h,
                              double d) const
{
    const PrintTemplate& tpl = m_job.printTemplate;
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    QFont font = painter.font();
    font.setPixelSize(std::max(1, int(l.fontSize * d)));
    painter.setFont(font);
    const int align = Qt::AlignLeft | Qt::AlignVCenter;
    double captionWidth = 0;
    QString caption;
    QString value;
    switch (l.index) {
    case LabelLine::SnText:
        if (!tpl.bShowSn)
            return;
        captionWidth = w * 4 / 23;
        caption = tpl.bShowEnglish ? QString("SN:") : Tr("SN: ");
        value = m_job.strDevSN;
        break;
    case LabelLine::IndentifyText:
        if (!tpl.bShowIndentify)
            return;
        captionWidth = tpl.bShowEnglish ? w * 4 / 13 : w * 7 / 13;
        caption = tpl.bShowEnglish ? QString("PIN:") : Tr("indentifyCode:");
        value = m_job.strIndentifyCode;
        break;
    case LabelLine::MacText:
        if (!tpl.bShowMac)
            return;
        captionWidth = w * 7 / 24;
        caption = tpl.bShowEnglish ? QString("MAC:") : Tr("MAC:");
        value = m_job.strMac;
        break;
    case LabelLine::DateText:
        if (!tpl.bShowTimeDate)
            return;
        painter.drawText(QRectF(x, y, (w + 0.5 * d) * 1.2, h), align, TodayText());
        return;
    default:
        painter.drawText(QRectF(x, y, (w + 0.5 * d) * 1.2, h), align, l.text);
        return;
    }
    painter.drawText(QRectF(x, y, captionWidth, h), align, caption);
    painter.drawText(QRectF(x + captionWidth, y, w * 1.2, h), align, value);
}

void LabelRenderer::PaintPicture(QPainter& painter, const LabelLine& l, double x, double y, double w,
                                 double h) const
{
    const QImage image(l.picturePath);
    if (image.isNull())
        return;
    painter.drawImage(QRect(QPoint(int(x), int(y)), QPoint(int(x + w), int(y + h))), image);
}

void LabelRenderer::PaintBarcode(QPainter& painter, const QString& modules, double x, double y, double w,
                                 double h, double d) const
{
    if (modules.isEmpty() || w <= 0)
        return;
    const double k = 0.2 * d;   // 0.2 mm in dots
    const int q = int(modules.size() * k);
    if (q <= 0)
        return;
    const double step = k * (w / q);   // close to w / modules: the bars fill the item
    // One crisp rectangle per run of dark modules: single-module lines overlapping
    // at truncated positions leave grey seams inside wide bars that scanners misread.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    const int top = int(std::lround(y));
    const int bottom = int(std::lround(y + h));
    for (int i = 0; i < modules.size();) {
        if (modules.at(i) != 'b') {
            ++i;
            continue;
        }
        int end = i;
        while (end < modules.size() && modules.at(end) == 'b')
            ++end;
        const int left = int(std::lround(x + i * step));
        const int right = int(std::lround(x + end * step));
        painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), Qt::black);
        i = end;
    }
    painter.restore();
}
