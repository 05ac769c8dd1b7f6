#include "badges/badgepainter.h"

#include "badges/badgelayout.h"
#include "badges/barcode39.h"
#include "employees/employeecode.h"
#include "employees/photofile.h"
#include "employees/photoframe.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPaintDevice>

#include <algorithm>
#include <cmath>

namespace badges {

namespace {

// Photographs go onto paper at no more than this many dots per inch: enough for a sharp print, and a
// camera picture at full size would make every badge page several megabytes.
constexpr double PhotoDotsPerInch = 300;

QFont sansSerif(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

void drawText(QPainter& painter, const DeviceScale& scale, const TextBlock& block) {
    if (block.isEmpty())
        return;
    const QFontMetricsF metrics(block.font, painter.device());
    painter.setFont(block.font);
    painter.setPen(Qt::black);
    double top = scale.y(block.top);
    const double left = scale.x(block.left);
    const double width = scale.x(block.left + block.width) - left;
    for (const QString& line : block.lines) {
        const double indent =
            block.centred ? std::max(0.0, (width - metrics.horizontalAdvance(line)) / 2) : 0;
        painter.drawText(QPointF(left + indent, top + metrics.ascent()), line);
        top += metrics.height();
    }
}

// The editor frames photographs at these proportions, so that the print shows exactly the framed part.
static_assert(layout::PhotoBox.width() * employees::BadgePhotoHeight ==
                  layout::PhotoBox.height() * employees::BadgePhotoWidth,
              "the photograph frame must have the badge photograph box's proportions");

void drawPhoto(QPainter& painter, const DeviceScale& scale, const QRect& box, const Badge& badge) {
    const double limit = std::min(1.0, PhotoDotsPerInch / scale.dpiX());
    const QRect boxDots = scale.rect(box);
    // Loaded here and dropped once painted: only one badge's photograph is in memory at a time.
    const QImage photo = !badge.photo.isNull() || !badge.photoSource
                             ? badge.photo
                             : badge.photoSource((QSizeF(boxDots.size()) * limit).toSize());
    const QRect fitted = fitRect(photo.size(), boxDots);
    if (fitted.isEmpty())
        return;
    const QSize wanted = (QSizeF(fitted.size()) * limit).toSize();
    // Scaled down here with a smooth filter; a smaller picture is left for the device to enlarge.
    const QImage shown = photo.width() > wanted.width() || photo.height() > wanted.height()
                             ? photo.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             : photo;
    painter.drawImage(QRectF(fitted), shown);
}

void drawBarcodeBox(QPainter& painter, const DeviceScale& scale, const QString& code,
                    const BadgeLayout& plan) {
    if (code.isEmpty() || !employees::undrawableCodeCharacters(code).isEmpty())
        return;
    QRect box = scale.rect(plan.barcodeBox);
    if (plan.centredBarcode) {
        const int symbol = (2 * clsBarCode39::LeftMargin + clsBarCode39::symbolWidth(int(code.size()) + 2)) *
                           plan.barcode.dotsPerPixel;
        if (symbol < box.width())
            box = QRect(box.left() + (box.width() - symbol) / 2, box.top(), symbol, box.height());
    }
    PainterSurface surface(painter, box, plan.barcode.dotsPerPixel);
    surface.setFont(barcodeLabelFont());
    surface.setForeColor(Qt::black);
    surface.setBackColor(Qt::white);
    drawBadgeBarcode(surface, code);
}

} // namespace

QFont companyFont() {
    return sansSerif(20);
}

QFont textFont() {
    return sansSerif(10);
}

QFont barcodeLabelFont() {
    return sansSerif(8);
}

QFont validityFont() {
    return sansSerif(7);
}

QString validityText(const QDate& validUntil) {
    return QStringLiteral("Valid until ") + QLocale::c().toString(validUntil, QStringLiteral("d MMM yyyy"));
}

void drawBadgeBarcode(DrawSurface& surface, const QString& code) {
    clsBarCode39 barcode;
    barcode.setShowLabel(true);
    barcode.setShowStartStop(true);
    barcode.setTextString(code);
    barcode.Refresh(surface);
}

void paintBadge(QPainter& painter, const Badge& badge) {
    paintPlanned(painter, layoutBadge(badge, painter.device()), badge);
}

void paintPlanned(QPainter& painter, const BadgeLayout& plan, const Badge& badge) {
    const DeviceScale scale(*painter.device());
    painter.save();
    drawText(painter, scale, plan.company);
    if (!plan.photoBox.isEmpty())
        drawPhoto(painter, scale, plan.photoBox, badge);
    drawText(painter, scale, plan.name);
    drawText(painter, scale, plan.title);
    drawText(painter, scale, plan.validUntil);
    drawText(painter, scale, plan.note);
    drawBarcodeBox(painter, scale, badge.code, plan);
    painter.restore();
}

} // namespace badges
