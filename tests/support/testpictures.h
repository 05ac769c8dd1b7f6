// Small pictures that several tests need.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

// A JPEG of one colour.
inline QByteArray jpegOf(QColor colour, QSize size = QSize(60, 40)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}
