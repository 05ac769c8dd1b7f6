#include "badges/badgepainter.h"

#include "badges/badgelayout.h"
#include "badges/barcode39.h"
#include "employees/employeecode.h"
#include "employees/photofile.h"
#include "employees/photoframe.h"

#include <QFontMetricsF>
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

void drawText(QPainter& painter, const DeviceScale& scale, int x, const TextBlock& block) {
    const QFontMetricsF metrics(block.font, painter.device());
    painter.setFont(block.font);
    painter.setPen(Qt::black);
    double top = scale.y(block.top);
    for (const QString& line : block.lines) {
        painter.drawText(QPointF(scale.x(x), top + metrics.ascent()), line);
        top += metrics.height();
    }
}

// The editor frames photographs at these proportions, so that the print shows exactly the framed part.
static_assert(layout::PhotoBox.width() * employees::BadgePhotoHeight ==
                  layout::PhotoBox.height() * employees::BadgePhotoWidth,
              "the photograph frame must have the badge photograph box's proportions");

void drawPhoto(QPainter& painter, const DeviceScale& scale, const QImage& photo) {
    const QRect fitted = fitRect(photo.size(), scale.rect(layout::PhotoBox));
    if (fitted.isEmpty())
        return;
    const double limit = std::min(1.0, PhotoDotsPerInch / scale.dpiX());
    const QSize wanted = (QSizeF(fitted.size()) * limit).toSize();
    // Scaled down here with a smooth filter; a smaller picture is left for the device to enlarge.
    const QImage shown = photo.width() > wanted.width() || photo.height() > wanted.height()
                             ? photo.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             : photo;
    painter.drawImage(QRectF(fitted), shown);
}

void drawBarcodeBox(QPainter& painter, const DeviceScale& scale, const QString& code,
                    const BarcodePlan& plan) {
    if (code.isEmpty() || !employees::undrawableCodeCharacters(code).isEmpty())
        return;
    PainterSurface surface(painter, scale.rect(layout::BarcodeBox), plan.dotsPerPixel);
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

void drawBadgeBarcode(DrawSurface& surface, const QString& code) {
    clsBarCode39 barcode;
    barcode.setShowLabel(true);
    barcode.setShowStartStop(true);
    barcode.setTextString(code);
    barcode.Refresh(surface);
}

void paintBadge(QPainter& painter, const Badge& badge) {
    const DeviceScale scale(*painter.device());
    const BadgeLayout planned = layoutBadge(badge, painter.device());
    painter.save();
    drawText(painter, scale, layout::CompanyAt.x(), planned.company);
    if (!badge.photo.isNull())
        drawPhoto(painter, scale, badge.photo);
    drawText(painter, scale, layout::NameAt.x(), planned.name);
    drawText(painter, scale, layout::TitleAt.x(), planned.title);
    drawBarcodeBox(painter, scale, badge.code, planned.barcode);
    painter.restore();
}

} // namespace badges
