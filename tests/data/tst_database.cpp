// The data layer: first start, record sets, long values, bound values and the messages of a database
// that cannot be opened. Text equality and order are checked in tst_statements.
#include "../support/errorof.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connection.h"
#include "data/recordset.h"

#include <QFile>
#include <QtTest>

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void firstStartMakesTheFile();
    void nullAndWhatIsNotThereAreToldApart();
    void addedRowKeepsItsLongValue();
    void hostileTextRoundTrips_data();
    void hostileTextRoundTrips();
    void unopenableDatabaseNamesFileAndCause();
    void readingGoesOnAcrossOtherStatementsAndConnections();
};

// Every table, keys from 1 and the library's hidden root folder on a first start are what tst_statements
// relies on, on both backends; here the file itself.
void TestDatabase::firstStartMakesTheFile() {
    TestAppDir dir;
    QVERIFY(!QFile::exists(dir.file("Pellorin.db")));
    QCOMPARE(dir.count("ObjectTbl"), 1);
    QCOMPARE(QFile::exists(dir.file("Pellorin.db")), !TestAppDir::onPostgres()); // in WAL: tst_databasefile
}

void TestDatabase::nullAndWhatIsNotThereAreToldApart() {
    TestAppDir dir;
    dir.addEmployee({"Ann", QVariant(), "Lee", "", QVariant()});
    data::Connection c;
    c.open();
    data::Recordset rs;
    rs.open("select * from EmployeeTable", c);
    QVERIFY(rs.isNull("EmployeeMiddleName"));
    QVERIFY(!rs.isNull("Title"));
    QCOMPARE(rs.text("Title"), QString());
    QVERIFY(rs.isNull("employeeidentification")); // field names ignore letter case
    QVERIFY_THROWS_EXCEPTION(AppError, rs.field("NoSuchColumn"));
    // No row: nothing to read, and reading anyway is refused instead of giving garbage.
    data::Recordset none;
    none.open("SELECT * FROM EmployeeTable WHERE EmployeeId = ?", c, {99});
    QVERIFY(none.eof() && none.recordCount() == 0);
    QVERIFY_THROWS_EXCEPTION(AppError, none.field("EmployeeId"));
    const QString error = errorOf([&] { c.execute("Delete * From NoSuchTable where EmployeeId = 5"); });
    QVERIFY2(error.contains("NoSuchTable") && error.contains(dir.databaseLocation()), qPrintable(error));
}

void TestDatabase::addedRowKeepsItsLongValue() {
    TestAppDir dir;
    QByteArray bytes(3 * 1024 * 1024 + 7, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 131) ^ (i >> 7));
    data::Connection c;
    c.open();
    data::Recordset rs;
    rs.open("select * from Attachments", c);
    rs.addNew();
    rs.setField("EmployeeIdentification", "B7");
    rs.appendChunk("Attachments", bytes);
    QCOMPARE(rs.update().toLongLong(), 1);
    QCOMPARE(rs.recordCount(), 1);
    data::Recordset photo;
    photo.open("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)", c, {"B7"});
    QVERIFY(!photo.eof());
    QCOMPARE(photo.actualSize("Attachments"), bytes.size());
    QCOMPARE(photo.getChunk("Attachments"), bytes);
    data::Recordset bad;
    bad.open("select 1", c);
    QVERIFY_THROWS_EXCEPTION(AppError, bad.addNew());
}

void TestDatabase::hostileTextRoundTrips_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("quotes") << QStringLiteral("\"Bob\" 'the' ''builder''");
    QTest::newRow("injection") << QStringLiteral("x'); DROP TABLE EmployeeTable; --");
    QTest::newRow("comment") << QStringLiteral("-- not a comment /* nor this */");
    QTest::newRow("unicode") << QString::fromUtf8("Zoë Łukasz 山田 🙂");
    QTest::newRow("4 KB") << QString(4096, QChar('W'));
    QTest::newRow("brackets") << QStringLiteral("[EmployeeTable] ? ?");
}

void TestDatabase::hostileTextRoundTrips() {
    QFETCH(QString, text);
    TestAppDir dir;
    data::Connection c;
    c.open();
    c.execute("INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title,  "
              "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)",
              {text, text, text, text, text});
    data::Recordset rs;
    rs.open("SELECT * FROM EmployeeTable WHERE (EmployeeIdentification=?)", c, {text});
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text("EmployeeFirstName"), text);
    QCOMPARE(rs.text("EmployeeIdentification"), text);
    // Every placeholder must stay where it was through the translation of updates and deletes too.
    const QString updated = text + QStringLiteral(" 2");
    QCOMPARE(c.execute("UPDATE EmployeeTable SET EmployeeTable.Title = ? WHERE "
                       "(EmployeeTable.EmployeeIdentification= ?);",
                       {updated, text}),
             1);
    data::Recordset after;
    after.open("SELECT * FROM EmployeeTable WHERE (EmployeeIdentification=?)", c, {text});
    QCOMPARE(after.text("Title"), updated);
    QCOMPARE(c.execute("Delete * From EmployeeTable where EmployeeIdentification = ?", {text}), 1);
    QCOMPARE(dir.count("EmployeeTable"), 0);
}

void TestDatabase::unopenableDatabaseNamesFileAndCause() {
    TestAppDir dir;
    if (TestAppDir::onPostgres()) {
        // Nothing listens on port 1; the message names the server and what libpq said.
        data::Connection c;
        const QString error =
            errorOf([&] { c.open("Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=nowhere;User ID=x;"); });
        QVERIFY2(error.contains("nowhere on the server 127.0.0.1:1") && error.contains("refused"),
                 qPrintable(error));
        QVERIFY(!c.isOpen());
        return;
    }
    QVERIFY(!writeTestFile(dir.file("Pellorin.db"), QByteArray(4096, 'z')).isEmpty());
    data::Connection c;
    const QString error = errorOf([&] { c.open(); });
    QVERIFY2(error.contains(dir.file("Pellorin.db")) && error.contains("not a database"), qPrintable(error));
    QVERIFY(!c.isOpen());

    AppFacts::setApplicationDirectory(dir.file("missing/folder"));
    const QString missing = errorOf([&] { c.open(); });
    QVERIFY2(missing.contains("does not exist"), qPrintable(missing));
}

// A window reads a record set while it runs other statements on the same connection (counts, photo
// lookups, nested folders); no row of the first may get lost. A second connection is not disturbed.
void TestDatabase::readingGoesOnAcrossOtherStatementsAndConnections() {
    TestAppDir dir;
    for (int i = 0; i < 5; ++i)
        dir.addEmployee("a", "b", QString::number(i), "", QStringLiteral("C%1").arg(i));
    data::Connection c;
    c.open();
    data::Recordset rs;
    rs.open("SELECT * From EmployeeTable Order by EmployeeLastName ASC", c);
    QStringList read;
    for (; !rs.eof(); rs.moveNext()) {
        read << rs.text("EmployeeLastName");
        data::Recordset inner;
        inner.open("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)", c,
                   {rs.text("EmployeeIdentification")});
        QVERIFY(inner.eof());
        c.execute("UPDATE EmployeeTable SET EmployeeTable.Title = ? WHERE (EmployeeTable.EmployeeId= ?);",
                  {"seen", rs.field("EmployeeId")});
        QCOMPARE(rs.recordCount(), 5);
    }
    QCOMPARE(read, QStringList({"0", "1", "2", "3", "4"}));
    data::Connection other;
    other.open();
    data::Recordset b;
    b.open("select * from EmployeeTable", other);
    rs.close();
    c.close();
    QVERIFY(!b.eof());
    QCOMPARE(b.text("Title"), QStringLiteral("seen"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
