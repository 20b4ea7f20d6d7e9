#include "BoxRecorder.h"
#include "Clock.h"
#include "LabelPrinter.h"
#include "LabelRenderer.h"
#include "PrinterHook.h"
#include "TempAppDir.h"
#include "ZbarReader.h"

#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>

#include <gtest/gtest.h>
#include <qrencode.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr double kDpi = 300;
constexpr double kDotsPerMm = kDpi / 25.4;

const char* const kBindText = "bind://v1@t2:VT0123456789:508316";
const char* const kFullPayload = "http://app.example.test/api/url.php?v=0&s=bind://v1@t2:VT0123456789:508316";

// Item rectangles of the sample label, millimetres.
struct ItemRect { int index; double x, y, w, h; };
const ItemRect kQr{0, 2, 2, 22, 22};
const ItemRect kSnText{1, 26, 2, 40, 4};
const ItemRect kSnBarcode{2, 26, 7, 42, 7};
const ItemRect kPinText{3, 26, 15, 40, 4};
const ItemRect kDateText{4, 26, 20, 40, 4};
const ItemRect kMacText{5, 2, 26, 40, 4};
const ItemRect kMacBarcode{6, 2, 31, 50, 7};

QString Line(int type, const ItemRect& r, double font, const QString& text = QString())
{
    return QString("%1,%2,%3,%4,%5,%6,%7,,%8").arg(type).arg(r.x).arg(r.y).arg(r.w).arg(r.h).arg(font).arg(text).arg(r.index);
}

LabelPrintJob SampleJob(int printMode = 0)
{
    LabelPrintJob job;
    job.strQRCode = kFullPayload;
    job.strIndentityPart = kBindText;
    job.strDevSN = "VT0123456789";
    job.strIndentifyCode = "508316";
    job.strMac = "02:7c:41:af:0a:3f";
    PrintTemplate& t = job.printTemplate;
    t.width = 70;
    t.height = 40;
    t.bShowSn = t.bShowIndentify = t.bShowTimeDate = t.bShowMac = true;
    t.fontSize = 2.5f;
    t.fPrintPaperSpace = 2;
    t.iPrintMode = printMode;
    t.labels << Line(5, kQr, 0) << Line(0, kSnText, 2.5) << Line(4, kSnBarcode, 0) << Line(0, kPinText, 2.5)
             << Line(0, kDateText, 2.5) << Line(0, kMacText, 2.5) << Line(4, kMacBarcode, 0)
             << "0,44,26,24,4,2.5,Made in test,,7" << "1,2,24.8,66,0.3,0,,,8";
    return job;
}

QImage BlankPage(const PrintTemplate& t, double dpi = kDpi)
{
    QSizeF mm;
    if (!LabelRenderer::PaperSizeMm(t, &mm))
        return QImage();
    QImage image(int(std::ceil(mm.width() * dpi / 25.4)), int(std::ceil(mm.height() * dpi / 25.4)),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QImage Render(const LabelPrintJob& job)
{
    QImage image = BlankPage(job.printTemplate);
    EXPECT_FALSE(image.isNull());
    EXPECT_TRUE(LabelRenderer(job).Paint(&image, kDpi));
    return image;
}

// zbar reports one of several equal symbols in an image, so each label is read on its own.
QStringList DecodeColumns(const QImage& image, int columns, const QString& type)
{
    QStringList out;
    const int pitch = int(72 * kDotsPerMm);
    for (int column = 0; column < columns; ++column) {
        QStringList found = DecodeImage(image.copy(column * pitch, 0, pitch, image.height()), type);
        found.sort();
        out += found;
    }
    return out;
}

QRect Dots(const ItemRect& r, double columnOffsetMm = 0)
{
    return QRect(int((r.x + columnOffsetMm) * kDotsPerMm), int(r.y * kDotsPerMm), int(r.w * kDotsPerMm),
                 int(r.h * kDotsPerMm));
}

int InkIn(const QImage& image, const QRect& rect)
{
    int ink = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            ink += qGray(image.pixel(x, y)) < 128;
    }
    return ink;
}

// Stands in for the printer: the label goes into an image at 300 dpi.
struct PrintCapture {
    QImage image;
    int calls = 0;
    int copies = 0;
    QSizeF paperMm;
    bool refuse = false;
    PrintCapture()
    {
        PrinterHook::Set([this](QPrinter& printer) -> QPaintDevice* {
            ++calls;
            if (refuse)
                return nullptr;
            printer.setResolution(int(kDpi));
            copies = printer.copyCount();
            paperMm = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
            image = QImage(int(std::ceil(paperMm.width() * kDotsPerMm)), int(std::ceil(paperMm.height() * kDotsPerMm)),
                           QImage::Format_RGB32);
            image.fill(Qt::white);
            return &image;
        });
    }
    ~PrintCapture() { PrinterHook::Clear(); }
};

}  // namespace

TEST(LabelPaperTest, PaperSizeCopiesAndRefusedSizes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { double width, height, space; int mode; bool ok; double paperW, paperH; } cases[] = {
        {40.7, 30, 2, 0, true, 40, 30},
        {40.7, 30, 2, 1, true, 87, 30},      // 2 x 40.7 + 2 + 4 = 87.4
        {40, 30.5, 0, 1, true, 84, 30.5},
        {0.5, 30, 2, 0, false, 0, 0},        // less than one whole millimetre
        {0, 30, 2, 0, false, 0, 0},
        {40, 0, 2, 0, false, 0, 0},
        {-40, 30, 2, 0, false, 0, 0},
        {40, -1, 2, 1, false, 0, 0},
        {nan, 30, 2, 0, false, 0, 0},
        {40, nan, 2, 0, false, 0, 0},
        {40, 30, nan, 1, false, 0, 0},
        {1e30, 30, 2, 0, false, 0, 0},
        {600, 30, 2, 1, false, 0, 0},        // double column beyond the bound
        {40, 30, -100, 1, false, 0, 0},      // the gap eats the paper
    };
    for (const auto& c : cases) {
        PrintTemplate t;
        t.width = float(c.width);
        t.height = float(c.height);
        t.fPrintPaperSpace = float(c.space);
        t.iPrintMode = c.mode;
        QSizeF size(-1, -1);
        EXPECT_EQ(LabelRenderer::PaperSizeMm(t, &size), c.ok) << c.width << " " << c.height << " " << c.space;
        if (c.ok) {
            EXPECT_EQ(size, QSizeF(c.paperW, float(c.paperH))) << c.width;
        }
    }
}

TEST(LabelRenderTest, QrCodeReadsBackAndMatchesTheEncoderInBothColumns)
{
    for (int mode : {0, 1}) {
        for (bool full : {false, true}) {
            LabelPrintJob job = SampleJob(mode);
            job.printTemplate.bSupportJumpDownloadApp = full;
            const QByteArray payload = full ? kFullPayload : kBindText;
            const QImage image = Render(job);
            QStringList expected{QString(payload)};
            if (mode == 1)
                expected << QString(payload);
            EXPECT_EQ(DecodeColumns(image, mode + 1, "QR-Code"), expected) << mode << full;

            QRcode* code = QRcode_encodeString(payload.constData(), 0, QR_ECLEVEL_L, QR_MODE_8, 1);
            ASSERT_NE(code, nullptr);
            const int n = code->width;
            const double m = kQr.w * kDotsPerMm / n;
            const double pitch = (70 + 2) * kDotsPerMm;   // second label 72 mm to the right
            int mismatches = 0;
            for (int column = 0; column <= mode; ++column) {
                for (int r = 0; r < n; ++r) {
                    for (int c = 0; c < n; ++c) {
                        const int px = int(kQr.x * kDotsPerMm + column * pitch + (c + 0.5) * m);
                        const int py = int(kQr.y * kDotsPerMm + (r + 0.5) * m);
                        mismatches += (qGray(image.pixel(px, py)) < 128) != bool(code->data[r * n + c] & 1);
                    }
                }
            }
            QRcode_free(code);
            EXPECT_EQ(mismatches, 0) << mode << full;
        }
    }
}

TEST(LabelRenderTest, BarcodesCarryTheSerialNumberAndTheMacWithoutColons)
{
    for (int mode : {0, 1}) {
        const QImage image = Render(SampleJob(mode));
        QStringList expected{"027c41af0a3f", "VT0123456789"};
        if (mode == 1)
            expected += expected;
        EXPECT_EQ(DecodeColumns(image, mode + 1, "CODE-128"), expected) << mode;
    }
}

TEST(LabelRenderTest, BarcodeItemReadsBackAtPrinterResolutions)
{
    const struct { double dpi; double widthMm; } cases[] = {{203, 60}, {300, 42}, {600, 42}, {600, 80}};
    for (const auto& c : cases) {
        LabelPrintJob job;
        job.strDevSN = "VT0123456789";
        job.printTemplate.width = 100;
        job.printTemplate.height = 20;
        job.printTemplate.bShowSn = true;
        job.printTemplate.labels << QString("4,5,5,%1,8,0,,,2").arg(c.widthMm);
        QImage image = BlankPage(job.printTemplate, c.dpi);
        ASSERT_TRUE(LabelRenderer(job).Paint(&image, c.dpi));
        EXPECT_EQ(DecodeImage(image, "CODE-128"), QStringList{"VT0123456789"}) << c.dpi << " dpi, " << c.widthMm << " mm";
        // The bars stay inside the item's rectangle.
        const double d = c.dpi / 25.4;
        const QRect item = QRectF(5 * d, 5 * d, c.widthMm * d, 8 * d).toAlignedRect();
        int outside = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                outside += !item.contains(x, y) && qGray(image.pixel(x, y)) < 250;
        EXPECT_EQ(outside, 0) << c.dpi;
    }
}

TEST(LabelRenderTest, ShowFlagsHideTheirItems)
{
    const ItemRect items[] = {kSnText, kSnBarcode, kPinText, kDateText, kMacText, kMacBarcode};
    const struct { const char* flag; bool PrintTemplate::*member; QList<int> hidden; } cases[] = {
        {"none", nullptr, {}},
        {"bShowSn", &PrintTemplate::bShowSn, {1, 2}},
        {"bShowIndentify", &PrintTemplate::bShowIndentify, {3}},
        {"bShowTimeDate", &PrintTemplate::bShowTimeDate, {4}},
        {"bShowMac", &PrintTemplate::bShowMac, {5, 6}},
    };
    for (const auto& c : cases) {
        for (int mode : {0, 1}) {
            LabelPrintJob job = SampleJob(mode);
            if (c.member)
                job.printTemplate.*c.member = false;
            const QImage image = Render(job);
            for (int column = 0; column <= mode; ++column) {
                for (const ItemRect& item : items) {
                    const int ink = InkIn(image, Dots(item, column * 72.0));
                    EXPECT_EQ(ink > 0, !c.hidden.contains(item.index))
                        << c.flag << " mode " << mode << " column " << column << " item " << item.index;
                }
                EXPECT_GT(InkIn(image, Dots(kQr, column * 72.0)), 0) << c.flag;
            }
        }
    }
}

// The value of a fixed text item starts where its caption's share of the item's
// width ends: found as the first column where the label with the value differs
// from the same label with an empty value.
TEST(LabelRenderTest, CaptionsTakeTheirShareOfTheItemWidth)
{
    const struct { int index; bool english; double share; } cases[] = {
        {1, false, 4.0 / 23}, {1, true, 4.0 / 23}, {3, false, 7.0 / 13}, {3, true, 4.0 / 13},
        {5, false, 7.0 / 24}, {5, true, 7.0 / 24},
    };
    const double widthMm = 46.8;
    for (const auto& c : cases) {
        LabelPrintJob job;
        job.printTemplate.width = 80;
        job.printTemplate.height = 10;
        job.printTemplate.bShowSn = job.printTemplate.bShowIndentify = job.printTemplate.bShowMac = true;
        job.printTemplate.bShowEnglish = c.english;
        job.printTemplate.labels << QString("0,2,1,%1,6,2.5,,,%2").arg(widthMm).arg(c.index);
        LabelPrintJob blank = job;
        job.strDevSN = job.strIndentifyCode = job.strMac = "8888";
        QImage withValue = BlankPage(job.printTemplate);
        QImage withoutValue = BlankPage(job.printTemplate);
        ASSERT_TRUE(LabelRenderer(job).Paint(&withValue, kDpi));
        ASSERT_TRUE(LabelRenderer(blank).Paint(&withoutValue, kDpi));
        int first = -1;
        for (int x = 0; x < withValue.width() && first < 0; ++x) {
            for (int y = 0; y < withValue.height(); ++y) {
                if (withValue.pixel(x, y) != withoutValue.pixel(x, y)) {
                    first = x;
                    break;
                }
            }
        }
        const double expectedMm = 2 + widthMm * c.share;
        EXPECT_NEAR(first / kDotsPerMm, expectedMm, 0.4) << "index " << c.index << " english " << c.english;
    }
}

TEST(LabelRenderTest, NoQrSymbolLeavesOnlyTheWhiteBackground)
{
    const struct { const char* name; QString payload; } cases[] = {
        {"empty", QString()},
        {"too long for any version", QString(8000, 'x')},
    };
    for (const auto& c : cases) {
        LabelPrintJob job = SampleJob(1);
        job.strIndentityPart = c.payload;
        // Something dark underneath shows that the item still paints its white background.
        job.printTemplate.labels.prepend(QString("1,%1,%2,%3,%4,0,,,9").arg(kQr.x).arg(kQr.y).arg(kQr.w).arg(kQr.h));
        const LabelRenderer renderer(job);
        EXPECT_FALSE(renderer.Symbol().IsValid()) << c.name;
        QImage image = BlankPage(job.printTemplate);
        ASSERT_TRUE(renderer.Paint(&image, kDpi));
        EXPECT_EQ(InkIn(image, Dots(kQr).adjusted(2, 2, -2, -2)), 0) << c.name;
        EXPECT_EQ(InkIn(image, Dots(kQr, 72).adjusted(2, 2, -2, -2)), 0) << c.name;
        EXPECT_TRUE(DecodeImage(image, "QR-Code").isEmpty()) << c.name;
    }
}

// A single label never uses the gap between columns, whatever a hand-edited file holds there.
TEST(LabelRenderTest, SingleColumnDoesNotDependOnTheGap)
{
    for (float gap : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e30f}) {
        LabelPrintJob job = SampleJob(0);
        job.printTemplate.fPrintPaperSpace = gap;
        const QImage image = Render(job);
        EXPECT_EQ(DecodeColumns(image, 1, "QR-Code"), QStringList{kBindText}) << gap;
        EXPECT_GT(InkIn(image, Dots(kSnText)), 0) << gap;
    }
}

TEST(LabelRenderTest, PicturesLieUnderEverythingElse)
{
    TempAppDir dir;
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString picture = dir.file("red.png");
    ASSERT_TRUE(red.save(picture));
    LabelPrintJob job;
    job.strIndentityPart = kBindText;
    job.printTemplate.width = 50;
    job.printTemplate.height = 30;
    job.printTemplate.labels << "1,10,10,20,2,0,,,7"
                             << QString("3,5,5,40,20,0,,%1,8").arg(picture)
                             << "3,0,0,10,10,0,,/nonexistent/missing.png,9";
    const QImage image = Render(job);
    EXPECT_EQ(QColor(image.pixel(int(20 * kDotsPerMm), int(11 * kDotsPerMm))), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(int(30 * kDotsPerMm), int(20 * kDotsPerMm))), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(int(2 * kDotsPerMm), int(2 * kDotsPerMm))), QColor(Qt::white));
}

TEST(LabelRenderTest, UnusableLinesAndBarcodesLeaveTheRestOfTheLabel)
{
    LabelPrintJob job = SampleJob(1);
    job.printTemplate.labels << "0,1,2" << "0,nan,2,3,4,5,x,,7" << "4,1e300,2,30,8,0,AB,,7"
                             << "4,2,32,50,6,0,A B,,10";   // a blank cannot be encoded
    BoxRecorder boxes;
    const QImage image = Render(job);
    EXPECT_EQ(boxes.texts.size(), 1);   // one box per item, not per column
    EXPECT_EQ(DecodeImage(image, "QR-Code").size(), 2);
}

TEST(LabelRenderTest, WritesTheRenderedLabelAsPng)
{
    struct FixedDay { static WallTime Now() { WallTime t; t.year = 2026; t.month = 5; t.day = 3; return t; } };
    Clock::SetWallSource(&FixedDay::Now);
    const QImage image = Render(SampleJob(1));
    Clock::SetWallSource(nullptr);
    const QString path = QDir::current().absoluteFilePath("labels_printer_test_label.png");
    ASSERT_TRUE(image.save(path));
    std::printf("rendered label: %s (%dx%d)\n", qPrintable(path), image.width(), image.height());
}

TEST(LabelPrinterTest, PrintsThroughTheHookWithPaperAndCopies)
{
    const struct { int mode; int times; double paperW; int copies; } cases[] = {
        {0, 0, 70, 1}, {0, 1, 70, 2}, {1, 0, 146, 1}, {1, 7, 146, 2},
    };
    LabelPrinter* printer = LabelPrinter::Instance();
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(LabelPrinter::Instance(), printer);
    for (const auto& c : cases) {
        PrintCapture capture;
        LabelPrintJob job = SampleJob(c.mode);
        job.printTemplate.iPrintTimes = c.times;
        EXPECT_EQ(printer->PrintLabel(&job), 0);
        EXPECT_EQ(capture.calls, 1);
        EXPECT_EQ(capture.copies, c.copies);
        EXPECT_NEAR(capture.paperMm.width(), c.paperW, 0.01);
        EXPECT_NEAR(capture.paperMm.height(), 40, 0.01);
        QStringList expected{kBindText};
        if (c.mode == 1)
            expected << kBindText;
        EXPECT_EQ(DecodeColumns(capture.image, c.mode + 1, "QR-Code"), expected);
    }
}

TEST(LabelPrinterTest, FailuresAreNeverReportedAsPrinted)
{
    LabelPrinter* printer = LabelPrinter::Instance();
    PrintCapture capture;
    EXPECT_EQ(printer->PrintLabel(nullptr), -1);

    const struct { const char* name; float width, height; } sizes[] = {
        {"zero width", 0, 40}, {"negative height", 70, -1},
        {"nan width", std::numeric_limits<float>::quiet_NaN(), 40}, {"huge width", 1e30f, 40},
    };
    for (const auto& s : sizes) {
        LabelPrintJob job = SampleJob();
        job.printTemplate.width = s.width;
        job.printTemplate.height = s.height;
        EXPECT_EQ(printer->PrintLabel(&job), -1) << s.name;
    }
    EXPECT_EQ(capture.calls, 0);

    capture.refuse = true;   // the printer cannot start
    LabelPrintJob job = SampleJob();
    EXPECT_EQ(printer->PrintLabel(&job), -1);
    EXPECT_EQ(capture.calls, 1);
}

// The page still goes out, but a label without one of its codes is no label.
TEST(LabelPrinterTest, ALabelWithACodeThatCouldNotBeDrawnIsNotReportedAsPrinted)
{
    const struct {
        const char* name;
        std::function<void(LabelPrintJob&)> change;
        int result;
        int boxes;   // the encoder's
    } cases[] = {
        {"serial number with a blank", [](LabelPrintJob& j) { j.strDevSN = "SN 1"; }, -2, 1},
        {"serial number with a blank, its codes switched off",
         [](LabelPrintJob& j) {
             j.strDevSN = "SN 1";
             j.printTemplate.bShowSn = false;
         },
         0, 0},
        {"custom barcode with a blank", [](LabelPrintJob& j) { j.printTemplate.labels << "4,2,32,50,6,0,A B,,10"; },
         -2, 1},
        {"QR text too long for any symbol", [](LabelPrintJob& j) { j.strIndentityPart = QString(8000, 'x'); }, -2, 0},
        {"QR text too long, no QR item",
         [](LabelPrintJob& j) {
             j.strIndentityPart = QString(8000, 'x');
             j.printTemplate.labels.removeFirst();
         },
         0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrintCapture capture;
        BoxRecorder boxes;
        LabelPrintJob job = SampleJob();
        c.change(job);
        EXPECT_EQ(LabelPrinter::Instance()->PrintLabel(&job), c.result);
        EXPECT_EQ(capture.calls, 1);
        EXPECT_EQ(boxes.texts.size(), c.boxes);
    }
}

TEST(LabelPrinterTest, WithoutAUsablePrinterNothingIsReportedAsPrinted)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer; the test would print on it";
    ASSERT_FALSE(PrinterHook::IsSet());
    LabelPrintJob job = SampleJob();
    EXPECT_EQ(LabelPrinter::Instance()->PrintLabel(&job), -1);

    // A failed start leaves Qt's printer marked active; the next job must still set
    // its copies and paper.
    PrintCapture capture;
    job.printTemplate.iPrintTimes = 1;
    EXPECT_EQ(LabelPrinter::Instance()->PrintLabel(&job), 0);
    EXPECT_EQ(capture.copies, 2);
    EXPECT_NEAR(capture.paperMm.width(), 70, 0.01);
}

TEST(LabelPrinterTest, PicturesComeFirstInTheJobAfterPrinting)
{
    PrintCapture capture;
    LabelPrintJob job = SampleJob();
    job.printTemplate.labels = QStringList{"0,1,1,5,5,2,a,,7", "3,0,0,5,5,0,,x.png,8", "1,0,0,5,1,0,,,9",
                                           "3,0,0,5,5,0,,y.png,10"};
    ASSERT_EQ(LabelPrinter::Instance()->PrintLabel(&job), 0);
    EXPECT_EQ(job.printTemplate.labels, (QStringList{"3,0,0,5,5,0,,x.png,8", "3,0,0,5,5,0,,y.png,10",
                                                     "0,1,1,5,5,2,a,,7", "1,0,0,5,1,0,,,9"}));
}

// A barcode box runs an event loop; a print request that arrives there must not
// wait on the job lock of its own thread.
TEST(LabelPrinterTest, PrintRequestFromInsideABarcodeBoxCompletes)
{
    PrintCapture capture;
    LabelPrintJob outer = SampleJob();
    outer.printTemplate.labels << "4,2,32,50,6,0,A B,,10";
    int nested = 99;
    BoxRecorder boxes;
    boxes.whileOpen = [&] {
        boxes.whileOpen = nullptr;
        LabelPrintJob inner = SampleJob();
        nested = LabelPrinter::Instance()->PrintLabel(&inner);
    };
    EXPECT_EQ(LabelPrinter::Instance()->PrintLabel(&outer), -2) << "its barcode could not be drawn";
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(capture.calls, 2);
}
