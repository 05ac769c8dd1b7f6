#include "data/legacy/mdbcopy.h"

#include "app/apperror.h"
#include "data/legacy/jetfile.h"
#include "data/legacy/mdbtable.h"
#include "data/legacy/readerprotocol.h"
#include "data/legacy/sqlitetarget.h"
#include "data/schema.h"

#include <QDir>
#include <QElapsedTimer>

#include <mdbtools.h>

namespace legacy {

namespace {

// SQLite type for a column that the program's table lacks but the file holds.
QString sqliteType(int jetType) {
    switch (jetType) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return QStringLiteral("INTEGER");
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return QStringLiteral("REAL");
    case MDB_DATETIME:
        return QStringLiteral("DATETIME");
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_MONEY:
    case MDB_NUMERIC:
    case MDB_REPID:
        return QStringLiteral("TEXT");
    default:
        return QStringLiteral("BLOB");
    }
}

// Whether a column of the file can hold what the program's column of that declared type holds. A
// damaged definition that turns a name into a picture, or a number into a date, is caught here rather
// than copied as Nulls or bytes nobody can read.
bool fits(int jetType, const QString& declared) {
    if (declared.startsWith(QLatin1String("INTEGER"), Qt::CaseInsensitive))
        return jetType == MDB_BYTE || jetType == MDB_INT || jetType == MDB_LONGINT;
    if (declared.startsWith(QLatin1String("TEXT"), Qt::CaseInsensitive))
        return jetType == MDB_TEXT || jetType == MDB_MEMO;
    if (declared.startsWith(QLatin1String("DATETIME"), Qt::CaseInsensitive))
        return jetType == MDB_DATETIME || jetType == MDB_TEXT;
    if (declared.startsWith(QLatin1String("BLOB"), Qt::CaseInsensitive))
        return jetType == MDB_OLE;
    return true;
}

QString jetTypeName(int jetType) {
    switch (jetType) {
    case MDB_BOOL:
        return QStringLiteral("Yes/No");
    case MDB_BYTE:
        return QStringLiteral("Byte");
    case MDB_INT:
        return QStringLiteral("Integer");
    case MDB_LONGINT:
        return QStringLiteral("Long Integer");
    case MDB_MONEY:
        return QStringLiteral("Currency");
    case MDB_FLOAT:
        return QStringLiteral("Single");
    case MDB_DOUBLE:
        return QStringLiteral("Double");
    case MDB_DATETIME:
        return QStringLiteral("Date/Time");
    case MDB_TEXT:
        return QStringLiteral("Text");
    case MDB_OLE:
        return QStringLiteral("OLE Object");
    case MDB_MEMO:
        return QStringLiteral("Memo");
    default:
        return QStringLiteral("type %1").arg(jetType);
    }
}

QString expectedKind(const QString& declared) {
    if (declared.startsWith(QLatin1String("INTEGER"), Qt::CaseInsensitive))
        return QStringLiteral("a whole number");
    if (declared.startsWith(QLatin1String("TEXT"), Qt::CaseInsensitive))
        return QStringLiteral("text");
    if (declared.startsWith(QLatin1String("DATETIME"), Qt::CaseInsensitive))
        return QStringLiteral("a date");
    return QStringLiteral("an OLE object");
}

// Columns every installation's file holds; the other columns of the program's tables may be missing
// from an older file and are then left empty.
bool isRequired(const QString& table, const QString& column) {
    static const QStringList optional = {QStringLiteral("Attachments.AttachmentsName"),
                                         QStringLiteral("Attachments.AttachmentVersion"),
                                         QStringLiteral("Attachments.AttachmentDescription"),
                                         QStringLiteral("Attachments.PersonalInformationId")};
    return !optional.contains(table + u'.' + column, Qt::CaseInsensitive);
}

// Refuses a known table whose definition lacks a column the program reads, or gives one another type:
// copied as it stands, its values would land where nothing reads them or arrive as Nulls.
void checkColumns(const MdbTableReader& reader, const QString& tableName,
                  const std::vector<TargetColumn>& wanted) {
    for (const TargetColumn& column : wanted) {
        const auto inFile =
            std::find_if(reader.columns().begin(), reader.columns().end(), [&](const MdbColumnInfo& c) {
                return c.name.compare(column.name, Qt::CaseInsensitive) == 0;
            });
        if (inFile == reader.columns().end()) {
            if (!isRequired(tableName, column.name))
                continue;
            QStringList names;
            for (const MdbColumnInfo& c : reader.columns())
                names.append(c.name);
            throw AppError(
                reader.damaged(QStringLiteral("its table %1 has no column %2 (its columns: %3)")
                                   .arg(tableName, column.name, names.join(QStringLiteral(", ")))));
        }
        if (!fits(inFile->type, column.type))
            throw AppError(reader.damaged(
                QStringLiteral("the column %2 of its table %1 is of the type %3 where %4 "
                               "belongs")
                    .arg(tableName, column.name, jetTypeName(inFile->type), expectedKind(column.type))));
    }
}

// Sends progress at most a few times a second, and at least that often while anything moves, so the
// importer can tell a slow file from a hung reader.
class ProgressPacer {
public:
    explicit ProgressPacer(const ReportLine& report) : m_report(report) { m_clock.start(); }
    void tick(int permille) {
        if (m_last >= 0 && m_clock.elapsed() < 100)
            return;
        m_last = permille;
        m_clock.restart();
        m_report({protocol::Progress, QString::number(permille)});
    }

private:
    const ReportLine& m_report;
    QElapsedTimer m_clock;
    int m_last = -1;
};

struct Work {
    qint64 totalRows = 0;
    qint64 doneRows = 0;
    int permille() const { return totalRows > 0 ? int(doneRows * 1000 / totalRows) : 0; }
};

void copyTable(MdbTableReader& reader, SqliteTarget& target, const QString& tableName, Work& work,
               ProgressPacer& progress, const ReportLine& report) {
    const std::vector<TargetColumn> existing = target.columns(tableName);
    checkColumns(reader, tableName, existing);
    QStringList names;
    std::vector<bool> isKey;
    QStringList longColumns;
    for (const MdbColumnInfo& column : reader.columns()) {
        auto match = std::find_if(existing.begin(), existing.end(), [&](const TargetColumn& c) {
            return c.name.compare(column.name, Qt::CaseInsensitive) == 0;
        });
        if (match == existing.end()) {
            // Nothing the file holds is dropped: a column the program does not use comes along too.
            target.addColumn(tableName, column.name, sqliteType(column.type));
            names.append(column.name);
            isKey.push_back(false);
        } else {
            names.append(match->name);
            isKey.push_back(match->isKey);
        }
        if (column.isLongBinary())
            longColumns.append(names.last());
    }
    // The file's rows replace whatever a new database starts with (the folder tree's root row).
    target.exec(QStringLiteral("DELETE FROM %1").arg(quoted(tableName)));
    target.prepareInsert(tableName, names);

    const int count = int(names.size());
    qint64 longValues = 0;
    qint64 longBytes = 0;
    while (reader.next()) {
        for (int i = 0; i < count; ++i) {
            if (reader.columns()[size_t(i)].isLongBinary()) {
                const std::optional<qint64> length = reader.declaredLength(i);
                if (length)
                    target.bindZeroBlob(i, *length);
                else
                    target.bind(i, QVariant());
                continue;
            }
            const QVariant value = reader.value(i);
            if (isKey[size_t(i)] && (value.isNull() || value.typeId() != QMetaType::LongLong))
                throw AppError(reader.damaged(QStringLiteral("row %1 of %2 has no valid key in %3")
                                                  .arg(reader.rowsRead())
                                                  .arg(tableName, names[i])));
            target.bind(i, value);
        }
        const qint64 rowid = target.insert();
        qint64 rowBytes = 0;
        for (int i = 0; i < count; ++i) {
            if (!reader.columns()[size_t(i)].isLongBinary() || reader.isNull(i))
                continue;
            ++longValues;
            if (reader.declaredLength(i).value_or(0) == 0) {
                reader.readLong(i, [](const char*, qsizetype) {});
                continue;
            }
            target.openBlob(names[i], rowid);
            qint64 offset = 0;
            longBytes += reader.readLong(i, [&](const char* bytes, qsizetype length) {
                target.writeBlob(bytes, int(length), int(offset));
                offset += length;
                progress.tick(work.permille());
            });
            target.closeBlob();
            rowBytes += offset;
        }
        target.rowDone(rowBytes);
        ++work.doneRows;
        progress.tick(work.permille());
    }
    report(QStringList{protocol::Table, tableName, QString::number(reader.rowsRead()),
                       QString::number(longValues), QString::number(longBytes)} +
           longColumns);
}

} // namespace

void copyMdbToSqlite(const QString& mdbPath, const QString& targetPath, const ReportLine& report) {
    JetFile file(mdbPath);
    const QStringList fileTables = file.userTables();
    const QStringList known = data::tableNames();

    auto findTable = [&fileTables](const QString& name) {
        for (const QString& table : fileTables)
            if (table.compare(name, Qt::CaseInsensitive) == 0)
                return table;
        return QString();
    };
    if (findTable(QStringLiteral("EmployeeTable")).isEmpty())
        throw AppError(
            QStringLiteral("%1 holds no EmployeeTable, so it is not a Pellorin database (its tables: %2). "
                           "Choose the Pellorin.mdb of the existing installation.")
                .arg(QDir::toNativeSeparators(mdbPath),
                     fileTables.isEmpty() ? QStringLiteral("none") : fileTables.join(QStringLiteral(", "))));

    report({protocol::Format,
            file.format() == JetFormat::Jet3 ? QStringLiteral("Jet3") : QStringLiteral("Jet4")});
    for (const QString& table : fileTables) {
        const bool isKnown = std::any_of(known.begin(), known.end(), [&](const QString& name) {
            return name.compare(table, Qt::CaseInsensitive) == 0;
        });
        if (!isKnown)
            report({protocol::Skipped, table});
    }

    // libmdb keeps state of the last table definition it read in the file handle, so a table is read
    // to its end before the next one is opened; the first pass only counts rows for the progress.
    QStringList present;
    Work work;
    for (const QString& name : known) {
        const QString inFile = findTable(name);
        if (inFile.isEmpty()) {
            report({protocol::Absent, name});
            continue;
        }
        present.append(name);
        work.totalRows += MdbTableReader(file, inFile).declaredRows();
    }

    SqliteTarget target(targetPath);
    ProgressPacer progress(report);
    progress.tick(0);
    for (const QString& name : present) {
        MdbTableReader reader(file, findTable(name));
        copyTable(reader, target, name, work, progress, report);
    }
    target.finish();
    report({protocol::Progress, QStringLiteral("1000")});
    report({protocol::Ok});
}

} // namespace legacy
