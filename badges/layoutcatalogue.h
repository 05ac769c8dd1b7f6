// The layouts a badge can be printed in: the design's page layout (the default), one card a page for
// card printers, and sheets of pre-cut cards -- the built-in ones and those added as sheet files in the
// application directory's layouts/ folder. Knows nothing of painting or printers.
#pragma once

#include "badges/sheetformat.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace badges {

enum class LayoutKind { Design, Card, Sheet };

struct LayoutInfo {
    QString name;
    QString description;
    LayoutKind kind = LayoutKind::Design;
    bool portrait = false; // card-portrait
    SheetGeometry sheet;   // sheets only
    QString file;          // the sheet file it was read from; empty for a built-in layout

    bool isCard() const { return kind == LayoutKind::Card; }
    bool isSheet() const { return kind == LayoutKind::Sheet; }
    // The card on a page of this layout, mm (design: empty, the badge sits on ordinary paper).
    QSizeF cardSize() const;
    // Badge places on one page.
    int cardsPerPage() const { return isSheet() ? sheet.cards() : 1; }
};

inline const QString DesignLayout = QStringLiteral("design");

// application directory + "/layouts": sheet files (*.sheet) of other makers.
QString sheetsDirectory();

// The built-in layouts, then the sheet files in sheetsDirectory() by name. A file that cannot be read,
// or that names a layout already known, is left out and described in `problems` when given.
QList<LayoutInfo> availableLayouts(QStringList* problems = nullptr);

// Throws AppError naming the unknown layout and the known ones.
LayoutInfo findLayout(const QString& name);

// Writes the sheet as sheetsDirectory()/NAME.sheet (replacing an earlier file of that name) and returns
// the path. Throws AppError when the geometry is unsound, the name is a built-in layout's or the file
// cannot be written.
QString saveSheet(const SheetGeometry& sheet);

} // namespace badges
