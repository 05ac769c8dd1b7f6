// check and backup: is the database sound, and a copy of it that opens anywhere.
#include "app/apperror.h"
#include "cli/commands.h"
#include "data/appendonly.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"
#include "data/sqlitefile.h"
#include "employees/photofile.h"

#include <QDir>

namespace cli {

namespace {

QVariantList column(data::Connection& connection, const QString& sql) {
    data::Recordset rs;
    rs.open(sql, connection);
    QVariantList values;
    for (; !rs.eof(); rs.moveNext())
        values.append(rs.field(0));
    return values;
}

qint64 count(data::Connection& connection, const QString& sql) {
    return column(connection, sql).value(0).toLongLong();
}

// Each employee's photograph as the badge window finds it: the first row stored under the code.
QStringList photographProblems(data::Connection& connection, qint64* withPhoto, qint64* without) {
    QStringList problems;
    data::Recordset employees;
    employees.open(QStringLiteral("SELECT EmployeeId, EmployeeIdentification FROM EmployeeTable WHERE "
                                  "EmployeeIdentification <> '' ORDER BY EmployeeId"),
                   connection);
    for (; !employees.eof(); employees.moveNext()) {
        const QString code = employees.text(QStringLiteral("EmployeeIdentification"));
        data::Recordset photo;
        photo.open(QStringLiteral("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)"), connection,
                   {code});
        if (photo.eof() || photo.actualSize(QStringLiteral("Attachments")) == 0) {
            ++*without;
            continue;
        }
        ++*withPhoto;
        QString error;
        if (!isWholePicture(photo.getChunk(QStringLiteral("Attachments")), QStringLiteral("the photograph"),
                            &error))
            problems << QStringLiteral("employee %1 (code \"%2\"): %3")
                            .arg(employees.text(QStringLiteral("EmployeeId")), code, error);
    }
    return problems;
}

// A server has its own tools for both, which know its files better than this program can.
void refuseServer(data::Connection& connection, const QString& command) {
    if (connection.backend() == data::Backend::PostgreSQL)
        throw AppError(QStringLiteral("%1 works on the embedded database file; the database %2 is on a "
                                      "PostgreSQL server: use the server's own tools (pg_dump, pg_amcheck).")
                           .arg(command, connection.location()));
}

} // namespace

int checkDatabase(Arguments& args) {
    if (!args.positional().isEmpty())
        throw UsageError{QStringLiteral("check takes no arguments")};
    data::Connection connection;
    connection.open();
    refuseServer(connection, QStringLiteral("check"));
    QStringList problems;
    const QVariantList integrity = column(connection, QStringLiteral("PRAGMA integrity_check"));
    const bool sound = integrity.size() == 1 && integrity.first().toString() == QLatin1String("ok");
    out(QStringLiteral("file: %1").arg(connection.location()));
    out(QStringLiteral("integrity: %1").arg(sound ? QStringLiteral("ok") : QStringLiteral("damaged")));
    if (!sound)
        for (const QVariant& line : integrity)
            problems << QStringLiteral("integrity: %1").arg(line.toString());
    out(QStringLiteral("schema version: %1").arg(count(connection, QStringLiteral("PRAGMA user_version"))));

    qint64 withPhoto = 0;
    qint64 without = 0;
    problems << photographProblems(connection, &withPhoto, &without);
    out(QStringLiteral("employees: %1 (%2 with a photograph, %3 with none)")
            .arg(count(connection, QStringLiteral("SELECT count(*) FROM EmployeeTable")))
            .arg(withPhoto)
            .arg(without));
    // Deleting an employee keeps the photograph rows on purpose, so these are told, not counted as faults.
    out(QStringLiteral("photographs of no employee: %1")
            .arg(count(connection, QStringLiteral("SELECT count(*) FROM Attachments a WHERE NOT EXISTS "
                                                  "(SELECT 1 FROM EmployeeTable e WHERE "
                                                  "e.EmployeeIdentification = a.EmployeeIdentification)"))));
    const qint64 lostLinks =
        count(connection, QStringLiteral("SELECT count(*) FROM ReferenceInfo r WHERE NOT "
                                         "EXISTS (SELECT 1 FROM Resources d WHERE "
                                         "d.DocumentId = r.DocumentId)"));
    const qint64 lostDocuments =
        count(connection, QStringLiteral("SELECT count(*) FROM Resources d WHERE NOT EXISTS (SELECT 1 FROM "
                                         "ObjectTbl o WHERE o.ObjectId = d.ObjectIndex)"));
    if (lostLinks > 0)
        problems << QStringLiteral("%1 client link(s) name a document that no longer exists").arg(lostLinks);
    if (lostDocuments > 0)
        problems << QStringLiteral("%1 document version(s) are filed in a folder that no longer exists")
                        .arg(lostDocuments);
    // The ledger's triggers keep its records from being changed; without them nothing can be trusted.
    const QString ledger = QStringLiteral("BadgeLedger");
    const QStringList missingGuards = data::appendonly::missingGuards(connection, ledger);
    out(QStringLiteral("badge ledger: %1 record(s), %2")
            .arg(count(connection, QStringLiteral("SELECT count(*) FROM BadgeLedger")))
            .arg(missingGuards.isEmpty() ? QStringLiteral("protected") : QStringLiteral("NOT protected")));
    if (!missingGuards.isEmpty())
        problems << QStringLiteral("the badge ledger lacks its guard(s) %1, so its records may have been "
                                   "changed or deleted; compare it with a backup")
                        .arg(missingGuards.join(QStringLiteral(", ")));
    // The audit trail's records must stay as written; without its triggers anybody could rewrite them.
    const QStringList unguarded =
        data::appendonly::missingGuards(connection, QStringLiteral("DocumentAudit"));
    if (!unguarded.isEmpty())
        problems << QStringLiteral(
                        "the audit trail DocumentAudit lacks its guards (%1); the file was changed "
                        "outside Pellorin: restore it from a backup")
                        .arg(unguarded.join(QStringLiteral(", ")));
    out(QStringLiteral("links: %1")
            .arg(lostLinks + lostDocuments == 0 ? QStringLiteral("ok") : QStringLiteral("broken")));
    for (const QString& problem : std::as_const(problems))
        out(QStringLiteral("problem: %1").arg(problem));
    out(problems.isEmpty() ? QStringLiteral("result: ok")
                           : QStringLiteral("result: %1 problem(s)").arg(problems.size()));
    return problems.isEmpty() ? 0 : 1;
}

int backupDatabase(Arguments& args) {
    const QStringList rest = args.positional();
    if (rest.size() != 1 || rest.first().isEmpty())
        throw UsageError{QStringLiteral("backup takes the file to write the copy to")};
    data::Connection connection;
    connection.open();
    refuseServer(connection, QStringLiteral("backup"));
    data::backupDatabase(connection, rest.first());
    out(QStringLiteral("%1 copied to %2")
            .arg(connection.location(), QDir::toNativeSeparators(QDir(rest.first()).absolutePath())));
    return 0;
}

} // namespace cli
