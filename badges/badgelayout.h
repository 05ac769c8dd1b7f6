// Where a badge's texts, photograph and barcode go on one device, worked out before anything is painted:
// the same plan paints the badge and tells the operator beforehand what will not come out right (a
// barcode that will not scan, a text cut short, a code shared by several employees). Every layout -- the
// design's page, a card, a card on a sheet, a card's back -- is such a plan, in twips from the badge's
// own top-left corner; placing badges on pages is the page plan's business (pageplan.h). Knows nothing
// of windows.
#pragma once

#include "badges/badgepainter.h"
#include "badges/layoutcatalogue.h"

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
    QFont font;           // at the size chosen
    QStringList lines;    // as printed
    int left = 0;         // twips: where the lines may run, left to left + width
    int width = 0;        // twips
    int top = 0;          // twips
    int bottom = 0;       // twips: the foot of the last line
    bool centred = false; // each line centred in the width, else starting at left
    bool cut = false;     // the text did not fit and was cut short with "…"

    bool isEmpty() const { return lines.isEmpty() || (lines.size() == 1 && lines.first().isEmpty()); }
    QRect box() const { return QRect(left, top, width, bottom - top); }
    // Moves the block down (or up) by dy twips.
    void shift(int dy) {
        top += dy;
        bottom += dy;
    }
};

struct BarcodePlan {
    int dotsPerPixel = 1;  // device dots per pixel of the renderer (one pixel is one narrow bar)
    bool readable = true;  // the whole symbol and its quiet zones lie inside the box
    bool narrowed = false; // drawn narrower than on screen so that it fits
    int longestCode = 0;   // the most data characters that fit on this device
};

enum class Side { Front, Back };

struct BadgeLayout {
    TextBlock company, name, title;
    TextBlock validUntil; // "Valid until <date>" when the badge carries a date (cards and sheets)
    TextBlock note;       // the back's line of text
    BarcodePlan barcode;
    QRect photoBox;              // twips; empty on a back
    QRect barcodeBox;            // twips
    bool centredBarcode = false; // the symbol centred in its box (cards), else from its left edge
    QSize size;                  // twips: the card (design: the paper the positions are measured on is open)

    // What the plan puts where, by name ("company", "photo", ...), leaving out empty texts: what the
    // operator sees must never lie on top of anything else.
    QList<std::pair<QString, QRect>> elements() const;
};

// The barcode of the code on a device of this resolution: at the window's proportions when it fits the
// box, otherwise with narrower bars down to MinNarrowElementMm; beyond that it is drawn as on screen, cut
// off, and marked unreadable.
BarcodePlan planBarcode(const QString& code, double dotsPerInch);

// The design's layout. device: where the badge will be painted; nullptr stands for a badge file (1440
// dots per inch).
BadgeLayout layoutBadge(const Badge& badge, const QPaintDevice* device = nullptr);

// The badge in any layout: the design's, or a card of the layout's card size filled inside a safe
// margin, texts no smaller than 6 points, the photograph at 3:4, the barcode's narrow bar a whole number
// of device dots of at least MinNarrowElementMm with quiet zones of ten narrow bars. The back carries
// the company name, backText and the barcode.
BadgeLayout planBadge(const Badge& badge, const LayoutInfo& layout, const QPaintDevice* device = nullptr,
                      Side side = Side::Front, const QString& backText = QString());

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
BadgeProblems badgeProblems(const Badge& badge, const LayoutInfo& layout,
                            const QPaintDevice* device = nullptr);

} // namespace badges
