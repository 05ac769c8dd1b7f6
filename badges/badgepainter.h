// One employee's badge painted onto any QPainter at the fixed print positions. The print preview, the
// printer and PDF files all go through paintBadge, so what the operator previews is what comes out.
// Knows nothing of windows, the database or where the pages end up.
#pragma once

#include "badges/drawsurface.h"

#include <QDate>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace badges {

struct Badge {
    QString company;
    QString fullName;
    QString title;
    QString code; // the identification code, drawn as the barcode; may be empty
    QImage photo; // null when the employee has no photograph
    // Every employee holding this code, by name, when more than one does: the photograph found by the
    // code may then be another employee's.
    QStringList codeHolders;
    // The last day the badge is valid; null for a badge without one.
    QDate validUntil;
    // Loads the photograph when `photo` is null, decoded no larger than the size given (pixels): a run
    // of thousands of badges then holds one photograph at a time, at the size it is printed.
    std::function<QImage(const QSize&)> photoSource;
};

// Print positions in twips (1/1440 inch) from the top-left corner of the paper.
namespace layout {
constexpr int TwipsPerInch = 1440;
// One pixel of the badge window's boxes; the barcode keeps these proportions on paper.
constexpr int TwipsPerPixel = 15;
constexpr QPoint CompanyAt(650, 725);
constexpr QRect PhotoBox(650, 1200, 2715, 2715);
constexpr QPoint NameAt(650, 4000);
constexpr QPoint TitleAt(650, 4150);
constexpr QRect BarcodeBox(400, 4600, 3135, 1095);
// Texts start at their x and may run as far as the barcode box's right edge.
constexpr int TextRight = 400 + 3135;
// Everything printed for one badge, with a margin around it: what a picture of the badge shows.
constexpr QRect Area(250, 575, 3435, 5270);
// The barcode box on screen, in pixels.
constexpr QSize BarcodeBoxPixels((3135 + 7) / 15, (1095 + 7) / 15);
} // namespace layout

QFont companyFont();      // 20 point
QFont textFont();         // full name and title
QFont barcodeLabelFont(); // the barcode box's font: the text under the bars, on screen and on paper
QFont validityFont();     // "Valid until ..."

// "Valid until 3 Nov 2027"
QString validityText(const QDate& validUntil);

// The code as the badge carries it: upper case, wrapped in start/stop characters, the text under the
// bars, the bar height worked out from the surface. Throws AppError as the renderer does; an empty code
// leaves the surface alone.
void drawBadgeBarcode(DrawSurface& surface, const QString& code);

// Paints the badge at the print positions. The painter must be active on a device whose coordinates
// start at the top-left corner of the paper and whose logical resolution is the device's own. Texts too
// long for one line break onto a second; a barcode too wide for the box is drawn with narrower bars
// (layoutBadge). A code that cannot be drawn leaves the barcode box empty; callers refuse such badges
// beforehand.
void paintBadge(QPainter& painter, const Badge& badge);

struct BadgeLayout;
// Paints a plan of any layout (badgelayout.h) with its origin at the painter's origin: the one painter
// of every badge, front or back, on screen, paper or PDF.
void paintPlanned(QPainter& painter, const BadgeLayout& plan, const Badge& badge);

} // namespace badges
