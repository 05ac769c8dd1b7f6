#include "data/sqliteschema.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/schema.h"
#include "data/sqlitefile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace data::sqlite {

namespace {

// Runs one statement on the connection; throws AppError naming what failed.
QSqlQuery run(Connection& connection, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery query(connection.database());
    bool ok = query.prepare(sql);
    if (ok) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok)
        throw AppError(connection.failure(QStringLiteral("Preparing the tables (\"%1\")").arg(sql),
                                          errorText(query.lastError())));
    return query;
}

QVariant scalar(Connection& connection, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery query = run(connection, sql, values);
    return query.next() ? query.value(0) : QVariant();
}

int pellorinTables(Connection& connection) {
    QStringList marks;
    QVariantList names;
    for (const QString& table : tableNames() + libraryTableNames()) {
        marks << QStringLiteral("?");
        names << table;
    }
    return scalar(connection,
                  QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN (%1)")
                      .arg(marks.join(u',')),
                  names)
        .toInt();
}

// Version 0 named the program's own collation in the file, which no other SQLite tool can open.
const QRegularExpression& ownCollation() {
    static const QRegularExpression re(QStringLiteral(R"(COLLATE\s+["'`\[]?PELLORIN_NOCASE["'`\]]?)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString quotedName(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Rebuilds one table under its own definition with the collation replaced: renamed aside, created anew,
// rows copied with their keys, the old one dropped, its indexes made again and its autonumber kept.
void rebuildTable(Connection& connection, const QString& table, const QString& createSql) {
    const QString replacement = QStringLiteral("COLLATE NOCASE");
    QStringList indexes;
    {
        QSqlQuery query = run(connection,
                              QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND "
                                             "tbl_name = ? AND sql IS NOT NULL"),
                              {table});
        while (query.next())
            indexes << query.value(0).toString().replace(ownCollation(), replacement);
    }
    const bool counted =
        scalar(connection,
               QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'"))
            .toInt() > 0;
    const QVariant sequence =
        counted
            ? scalar(connection, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"), {table})
            : QVariant();
    const QString aside = table + QStringLiteral("_before_update");
    run(connection, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quotedName(table), quotedName(aside)));
    run(connection, QString(createSql).replace(ownCollation(), replacement));
    run(connection,
        QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(quotedName(table), quotedName(aside)));
    run(connection, QStringLiteral("DROP TABLE %1").arg(quotedName(aside)));
    for (const QString& index : std::as_const(indexes))
        run(connection, index);
    if (!sequence.isNull()) {
        run(connection, QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"), {table});
        run(connection, QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
            {table, sequence});
    }
}

void migrateFromVersion0(Connection& connection) {
    QList<std::pair<QString, QString>> tables;
    QSqlQuery query = run(connection, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = "
                                                     "'table' AND sql IS NOT NULL ORDER BY rowid"));
    while (query.next()) {
        const QString sql = query.value(1).toString();
        if (sql.contains(ownCollation()))
            tables.append({query.value(0).toString(), sql});
    }
    query.finish();
    for (const auto& [table, sql] : tables)
        rebuildTable(connection, table, sql);
}

void createMissing(Connection& connection) {
    for (const QString& statement : sqliteSchema())
        run(connection, statement);
    run(connection, QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion));
}

QString backupName(const Connection& connection, int fromVersion) {
    return QDir::fromNativeSeparators(connection.location()) +
           QStringLiteral(".version%1-backup").arg(fromVersion);
}

} // namespace

SchemaState schemaState(Connection& connection) {
    // The first read tells a file that is not a database apart from a good one.
    const int version = scalar(connection, QStringLiteral("PRAGMA user_version")).toInt();
    const int tables = pellorinTables(connection);
    if (version > SchemaVersion)
        return SchemaState::Newer;
    if (version == SchemaVersion && tables == int(tableNames().size() + libraryTableNames().size()))
        return SchemaState::Current;
    return tables == 0 && version == 0 ? SchemaState::Empty : SchemaState::Old;
}

void refuseNewerSchema(Connection& connection) {
    throw AppError(
        QStringLiteral("Could not open the database %1: it was made by a newer version of Pellorin "
                       "(schema %2; this version knows %3). Use that version, or open a copy.")
            .arg(connection.location())
            .arg(scalar(connection, QStringLiteral("PRAGMA user_version")).toInt())
            .arg(SchemaVersion));
}

void ensureSchema(Connection& connection) {
    SchemaState state = schemaState(connection);
    if (state == SchemaState::Current)
        return;
    if (state == SchemaState::Newer)
        refuseNewerSchema(connection);
    // Readers never wait for a writer in this mode; it has to be set outside a transaction.
    const QString mode = scalar(connection, QStringLiteral("PRAGMA journal_mode")).toString();
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        run(connection, QStringLiteral("PRAGMA journal_mode=WAL"));

    // The copy is read under its own snapshot before the write lock is taken (SQLite cannot copy from
    // a connection in the middle of writing); the migration itself changes nothing until it commits.
    const int version = scalar(connection, QStringLiteral("PRAGMA user_version")).toInt();
    QString backup;
    if (state == SchemaState::Old) {
        backup = backupName(connection, version);
        QFile::remove(backup);
        backupDatabase(connection, backup);
    }
    // Another copy of the program may be doing the same: whoever takes the write lock first does it,
    // the other finds the schema current.
    // Renaming a table aside must not rewrite the views and triggers that name it: they are to find the
    // rebuilt table under its own name.
    run(connection, QStringLiteral("PRAGMA legacy_alter_table=ON"));
    try {
        run(connection, QStringLiteral("BEGIN IMMEDIATE"));
        state = schemaState(connection);
        if (state == SchemaState::Old && version == 0)
            migrateFromVersion0(connection);
        if (state != SchemaState::Current)
            createMissing(connection);
        run(connection, QStringLiteral("COMMIT"));
    } catch (const AppError& error) {
        QSqlQuery(connection.database()).exec(QStringLiteral("ROLLBACK"));
        QSqlQuery(connection.database()).exec(QStringLiteral("PRAGMA legacy_alter_table=OFF"));
        if (backup.isEmpty())
            throw;
        throw AppError(QStringLiteral("%1 The database was left as it was; a copy made before the update is "
                                      "kept as %2.")
                           .arg(error.description(), QDir::toNativeSeparators(backup)));
    }
    QSqlQuery(connection.database()).exec(QStringLiteral("PRAGMA legacy_alter_table=OFF"));
    if (!backup.isEmpty())
        QFile::remove(backup);
}

} // namespace data::sqlite
