// Badges onto paper: one page per badge, to a print job, to any paged device or to a PDF file, and the
// badges/ folder where a machine without a printer keeps its badges. Knows nothing of windows; which
// printer to use and what to tell the operator is the caller's business.
#pragma once

#include "badges/badgepainter.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

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

// Paints the badges onto the job's device and finishes the job. Throws AppError naming the destination.
void printBadges(PrintJob& job, const QList<Badge>& badges);

// Writes the badges to a PDF file, one page each, replacing the file only when the whole document is
// written. Throws AppError naming the file and the cause.
void writeBadgesPdf(const QString& path, const QList<Badge>& badges);

// The badge's printed area (layout::Area) as a picture at the given resolution, on white. Throws
// AppError when the code cannot be drawn.
QImage renderBadge(const Badge& badge, int dotsPerInch = 300);

// application directory + "/badges"
QString badgesDirectory();

// A new file name in badgesDirectory() for a badge with this code printed at `when`: readable, safe for
// any code (never leaves the folder), and not the name of a file already there. Creates the folder.
// Throws AppError when the folder cannot be created.
QString newBadgeFilePath(const QString& code, const QDateTime& when = QDateTime::currentDateTime());

} // namespace badges
