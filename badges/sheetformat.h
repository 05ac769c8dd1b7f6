// The geometry of a sheet of pre-cut cards, and the small text format it is kept in, so that a sheet of
// another maker is a file and not code. A file reads like this (millimetres; '#' starts a comment):
//
//     name = a4-10
//     description = A4 sheet, 2 x 5 ID-1 cards
//     page = 210 x 297
//     card = 85.6 x 53.98
//     corner-radius = 3.18
//     columns = 2
//     rows = 5
//     first-card = 14.7 x 13.51      (the first card's top-left corner from the page's)
//     pitch = 95 x 54                (from one card's corner to the next one's, across and down)
//
// Knows nothing of printers, painting or where the files live.
#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace badges {

struct SheetGeometry {
    QString name;
    QString description;
    QSizeF page; // mm
    QSizeF card; // mm
    double cornerRadius = 0;
    int columns = 1;
    int rows = 1;
    QPointF first; // mm from the page's top-left corner
    QSizeF pitch;  // mm

    int cards() const { return columns * rows; }
    // Card `index` (0-based, along the rows: left to right, then down), in mm on the page.
    QRectF cardRect(int index) const;
    // Empty when the geometry is sound; otherwise what is wrong with it, for the operator.
    QString problem() const;
};

// Reads a sheet file's text; `source` names it in messages. Throws AppError naming the source, the line
// and what is wrong, or the geometry's problem().
SheetGeometry parseSheet(const QString& text, const QString& source);
// The geometry in the same format, readable and read back to the same values.
QString formatSheet(const SheetGeometry& sheet);

// The sheets every installation has: a4-10 and letter-10.
QList<SheetGeometry> builtInSheets();

} // namespace badges
