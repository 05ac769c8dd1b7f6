// Which column of an employee list holds which field: found by the headings HR systems use (in English,
// German, French, Spanish; letter case, blanks, punctuation and accents ignored), or given by the
// operator. Knows nothing of files or the database.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace employees {

enum class ImportField { First, Middle, Last, Title, Code, Photo };
constexpr int ImportFieldCount = 6;

// "first", "middle", "last", "title", "code", "photo": the names --map takes.
QString importFieldKey(ImportField field);
// "First name", ..., "Identification code", "Photograph file": how windows and messages name a field.
QString importFieldCaption(ImportField field);

// For each field, the index of its column; -1 when the list has none.
struct ColumnMapping {
    std::array<int, ImportFieldCount> columns{-1, -1, -1, -1, -1, -1};
    int& operator[](ImportField f) { return columns[size_t(f)]; }
    int operator[](ImportField f) const { return columns[size_t(f)]; }
};

// The heading as compared: letters and digits only, lower case, accents dropped ("Prénom" -> "prenom").
QString foldedHeading(const QString& heading);

// Each field to the first heading that names it; a heading is used for one field only.
ColumnMapping mappingFromHeadings(const QStringList& headings);

// Applies "first=Vorname,last=Nachname,..." on top of the mapping: each pair names a field and a heading
// (compared as foldedHeading does) or a column number from 1. Throws AppError naming an unknown field or
// a heading the list does not have.
void applyMapText(ColumnMapping& mapping, const QStringList& headings, const QString& mapText);

} // namespace employees
