#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// Reads the codes in a rendered image back with libzbar, independent of our encoders.
struct DecodedSymbol {
    QString type;   // zbar's name, such as "QR-Code", "CODE-128", "EAN-13"
    QString data;
};

QList<DecodedSymbol> DecodeImage(const QImage& image);
// The data of every decoded symbol of the given type.
QStringList DecodeImage(const QImage& image, const QString& type);
// The image on a white frame: scanners need a quiet zone that a preview item or
// a label edge does not give.
QImage WithQuietZone(const QImage& image, int margin = 40);
