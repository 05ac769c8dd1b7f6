#include "badges/badgepainter.h"

#include "badges/barcode39.h"
#include "employees/photofile.h"

#include <QFontMetricsF>
#include <QPaintDevice>

#include <algorithm>
#include <cmath>

namespace badges {

namespace {

// Code 39 data characters. "*" is left out on purpose: the renderer draws it anywhere, but inside a
// code it ends the symbol for a scanner, which then reads only the part before it.
const QString DataCharacters = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%");
const QChar StartStop = u'*';

// Photographs go onto paper at no more than this many dots per inch: enough for a sharp print, and a
// camera picture stored losslessly at full size would make every badge page several megabytes.
constexpr double PhotoDotsPerInch = 300;

// Smallest sizes a text shrinks to before it is cut short to fit the badge.
constexpr double MinCompanyPoints = 10;
constexpr double MinTextPoints = 7;

QFont sansSerif(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

// Twips to the units of the device the painter draws on.
class DeviceScale {
public:
    explicit DeviceScale(const QPaintDevice& device)
        : m_dpiX(device.logicalDpiX()), m_dpiY(device.logicalDpiY()) {}

    double dpiX() const { return m_dpiX; }
    int x(int twips) const { return qRound(twips * m_dpiX / layout::TwipsPerInch); }
    int y(int twips) const { return qRound(twips * m_dpiY / layout::TwipsPerInch); }
    QRect rect(const QRect& twips) const {
        const int left = x(twips.left());
        const int top = y(twips.top());
        return QRect(left, top, x(twips.left() + twips.width()) - left,
                     y(twips.top() + twips.height()) - top);
    }
    double toTwipsY(double deviceUnits) const { return deviceUnits * layout::TwipsPerInch / m_dpiY; }

private:
    double m_dpiX;
    double m_dpiY;
};

// Writes one line of text with its top at `at` (twips), shrinking the font and at last eliding the text
// so that it ends before the badge's right edge. Returns the line's bottom in twips.
int drawTextLine(QPainter& painter, const DeviceScale& scale, QFont font, double minPoints, QPoint at,
                 const QString& text) {
    QPaintDevice* device = painter.device();
    const double room = scale.x(layout::TextRight) - scale.x(at.x());
    while (font.pointSizeF() > minPoints && QFontMetricsF(font, device).horizontalAdvance(text) > room)
        font.setPointSizeF(std::max(minPoints, font.pointSizeF() - 0.5));
    const QFontMetricsF metrics(font, device);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, room);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int top = scale.y(at.y());
    painter.drawText(QPointF(scale.x(at.x()), top + metrics.ascent()), shown);
    return at.y() + int(std::ceil(scale.toTwipsY(metrics.height())));
}

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

void drawBarcodeBox(QPainter& painter, const DeviceScale& scale, const QString& code) {
    if (code.isEmpty() || firstInvalidBarcodeCharacter(code))
        return;
    // The box's pixels become whole device dots, as many as a screen pixel's 15 twips cover.
    PainterSurface surface(painter, scale.rect(layout::BarcodeBox),
                           scale.dpiX() * layout::TwipsPerPixel / layout::TwipsPerInch);
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

std::optional<QChar> firstInvalidBarcodeCharacter(const QString& code) {
    for (const QChar c : code) {
        if (!DataCharacters.contains(c.toUpper()))
            return c;
    }
    return std::nullopt;
}

QString undrawableCodeMessage(const QString& code, QChar character) {
    QString why;
    if (character == StartStop) {
        why = QStringLiteral(
            "\"*\" marks the start and the end of a Code 39 barcode and cannot be part of the code");
    } else {
        const QString shown =
            character.isPrint() && !character.isSpace()
                ? QStringLiteral("\"%1\"").arg(character)
                : QStringLiteral("the character U+%1").arg(character.unicode(), 4, 16, QChar(u'0'));
        why = QStringLiteral("%1 is not a Code 39 character").arg(shown);
    }
    return QStringLiteral(
               "The identification code \"%1\" cannot be drawn as a barcode: %2. Code 39 takes the "
               "letters A to Z, the digits 0 to 9, blanks and - . $ / + %. Change the code in the "
               "employee editor.")
        .arg(code, why);
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
    painter.save();
    drawTextLine(painter, scale, companyFont(), MinCompanyPoints, layout::CompanyAt, badge.company);
    if (!badge.photo.isNull())
        drawPhoto(painter, scale, badge.photo);
    const int nameBottom =
        drawTextLine(painter, scale, textFont(), MinTextPoints, layout::NameAt, badge.fullName);
    // Only 150 twips (7.5 points) separate the name from the title, less than a line of any readable
    // font, so the title goes below the name instead of across it.
    const QPoint titleAt(layout::TitleAt.x(), std::max(layout::TitleAt.y(), nameBottom));
    drawTextLine(painter, scale, textFont(), MinTextPoints, titleAt, badge.title);
    drawBarcodeBox(painter, scale, badge.code);
    painter.restore();
}

} // namespace badges
