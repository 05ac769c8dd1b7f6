#include "data/appendonly.h"

#include "app/apperror.h"
#include "data/connection.h"

#include <QSqlError>
#include <QSqlQuery>

#include <pwd.h>
#include <unistd.h>

namespace data::appendonly {

namespace {

// Lower case: PostgreSQL folds unquoted names, SQLite keeps them as written; one spelling serves both.
QString guardName(const QString& table, const char* what) {
    return table.toLower() + QLatin1String(what);
}

QStringList guardNames(const QString& table, Backend backend) {
    if (backend == Backend::PostgreSQL)
        return {guardName(table, "_no_change"), guardName(table, "_no_truncate")};
    return {guardName(table, "_no_update"), guardName(table, "_no_delete")};
}

} // namespace

QString refusal(const QString& table) {
    return QStringLiteral("%1 keeps records that cannot be changed or deleted").arg(table);
}

QStringList sqliteGuards(const QString& table) {
    const QString body = QStringLiteral("BEGIN SELECT RAISE(ABORT, '%1'); END").arg(refusal(table));
    return {QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 BEFORE UPDATE ON %2 %3")
                .arg(guardName(table, "_no_update"), table, body),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 BEFORE DELETE ON %2 %3")
                .arg(guardName(table, "_no_delete"), table, body)};
}

QStringList postgresGuards(const QString& table) {
    // The table owner could drop these; operators that are not the owner cannot, and their grants
    // (INSERT and SELECT) keep them from the rows in any case.
    return {
        QStringLiteral("CREATE OR REPLACE FUNCTION pellorin_refuse_change() RETURNS trigger LANGUAGE plpgsql "
                       "AS $$ BEGIN RAISE EXCEPTION '% keeps records that cannot be changed or deleted', "
                       "TG_TABLE_NAME; END $$"),
        QStringLiteral("CREATE OR REPLACE TRIGGER %1 BEFORE UPDATE OR DELETE ON %2 FOR EACH ROW "
                       "EXECUTE FUNCTION pellorin_refuse_change()")
            .arg(guardName(table, "_no_change"), table),
        QStringLiteral("CREATE OR REPLACE TRIGGER %1 BEFORE TRUNCATE ON %2 FOR EACH STATEMENT "
                       "EXECUTE FUNCTION pellorin_refuse_change()")
            .arg(guardName(table, "_no_truncate"), table)};
}

QStringList missingGuards(Connection& connection, const QString& table) {
    QSqlQuery query(connection.database());
    const bool postgres = connection.backend() == Backend::PostgreSQL;
    query.prepare(postgres ? QStringLiteral("SELECT tgname FROM pg_trigger WHERE tgrelid = to_regclass(?)")
                           : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND "
                                            "tbl_name = ? COLLATE NOCASE"));
    query.addBindValue(postgres ? table.toLower() : table);
    if (!query.exec())
        throw AppError(connection.failure(QStringLiteral("Checking the records of %1").arg(table),
                                          errorText(query.lastError())));
    QStringList missing = guardNames(table, connection.backend());
    while (query.next())
        missing.removeAll(query.value(0).toString().toLower());
    return missing;
}

QString systemUserName() {
    if (const passwd* account = getpwuid(geteuid()); account && account->pw_name && *account->pw_name)
        return QString::fromLocal8Bit(account->pw_name);
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"})
        if (const QString name = qEnvironmentVariable(variable); !name.isEmpty())
            return name;
    return QStringLiteral("unknown");
}

QString databaseUser(Connection& connection) {
    if (connection.backend() != Backend::PostgreSQL)
        return QString();
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("SELECT session_user")) || !query.next())
        throw AppError(
            connection.failure(QStringLiteral("Asking for the database user"), errorText(query.lastError())));
    return query.value(0).toString();
}

} // namespace data::appendonly
