// A whole staff at once: the rows of an employee list checked as the editor checks one employee, each
// matched to its photograph in a folder, then stored in one transaction. The check writes nothing, so a
// dry run and the window's check step show exactly what the import would do. Knows nothing of windows;
// the companion and the import window share it.
#pragma once

#include "employees/employeestore.h"
#include "employees/importcolumns.h"
#include "employees/sheettable.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace data {
class Connection;
}

namespace employees {

struct ImportOptions {
    QString photoFolder;          // empty: no photographs
    bool printSizePhotos = false; // store a print-sized JPEG copy instead of the original bytes
    bool frameCentred = false;    // store the centred frame of the badge's proportions, marked for review
    bool update = false;          // a code already stored changes that employee instead of being refused
    bool skipBad = false;         // import the good rows and leave the bad ones out
};

enum class PhotoMatch { None, ByColumn, ByCode, ByName };
enum class RowAction { Add, Update, Unchanged, Bad };

struct ImportProblem {
    QString column; // the heading of the column at fault
    QString reason;
};

struct ImportRow {
    int line = 0; // where the row starts in the file
    EmployeeFields fields;
    QString photoPath;
    PhotoMatch match = PhotoMatch::None;
    qint64 existingKey = -1; // the employee an update changes
    RowAction action = RowAction::Add;
    QList<ImportProblem> problems;
    QStringList warnings;
    qint64 photoBytes = 0; // the original file
    qint64 printBytes = 0; // the print-sized copy, when measured
};

struct ImportPlan {
    QStringList headings;
    ColumnMapping mapping;
    QList<ImportRow> rows;
    QStringList unmatchedPhotos; // file names in the folder that no row took
    QList<int> linesWithoutPhoto;
    qint64 originalTotal = 0; // bytes of the photographs that would be stored as they are
    qint64 printTotal = 0;    // the same as print-sized copies (when measured)

    int count(RowAction action) const;
    int photoCount() const; // good rows that bring a photograph
    // "line 4, column "Employee No": reason", one line per problem of every bad row.
    QStringList problemLines() const;
    bool refused(const ImportOptions& options) const { return !options.skipBad && count(RowAction::Bad) > 0; }
};

// Called with how many rows are done out of the total; returning false cancels.
using ImportProgress = std::function<bool(int done, int total)>;

// The mapping taken from the list's headings, with the operator's --map text on top. Throws AppError when
// the list has no column for the first or the last name.
ColumnMapping checkedMapping(const QStringList& headings, const QString& mapText = {});

// Checks every row against the file, the photographs and the database behind the connection; writes
// nothing. measurePrintSize computes printTotal (a decode and an encode per photograph). Returns nothing
// when cancelled. Throws AppError when the photo folder cannot be read or the database fails.
std::optional<ImportPlan> planImport(const SheetTable& table, const ColumnMapping& mapping,
                                     const ImportOptions& options, data::Connection& connection,
                                     bool measurePrintSize = false, const ImportProgress& progress = {});

struct ImportResult {
    int added = 0, updated = 0, unchanged = 0, skipped = 0, photos = 0;
    bool cancelled = false;
    QString summary() const; // "added N, updated N, unchanged N, skipped N, photos N"
};

// Stores the plan's good rows in one transaction: all of them or, on a cancel or any failure, none. The
// database is checked again inside the transaction, so a code stored meanwhile by another operator
// refuses the import instead of being doubled. Throws AppError (nothing stored) on a refused plan or a
// failure.
ImportResult runImport(data::Connection& connection, const ImportPlan& plan, const ImportOptions& options,
                       const ImportProgress& progress = {});

// The photograph bytes an import stores for the file with these options; empty with error set when the
// file cannot be read or is no whole picture.
QByteArray importedPhotoBytes(const QString& path, const ImportOptions& options, QString* error);

} // namespace employees
