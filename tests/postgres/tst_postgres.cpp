// What only a shared server shows: operators who may not create tables, passwords from libpq's file, two
// programs on one database, a server that drops the connection, several companions adding at once, an
// embedded database copied onto the server and an Access file imported onto it.
#include "../support/companion.h"
#include "../support/errorof.h"
#include "../support/mdbfixtures.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "employees/employeelist.h"
#include "employees/employeestore.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QtTest>

namespace {

QStringList lastNames(data::Connection& connection) {
    data::Command command;
    command.setActiveConnection(&connection);
    QStringList names;
    for (const EmployeeListRow& row : employees::readEmployeeRows(command, QString(), QStringLiteral(" ASC")))
        names << row.cells[3];
    return names;
}

qint64 backendPid(data::Connection& connection) {
    QSqlQuery query(connection.database());
    return query.exec(QStringLiteral("SELECT pg_backend_pid()")) && query.next() ? query.value(0).toLongLong()
                                                                                 : -1;
}

} // namespace

class TestPostgres : public QObject {
    Q_OBJECT
private slots:
    void clerkWithoutRightsUsesExistingTables();
    void twoProgramsSeeEachOthersChanges();
    void lostConnectionIsReportedAndNextOperationReconnects();
    void fourCompanionsAddAtOnce();
    void embeddedDatabaseIsCopiedWhole();
    void accessFileIsImportedOntoTheServer();
};

// The tables exist (made by the office's administrator on first start); a clerk may read and write rows
// but not create anything, and has no password in the connection string: libpq's password file has it.
void TestPostgres::clerkWithoutRightsUsesExistingTables() {
    TestAppDir dir;
    dir.addEmployee("Ann", "B", "Cole", "", "A1");
    const QString database = qEnvironmentVariable("PELLORIN_DATABASE").section(u';', 3, 3).section(u'=', 1);
    TestAppDir::serverExec(
        QStringLiteral("DROP ROLE IF EXISTS clerk; CREATE ROLE clerk LOGIN PASSWORD 's3cret'"));
    TestAppDir::serverExec(
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO "
                       "clerk; GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO clerk"),
        database);
    QTemporaryDir home;
    const QString passFile = home.filePath(QStringLiteral("pgpass"));
    QCOMPARE(writeTestFile(passFile, "*:*:*:clerk:s3cret\n"), passFile);
    QFile::setPermissions(passFile, QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", passFile.toUtf8());
    const auto forget = qScopeGuard([] { qunsetenv("PGPASSFILE"); });

    data::Connection clerk;
    clerk.open(TestAppDir::serverConnection(database, QStringLiteral("clerk")));
    clerk.execute(
        "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
        "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)",
        {"Bo", "C", "Dee", "", "B2"});
    QCOMPARE(clerk.lastInsertId().toLongLong(), 2);
    QCOMPARE(lastNames(clerk), QStringList({"Cole", "Dee"}));
    clerk.close();

    // A database without the tables: the clerk may not make them, and is told so.
    ScratchDatabase empty;
    QString said = errorOf([&] { clerk.open(TestAppDir::serverConnection(empty.name(), "clerk")); });
    QVERIFY2(said.contains(empty.name()) && said.contains("permission denied"), qPrintable(said));
    // A wrong password names the cause.
    said = errorOf([&] { clerk.open(TestAppDir::serverConnection(database, "clerk", "wrong")); });
    QVERIFY2(said.contains("password authentication failed"), qPrintable(said));
}

void TestPostgres::twoProgramsSeeEachOthersChanges() {
    TestAppDir dir;
    const qint64 key = dir.addEmployee("Ann", "B", "Cole", "", "A1");
    data::Connection first;
    data::Connection second;
    first.open();
    second.open();
    QCOMPARE(lastNames(first), QStringList{"Cole"});
    second.execute(
        "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
        "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)",
        {"Bo", "C", "adams", "", "B2"});
    QCOMPARE(lastNames(first), QStringList({"adams", "Cole"}));

    second.execute("Delete * From EmployeeTable where EmployeeId = ?", {key});
    data::Command command;
    command.setActiveConnection(&first);
    QVERIFY_THROWS_EXCEPTION(AppError, employees::updateEmployee(command, QString::number(key),
                                                                 {"Ann", "B", "Cole", "Boss", "A1"}));
    QCOMPARE(lastNames(first), QStringList{"adams"});
}

// The server ends this program's session (a restart, an administrator, a network cut look the same).
void TestPostgres::lostConnectionIsReportedAndNextOperationReconnects() {
    TestAppDir dir;
    data::Connection connection;
    connection.open();
    TestAppDir::serverExec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backendPid(connection)));
    const QString said =
        errorOf([&] { connection.execute("Delete * From EmployeeTable where EmployeeId = 1"); });
    QVERIFY2(said.contains(dir.databaseLocation()) && (said.contains("terminat") || said.contains("closed")),
             qPrintable(said));
    connection.open();
    QCOMPARE(connection.execute("Delete * From EmployeeTable where EmployeeId = 1"), 0);
}

// The first of them also finds no tables: the others wait for it instead of failing.
void TestPostgres::fourCompanionsAddAtOnce() {
    TestAppDir dir;
    std::vector<std::unique_ptr<QProcess>> companions;
    for (int p = 0; p < 4; ++p) {
        QString lines;
        for (int i = 0; i < 250; ++i)
            lines += QStringLiteral("First%1\tM\tLast%1-%2\tClerk\tC%1-%2\n").arg(p).arg(i);
        const QString file = writeTestFile(dir.file(QStringLiteral("batch%1.txt").arg(p)), lines.toUtf8());
        companions.push_back(std::make_unique<QProcess>());
        startCompanion(*companions.back(), dir.path(), {"add", "--from", file});
    }
    QSet<qint64> keys;
    for (auto& companion : companions) {
        const CompanionRun run = finishCompanion(*companion, 300000);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        for (const QString& key : run.lines())
            keys.insert(key.toLongLong());
    }
    QCOMPARE(keys.size(), 1000);
    QCOMPARE(dir.count("EmployeeTable"), 1000);
}

// From a Pellorin.db beside the program onto the server: keys kept, the next key after the highest,
// nothing at all when one row cannot go across, and no second copy over the first.
void TestPostgres::embeddedDatabaseIsCopiedWhole() {
    TestAppDir target;
    const QString server = qEnvironmentVariable("PELLORIN_DATABASE");
    QTemporaryDir embedded;
    // An empty PELLORIN_DATABASE leaves the companion on the embedded database of its folder.
    const auto onEmbedded = [&](const QStringList& args) {
        return runCompanion(embedded.path(), args, {"PELLORIN_DATABASE="});
    };
    {
        qunsetenv("PELLORIN_DATABASE");
        AppFacts::setApplicationDirectory(embedded.path());
        data::Connection sqlite;
        sqlite.open();
        for (const char* last : {"Cole", "gone", "Dee"})
            sqlite.execute(
                "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName) "
                "VALUES ('a', 'b', ?)",
                {QString::fromLatin1(last)});
        sqlite.execute("Delete * From EmployeeTable where EmployeeId = 2");
        sqlite.execute("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES (?, ?)",
                       {"A1", QByteArray("\0\x01\xff photo", 9)});
        sqlite.execute(
            "INSERT INTO Resources (DocumentName, DocuemntVersion, DocumentDate, Document, ObjectIndex) "
            "VALUES ('Plan', 2, ?, ?, 1)",
            {QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)), QByteArray(100000, 'd')});
        // SQLite keeps what it is given; the server refuses text as a version number.
        sqlite.execute(
            "INSERT INTO Attachments (EmployeeIdentification, AttachmentVersion) VALUES ('X', 'two')");
    }
    CompanionRun run = onEmbedded({"copy-database", "--to", server});
    QVERIFY(run.status != 0);
    QVERIFY2(run.err.contains("Nothing was copied") && run.err.contains("Attachments"), qPrintable(run.err));
    qputenv("PELLORIN_DATABASE", server.toUtf8());
    QCOMPARE(target.count("EmployeeTable"), 0);

    QCOMPARE(onEmbedded({"sql", "Delete * From Attachments where AttachmentVersion = 'two'"}).status, 0);
    run = onEmbedded({"copy-database", "--to", server});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    data::Connection copied;
    copied.open();
    data::Recordset rs;
    rs.open("SELECT * FROM EmployeeTable ORDER BY EmployeeId", copied);
    QStringList rows;
    for (; !rs.eof(); rs.moveNext())
        rows << rs.text("EmployeeId") + u':' + rs.text("EmployeeLastName");
    QCOMPARE(rows, QStringList({"1:Cole", "3:Dee"}));
    QCOMPARE(target.addEmployee("n", "e", "w", "", ""), 4);
    data::Recordset photo;
    photo.open("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)", copied, {"A1"});
    QCOMPARE(photo.getChunk("Attachments"), QByteArray("\0\x01\xff photo", 9));
    data::Recordset document;
    document.open("select * from Resources", copied);
    QCOMPARE(document.field("DocumentDate").toDateTime(), QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    QCOMPARE(document.actualSize("Document"), 100000);
    QCOMPARE(target.count("ObjectTbl"), 1);

    run = onEmbedded({"copy-database", "--to", server});
    QVERIFY(run.status != 0);
    QVERIFY2(run.err.contains("already holds"), qPrintable(run.err));
}

// The server the program is set to use receives the Access file's rows, and no file is made beside the
// program; a server database that holds rows already is never imported over.
void TestPostgres::accessFileIsImportedOntoTheServer() {
    REQUIRE_FIXTURES();
    TestAppDir dir;
    CompanionRun run = runCompanion(dir.path(), {"import-mdb", mdbfixtures::sample()});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(dir.count("EmployeeTable"), 6);
    QCOMPARE(dir.count("Attachments"), 5);
    QVERIFY(!QFileInfo::exists(dir.file("Pellorin.db")));

    dir.exec("DELETE FROM Attachments");
    run = runCompanion(dir.path(), {"import-mdb", mdbfixtures::sample()});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("already holds data"), qPrintable(run.err));
    QCOMPARE(dir.count("Attachments"), 0);
}

QTEST_GUILESS_MAIN(TestPostgres)
#include "tst_postgres.moc"
