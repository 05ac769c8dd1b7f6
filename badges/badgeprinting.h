// Badges onto paper: one page per badge, to a print job, to any paged device or to a PDF file, and the
// badges/ folder where a machine without a printer keeps its badges. Knows nothing of windows; which
// printer to use and what to tell the operator is the caller's business.
#pragma once

#include "badges/badgepainter.h"
#include "badges/pageplan.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

#include <functional>

class PrintJob;
class QPagedPaintDevice;

namespace data {
class Connection;
} // namespace data

namespace badges {

// first + " " + middle + " " + last: both blanks stay when a part is empty, as on the badge windows.
QString badgeName(const QString& first, const QString& middle, const QString& last);

// Throws AppError (ObjectErrorBase + 101) naming the first badge's code that a barcode cannot draw.
void checkCodes(const QList<Badge>& badges);

// Badge::codeHolders for the code: "Ann B Cole (record 1)", ... when more than one employee has it.
QStringList codeHolders(data::Connection& connection, const QString& code);

// Paints the badges one per page in full-page coordinates. The device must have no painter open.
// Checks every code before the first page, so a refused badge leaves nothing half printed. Throws
// AppError when a code cannot be drawn or the device cannot be painted on.
void paintBadges(QPagedPaintDevice& device, const QList<Badge>& badges);

// One badge has gone into the document: its front is painted on a page of `destination` in `layout`.
// A run calls this once per badge, in print order, after it has painted that badge's front.
struct PrintedBadge {
    const Badge& badge;
    qsizetype index; // in the run's list
    QString layout;
    QString destination;
};
using BadgePrinted = std::function<void(const PrintedBadge&)>;

// The same in any layout: pages as planPages() plans them, the device asked for the layout's page (card
// and sheet layouts), every page corrected by the options' calibration. Photographs given by a
// photoSource are loaded one badge at a time.
void paintBadges(QPagedPaintDevice& device, const QList<Badge>& badges, const PrintOptions& options,
                 const BadgePrinted& printed = {});

// A page to measure the printer by, in the options' layout: each card's (or the paper's) outline,
// millimetre rulers along its top and left edges and a cross at a known distance from its corner, all
// corrected by the options' calibration like a badge.
void paintCalibration(QPagedPaintDevice& device, const PrintOptions& options);
// Where the calibration page's cross is, in mm from the card's (the paper's) top-left corner.
QPointF calibrationCross(const LayoutInfo& layout);

// Paints the badges onto the job's device and finishes the job. Throws AppError naming the destination.
void printBadges(PrintJob& job, const QList<Badge>& badges);
void printBadges(PrintJob& job, const QList<Badge>& badges, PrintOptions options,
                 const BadgePrinted& printed = {});

// Writes the badges to a PDF file, one page each, replacing the file only when the whole document is
// written. Throws AppError naming the file and the cause.
void writeBadgesPdf(const QString& path, const QList<Badge>& badges);
void writeBadgesPdf(const QString& path, const QList<Badge>& badges, PrintOptions options,
                    const BadgePrinted& printed = {});
// A calibration page (paintCalibration) as a PDF file.
void writeCalibrationPdf(const QString& path, const PrintOptions& options);

// The badge's printed area (layout::Area) as a picture at the given resolution, on white. Throws
// AppError when the code cannot be drawn.
QImage renderBadge(const Badge& badge, int dotsPerInch = 300);
// The badge in the options' layout: the design's printed area, or one card (its back when options.back).
QImage renderBadge(const Badge& badge, const PrintOptions& options, int dotsPerInch = 300);

// application directory + "/badges"
QString badgesDirectory();

// A new file name in badgesDirectory() for a badge with this code printed at `when`: readable, safe for
// any code (never leaves the folder), and not the name of a file already there. Creates the folder.
// Throws AppError when the folder cannot be created.
QString newBadgeFilePath(const QString& code, const QDateTime& when = QDateTime::currentDateTime());

} // namespace badges
