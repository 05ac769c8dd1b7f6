// What a badge shows of a photograph: the frame (a rectangle of the badge photograph box's proportions
// inside the upright picture) and the copies stored instead of an original: the framed part, and a
// print-sized copy small enough that five hundred photographs do not make a database of gigabytes.
// Knows nothing of windows or the database.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

namespace employees {

// Width to height of the badge's photograph box (2,715 by 2,715 twips); the badge layout holds it to this.
constexpr int BadgePhotoWidth = 1;
constexpr int BadgePhotoHeight = 1;
// Long side of a print-sized copy: the box is printed about 3 cm tall, 565 pixels at 300 dpi, so this
// leaves room for a 600 dpi printer and for framing.
constexpr int PrintSizeLongSide = 1200;

// The largest frame of the badge's proportions centred in a picture of this size; null for an empty size.
QRect centredFrame(QSize picture);

// The frame moved back inside the picture and shrunk where it is larger, proportions kept; at least one
// pixel wide.
QRect clampedFrame(const QRect& frame, QSize picture);

// The frame scaled by factor about its centre (below 1 zooms in), then clamped.
QRect zoomedFrame(const QRect& frame, double factor, QSize picture);

// The picture (already upright) cut to the frame when one is given, scaled down so that its long side is
// at most longSide pixels when longSide > 0, and encoded as a JPEG. Empty when the picture is null.
QByteArray photoCopy(const QImage& upright, const QRect& frame, int longSide);

} // namespace employees
