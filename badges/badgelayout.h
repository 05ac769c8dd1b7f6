// Where a badge's texts and barcode go on one device, worked out before anything is painted: the same
// plan paints the badge and tells the operator beforehand what will not come out right (a barcode that
// will not scan, a text cut short, a code shared by several employees). Knows nothing of windows.
#pragma once

#include "badges/badgepainter.h"

#include <QFont>
#include <QStringList>

class QPaintDevice;

namespace badges {

// Twips to the units of a device of the given resolution.
class DeviceScale {
public:
    DeviceScale(double dpiX, double dpiY) : m_dpiX(dpiX), m_dpiY(dpiY) {}
    explicit DeviceScale(const QPaintDevice& device);

    double dpiX() const { return m_dpiX; }
    int x(int twips) const { return qRound(twips * m_dpiX / layout::TwipsPerInch); }
    int y(int twips) const { return qRound(twips * m_dpiY / layout::TwipsPerInch); }
    QRect rect(const QRect& twips) const;
    double toTwipsY(double deviceUnits) const { return deviceUnits * layout::TwipsPerInch / m_dpiY; }

private:
    double m_dpiX;
    double m_dpiY;
};

// Narrower bars than this are not printed reliably by office printers.
constexpr double MinNarrowElementMm = 0.19;

// A text of the badge: one line, or two when one line does not fit even at the smallest size.
struct TextBlock {
    QFont font;        // at the size chosen
    QStringList lines; // as printed
    int top = 0;       // twips
    int bottom = 0;    // twips: the foot of the last line
    bool cut = false;  // the text did not fit and was cut short with "…"
};

struct BarcodePlan {
    int dotsPerPixel = 1;  // device dots per pixel of the badge window's barcode box
    bool readable = true;  // the whole symbol and its quiet zones lie inside the box
    bool narrowed = false; // drawn narrower than on screen so that it fits
    int longestCode = 0;   // the most data characters that fit on this device
};

struct BadgeLayout {
    TextBlock company, name, title;
    TextBlock validity; // below the title; empty when the badge carries no validity date
    BarcodePlan barcode;
};

// The barcode of the code on a device of this resolution: at the window's proportions when it fits the
// box, otherwise with narrower bars down to MinNarrowElementMm; beyond that it is drawn as on screen, cut
// off, and marked unreadable.
BarcodePlan planBarcode(const QString& code, double dotsPerInch);

// device: where the badge will be painted; nullptr stands for a badge file (1440 dots per inch).
BadgeLayout layoutBadge(const Badge& badge, const QPaintDevice* device = nullptr);

// What stands between the badge and a good print on the device.
struct BadgeProblems {
    QString refusal;              // the barcode cannot be drawn at all: the badge is not printed
    QString unreadable;           // the barcode is drawn but no reader will decode it
    QStringList warnings;         // it prints, but the operator should know
    bool codeNeedsChange = false; // a different code would mend it (too long, "*", shared)
    bool printable() const { return refusal.isEmpty(); }
    bool isEmpty() const { return refusal.isEmpty() && unreadable.isEmpty() && warnings.isEmpty(); }
    QStringList all() const;
};
BadgeProblems badgeProblems(const Badge& badge, const QPaintDevice* device = nullptr);

} // namespace badges
