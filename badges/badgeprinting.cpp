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
constexpr double MmPerInch = 25.4;

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
    paintBadges(device, badges, PrintOptions());
}

namespace {

double dots(double mm, double dpi) {
    return mm / MmPerInch * dpi;
}

// Asks the device for the layout's page; the design's page stays whatever the device has.
void preparePage(QPagedPaintDevice& device, const LayoutInfo& layout) {
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setFullPage(true);
    if (layout.kind == LayoutKind::Design)
        return;
    if (!device.setPageLayout(pageLayoutFor(layout)))
        throw AppError(QStringLiteral("The printer did not accept a page of %1 x %2 mm for the layout %3.")
                           .arg(pageLayoutFor(layout).fullRect(QPageLayout::Millimeter).width())
                           .arg(pageLayoutFor(layout).fullRect(QPageLayout::Millimeter).height())
                           .arg(layout.name));
}

// Painting on a device opened for the whole run; each page starts at the paper's corner, corrected by
// the printer's calibration.
class PageRun {
public:
    PageRun(QPagedPaintDevice& device, const Calibration& calibration)
        : m_device(device), m_calibration(calibration) {
        if (!m_painter.begin(&device))
            throw AppError(QStringLiteral("The printer could not start the document."));
        // Any margins the device still keeps move its origin away from the paper's corner; undo that.
        m_origin = device.pageLayout().paintRectPixels(device.logicalDpiX()).topLeft();
    }
    QPainter& painter() { return m_painter; }
    void beginPage(qsizetype index, qsizetype count) {
        if (index > 0 && !m_device.newPage())
            throw AppError(
                QStringLiteral("The printer could not start page %1 of %2.").arg(index + 1).arg(count));
        m_painter.resetTransform();
        m_painter.translate(-m_origin);
        m_painter.translate(dots(m_calibration.offsetX, m_device.logicalDpiX()),
                            dots(m_calibration.offsetY, m_device.logicalDpiY()));
        m_painter.scale(m_calibration.scale / 100.0, m_calibration.scale / 100.0);
    }
    // The top-left corner of a card given in mm, at whole device dots so that bars stay whole dots.
    QPoint at(const QPointF& mm) const {
        return QPoint(qRound(dots(mm.x(), m_device.logicalDpiX())),
                      qRound(dots(mm.y(), m_device.logicalDpiY())));
    }
    QRectF rect(const QRectF& mm) const {
        return QRectF(dots(mm.left(), m_device.logicalDpiX()), dots(mm.top(), m_device.logicalDpiY()),
                      dots(mm.width(), m_device.logicalDpiX()), dots(mm.height(), m_device.logicalDpiY()));
    }
    void finish() {
        if (!m_painter.end())
            throw AppError(QStringLiteral("The printer could not finish the document."));
    }

private:
    QPagedPaintDevice& m_device;
    Calibration m_calibration;
    QPainter m_painter;
    QPoint m_origin;
};

// Short lines continuing the cards' edges past their corners, left out wherever they would touch a card.
void drawCutMarks(QPainter& painter, const PageRun& run, const SheetGeometry& sheet) {
    constexpr double Away = 1, Length = 3, Thickness = 0.1; // mm
    QList<QRectF> cards;
    for (int i = 0; i < sheet.cards(); ++i)
        cards.append(sheet.cardRect(i));
    const auto clear = [&cards](const QRectF& mark) {
        return std::none_of(cards.cbegin(), cards.cend(),
                            [&mark](const QRectF& c) { return c.intersects(mark); });
    };
    for (const QRectF& c : std::as_const(cards)) {
        for (const double x : {c.left(), c.right()})
            for (const double y : {c.top(), c.bottom()}) {
                const double outX = x == c.left() ? -1 : 1, outY = y == c.top() ? -1 : 1;
                const QRectF across = QRectF(QPointF(x + outX * Away, y - Thickness / 2),
                                             QPointF(x + outX * (Away + Length), y + Thickness / 2))
                                          .normalized();
                const QRectF down = QRectF(QPointF(x - Thickness / 2, y + outY * Away),
                                           QPointF(x + Thickness / 2, y + outY * (Away + Length)))
                                        .normalized();
                for (const QRectF& mark : {across, down})
                    if (clear(mark))
                        painter.fillRect(run.rect(mark), Qt::black);
            }
    }
}

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

void paintBadges(QPagedPaintDevice& device, const QList<Badge>& badges, const PrintOptions& options,
                 const BadgePrinted& printed) {
    // Codes and places are checked before the first page (no photograph is needed for that), so a
    // refused badge leaves nothing half printed.
    checkCodes(badges);
    if (badges.isEmpty())
        return;
    const QList<PagePlan> pages = planPages(badges.size(), options);
    preparePage(device, options.layout);
    PageRun run(device, options.calibration);
    QPainter& painter = run.painter();
    for (qsizetype p = 0; p < pages.size(); ++p) {
        run.beginPage(p, pages.size());
        for (const Placement& place : pages.at(p).places) {
            const Badge& badge = badges.at(place.badge);
            painter.save();
            painter.translate(run.at(place.card.topLeft()));
            paintPlanned(painter, planBadge(badge, options.layout, &device, place.side, options.backText),
                         badge);
            painter.restore();
            if (place.side == Side::Front && printed)
                printed({badge, place.badge, options.layout.name, options.destination});
        }
        if (options.cutMarks && options.layout.isSheet() && !pages.at(p).back)
            drawCutMarks(painter, run, options.layout.sheet);
    }
    run.finish();
}

QPointF calibrationCross(const LayoutInfo& layout) {
    return layout.kind == LayoutKind::Design ? QPointF(50, 50) : QPointF(30, 20);
}

void paintCalibration(QPagedPaintDevice& device, const PrintOptions& options) {
    const LayoutInfo& layout = options.layout;
    preparePage(device, layout);
    PageRun run(device, options.calibration);
    QPainter& painter = run.painter();
    run.beginPage(0, 1);
    QList<QRectF> cards;
    if (layout.isSheet())
        for (int i = 0; i < layout.sheet.cards(); ++i)
            cards.append(layout.sheet.cardRect(i));
    else
        cards.append(QRectF(
            QPointF(0, 0), layout.isCard() ? layout.cardSize()
                                           : pageLayoutFor(layout).fullRect(QPageLayout::Millimeter).size()));
    const double radius = layout.isSheet() ? layout.sheet.cornerRadius : layout.isCard() ? 3.18 : 0;
    const double hair = 0.1;
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(5);
    painter.setFont(font);
    for (const QRectF& card : std::as_const(cards)) {
        painter.setPen(QPen(Qt::gray, run.rect(QRectF(0, 0, hair, hair)).width()));
        painter.setBrush(Qt::NoBrush);
        const QRectF outline = run.rect(card);
        painter.drawRoundedRect(outline, run.rect(QRectF(0, 0, radius, radius)).width(),
                                run.rect(QRectF(0, 0, radius, radius)).height());
        // Rulers: a tick a millimetre, longer every 5 and numbered every 10, from the card's corner.
        const auto tick = [&](double along, bool across) {
            const double length = std::fmod(along, 10) == 0 ? 3 : std::fmod(along, 5) == 0 ? 2 : 1;
            const QRectF mark = across ? QRectF(card.left() + along - hair / 2, card.top(), hair, length)
                                       : QRectF(card.left(), card.top() + along - hair / 2, length, hair);
            painter.fillRect(run.rect(mark), Qt::black);
            if (std::fmod(along, 10) == 0 && along > 0) {
                painter.setPen(Qt::black);
                const QPointF at = across ? QPointF(card.left() + along + 0.3, card.top() + 4.5)
                                          : QPointF(card.left() + 3.3, card.top() + along + 0.8);
                painter.drawText(run.rect(QRectF(at, QSizeF())).topLeft(), QString::number(int(along)));
            }
        };
        for (int mm = 0; mm < int(card.width()); ++mm)
            tick(mm, true);
        for (int mm = 0; mm < int(card.height()); ++mm)
            tick(mm, false);
        const QPointF cross = card.topLeft() + calibrationCross(layout);
        painter.fillRect(run.rect(QRectF(cross.x() - 3, cross.y() - hair / 2, 6, hair)), Qt::black);
        painter.fillRect(run.rect(QRectF(cross.x() - hair / 2, cross.y() - 3, hair, 6)), Qt::black);
        painter.setPen(Qt::black);
        painter.drawText(run.rect(QRectF(cross + QPointF(1, 3), QSizeF())).topLeft(),
                         QStringLiteral("+ at %1 mm from the left edge, %2 mm from the top edge")
                             .arg(calibrationCross(layout).x())
                             .arg(calibrationCross(layout).y()));
        const Calibration& c = options.calibration;
        painter.drawText(run.rect(QRectF(cross + QPointF(1, 6), QSizeF())).topLeft(),
                         QStringLiteral("layout %1; correction x %2 mm, y %3 mm, scale %4 %")
                             .arg(layout.name)
                             .arg(c.offsetX, 0, 'f', 1)
                             .arg(c.offsetY, 0, 'f', 1)
                             .arg(c.scale, 0, 'f', 1));
    }
    run.finish();
}

void printBadges(PrintJob& job, const QList<Badge>& badges) {
    printBadges(job, badges, PrintOptions());
}

void printBadges(PrintJob& job, const QList<Badge>& badges, PrintOptions options,
                 const BadgePrinted& printed) {
    options.destination = job.destination();
    try {
        paintBadges(*job.device(), badges, options, printed);
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
    writeBadgesPdf(path, badges, PrintOptions());
}

namespace {

// Written beside the target and renamed over it, so a failure never leaves half a document.
void writePdf(const QString& path, const QString& title, const LayoutInfo& layout,
              const std::function<void(QPdfWriter&)>& paint) {
    data::OutputFile file(path);
    file.open();
    {
        QPdfWriter writer(&file.device());
        writer.setResolution(PdfResolution);
        writer.setPageLayout(layout.kind == LayoutKind::Design
                                 ? QPageLayout(localPaperSize(), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0))
                                 : pageLayoutFor(layout));
        writer.setCreator(AppFacts::applicationTitle());
        writer.setTitle(title);
        try {
            paint(writer);
        } catch (const AppError& error) {
            throw AppError(QStringLiteral("Could not write the badge file %1: %2")
                               .arg(shownPath(path), error.description()));
        }
    }
    if (!file.commit())
        throw AppError(
            QStringLiteral("Could not write the badge file %1: %2. Check that the disk is not full.")
                .arg(shownPath(path), file.errorString()));
}

} // namespace

void writeBadgesPdf(const QString& path, const QList<Badge>& badges, PrintOptions options,
                    const BadgePrinted& printed) {
    checkCodes(badges);
    planPages(badges.size(), options); // a start place off the sheet is refused before the file is touched
    options.destination = path;
    writePdf(path,
             badges.size() == 1 ? QStringLiteral("Badge %1").arg(badges.front().fullName.simplified())
                                : QStringLiteral("%1 badges").arg(badges.size()),
             options.layout, [&](QPdfWriter& writer) { paintBadges(writer, badges, options, printed); });
}

void writeCalibrationPdf(const QString& path, const PrintOptions& options) {
    writePdf(path, QStringLiteral("Calibration page"), options.layout,
             [&](QPdfWriter& writer) { paintCalibration(writer, options); });
}

namespace {

// A white image of the given size that says its resolution, for a badge to be painted on.
QImage blankImage(QSize size, int dotsPerInch) {
    QImage image(size, QImage::Format_RGB32);
    const int dotsPerMeter = qRound(dotsPerInch / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    return image;
}

} // namespace

QImage renderBadge(const Badge& badge, int dotsPerInch) {
    checkCodes({badge});
    const auto pixels = [dotsPerInch](int twips) {
        return qRound(twips * dotsPerInch / double(layout::TwipsPerInch));
    };
    QImage image = blankImage({pixels(layout::Area.width()), pixels(layout::Area.height())}, dotsPerInch);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(-pixels(layout::Area.left()), -pixels(layout::Area.top()));
    paintBadge(painter, badge);
    return image;
}

QImage renderBadge(const Badge& badge, const PrintOptions& options, int dotsPerInch) {
    if (options.layout.kind == LayoutKind::Design)
        return renderBadge(badge, dotsPerInch);
    checkCodes({badge});
    const QSizeF mm = options.layout.cardSize();
    QImage image = blankImage({qRound(dots(mm.width(), dotsPerInch)), qRound(dots(mm.height(), dotsPerInch))},
                              dotsPerInch);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const Side side = options.back ? Side::Back : Side::Front;
    paintPlanned(painter, planBadge(badge, options.layout, &image, side, options.backText), badge);
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
