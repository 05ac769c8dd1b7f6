// The database file: readable by the plain sqlite3 shell, migrated once, readable read-only (beside a
// writer in tst_cli_scripts).
#include "../support/errorof.h"
#include "../support/rawdatabase.h"
#include "../support/readonlypath.h"
#include "../support/testappdir.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "data/schema.h"
#include "data/sqlitefile.h"
#include "data/textcollation.h"

#include <QDir>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The plain shell, with no extension loaded: what backups and recovery rely on.
QString shell(const QString& file, const QString& sql) {
    QProcess process;
    process.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), file, sql});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
}

// A file as the version before schema versions made it: text columns name the program's collation.
void writeVersion0File(const QString& file) {
    RawDatabase db(file, true);
    const char* statements[] = {
        "PRAGMA journal_mode=WAL",
        "CREATE TABLE EmployeeTable (EmployeeId INTEGER PRIMARY KEY AUTOINCREMENT, EmployeeFirstName TEXT "
        "COLLATE PELLORIN_NOCASE, EmployeeMiddleName TEXT COLLATE PELLORIN_NOCASE, EmployeeLastName TEXT "
        "COLLATE PELLORIN_NOCASE, Title TEXT COLLATE PELLORIN_NOCASE, EmployeeIdentification TEXT COLLATE "
        "PELLORIN_NOCASE)",
        "CREATE INDEX EmployeeLastNameIndex ON EmployeeTable (EmployeeLastName)",
        "CREATE TABLE Attachments (AttachmentsId INTEGER PRIMARY KEY AUTOINCREMENT, EmployeeIdentification "
        "TEXT COLLATE PELLORIN_NOCASE, Attachments BLOB, AttachmentsName TEXT COLLATE PELLORIN_NOCASE, "
        "AttachmentVersion INTEGER, AttachmentDescription TEXT COLLATE PELLORIN_NOCASE, "
        "PersonalInformationId TEXT COLLATE PELLORIN_NOCASE)",
        "CREATE INDEX AttachmentsEmployeeIndex ON Attachments (EmployeeIdentification)",
        "CREATE TABLE ObjectTbl (ObjectId INTEGER PRIMARY KEY AUTOINCREMENT, ObjectIndex INTEGER, "
        "ObjectParentIndex INTEGER, ObjectType TEXT COLLATE PELLORIN_NOCASE, ObjectText TEXT COLLATE "
        "PELLORIN_NOCASE)",
        "CREATE TABLE Resources (DocumentId INTEGER PRIMARY KEY AUTOINCREMENT, DocumentName TEXT COLLATE "
        "PELLORIN_NOCASE, DocuemntVersion INTEGER, DocumentDate DATETIME, Document BLOB, ObjectIndex "
        "INTEGER)",
        "CREATE TABLE ReferenceInfo (DocumentId INTEGER, PersonalInformationId TEXT COLLATE PELLORIN_NOCASE)",
        "INSERT INTO ObjectTbl (ObjectIndex, ObjectParentIndex, ObjectType, ObjectText) VALUES (0, 0, "
        "'Root', 'Root')",
        "INSERT INTO EmployeeTable VALUES (1, 'a', 'b', 'Zeta', '', 'Z1'), (2, 'a', 'b', 'Émile', '', 'É1'), "
        "(3, 'a', 'b', 'eve', '', 'E3'), (4, 'gone', 'b', 'c', '', '')",
        "DELETE FROM EmployeeTable WHERE EmployeeId = 4",
        "INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES ('Z1', x'FFD8FFD9')",
        // Made by hand with some SQLite tool; it must survive the update.
        "CREATE VIEW Staff AS SELECT EmployeeLastName FROM EmployeeTable",
    };
    for (const char* sql : statements)
        QVERIFY(db.exec(QString::fromUtf8(sql)));
}

QStringList lastNames(data::Connection& c) {
    data::Recordset rs;
    rs.open(QStringLiteral("SELECT * From EmployeeTable Order by EmployeeLastName ASC"), c);
    QStringList names;
    for (; !rs.eof(); rs.moveNext())
        names << rs.text(QStringLiteral("EmployeeLastName"));
    return names;
}

// A copy of the current application directory's database, made through the program's own backup.
QString backupInto(const QTemporaryDir& folder) {
    const QString file = folder.filePath(QStringLiteral("Pellorin.db"));
    data::Connection c;
    c.open();
    data::backupDatabase(c, file);
    return file;
}

} // namespace

class TestDatabaseFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void plainShellReadsAndChecksTheFile();
    void version0FileIsMigratedOnce();
    void readOnlyPlacesAreRead_data();
    void readOnlyPlacesAreRead();
    void schemaVersionIsCheckedAtOpen();
};

void TestDatabaseFile::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        QSKIP("the sqlite3 shell is not installed (scripts/install-deps installs it)");
}

void TestDatabaseFile::plainShellReadsAndChecksTheFile() {
    TestAppDir dir;
    for (const char* last : {"smith", "Zeta", "Émile", "Adams"})
        dir.addEmployee("a", "b", QString::fromUtf8(last), "", "");
    const QString file = dir.file(QStringLiteral("Pellorin.db"));
    QCOMPARE(shell(file, "PRAGMA integrity_check"), QStringLiteral("ok"));
    QCOMPARE(shell(file, "SELECT count(*) FROM EmployeeTable"), QStringLiteral("4"));
    QCOMPARE(shell(file, "PRAGMA user_version"), QString::number(data::SchemaVersion));
    QCOMPARE(shell(file, "PRAGMA journal_mode"), QStringLiteral("wal"));
    // The shell sorts with its own NOCASE; the program keeps accents with their base letter.
    QCOMPARE(shell(file, "SELECT group_concat(EmployeeLastName) FROM (SELECT EmployeeLastName FROM "
                         "EmployeeTable ORDER BY EmployeeLastName)"),
             QString::fromUtf8("Adams,smith,Zeta,Émile"));
    data::Connection c;
    c.open();
    QCOMPARE(lastNames(c), QStringList({"Adams", QString::fromUtf8("Émile"), "smith", "Zeta"}));
}

void TestDatabaseFile::version0FileIsMigratedOnce() {
    TestAppDir dir;
    const QString file = dir.file(QStringLiteral("Pellorin.db"));
    writeVersion0File(file);
    QVERIFY(shell(file, "PRAGMA integrity_check").contains("no such collation"));

    data::Connection c;
    c.open();
    QCOMPARE(shell(file, "PRAGMA integrity_check"), QStringLiteral("ok"));
    QCOMPARE(shell(file, "PRAGMA user_version"), QString::number(data::SchemaVersion));
    QCOMPARE(shell(file, "SELECT count(*) FROM sqlite_master WHERE sql LIKE '%PELLORIN%'"),
             QStringLiteral("0"));
    // The migrated file has the same indexes as a new one.
    QTemporaryDir fresh;
    const QString freshFile = fresh.filePath(QStringLiteral("Pellorin.db"));
    data::Connection().open(QStringLiteral("Provider=SQLite;Data Source=%1;").arg(freshFile));
    const char* indexes =
        "SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name)";
    QCOMPARE(shell(file, indexes), shell(freshFile, indexes));
    QCOMPARE(shell(file, "SELECT count(*) FROM Staff"), QStringLiteral("3"));
    QVERIFY(QDir(dir.path()).entryList({QStringLiteral("*backup*")}).isEmpty());
    // Rows, photographs and the program's text rules survive; a deleted key is not given out again.
    QCOMPARE(lastNames(c), QStringList({QString::fromUtf8("Émile"), "eve", "Zeta"}));
    data::Recordset photo;
    photo.open(QStringLiteral("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)"), c, {"z1"});
    QCOMPARE(photo.getChunk(QStringLiteral("Attachments")), QByteArray::fromHex("FFD8FFD9"));
    data::Recordset byCode;
    byCode.open(QStringLiteral("SELECT * FROM EmployeeTable WHERE EmployeeIdentification = ?"), c,
                {QString::fromUtf8("é1")});
    QCOMPARE(byCode.recordCount(), 1);
    QCOMPARE(dir.addEmployee("n", "e", "w", "", ""), 5);
    QCOMPARE(dir.count(QStringLiteral("ObjectTbl")), 1);
}

void TestDatabaseFile::readOnlyPlacesAreRead_data() {
    QTest::addColumn<bool>("folderToo");
    QTest::newRow("read-only file") << false;
    QTest::newRow("read-only file in a read-only folder") << true;
}

void TestDatabaseFile::readOnlyPlacesAreRead() {
    QFETCH(bool, folderToo);
    TestAppDir source;
    source.addEmployee("Ann", "B", "Lee", "", "A1");
    QTemporaryDir copyDir;
    const QString copy = backupInto(copyDir);
    QVERIFY_THROWS_EXCEPTION(AppError, backupInto(copyDir)); // never overwrites
    QCOMPARE(shell(copy, "PRAGMA journal_mode"), QStringLiteral("delete"));
    QVERIFY(!QFile::exists(copy + "-wal"));

    ReadOnlyPath lockedFile(copy);
    std::optional<ReadOnlyPath> lockedFolder;
    if (folderToo)
        lockedFolder.emplace(copyDir.path());
    if (!lockedFile.done() || (lockedFolder && !lockedFolder->done()))
        QSKIP("this system cannot make a file read-only for the test");
    AppFacts::setApplicationDirectory(copyDir.path());
    data::Connection c;
    c.open();
    QVERIFY(c.isReadOnly());
    QCOMPARE(lastNames(c), QStringList({"Lee"}));
    const QString error = errorOf([&] { c.execute("Delete * From EmployeeTable where EmployeeId = 1"); });
    QVERIFY2(error.contains("readonly"), qPrintable(error));
}

// A change to the schema reaches files made before it (here an index added in version 2); a file of a
// newer version is refused.
void TestDatabaseFile::schemaVersionIsCheckedAtOpen() {
    TestAppDir source;
    QTemporaryDir older;
    QTemporaryDir newer;
    const QString file = backupInto(older);
    {
        RawDatabase old(file);
        QVERIFY(old.exec("DROP INDEX ResourcesNameIndex"));
        QVERIFY(old.exec("PRAGMA user_version = 1"));
    }
    QVERIFY(RawDatabase(backupInto(newer))
                .exec(QStringLiteral("PRAGMA user_version = %1").arg(data::SchemaVersion + 1)));
    AppFacts::setApplicationDirectory(older.path());
    data::Connection c;
    c.open();
    QCOMPARE(shell(file, "PRAGMA user_version"), QString::number(data::SchemaVersion));
    QCOMPARE(shell(file, "SELECT count(*) FROM sqlite_master WHERE name = 'ResourcesNameIndex'"),
             QStringLiteral("1"));
    QVERIFY(QDir(older.path()).entryList({QStringLiteral("*backup*")}).isEmpty());
    AppFacts::setApplicationDirectory(newer.path());
    const QString error = errorOf([] { data::Connection().open(); });
    QVERIFY2(error.contains("newer version"), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestDatabaseFile)
#include "tst_databasefile.moc"
