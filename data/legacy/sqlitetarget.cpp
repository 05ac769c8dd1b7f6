#include "data/legacy/sqlitetarget.h"

#include "app/apperror.h"
#include "data/sqlitefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace legacy {

QString quoted(const QString& identifier) {
    QString inner = identifier;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

SqliteTarget::SqliteTarget(const QString& path) : m_path(path) {
    if (QFileInfo::exists(path))
        throw AppError(
            QStringLiteral("The new database %1 exists already.").arg(QDir::toNativeSeparators(path)));
    m_connection.open(QStringLiteral("Provider=SQLite;Data Source=%1;").arg(path));
    m_db = data::sqliteHandle(m_connection.database());
    if (!m_db)
        throw AppError(
            QStringLiteral("The new database %1 is not an SQLite file.").arg(QDir::toNativeSeparators(path)));
    exec(QStringLiteral("BEGIN"));
}

SqliteTarget::~SqliteTarget() {
    closeBlob();
    sqlite3_finalize(m_insert);
}

void SqliteTarget::fail(const QString& what) const {
    throw AppError(
        QStringLiteral("%1 failed in the new database %2: %3")
            .arg(what, QDir::toNativeSeparators(m_path),
                 m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory")));
}

void SqliteTarget::exec(const QString& sql) {
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("The statement \"%1\"").arg(sql));
}

std::vector<TargetColumn> SqliteTarget::columns(const QString& table) {
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)).toUtf8();
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Reading the columns of %1").arg(table));
    std::vector<TargetColumn> result;
    while (sqlite3_step(statement) == SQLITE_ROW)
        result.push_back(
            {QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1))),
             sqlite3_column_int(statement, 5) != 0,
             QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 2)))});
    sqlite3_finalize(statement);
    return result;
}

void SqliteTarget::addColumn(const QString& table, const QString& column, const QString& type) {
    exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(quoted(table), quoted(column), type));
}

void SqliteTarget::prepareInsert(const QString& table, const QStringList& columns) {
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    m_table = table;
    QStringList names;
    QStringList marks;
    for (const QString& column : columns) {
        names.append(quoted(column));
        marks.append(QStringLiteral("?"));
    }
    const QByteArray sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(quoted(table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                               .toUtf8();
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &m_insert, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Preparing the rows of %1").arg(table));
}

void SqliteTarget::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        rc = sqlite3_bind_null(m_insert, index + 1);
        break;
    case QMetaType::LongLong:
        rc = sqlite3_bind_int64(m_insert, index + 1, value.toLongLong());
        break;
    case QMetaType::Double:
        rc = sqlite3_bind_double(m_insert, index + 1, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob64(m_insert, index + 1, bytes.constData(), sqlite3_uint64(bytes.size()),
                                 SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        rc = sqlite3_bind_text64(m_insert, index + 1, text.constData(), sqlite3_uint64(text.size()),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
    if (rc != SQLITE_OK)
        fail(QStringLiteral("Storing a value of %1").arg(m_table));
}

void SqliteTarget::bindZeroBlob(int index, qint64 length) {
    if (sqlite3_bind_zeroblob64(m_insert, index + 1, sqlite3_uint64(length)) != SQLITE_OK)
        fail(QStringLiteral("Making room for a long value of %1 (%2 bytes)").arg(m_table).arg(length));
}

qint64 SqliteTarget::insert() {
    const int rc = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Storing a row of %1").arg(m_table));
    sqlite3_clear_bindings(m_insert);
    return sqlite3_last_insert_rowid(m_db);
}

void SqliteTarget::openBlob(const QString& column, qint64 rowid) {
    closeBlob();
    if (sqlite3_blob_open(m_db, "main", m_table.toUtf8().constData(), column.toUtf8().constData(), rowid, 1,
                          &m_blob) != SQLITE_OK)
        fail(QStringLiteral("Opening a long value of %1").arg(m_table));
}

void SqliteTarget::writeBlob(const char* bytes, int length, int offset) {
    if (sqlite3_blob_write(m_blob, bytes, length, offset) != SQLITE_OK)
        fail(QStringLiteral("Writing a long value of %1").arg(m_table));
}

void SqliteTarget::closeBlob() {
    if (m_blob)
        sqlite3_blob_close(m_blob);
    m_blob = nullptr;
}

void SqliteTarget::rowDone(qint64 bytes) {
    constexpr qint64 BytesPerCommit = 32 * 1024 * 1024;
    constexpr int RowsPerCommit = 20'000;
    m_pendingBytes += bytes;
    if (++m_pendingRows < RowsPerCommit && m_pendingBytes < BytesPerCommit)
        return;
    exec(QStringLiteral("COMMIT"));
    exec(QStringLiteral("BEGIN"));
    m_pendingBytes = 0;
    m_pendingRows = 0;
}

void SqliteTarget::finish() {
    closeBlob();
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    exec(QStringLiteral("COMMIT"));
    exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    m_db = nullptr;
    m_connection.close();
}

} // namespace legacy
