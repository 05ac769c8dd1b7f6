#include "employees/importcolumns.h"

#include "app/apperror.h"
#include "employees/employeelist.h"

namespace employees {

namespace {

// Folded headings that name each field, most specific first.
const QStringList& synonyms(ImportField field) {
    static const std::array<QStringList, ImportFieldCount> lists = {
        QStringList{"firstname", "givenname", "forename", "first", "vorname", "prenom", "nombre", "fname"},
        QStringList{"middlename", "middle", "middleinitial", "secondname", "othernames", "zweitname",
                    "zweitervorname", "deuxiemeprenom", "segundonombre", "mname"},
        QStringList{"lastname", "surname", "familyname", "last", "nachname", "familienname", "nom",
                    "nomdefamille", "apellido", "apellidos", "lname"},
        QStringList{"title", "jobtitle", "position", "role", "function", "funktion", "titel", "poste",
                    "fonction", "cargo", "puesto", "designation"},
        QStringList{"identificationcode",
                    "employeeidentification",
                    "employeeno",
                    "employeenumber",
                    "employeeid",
                    "employeecode",
                    "staffno",
                    "staffnumber",
                    "staffid",
                    "personnelnumber",
                    "personnelno",
                    "personalnummer",
                    "mitarbeiternummer",
                    "badgeno",
                    "badgenumber",
                    "badgeid",
                    "matricule",
                    "numero",
                    "empno",
                    "code",
                    "id",
                    "no",
                    "number"},
        QStringList{"photofile", "photograph", "photo", "picture", "image", "photofilename", "foto", "bild",
                    "imagefile", "picturefile"},
    };
    return lists[size_t(field)];
}

constexpr ImportField AllFields[] = {ImportField::First, ImportField::Middle, ImportField::Last,
                                     ImportField::Title, ImportField::Code,   ImportField::Photo};

} // namespace

QString importFieldKey(ImportField field) {
    static const char* const keys[] = {"first", "middle", "last", "title", "code", "photo"};
    return QString::fromLatin1(keys[int(field)]);
}

QString importFieldCaption(ImportField field) {
    static const char* const captions[] = {"First name", "Middle name",         "Last name",
                                           "Title",      "Identification code", "Photograph file"};
    return QString::fromLatin1(captions[int(field)]);
}

QString foldedHeading(const QString& heading) {
    QString folded;
    for (const QChar c : foldedForSearch(heading))
        if (c.isLetterOrNumber())
            folded.append(c);
    return folded;
}

ColumnMapping mappingFromHeadings(const QStringList& headings) {
    QStringList folded;
    for (const QString& heading : headings)
        folded.append(foldedHeading(heading));
    ColumnMapping mapping;
    QList<int> used;
    // A field takes the heading that its most specific name matches, so "Employee No" wins over "No".
    for (const ImportField field : AllFields) {
        for (const QString& name : synonyms(field)) {
            const int at = int(folded.indexOf(name));
            if (at >= 0 && !used.contains(at)) {
                mapping[field] = at;
                used.append(at);
                break;
            }
        }
    }
    return mapping;
}

void applyMapText(ColumnMapping& mapping, const QStringList& headings, const QString& mapText) {
    for (const QString& pair : mapText.split(u',', Qt::SkipEmptyParts)) {
        const QString key = pair.section(u'=', 0, 0).trimmed().toLower();
        const QString heading = pair.section(u'=', 1).trimmed();
        const auto field = std::find_if(std::begin(AllFields), std::end(AllFields),
                                        [&](ImportField f) { return importFieldKey(f) == key; });
        if (field == std::end(AllFields) || !pair.contains(u'='))
            throw AppError(
                QStringLiteral("--map names an unknown field \"%1\"; the fields are first, middle, "
                               "last, title, code and photo (as in first=Vorname).")
                    .arg(pair.section(u'=', 0, 0).trimmed()));
        if (heading.isEmpty()) {
            mapping[*field] = -1; // "middle=" : the list has no such column
            continue;
        }
        int column = -1;
        for (int i = 0; i < headings.size() && column < 0; ++i)
            if (foldedHeading(headings.at(i)) == foldedHeading(heading))
                column = i;
        bool isNumber = false;
        const int number = heading.toInt(&isNumber);
        if (column < 0 && isNumber && number >= 1 && number <= headings.size())
            column = number - 1;
        if (column < 0)
            throw AppError(QStringLiteral("--map %1=%2: the list has no column \"%2\"; its headings are: %3.")
                               .arg(key, heading, headings.join(QStringLiteral(", "))));
        // The column now belongs to this field alone.
        for (int& c : mapping.columns)
            if (c == column)
                c = -1;
        mapping[*field] = column;
    }
}

} // namespace employees
