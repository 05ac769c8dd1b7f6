#include "badges/badgelayout.h"

#include "badges/barcode39.h"
#include "employees/employeecode.h"

#include <QFontMetricsF>
#include <QImage>
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

// One line shrinking from maxPoints to minPoints; then two lines at the largest size that fits; at last
// two lines at minPoints, the second cut short. Lines are as high as the font's metrics on the device.
TextBlock fitText(const QString& text, const QFont& base, double maxPoints, double minPoints, int x, int top,
                  int bottomLimit, const QPaintDevice& device) {
    const DeviceScale scale(device);
    const double room = scale.x(layout::TextRight) - scale.x(x);
    TextBlock block;
    block.top = top;
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
        if (QFontMetricsF(font, &device).horizontalAdvance(text) <= room || text.isEmpty())
            return accept(font, {text});
    }
    for (double points = maxPoints; points >= minPoints; points -= PointStep) {
        const QFont font = atSize(base, points);
        const QStringList lines = wrapped(text, font, device, room);
        if (lines.size() <= 2 && top + 2 * lineTwips(font) <= bottomLimit)
            return accept(font, lines);
    }
    const QFont font = atSize(base, minPoints);
    const int room2 = top + 2 * lineTwips(font) <= bottomLimit ? 2 : 1;
    QStringList lines = wrapped(text, font, device, room);
    const QString rest = lines.mid(room2 - 1).join(u' ');
    lines = lines.mid(0, room2 - 1);
    lines.append(QFontMetricsF(font, &device).elidedText(rest, Qt::ElideRight, room));
    block.cut = true;
    return accept(font, lines);
}

QString tooLongMessage(const QString& what, const QString& text) {
    return QStringLiteral("The %1 \"%2\" does not fit on the badge even on two lines at the smallest "
                          "legible size, so it is cut short.")
        .arg(what, text);
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
                             layout::CompanyAt.x(), layout::CompanyAt.y(), PhotoTop, target);
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
    result.name = fitText(badge.fullName, textFont(), textPoints, MinTextPoints, layout::NameAt.x(),
                          layout::NameAt.y(), BarcodeTop - titleRoom - validityRoom, target);
    // Only 150 twips (7.5 points) separate the name from the title, less than a line of any readable
    // font, so the title goes below the name instead of across it.
    result.title =
        fitText(badge.title, textFont(), textPoints, MinTextPoints, layout::TitleAt.x(),
                std::max(layout::TitleAt.y(), result.name.bottom), BarcodeTop - validityRoom, target);
    if (dated)
        result.validity = fitText(validityText(badge.validUntil), validityFont(), validityFont().pointSizeF(),
                                  validityFont().pointSizeF(), layout::TitleAt.x(),
                                  std::max(result.title.bottom, result.name.bottom), BarcodeTop, target);
    result.barcode = planBarcode(badge.code, target.logicalDpiX());
    return result;
}

QStringList BadgeProblems::all() const {
    QStringList list;
    for (const QString& text : {refusal, unreadable})
        if (!text.isEmpty())
            list.append(text);
    return list + warnings;
}

BadgeProblems badgeProblems(const Badge& badge, const QPaintDevice* device) {
    BadgeProblems problems;
    problems.refusal = employees::undrawableCodeMessage(badge.code);
    if (!problems.refusal.isEmpty())
        return problems;
    const BadgeLayout planned = layoutBadge(badge, device);
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
