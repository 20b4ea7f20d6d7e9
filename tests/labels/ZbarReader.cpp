#include "ZbarReader.h"

#include <QPainter>

#include <zbar.h>

using namespace zbar;

QList<DecodedSymbol> DecodeImage(const QImage& image)
{
    // Grey by hand: QImage converts a large image on Qt's thread pool, whose
    // uninstrumented locks the race checker reports.
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    QByteArray pixels;
    pixels.reserve(rgb.width() * rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            pixels.append(char(qGray(line[x])));
    }

    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 1);
    zbar_image_t* zimage = zbar_image_create();
    zbar_image_set_format(zimage, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(zimage, rgb.width(), rgb.height());
    zbar_image_set_data(zimage, pixels.constData(), pixels.size(), nullptr);
    QList<DecodedSymbol> out;
    if (zbar_scan_image(scanner, zimage) > 0) {
        for (const zbar_symbol_t* s = zbar_image_first_symbol(zimage); s; s = zbar_symbol_next(s)) {
            out.append({QString::fromLatin1(zbar_get_symbol_name(zbar_symbol_get_type(s))),
                        QString::fromUtf8(zbar_symbol_get_data(s), int(zbar_symbol_get_data_length(s)))});
        }
    }
    zbar_image_destroy(zimage);
    zbar_image_scanner_destroy(scanner);
    return out;
}

QStringList DecodeImage(const QImage& image, const QString& type)
{
    QStringList out;
    for (const DecodedSymbol& s : DecodeImage(image)) {
        if (s.type == type)
            out << s.data;
    }
    return out;
}

QImage WithQuietZone(const QImage& image, int margin)
{
    QImage framed(image.width() + 2 * margin, image.height() + 2 * margin, QImage::Format_RGB32);
    framed.fill(Qt::white);
    QPainter painter(&framed);
    painter.drawImage(margin, margin, image);
    return framed;
}
