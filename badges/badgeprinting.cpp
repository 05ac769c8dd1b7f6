#include "badges/badgeprinting.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "data/outputfile.h"
#include "employees/employeecode.h"
#include "employees/employeestore.h"
#include "employees/photofile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

namespace badges {

namespace {

// PDF files are laid out in twips: every position of the badge and every pixel of the barcode box
// (15 twips) is a whole number of device units, so nothing is rounded on the way to the file.
constexpr int PdfResolution = layout::TwipsPerInch;

constexpr int MaxSameNameFiles = 1000;

QPageSize localPaperSize() {
    return QPageSize(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                : QPageSize::A4);
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QString badgeName(const QString& first, const QString& middle, const QString& last) {
    return first + u' ' + middle + u' ' + last;
}

void checkCodes(const QList<Badge>& badges) {
    for (const Badge& badge : badges) {
        if (const QString refusal = employees::undrawableCodeMessage(badge.code); !refusal.isEmpty())
            throw AppError(AppError::ObjectErrorBase + 101, QStringLiteral("Barcode"), refusal);
    }
}

QStringList codeHolders(data::Connection& connection, const QString& code) {
    const QList<employees::EmployeeRef> holders = employees::employeesWithCode(connection, code);
    QStringList names;
    if (holders.size() > 1)
        for (const employees::EmployeeRef& holder : holders)
            names.append(QStringLiteral("%1 (record %2)").arg(holder.name).arg(holder.key));
    return names;
}

void paintBadges(QPagedPaintDevice& device, const QList<Badge>& badges) {
    checkCodes(badges);
    if (badges.isEmpty())
        return;
    // A printer's origin is otherwise the corner of its printable area, which differs from printer to
    // printer; the badge's positions are measured from the corner of the paper.
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setFullPage(true);
    QPainter painter;
    if (!painter.begin(&device))
        throw AppError(QStringLiteral("The printer could not start the document."));
    // Photographs go in as JPEG at high quality (Qt's PDF writer uses 94), already scaled to what the
    // printed box needs: losslessly, a thousand badges came to hundreds of megabytes. Bars are
    // rectangles, never pictures, so they stay sharp.
    // Any margins the device still keeps move its origin away from the paper's corner; undo that.
    const QPoint origin = device.pageLayout().paintRectPixels(device.logicalDpiX()).topLeft();
    for (qsizetype i = 0; i < badges.size(); ++i) {
        if (i > 0 && !device.newPage())
            throw AppError(
                QStringLiteral("The printer could not start page %1 of %2.").arg(i + 1).arg(badges.size()));
        painter.save();
        painter.translate(-origin);
        paintBadge(painter, badges.at(i));
        painter.restore();
    }
    if (!painter.end())
        throw AppError(QStringLiteral("The printer could not finish the document."));
}

void printBadges(PrintJob& job, const QList<Badge>& badges) {
    try {
        paintBadges(*job.device(), badges);
    } catch (const AppError& error) {
        if (error.number() != 0)
            throw;
        throw AppError(
            QStringLiteral("Could not print on %1: %2").arg(job.destination(), error.description()));
    }
    if (!job.finish())
        throw AppError(QStringLiteral("The badge could not be delivered to %1. Check that the printer is "
                                      "switched on and ready, then print again.")
                           .arg(job.destination()));
}

void writeBadgesPdf(const QString& path, const QList<Badge>& badges) {
    checkCodes(badges);
    // Written beside the target and renamed over it, so a failure never leaves half a document.
    data::OutputFile file(path);
    file.open();
    {
        QPdfWriter writer(&file.device());
        writer.setResolution(PdfResolution);
        writer.setPageSize(localPaperSize());
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setCreator(AppFacts::applicationTitle());
        writer.setTitle(badges.size() == 1
                            ? QStringLiteral("Badge %1").arg(badges.front().fullName.simplified())
                            : QStringLiteral("%1 badges").arg(badges.size()));
        try {
            paintBadges(writer, badges);
        } catch (const AppError& error) {
            throw AppError(QStringLiteral("Could not write the badge file %1: %2")
                               .arg(shown(path), error.description()));
        }
    }
    if (!file.commit())
        throw AppError(
            QStringLiteral("Could not write the badge file %1: %2. Check that the disk is not full.")
                .arg(shown(path), file.errorString()));
}

QImage renderBadge(const Badge& badge, int dotsPerInch) {
    checkCodes({badge});
    const auto pixels = [dotsPerInch](int twips) {
        return qRound(twips * dotsPerInch / double(layout::TwipsPerInch));
    };
    QImage image(pixels(layout::Area.width()), pixels(layout::Area.height()), QImage::Format_RGB32);
    const int dotsPerMeter = qRound(dotsPerInch / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(-pixels(layout::Area.left()), -pixels(layout::Area.top()));
    paintBadge(painter, badge);
    return image;
}

QString badgesDirectory() {
    return AppFacts::applicationDirectory() + QStringLiteral("/badges");
}

QString newBadgeFilePath(const QString& code, const QDateTime& when) {
    const QString folder = badgesDirectory();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        throw AppError(
            QStringLiteral("Could not create the folder %1 for badge files. Check that the application "
                           "folder is writable.")
                .arg(shown(folder)));
    // The temporary photograph's name is already safe for any code; only its extension differs.
    const QString codePart = code.isEmpty() ? QStringLiteral("no-code") : photoTempFileName(code).chopped(4);
    const QString stem =
        QStringLiteral("badge-%1-%2").arg(codePart, when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    for (int n = 1; n <= MaxSameNameFiles; ++n) {
        const QString name = n == 1 ? stem : QStringLiteral("%1-%2").arg(stem).arg(n);
        const QString path = folder + u'/' + name + QStringLiteral(".pdf");
        if (!QFileInfo::exists(path))
            return path;
    }
    throw AppError(QStringLiteral("Could not find a free file name for the badge in %1.").arg(shown(folder)));
}

} // namespace badges
