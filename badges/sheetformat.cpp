#include "badges/sheetformat.h"

#include "app/apperror.h"

#include <QRegularExpression>
#include <QStringList>

#include <optional>

#include <cmath>

namespace badges {

namespace {

// An ID-1 card (ISO/IEC 7810): what card printers take and what pre-cut sheets hold.
constexpr QSizeF IdOneCard(85.60, 53.98);
constexpr double IdOneCornerRadius = 3.18;

QString number(double mm) {
    return QString::number(mm, 'g', 6);
}

// "210 x 297", "210x297" or "210 × 297"
std::optional<QSizeF> pair(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*([0-9]+(?:\.[0-9]+)?)\s*[xX×]\s*([0-9]+(?:\.[0-9]+)?)\s*$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
}

std::optional<double> single(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

QRectF SheetGeometry::cardRect(int index) const {
    const int column = index % std::max(1, columns);
    const int row = index / std::max(1, columns);
    return QRectF(QPointF(first.x() + column * pitch.width(), first.y() + row * pitch.height()), card);
}

QString SheetGeometry::problem() const {
    if (!QRegularExpression(QStringLiteral("^[a-z0-9][a-z0-9._-]*$")).match(name).hasMatch())
        return QStringLiteral("the name \"%1\" must be made of small letters, digits, '-', '_' and '.'")
            .arg(name);
    if (page.width() <= 0 || page.height() <= 0 || card.width() <= 0 || card.height() <= 0)
        return QStringLiteral("the page and the card need a width and a height above 0");
    if (columns < 1 || rows < 1 || columns * rows > 100)
        return QStringLiteral("columns and rows must be at least 1 (and at most 100 cards a sheet)");
    if (cornerRadius < 0 || 2 * cornerRadius > std::min(card.width(), card.height()))
        return QStringLiteral("the corner radius must be between 0 and half the card's shorter side");
    if ((columns > 1 && pitch.width() < card.width() - 1e-9) ||
        (rows > 1 && pitch.height() < card.height() - 1e-9))
        return QStringLiteral("the pitch is smaller than the card, so the cards would overlap");
    const QRectF last = cardRect(cards() - 1);
    if (first.x() < 0 || first.y() < 0 || last.right() > page.width() + 1e-9 ||
        last.bottom() > page.height() + 1e-9)
        return QStringLiteral("the cards do not fit on the page (the last one ends at %1 x %2 mm)")
            .arg(number(last.right()), number(last.bottom()));
    return QString();
}

SheetGeometry parseSheet(const QString& text, const QString& source) {
    SheetGeometry sheet;
    sheet.card = IdOneCard;
    QStringList seen;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).section(u'#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const auto fail = [&](const QString& what) {
            return AppError(
                QStringLiteral("The sheet file %1, line %2: %3.").arg(source).arg(i + 1).arg(what));
        };
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            throw fail(QStringLiteral("expected \"key = value\""));
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (seen.contains(key))
            throw fail(QStringLiteral("\"%1\" is given twice").arg(key));
        seen.append(key);
        const auto sizeOf = [&] {
            const auto size = pair(value);
            if (!size)
                throw fail(
                    QStringLiteral("%1 needs two numbers in millimetres, as in \"85.6 x 53.98\"").arg(key));
            return *size;
        };
        const auto numberOf = [&] {
            const auto n = single(value);
            if (!n)
                throw fail(QStringLiteral("%1 needs a number").arg(key));
            return *n;
        };
        if (key == QLatin1String("name"))
            sheet.name = value;
        else if (key == QLatin1String("description"))
            sheet.description = value;
        else if (key == QLatin1String("page"))
            sheet.page = sizeOf();
        else if (key == QLatin1String("card"))
            sheet.card = sizeOf();
        else if (key == QLatin1String("corner-radius"))
            sheet.cornerRadius = numberOf();
        else if (key == QLatin1String("columns") || key == QLatin1String("rows")) {
            const double n = numberOf();
            if (n != std::floor(n))
                throw fail(QStringLiteral("%1 needs a whole number").arg(key));
            (key == QLatin1String("columns") ? sheet.columns : sheet.rows) = int(n);
        } else if (key == QLatin1String("first-card")) {
            const QSizeF at = sizeOf();
            sheet.first = QPointF(at.width(), at.height());
        } else if (key == QLatin1String("pitch"))
            sheet.pitch = sizeOf();
        else
            throw fail(
                QStringLiteral("unknown key \"%1\" (known: name, description, page, card, corner-radius, "
                               "columns, rows, first-card, pitch)")
                    .arg(key));
    }
    for (const char* required : {"name", "page", "columns", "rows", "first-card", "pitch"})
        if (!seen.contains(QLatin1String(required)))
            throw AppError(
                QStringLiteral("The sheet file %1 lacks \"%2 = ...\".").arg(source, QLatin1String(required)));
    if (const QString problem = sheet.problem(); !problem.isEmpty())
        throw AppError(QStringLiteral("The sheet file %1 cannot be used: %2.").arg(source, problem));
    return sheet;
}

QString formatSheet(const SheetGeometry& sheet) {
    const auto size = [](QSizeF s) { return number(s.width()) + QStringLiteral(" x ") + number(s.height()); };
    return QStringLiteral(
               "# Sheet of pre-cut cards; lengths in millimetres from the page's top-left corner.\n"
               "name = %1\ndescription = %2\npage = %3\ncard = %4\ncorner-radius = %5\n"
               "columns = %6\nrows = %7\nfirst-card = %8\npitch = %9\n")
        .arg(sheet.name, QString(sheet.description).replace(u'\n', u' '), size(sheet.page), size(sheet.card),
             number(sheet.cornerRadius), QString::number(sheet.columns), QString::number(sheet.rows),
             size(QSizeF(sheet.first.x(), sheet.first.y())), size(sheet.pitch));
}

QList<SheetGeometry> builtInSheets() {
    // Two columns with a 9.4 mm gutter, five rows touching, centred on the page.
    SheetGeometry a4{QStringLiteral("a4-10"),
                     QStringLiteral("A4 sheet of 10 pre-cut ID-1 cards (2 x 5, 85.60 x 53.98 mm)"),
                     QSizeF(210, 297),
                     IdOneCard,
                     IdOneCornerRadius,
                     2,
                     5,
                     QPointF(14.7, 13.51),
                     QSizeF(95, 54)};
    SheetGeometry letter{QStringLiteral("letter-10"),
                         QStringLiteral("US Letter sheet of 10 pre-cut ID-1 cards (2 x 5, 85.60 x 53.98 mm)"),
                         QSizeF(215.9, 279.4),
                         IdOneCard,
                         IdOneCornerRadius,
                         2,
                         5,
                         QPointF(17.525, 4.75),
                         QSizeF(95.25, 53.98)};
    return {a4, letter};
}

} // namespace badges
