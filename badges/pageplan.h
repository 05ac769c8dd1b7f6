// Which badge goes where on which page, decided before the first page is painted: one badge a page for
// the design and the card layouts, the places of a sheet from a starting card on, and the backs -- a
// card's back as the page after it, a sheet's backs on a second sheet mirrored for duplex paper
// printers. Also the operator's correction of a printer (offset and scale). Knows nothing of painting.
#pragma once

#include "badges/badgelayout.h"
#include "badges/layoutcatalogue.h"

#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>

namespace badges {

// What a printer does to every page, measured on a calibration page and undone here: a shift in mm
// (right and down) and a scale in percent about the page's corner.
struct Calibration {
    double offsetX = 0; // mm
    double offsetY = 0; // mm
    double scale = 100; // percent
    bool isIdentity() const { return offsetX == 0 && offsetY == 0 && scale == 100; }
};

struct PrintOptions {
    LayoutInfo layout = designLayoutInfo();
    int start = 1;         // sheets: the place (1-based, along the rows) the first badge goes to
    bool back = false;     // cards and sheets: print the backs too
    bool cutMarks = false; // sheets: short lines beside the cards' corners, never on a card
    QString backText;      // the back's line of text
    Calibration calibration;
    QString destination; // a printer's name or a file, for whoever records what was printed

    static LayoutInfo designLayoutInfo();
};

struct Placement {
    qsizetype badge = 0; // index into the run's badges
    QRectF card;         // mm on the page; empty for the design layout (positions from the paper's corner)
    Side side = Side::Front;
};

struct PagePlan {
    QList<Placement> places;
    bool back = false;
};

// The pages for `count` badges. Throws AppError when the start place is not on the sheet.
QList<PagePlan> planPages(qsizetype count, const PrintOptions& options);

// The page a layout needs (a card in portrait terms with its orientation, a sheet's page); for the
// design layout the local paper (A4, or Letter where inches are the rule) in portrait.
QPageLayout pageLayoutFor(const LayoutInfo& layout);

// Empty when the printer offers a page of the card's size; otherwise what the operator must know before
// a card is wasted. `supported` are the printer's page sizes.
QString cardPageProblem(const LayoutInfo& layout, const QList<QPageSize>& supported, const QString& printer);

} // namespace badges
