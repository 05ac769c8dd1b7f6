#include "employees/employeeimport.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/employeecode.h"
#include "employees/employeelist.h"
#include "employees/photofile.h"
#include "employees/photoframe.h"
#include "employees/photostore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace employees {

namespace {

const QStringList PictureSuffixes = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                     QStringLiteral("bmp"), QStringLiteral("gif")};

struct Existing {
    qint64 key = 0;
    EmployeeFields fields;
};

// Codes compare as the database compares them for the photograph lookup: letter case ignored.
QString codeKey(const QString& code) {
    return code.toUpper();
}

// Every stored employee by code, read in one statement.
QHash<QString, QList<Existing>> storedEmployees(data::Connection& connection) {
    QHash<QString, QList<Existing>> byCode;
    data::Recordset rs;
    rs.open(
        QStringLiteral("SELECT EmployeeId, EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
                       "EmployeeIdentification FROM EmployeeTable"),
        connection);
    for (; !rs.eof(); rs.moveNext()) {
        Existing e;
        e.key = rs.field(QStringLiteral("EmployeeId")).toLongLong();
        e.fields = {rs.text(QStringLiteral("EmployeeFirstName")),
                    rs.text(QStringLiteral("EmployeeMiddleName")),
                    rs.text(QStringLiteral("EmployeeLastName")), rs.text(QStringLiteral("Title")),
                    rs.text(QStringLiteral("EmployeeIdentification"))};
        if (!e.fields.identification.isEmpty())
            byCode[codeKey(e.fields.identification)].append(e);
    }
    return byCode;
}

QString fullName(const EmployeeFields& f) {
    return QStringList{f.firstName, f.middleName, f.lastName}.join(u' ').simplified();
}

// A name as photo files spell it: letters and digits only, case and accents dropped ("Zoë O'Neil.jpg").
QString nameKey(const QString& text) {
    return foldedHeading(text);
}

struct PhotoFolder {
    QHash<QString, QString> byCode; // upper-case base name -> path
    QHash<QString, QString> byName; // folded base name -> path
    QStringList files;              // every picture file, by name
};

PhotoFolder scanFolder(const QString& folder) {
    PhotoFolder found;
    if (folder.isEmpty())
        return found;
    const QDir dir(folder);
    if (!dir.exists())
        throw AppError(QStringLiteral("The photo folder %1 does not exist. Choose the folder that holds the "
                                      "photographs.")
                           .arg(QDir::toNativeSeparators(folder)));
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name)) {
        if (!PictureSuffixes.contains(info.suffix().toLower()))
            continue;
        const QString path = info.absoluteFilePath();
        found.files.append(path);
        found.byCode.insert(codeKey(info.completeBaseName()), path);
        found.byName.insert(nameKey(info.completeBaseName()), path);
    }
    return found;
}

// The photograph rows of every code, read in one statement: a delete by code compares by the program's
// collation, which no index serves, so thousands of them would each read the whole table.
QHash<QString, QList<qint64>> photoRowsByCode(data::Connection& connection) {
    QHash<QString, QList<qint64>> rows;
    data::Recordset rs;
    rs.open(QStringLiteral("SELECT AttachmentsId, EmployeeIdentification FROM Attachments"), connection);
    for (; !rs.eof(); rs.moveNext())
        rows[codeKey(rs.text(QStringLiteral("EmployeeIdentification")))].append(
            rs.field(QStringLiteral("AttachmentsId")).toLongLong());
    return rows;
}

QByteArray readWhole(const QString& path, QString* error) {
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (bytes.isEmpty() || file.error() != QFileDevice::NoError)
        *error = QStringLiteral("could not read the photograph %1: %2.")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
    return bytes;
}

bool sameFields(const EmployeeFields& a, const EmployeeFields& b) {
    return a.firstName == b.firstName && a.middleName == b.middleName && a.lastName == b.lastName &&
           a.title == b.title && a.identification == b.identification;
}

QString headingOf(const ImportPlan& plan, ImportField field) {
    const int column = plan.mapping[field];
    const QString heading = column >= 0 ? plan.headings.value(column) : QString();
    return heading.isEmpty() ? importFieldCaption(field) : heading;
}

void addProblem(ImportRow& row, const QString& column, const QString& reason) {
    row.problems.append({column, reason});
    row.action = RowAction::Bad;
}

// The file and how it was found: the photo column first, then the code, then the name.
void matchPhoto(ImportRow& row, const QString& namedFile, const QString& folder, const PhotoFolder& photos,
                const QString& photoColumn) {
    if (!namedFile.isEmpty()) {
        const QString path =
            QDir(folder.isEmpty() ? QDir::currentPath() : folder).absoluteFilePath(namedFile);
        if (!QFileInfo(path).isFile()) {
            addProblem(row, photoColumn,
                       QStringLiteral("the photograph file \"%1\" does not exist in %2.")
                           .arg(namedFile, QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
            return;
        }
        row.photoPath = QFileInfo(path).absoluteFilePath();
        row.match = PhotoMatch::ByColumn;
        return;
    }
    const EmployeeFields& f = row.fields;
    if (!f.identification.isEmpty()) {
        if (const auto it = photos.byCode.constFind(codeKey(f.identification)); it != photos.byCode.cend()) {
            row.photoPath = *it;
            row.match = PhotoMatch::ByCode;
            return;
        }
    }
    for (const QString& name :
         {f.firstName + f.lastName, f.lastName + f.firstName, f.firstName + f.middleName + f.lastName}) {
        if (const auto it = photos.byName.constFind(nameKey(name)); it != photos.byName.cend()) {
            row.photoPath = *it;
            row.match = PhotoMatch::ByName;
            return;
        }
    }
}

// Decodes the photograph whole (as the editor does) and, where the import re-encodes it or has to compare
// it with the stored one, makes the bytes it would store.
void checkPhoto(ImportRow& row, const ImportOptions& options, bool measurePrintSize,
                data::Connection& connection, const QString& column) {
    QString error;
    QByteArray bytes;
    if (options.printSizePhotos || options.frameCentred || row.action == RowAction::Unchanged) {
        bytes = importedPhotoBytes(row.photoPath, options, &error);
    } else {
        QFile file(row.photoPath);
        const QByteArray original = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        isWholePicture(original, QFileInfo(row.photoPath).fileName(), &error, true);
    }
    if (!error.isEmpty()) {
        addProblem(row, column, error);
        return;
    }
    if (measurePrintSize) {
        ImportOptions printSized = options;
        printSized.printSizePhotos = true;
        row.printBytes = options.printSizePhotos
                             ? bytes.size()
                             : importedPhotoBytes(row.photoPath, printSized, &error).size();
    }
    if (row.action == RowAction::Unchanged) {
        const std::optional<StoredPhoto> old = readStoredPhoto(connection, row.fields.identification);
        if (!old || old->bytes != bytes)
            row.action = RowAction::Update;
    }
}

} // namespace

int ImportPlan::count(RowAction action) const {
    return int(
        std::count_if(rows.begin(), rows.end(), [&](const ImportRow& r) { return r.action == action; }));
}

int ImportPlan::photoCount() const {
    return int(std::count_if(rows.begin(), rows.end(), [](const ImportRow& r) {
        return r.action != RowAction::Bad && !r.photoPath.isEmpty();
    }));
}

QStringList ImportPlan::problemLines() const {
    QStringList lines;
    for (const ImportRow& row : rows)
        for (const ImportProblem& p : row.problems)
            lines.append(QStringLiteral("line %1, column \"%2\": %3").arg(row.line).arg(p.column, p.reason));
    return lines;
}

QString ImportResult::summary() const {
    return QStringLiteral("added %1, updated %2, unchanged %3, skipped %4, photos %5")
        .arg(added)
        .arg(updated)
        .arg(unchanged)
        .arg(skipped)
        .arg(photos);
}

ColumnMapping checkedMapping(const QStringList& headings, const QString& mapText) {
    ColumnMapping mapping = mappingFromHeadings(headings);
    applyMapText(mapping, headings, mapText);
    for (const ImportField field : {ImportField::First, ImportField::Last})
        if (mapping[field] < 0)
            throw AppError(QStringLiteral("The employee list has no column for the %1; its headings are: %2. "
                                          "Name the column with --map %3=HEADING (or choose it in the "
                                          "column step).")
                               .arg(importFieldCaption(field).toLower(), headings.join(QStringLiteral(", ")),
                                    importFieldKey(field)));
    return mapping;
}

QByteArray importedPhotoBytes(const QString& path, const ImportOptions& options, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("could not read the photograph %1: %2.")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return {};
    }
    const QByteArray original = file.readAll();
    const QString shown = QFileInfo(path).fileName();
    if (!options.printSizePhotos && !options.frameCentred)
        return isWholePicture(original, shown, error, true) ? original : QByteArray();
    if (!isWholePicture(original, shown, error))
        return {};
    const QImage upright = loadPictureData(original, error);
    const QRect frame = options.frameCentred ? centredFrame(upright.size()) : QRect();
    return photoCopy(upright, frame, options.printSizePhotos ? PrintSizeLongSide : 0);
}

std::optional<ImportPlan> planImport(const SheetTable& table, const ColumnMapping& mapping,
                                     const ImportOptions& options, data::Connection& connection,
                                     bool measurePrintSize, const ImportProgress& progress) {
    ImportPlan plan;
    plan.headings = table.headings;
    plan.mapping = mapping;
    const PhotoFolder photos = scanFolder(options.photoFolder);
    const QHash<QString, QList<Existing>> stored = storedEmployees(connection);
    const auto cell = [&](const QStringList& cells, ImportField field) {
        const int column = mapping[field];
        return column >= 0 ? cells.value(column).trimmed() : QString();
    };
    const QString codeColumn = headingOf(plan, ImportField::Code);
    const QString photoColumn = headingOf(plan, ImportField::Photo);
    QHash<QString, int> codesInFile;
    QHash<QString, int> photosTaken;

    for (qsizetype i = 0; i < table.rows.size(); ++i) {
        const QStringList& cells = table.rows.at(i);
        ImportRow row;
        row.line = table.lines.value(i);
        EmployeeFields& f = row.fields;
        f = {cell(cells, ImportField::First), cell(cells, ImportField::Middle),
             cell(cells, ImportField::Last), cell(cells, ImportField::Title), cell(cells, ImportField::Code)};

        // Many people have no middle name; the badge then prints "first  last". The other names are
        // checked as the editor checks them.
        EmployeeFields named = f;
        if (named.middleName.isEmpty())
            named.middleName = QStringLiteral(" ");
        if (const auto message = invalidNameMessage(named))
            addProblem(row, headingOf(plan, f.firstName.isEmpty() ? ImportField::First : ImportField::Last),
                       *message);
        if (const QString refusal = undrawableCodeMessage(f.identification); !refusal.isEmpty())
            addProblem(row, codeColumn, refusal);
        if (const QString warning = startStopInCodeMessage(f.identification); !warning.isEmpty())
            row.warnings.append(warning);

        if (!f.identification.isEmpty()) {
            const QString key = codeKey(f.identification);
            if (const auto earlier = codesInFile.constFind(key); earlier != codesInFile.cend())
                addProblem(row, codeColumn,
                           QStringLiteral("the identification code \"%1\" is also on line %2; each employee "
                                          "needs a code of their own.")
                               .arg(f.identification)
                               .arg(*earlier));
            else
                codesInFile.insert(key, row.line);
            const QList<Existing> owners = stored.value(key);
            if (!owners.isEmpty() && !options.update) {
                addProblem(row, codeColumn,
                           codeInUseMessage(f.identification,
                                            {owners.first().key, fullName(owners.first().fields)}) +
                               QStringLiteral(" To change the stored employees, import with --update."));
            } else if (owners.size() > 1) {
                addProblem(row, codeColumn,
                           QStringLiteral("the identification code \"%1\" is already shared by %2 employees; "
                                          "change them one at a time in the editor.")
                               .arg(f.identification)
                               .arg(owners.size()));
            } else if (owners.size() == 1 && row.action != RowAction::Bad) {
                const Existing& owner = owners.first();
                row.existingKey = owner.key;
                // Columns the list does not have keep what is stored.
                if (mapping[ImportField::Middle] < 0)
                    f.middleName = owner.fields.middleName;
                if (mapping[ImportField::Title] < 0)
                    f.title = owner.fields.title;
                row.action = sameFields(f, owner.fields) ? RowAction::Unchanged : RowAction::Update;
            }
        }

        matchPhoto(row, cell(cells, ImportField::Photo), options.photoFolder, photos, photoColumn);
        if (!row.photoPath.isEmpty()) {
            const QString photoHeading = row.match == PhotoMatch::ByColumn ? photoColumn
                                         : row.match == PhotoMatch::ByCode
                                             ? codeColumn
                                             : headingOf(plan, ImportField::Last);
            if (const auto other = photosTaken.constFind(row.photoPath); other != photosTaken.cend())
                addProblem(row, photoHeading,
                           QStringLiteral("the photograph %1 is matched to line %2 as well; name the files "
                                          "by code or give a column with the file names.")
                               .arg(QFileInfo(row.photoPath).fileName())
                               .arg(*other));
            else
                photosTaken.insert(row.photoPath, row.line);
            if (f.identification.isEmpty())
                addProblem(row, codeColumn, photoNeedsCodeMessage());
            row.photoBytes = QFileInfo(row.photoPath).size();
            if (row.action != RowAction::Bad)
                checkPhoto(row, options, measurePrintSize, connection, photoHeading);
        }
        if (row.action != RowAction::Bad) {
            plan.originalTotal += row.photoBytes;
            plan.printTotal += row.printBytes;
            if (row.photoPath.isEmpty())
                plan.linesWithoutPhoto.append(row.line);
        }
        plan.rows.append(row);
        if (progress && !progress(int(i + 1), int(table.rows.size())))
            return std::nullopt;
    }
    for (const QString& path : photos.files)
        if (!photosTaken.contains(path))
            plan.unmatchedPhotos.append(QFileInfo(path).fileName());
    return plan;
}

ImportResult runImport(data::Connection& connection, const ImportPlan& plan, const ImportOptions& options,
                       const ImportProgress& progress) {
    if (plan.refused(options))
        throw AppError(QStringLiteral("The employee list was not imported: %1 row(s) have problems. Correct "
                                      "them, or import the other rows with --skip-bad.")
                           .arg(plan.count(RowAction::Bad)));
    ImportResult result;
    result.skipped = plan.count(RowAction::Bad);
    result.unchanged = plan.count(RowAction::Unchanged);
    connection.beginTransaction();
    try {
        const QHash<QString, QList<Existing>> stored = storedEmployees(connection);
        const QHash<QString, QList<qint64>> photoRows = photoRowsByCode(connection);
        const QString mark = options.frameCentred ? autoFramedMark() : QString();
        const int total = int(plan.rows.size());
        for (int i = 0; i < total; ++i) {
            const ImportRow& row = plan.rows.at(i);
            if (row.action == RowAction::Add || row.action == RowAction::Update) {
                const QList<Existing> owners = row.fields.identification.isEmpty()
                                                   ? QList<Existing>{}
                                                   : stored.value(codeKey(row.fields.identification));
                const bool stillSo = row.action == RowAction::Add
                                         ? owners.isEmpty()
                                         : owners.size() == 1 && owners.first().key == row.existingKey;
                if (!stillSo)
                    throw AppError(
                        QStringLiteral("The employee list was not imported: the employee with the "
                                       "identification code \"%1\" (line %2) was added, changed or "
                                       "deleted by someone else since the check. Check the list "
                                       "again and import it.")
                            .arg(row.fields.identification)
                            .arg(row.line));
                if (row.action == RowAction::Add) {
                    insertEmployeeRow(connection, row.fields);
                    ++result.added;
                } else {
                    updateEmployeeRow(connection, row.existingKey, row.fields);
                    ++result.updated;
                }
                if (!row.photoPath.isEmpty()) {
                    QString error;
                    // Checked whole by the plan; only a copy made from it has to be decoded again.
                    const QByteArray bytes = options.printSizePhotos || options.frameCentred
                                                 ? importedPhotoBytes(row.photoPath, options, &error)
                                                 : readWhole(row.photoPath, &error);
                    if (bytes.isEmpty())
                        throw AppError(QStringLiteral("The employee list was not imported: line %1: %2")
                                           .arg(row.line)
                                           .arg(error));
                    // The new photograph replaces the code's earlier ones (also a deleted employee's, which
                    // would otherwise be found first).
                    for (const qint64 id : photoRows.value(codeKey(row.fields.identification)))
                        connection.execute(QStringLiteral("DELETE FROM Attachments WHERE AttachmentsId = ?"),
                                           {id});
                    addPhotoBytes(connection, bytes, row.fields.identification, mark);
                    ++result.photos;
                }
            }
            if (progress && !progress(i + 1, total)) {
                connection.rollback();
                return ImportResult{0, 0, 0, 0, 0, true};
            }
        }
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
    return result;
}

} // namespace employees
