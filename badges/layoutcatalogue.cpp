#include "badges/layoutcatalogue.h"

#include "app/apperror.h"
#include "app/appfacts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace badges {

namespace {

constexpr QSizeF CardLandscape(85.60, 53.98);

QList<LayoutInfo> builtInLayouts() {
    QList<LayoutInfo> list;
    list.append({DesignLayout,
                 QStringLiteral("the badge at the design's positions on a page of ordinary paper"),
                 LayoutKind::Design,
                 false,
                 {},
                 {}});
    list.append({QStringLiteral("card-landscape"),
                 QStringLiteral("one ID-1 card (85.60 x 53.98 mm) a page, landscape, for card printers"),
                 LayoutKind::Card,
                 false,
                 {},
                 {}});
    list.append({QStringLiteral("card-portrait"),
                 QStringLiteral("one ID-1 card (53.98 x 85.60 mm) a page, portrait, for card printers"),
                 LayoutKind::Card,
                 true,
                 {},
                 {}});
    for (const SheetGeometry& sheet : builtInSheets())
        list.append({sheet.name, sheet.description, LayoutKind::Sheet, false, sheet, {}});
    return list;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QSizeF LayoutInfo::cardSize() const {
    switch (kind) {
    case LayoutKind::Card:
        return portrait ? CardLandscape.transposed() : CardLandscape;
    case LayoutKind::Sheet:
        return sheet.card;
    case LayoutKind::Design:
        break;
    }
    return QSizeF();
}

QString sheetsDirectory() {
    return AppFacts::applicationDirectory() + QStringLiteral("/layouts");
}

QList<LayoutInfo> availableLayouts(QStringList* problems) {
    QList<LayoutInfo> list = builtInLayouts();
    const QDir dir(sheetsDirectory());
    for (const QString& entry : dir.entryList({QStringLiteral("*.sheet")}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(entry);
        try {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                throw AppError(QStringLiteral("The sheet file %1 cannot be read: %2.")
                                   .arg(shown(path), file.errorString()));
            const SheetGeometry sheet = parseSheet(QString::fromUtf8(file.read(64 * 1024)), shown(path));
            const bool known = std::any_of(list.cbegin(), list.cend(), [&](const LayoutInfo& l) {
                return l.name.compare(sheet.name, Qt::CaseInsensitive) == 0;
            });
            if (known)
                throw AppError(
                    QStringLiteral("The sheet file %1 names the layout \"%2\", which is already known; "
                                   "give it another name.")
                        .arg(shown(path), sheet.name));
            list.append({sheet.name, sheet.description, LayoutKind::Sheet, false, sheet, path});
        } catch (const AppError& error) {
            if (problems)
                problems->append(error.description());
        }
    }
    return list;
}

LayoutInfo findLayout(const QString& name) {
    QStringList problems;
    const QList<LayoutInfo> list = availableLayouts(&problems);
    QStringList names;
    for (const LayoutInfo& layout : list) {
        if (layout.name.compare(name, Qt::CaseInsensitive) == 0)
            return layout;
        names.append(layout.name);
    }
    QString message = QStringLiteral("There is no badge layout \"%1\". Known layouts: %2.")
                          .arg(name, names.join(QStringLiteral(", ")));
    if (!problems.isEmpty())
        message += u' ' + problems.join(u' ');
    throw AppError(message);
}

QString saveSheet(const SheetGeometry& sheet) {
    if (const QString problem = sheet.problem(); !problem.isEmpty())
        throw AppError(QStringLiteral("The sheet cannot be saved: %1.").arg(problem));
    for (const LayoutInfo& layout : builtInLayouts())
        if (layout.name.compare(sheet.name, Qt::CaseInsensitive) == 0)
            throw AppError(
                QStringLiteral("\"%1\" is a built-in layout; give the sheet another name.").arg(sheet.name));
    const QString folder = sheetsDirectory();
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("Could not create the folder %1 for sheet files.").arg(shown(folder)));
    const QString path = folder + u'/' + sheet.name + QStringLiteral(".sheet");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(formatSheet(sheet).toUtf8()) < 0 ||
        !file.commit())
        throw AppError(
            QStringLiteral("Could not write the sheet file %1: %2.").arg(shown(path), file.errorString()));
    return path;
}

} // namespace badges
