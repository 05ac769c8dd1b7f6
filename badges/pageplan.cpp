#include "badges/pageplan.h"

#include "app/apperror.h"

#include <QLocale>

#include <cmath>

namespace badges {

namespace {

// A page size counts as the card's when it is this close (mm) in both directions.
constexpr double CardSizeTolerance = 1.0;

QRectF mirrored(const QRectF& card, double pageWidth) {
    return QRectF(pageWidth - card.right(), card.top(), card.width(), card.height());
}

} // namespace

LayoutInfo PrintOptions::designLayoutInfo() {
    return LayoutInfo{DesignLayout, QString(), LayoutKind::Design, false, {}, {}};
}

QList<PagePlan> planPages(qsizetype count, const PrintOptions& options) {
    const LayoutInfo& layout = options.layout;
    QList<PagePlan> pages;
    if (!layout.isSheet()) {
        const QRectF card = layout.isCard() ? QRectF(QPointF(0, 0), layout.cardSize()) : QRectF();
        for (qsizetype i = 0; i < count; ++i) {
            pages.append({{{i, card, Side::Front}}, false});
            if (options.back && layout.isCard())
                pages.append({{{i, card, Side::Back}}, true});
        }
        return pages;
    }
    const SheetGeometry& sheet = layout.sheet;
    if (options.start < 1 || options.start > sheet.cards())
        throw AppError(QStringLiteral("The sheet %1 has %2 cards: start at a card from 1 to %2.")
                           .arg(sheet.name)
                           .arg(sheet.cards()));
    int place = options.start - 1;
    for (qsizetype i = 0; i < count;) {
        PagePlan front;
        for (; place < sheet.cards() && i < count; ++place, ++i)
            front.places.append({i, sheet.cardRect(place), Side::Front});
        place = 0;
        pages.append(front);
        if (options.back) {
            // The sheet is turned over about its long (vertical) edge: a card's back lies mirrored across.
            PagePlan back{{}, true};
            for (const Placement& p : std::as_const(front.places))
                back.places.append({p.badge, mirrored(p.card, sheet.page.width()), Side::Back});
            pages.append(back);
        }
    }
    return pages;
}

QPageLayout pageLayoutFor(const LayoutInfo& layout) {
    const QMarginsF none(0, 0, 0, 0);
    if (layout.kind == LayoutKind::Design) {
        const bool inches = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
        return QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                           none);
    }
    const QSizeF size = layout.isSheet() ? layout.sheet.page : layout.cardSize();
    const bool landscape = size.width() > size.height();
    // Page sizes are given upright; the orientation turns them.
    const QSizeF upright = landscape ? size.transposed() : size;
    const QString name = layout.isCard() ? QStringLiteral("ID-1 card (CR80)") : layout.sheet.name;
    return QPageLayout(QPageSize(upright, QPageSize::Millimeter, name, QPageSize::ExactMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, none);
}

QString cardPageProblem(const LayoutInfo& layout, const QList<QPageSize>& supported, const QString& printer) {
    if (!layout.isCard())
        return QString();
    const QSizeF card = layout.cardSize();
    for (const QPageSize& size : supported) {
        const QSizeF mm = size.size(QPageSize::Millimeter);
        for (const QSizeF& turned : {mm, mm.transposed()})
            if (std::abs(turned.width() - card.width()) <= CardSizeTolerance &&
                std::abs(turned.height() - card.height()) <= CardSizeTolerance)
                return QString();
    }
    return QStringLiteral(
               "The printer %1 offers no card-sized page (85.60 x 53.98 mm), so its driver may print "
               "the card on its default paper, shifted or scaled. Check the driver's card size "
               "(vendors name it CR80, ID-1 or similar), or print a calibration page first.")
        .arg(printer);
}

} // namespace badges
