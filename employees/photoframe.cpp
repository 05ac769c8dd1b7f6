#include "employees/photoframe.h"

#include <QBuffer>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace employees {

namespace {

constexpr int JpegQuality = 90;

// The size of the badge's proportions with the given width.
QSize proportionalSize(int width) {
    return QSize(qMax(1, width),
                 qMax(1, int(std::lround(double(width) * BadgePhotoHeight / BadgePhotoWidth))));
}

} // namespace

QRect centredFrame(QSize picture) {
    if (picture.isEmpty())
        return QRect();
    // The widest frame that fits both ways.
    const int byHeight = int(double(picture.height()) * BadgePhotoWidth / BadgePhotoHeight);
    const QSize size = proportionalSize(std::min(picture.width(), byHeight));
    return QRect(QPoint((picture.width() - size.width()) / 2, (picture.height() - size.height()) / 2), size);
}

QRect clampedFrame(const QRect& frame, QSize picture) {
    if (picture.isEmpty() || frame.isEmpty())
        return centredFrame(picture);
    const QRect largest = centredFrame(picture);
    QSize size = frame.width() > largest.width() ? largest.size() : proportionalSize(frame.width());
    if (size.height() > picture.height())
        size = largest.size();
    const int x = std::clamp(frame.x(), 0, picture.width() - size.width());
    const int y = std::clamp(frame.y(), 0, picture.height() - size.height());
    return QRect(QPoint(x, y), size);
}

QRect zoomedFrame(const QRect& frame, double factor, QSize picture) {
    const QPointF centre = QRectF(frame).center();
    const int width = std::max(8, int(std::lround(frame.width() * factor)));
    const QSize size = proportionalSize(std::min(width, centredFrame(picture).width()));
    const QRect moved(QPoint(int(std::lround(centre.x() - size.width() / 2.0)),
                             int(std::lround(centre.y() - size.height() / 2.0))),
                      size);
    return clampedFrame(moved, picture);
}

QByteArray photoCopy(const QImage& upright, const QRect& frame, int longSide) {
    if (upright.isNull())
        return QByteArray();
    QImage picture = frame.isValid() ? upright.copy(clampedFrame(frame, upright.size())) : upright;
    if (longSide > 0 && std::max(picture.width(), picture.height()) > longSide)
        picture = picture.scaled(QSize(longSide, longSide), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // JPEG has no transparency: a PNG's clear background prints white, as on paper.
    if (picture.hasAlphaChannel()) {
        QImage flat(picture.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, picture);
        picture = flat;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", JpegQuality);
    return bytes;
}

} // namespace employees
