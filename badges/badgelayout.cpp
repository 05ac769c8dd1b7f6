#include "badges/badgelayout.h"

#include "badges/barcode39.h"
#include "employees/employeecode.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPaintDevice>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace badges {

namespace {

constexpr double FileDotsPerInch = layout::TwipsPerInch;
constexpr double MmPerInch = 25.4;

// Smallest sizes a text shrinks to before it breaks onto a second line.
constexpr double MinCompanyPoints = 10;
constexpr double MinTextPoints = 7;
constexpr double PointStep = 0.5;
// How much smaller the name and title start when a validity line goes below them.
constexpr double DatedTextShrink = 1;

// The gap between the title and the barcode box, and the photograph box's top: texts stay above them.
constexpr int PhotoTop = layout::PhotoBox.top();
constexpr int BarcodeTop = layout::BarcodeBox.top();
// Clear paper between the last text line and the bars: a line ending right on the box reads as touching
// them (seen with a name on two lines and a long title).
constexpr int TextClearance = 60;

// Stands in for a badge file when no device is given: font metrics at the file's resolution.
const QPaintDevice& fileDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(FileDotsPerInch / MmPerInch * 1000);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

QFont atSize(QFont font, double points) {
    font.setPointSizeF(points);
    return font;
}

// The text broken into lines no wider than room (device units), at word boundaries where it can be.
QStringList wrapped(const QString& text, const QFont& font, const QPaintDevice& device, double room) {
    QTextLayout layout(text, font, const_cast<QPaintDevice*>(&device));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(room);
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

// Where a text may go: from left across width, from top down to bottomLimit (twips).
struct TextArea {
    int left;
    int width;
    int top;
    int bottomLimit;
    bool centred = false;
};

// One line shrinking from maxPoints to minPoints; then two lines at the largest size that fits; at last
// two lines at minPoints, the second cut short. Lines are as high as the font's metrics on the device,
// and no line reaches below the area.
TextBlock fitText(const QString& text, const QFont& base, double maxPoints, double minPoints,
                  const TextArea& area, const QPaintDevice& device) {
    const DeviceScale scale(device);
    const double room = scale.x(area.left + area.width) - scale.x(area.left);
    const int top = area.top;
    TextBlock block;
    block.left = area.left;
    block.width = area.width;
    block.top = top;
    block.centred = area.centred;
    const auto lineTwips = [&](const QFont& font) {
        return int(std::ceil(scale.toTwipsY(QFontMetricsF(font, &device).height())));
    };
    const auto accept = [&](const QFont& font, QStringList lines) {
        block.font = font;
        block.lines = std::move(lines);
        block.bottom = top + lineTwips(font) * int(std::max<qsizetype>(1, block.lines.size()));
        return block;
    };
    for (double points = maxPoints; points >= minPoints; points -= PointStep) {
        const QFont font = atSize(base, points);
        if (text.isEmpty() || (QFontMetricsF(font, &device).horizontalAdvance(text) <= room &&
                               top + lineTwips(font) <= area.bottomLimit))
            return accept(font, {text});
    }
    for (double points = maxPoints; points >= minPoints; points -= PointStep) {
        const QFont font = atSize(base, points);
        const QStringList lines = wrapped(text, font, device, room);
        if (lines.size() <= 2 && top + int(lines.size()) * lineTwips(font) <= area.bottomLimit)
            return accept(font, lines);
    }
    const QFont font = atSize(base, minPoints);
    const int room2 = top + 2 * lineTwips(font) <= area.bottomLimit ? 2 : 1;
    QStringList lines = wrapped(text, font, device, room);
    const QString rest = lines.mid(room2 - 1).join(u' ');
    lines = lines.mid(0, room2 - 1);
    lines.append(QFontMetricsF(font, &device).elidedText(rest, Qt::ElideRight, room));
    block.cut = true;
    return accept(font, lines);
}

// A design text from its print position to the barcode box's right edge.
TextArea designArea(QPoint at, int top, int bottomLimit) {
    return {at.x(), layout::TextRight - at.x(), top, bottomLimit};
}

const LayoutInfo& findDesign() {
    static const LayoutInfo design{DesignLayout, QString(), LayoutKind::Design, false, {}, {}};
    return design;
}

QString tooLongMessage(const QString& what, const QString& text) {
    return QStringLiteral("The %1 \"%2\" does not fit on the badge even on two lines at the smallest "
                          "legible size, so it is cut short.")
        .arg(what, text);
}

// Cards: everything stays this far inside the card's edge, where card printers and cutters are exact.
constexpr double CardMarginMm = 2;
constexpr double GapMm = 1;
constexpr double LegiblePoints = 6;
// The barcode's box on a card: bars of about 7 mm and the text under them.
constexpr double CardBarcodeHeightMm = 11;
// Wider narrow bars scan from further away; beyond this the symbol only gets longer.
constexpr double MaxNarrowElementMm = 0.34;

int twipsOf(double mm) {
    return qRound(mm / MmPerInch * layout::TwipsPerInch);
}

QString validUntilText(const Badge& badge) {
    return badge.validUntil.isValid() ? validityText(badge.validUntil) : QString();
}

// The narrow bar in whole device dots: as wide as the box allows up to MaxNarrowElementMm, never under
// MinNarrowElementMm (a symbol that needs less is drawn at the minimum, cut off, and marked unreadable).
BarcodePlan planCardBarcode(const QString& code, double dotsPerInch, int boxTwips) {
    const int boxDots = int(std::floor(boxTwips * dotsPerInch / layout::TwipsPerInch));
    const int minDots = std::max(1, int(std::ceil(MinNarrowElementMm * dotsPerInch / MmPerInch - 1e-9)));
    const int maxDots =
        std::max(minDots, int(std::floor(MaxNarrowElementMm * dotsPerInch / MmPerInch + 1e-9)));
    const int pixels = 2 * clsBarCode39::LeftMargin + clsBarCode39::symbolWidth(int(code.size()) + 2);
    BarcodePlan plan;
    plan.longestCode = std::max(
        0, (boxDots / minDots - 2 * clsBarCode39::LeftMargin + 1) / clsBarCode39::CharacterPitch - 2);
    plan.dotsPerPixel = std::clamp(boxDots / pixels, minDots, maxDots);
    plan.readable = code.isEmpty() || pixels * plan.dotsPerPixel <= boxDots;
    return plan;
}

TextBlock cardText(const QString& text, const QFont& base, double maxPoints, const TextArea& area,
                   const QPaintDevice& device) {
    return fitText(text, base, maxPoints, LegiblePoints, area, device);
}

// A card's front: company name across the top, barcode across the foot, between them the photograph
// with name, title and validity beside it (landscape) or under it (portrait).
BadgeLayout planCardFront(const Badge& badge, QSize card, const QPaintDevice& device) {
    const int margin = twipsOf(CardMarginMm);
    const int gap = twipsOf(GapMm);
    const int innerWidth = card.width() - 2 * margin;
    const bool portrait = card.height() > card.width();
    BadgeLayout plan;
    plan.size = card;
    plan.company = cardText(badge.company, companyFont(), 12,
                            {margin, innerWidth, margin, card.height() / 5, true}, device);
    plan.barcodeBox = QRect(margin, card.height() - margin - twipsOf(CardBarcodeHeightMm), innerWidth,
                            twipsOf(CardBarcodeHeightMm));
    plan.centredBarcode = true;
    plan.barcode = planCardBarcode(badge.code, device.logicalDpiX(), innerWidth);
    const int top = plan.company.bottom + gap;
    const int bottom = plan.barcodeBox.top() - gap;
    const QString valid = validUntilText(badge);
    if (!portrait) {
        const int photoHeight = bottom - top;
        plan.photoBox = QRect(margin, top, photoHeight * 3 / 4, photoHeight);
        const int left = plan.photoBox.right() + 1 + 2 * gap;
        const int width = card.width() - margin - left;
        // Each text leaves the ones below it the room of one legible line.
        const int line = int(std::ceil(DeviceScale(device).toTwipsY(
            QFontMetricsF(atSize(textFont(), LegiblePoints), &device).height())));
        const int below = (badge.title.isEmpty() ? 0 : line) + (valid.isEmpty() ? 0 : line);
        plan.name = cardText(badge.fullName, textFont(), 11, {left, width, top, bottom - below}, device);
        plan.title = cardText(badge.title, textFont(), 9,
                              {left, width, plan.name.bottom, bottom - (valid.isEmpty() ? 0 : line)}, device);
        plan.validUntil = cardText(valid, textFont(), 8, {left, width, plan.title.bottom, bottom}, device);
        return plan;
    }
    // Portrait: the texts stack up from the barcode, the photograph takes what is left above them.
    const TextArea anywhere{margin, innerWidth, 0, card.height(), true};
    plan.name = cardText(badge.fullName, textFont(), 11, anywhere, device);
    plan.title = cardText(badge.title, textFont(), 9, anywhere, device);
    plan.validUntil = cardText(valid, textFont(), 8, anywhere, device);
    int foot = bottom;
    for (TextBlock* block : {&plan.validUntil, &plan.title, &plan.name}) {
        if (block->isEmpty())
            continue;
        block->shift(foot - block->bottom);
        foot = block->top;
    }
    const int photoHeight = std::min(foot - gap - top, innerWidth * 4 / 3);
    const int photoWidth = photoHeight * 3 / 4;
    plan.photoBox = QRect((card.width() - photoWidth) / 2, top, photoWidth, photoHeight);
    return plan;
}

BadgeLayout planCardBack(const Badge& badge, QSize card, const QPaintDevice& device,
                         const QString& backText) {
    BadgeLayout plan = planCardFront(
        Badge{badge.company, QString(), QString(), badge.code, QImage(), {}, {}, {}}, card, device);
    const int margin = twipsOf(CardMarginMm);
    const int gap = twipsOf(GapMm);
    plan.photoBox = QRect();
    plan.name = plan.title = plan.validUntil = TextBlock();
    plan.note = cardText(
        backText, textFont(), 10,
        {margin, card.width() - 2 * margin, plan.company.bottom + 2 * gap, plan.barcodeBox.top() - gap, true},
        device);
    return plan;
}

} // namespace

DeviceScale::DeviceScale(const QPaintDevice& device)
    : m_dpiX(device.logicalDpiX()), m_dpiY(device.logicalDpiY()) {}

QRect DeviceScale::rect(const QRect& twips) const {
    const int left = x(twips.left());
    const int top = y(twips.top());
    return QRect(left, top, x(twips.left() + twips.width()) - left, y(twips.top() + twips.height()) - top);
}

BarcodePlan planBarcode(const QString& code, double dotsPerInch) {
    const DeviceScale scale(dotsPerInch, dotsPerInch);
    const int boxDots = scale.rect(layout::BarcodeBox).width();
    const int designDots = std::max(1, qRound(dotsPerInch * layout::TwipsPerPixel / layout::TwipsPerInch));
    const int minDots = std::max(1, int(std::ceil(MinNarrowElementMm * dotsPerInch / MmPerInch - 1e-9)));
    // The symbol with a quiet zone as wide as the left margin on either side.
    const auto pixelsFor = [](qsizetype characters) {
        return 2 * clsBarCode39::LeftMargin + clsBarCode39::symbolWidth(int(characters) + 2);
    };
    BarcodePlan plan;
    plan.dotsPerPixel = designDots;
    const int mostPixels = boxDots / minDots;
    plan.longestCode =
        std::max(0, (mostPixels - 2 * clsBarCode39::LeftMargin + 1) / clsBarCode39::CharacterPitch - 2);
    if (code.isEmpty() || pixelsFor(code.size()) * designDots <= boxDots)
        return plan;
    const int fitting = boxDots / pixelsFor(code.size());
    if (fitting >= minDots) {
        plan.dotsPerPixel = fitting;
        plan.narrowed = true;
    } else {
        plan.readable = false;
    }
    return plan;
}

BadgeLayout layoutBadge(const Badge& badge, const QPaintDevice* device) {
    const QPaintDevice& target = device ? *device : fileDevice();
    BadgeLayout result;
    result.company = fitText(badge.company, companyFont(), companyFont().pointSizeF(), MinCompanyPoints,
                             designArea(layout::CompanyAt, layout::CompanyAt.y(), PhotoTop), target);
    // The title needs one line of its own below the name, above the barcode box.
    const int titleRoom = badge.title.isEmpty()
                              ? 0
                              : int(std::ceil(DeviceScale(target).toTwipsY(
                                    QFontMetricsF(atSize(textFont(), MinTextPoints), &target).height())));
    // A validity date takes one small line below the title: the name and the title make room for it
    // (a point smaller at most, fewer lines when long), so nothing else on the badge moves.
    const bool dated = badge.validUntil.isValid();
    const int validityRoom =
        dated ? int(std::ceil(DeviceScale(target).toTwipsY(QFontMetricsF(validityFont(), &target).height())))
              : 0;
    const double textPoints = textFont().pointSizeF() - (dated ? DatedTextShrink : 0);
    result.name = fitText(
        badge.fullName, textFont(), textPoints, MinTextPoints,
        designArea(layout::NameAt, layout::NameAt.y(), BarcodeTop - TextClearance - titleRoom - validityRoom),
        target);
    // Only 150 twips (7.5 points) separate the name from the title, less than a line of any readable
    // font, so the title goes below the name instead of across it.
    // The title shrinks until it ends above the barcode box: a name on two lines leaves it less room.
    result.title = fitText(badge.title, textFont(), textPoints, MinTextPoints,
                           designArea(layout::TitleAt, std::max(layout::TitleAt.y(), result.name.bottom),
                                      BarcodeTop - TextClearance - validityRoom),
                           target);
    if (dated)
        result.validUntil =
            fitText(validityText(badge.validUntil), validityFont(), validityFont().pointSizeF(),
                    validityFont().pointSizeF(),
                    designArea(layout::TitleAt, std::max(result.title.bottom, result.name.bottom),
                               BarcodeTop - TextClearance),
                    target);
    result.barcode = planBarcode(badge.code, target.logicalDpiX());
    result.photoBox = layout::PhotoBox;
    result.barcodeBox = layout::BarcodeBox;
    return result;
}

BadgeLayout planBadge(const Badge& badge, const LayoutInfo& layout, const QPaintDevice* device, Side side,
                      const QString& backText) {
    if (layout.kind == LayoutKind::Design)
        return layoutBadge(badge, device);
    const QPaintDevice& target = device ? *device : fileDevice();
    const QSizeF mm = layout.cardSize();
    const QSize card(twipsOf(mm.width()), twipsOf(mm.height()));
    return side == Side::Back ? planCardBack(badge, card, target, backText)
                              : planCardFront(badge, card, target);
}

QList<std::pair<QString, QRect>> BadgeLayout::elements() const {
    QList<std::pair<QString, QRect>> list;
    const std::pair<QString, const TextBlock*> texts[] = {{QStringLiteral("company"), &company},
                                                          {QStringLiteral("name"), &name},
                                                          {QStringLiteral("title"), &title},
                                                          {QStringLiteral("valid until"), &validUntil},
                                                          {QStringLiteral("note"), &note}};
    for (const auto& [what, block] : texts)
        if (!block->isEmpty())
            list.append({what, block->box()});
    if (!photoBox.isEmpty())
        list.append({QStringLiteral("photo"), photoBox});
    list.append({QStringLiteral("barcode"), barcodeBox});
    return list;
}

QStringList BadgeProblems::all() const {
    QStringList list;
    for (const QString& text : {refusal, unreadable})
        if (!text.isEmpty())
            list.append(text);
    return list + warnings;
}

BadgeProblems badgeProblems(const Badge& badge, const QPaintDevice* device) {
    return badgeProblems(badge, findDesign(), device);
}

BadgeProblems badgeProblems(const Badge& badge, const LayoutInfo& layout, const QPaintDevice* device) {
    BadgeProblems problems;
    problems.refusal = employees::undrawableCodeMessage(badge.code);
    if (!problems.refusal.isEmpty())
        return problems;
    const BadgeLayout planned = planBadge(badge, layout, device);
    if (!planned.barcode.readable)
        problems.unreadable =
            QStringLiteral(
                "The identification code \"%1\" is too long for the badge: even with the narrowest "
                "bars that print reliably (%2 mm) its barcode does not fit the box, so it is cut off "
                "and no reader will decode it. Codes of up to %3 characters fit.")
                .arg(badge.code)
                .arg(MinNarrowElementMm)
                .arg(planned.barcode.longestCode);
    if (const QString star = employees::startStopInCodeMessage(badge.code); !star.isEmpty())
        problems.warnings.append(star);
    if (badge.codeHolders.size() > 1)
        problems.warnings.append(
            QStringLiteral("%1 employees have the identification code \"%2\": %3. The photograph is found by "
                           "the code, so this badge may show another employee's face.")
                .arg(badge.codeHolders.size())
                .arg(badge.code, badge.codeHolders.join(QStringLiteral(", "))));
    const std::pair<const TextBlock*, QString> texts[] = {{&planned.company, QStringLiteral("company name")},
                                                          {&planned.name, QStringLiteral("name")},
                                                          {&planned.title, QStringLiteral("title")}};
    const QString* values[] = {&badge.company, &badge.fullName, &badge.title};
    problems.codeNeedsChange = !problems.unreadable.isEmpty() || !problems.warnings.isEmpty();
    for (int i = 0; i < 3; ++i)
        if (texts[i].first->cut)
            problems.warnings.append(tooLongMessage(texts[i].second, *values[i]));
    return problems;
}

} // namespace badges
