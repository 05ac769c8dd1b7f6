// The data layer on the embedded database: first start, record sets, long values, text order, bound
// values and the messages of a database that cannot be opened.
#include "../support/testappdir.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/clsdatabaseconnection.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/recordset.h"

#include <QFile>
#include <QSqlQuery>
#include <QtTest>

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void firstStartCreatesEveryTable();
    void connectionStringFollowsTheApplicationDirectory();
    void recordCountIsKnownBeforeReading();
    void nullIsToldApartFromEmptyText();
    void addingARowReadsNoRows();
    void longBinaryValuesRoundTrip();
    void textSortsWithoutRegardToCaseOrAccents();
    void textEqualityIgnoresCaseButNotAccents();
    void hostileTextRoundTrips_data();
    void hostileTextRoundTrips();
    void unopenableDatabaseNamesFileAndCause();
    void badStatementNamesStatement();
    void twoConnectionsAreIndependent();
    void readingGoesOnAcrossOtherStatements();
};

void TestDatabase::firstStartCreatesEveryTable() {
    TestAppDir dir;
    QVERIFY(!QFile::exists(dir.file("Pellorin.db")));
    for (const char* table : {"EmployeeTable", "Attachments", "ObjectTbl", "Resources", "ReferenceInfo"})
        QCOMPARE(dir.count(QString::fromLatin1(table)) >= 0, true);
    QCOMPARE(QFile::exists(dir.file("Pellorin.db")), !TestAppDir::onPostgres());
    // Autonumber keys start at 1 and grow.
    QCOMPARE(dir.addEmployee("a", "b", "c", "", ""), 1);
    QCOMPARE(dir.addEmployee("d", "e", "f", "", ""), 2);
    // The library's hidden root folder is there from the start.
    QCOMPARE(dir.count("ObjectTbl"), 1);
    if (TestAppDir::onPostgres())
        return;
    data::Connection c;
    c.open();
    QSqlQuery q(c.database());
    QVERIFY(q.exec("PRAGMA journal_mode"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
}

void TestDatabase::connectionStringFollowsTheApplicationDirectory() {
    TestAppDir dir;
    const QByteArray server = qgetenv("PELLORIN_DATABASE");
    qunsetenv("PELLORIN_DATABASE");
    const auto restore = qScopeGuard([&] {
        if (!server.isEmpty())
            qputenv("PELLORIN_DATABASE", server);
    });
    QCOMPARE(data::connectionString(),
             QStringLiteral("Provider=SQLite;Data Source=%1/Pellorin.db;").arg(dir.path()));
    const auto settings = data::parseConnectionString(data::connectionString());
    QCOMPARE(settings.provider, QStringLiteral("SQLite"));
    QCOMPARE(settings.dataSource, dir.file("Pellorin.db"));
    QVERIFY_THROWS_EXCEPTION(AppError, data::parseConnectionString("Data Source=x;"));
}

void TestDatabase::recordCountIsKnownBeforeReading() {
    TestAppDir dir;
    for (int i = 0; i < 3; ++i)
        dir.addEmployee("a", "b", QString::number(i), "", "");
    CLsDataBaseConnection db;
    auto rs = db.CreateRecordset("select * from EmployeeTable");
    QCOMPARE(rs->recordCount(), 3);
    int read = 0;
    while (!rs->eof()) {
        ++read;
        rs->moveNext();
    }
    QCOMPARE(read, 3);
    rs->close();
    db.DbClose();

    auto none = db.CreateRecordset("SELECT * FROM EmployeeTable WHERE EmployeeId = ?", {99});
    QCOMPARE(none->recordCount(), 0);
    QVERIFY(none->eof());
    QVERIFY_THROWS_EXCEPTION(AppError, none->field("EmployeeId"));
}

void TestDatabase::nullIsToldApartFromEmptyText() {
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
}

void TestDatabase::addingARowReadsNoRows() {
    TestAppDir dir;
    // A row whose value cannot be read as a photo: if add-new read rows, the statement would still
    // pass, so watch the statement instead: it must not have stepped.
    data::Connection c;
    c.open();
    data::Recordset rs;
    rs.open("select * from Attachments", c);
    rs.addNew();
    rs.setField("EmployeeIdentification", "A100");
    rs.appendChunk("Attachments", QByteArray(10, 'x'));
    const QVariant key = rs.update();
    QCOMPARE(key.toLongLong(), 1);
    QCOMPARE(rs.recordCount(), 1);
    // Adding through a statement that names no table is refused.
    data::Recordset bad;
    bad.open("select 1", c);
    QVERIFY_THROWS_EXCEPTION(AppError, bad.addNew());
}

void TestDatabase::longBinaryValuesRoundTrip() {
    TestAppDir dir;
    QByteArray bytes(3 * 1024 * 1024 + 7, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 131) ^ (i >> 7));
    data::Connection c;
    c.open();
    {
        data::Recordset rs;
        rs.open("select * from Attachments", c);
        rs.addNew();
        rs.setField("EmployeeIdentification", "B7");
        rs.appendChunk("Attachments", bytes);
        rs.update();
    }
    data::Recordset rs;
    rs.open("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)", c, {"B7"});
    QVERIFY(!rs.eof());
    QCOMPARE(rs.actualSize("Attachments"), bytes.size());
    QCOMPARE(rs.getChunk("Attachments"), bytes);
}

void TestDatabase::textSortsWithoutRegardToCaseOrAccents() {
    TestAppDir dir;
    for (const char* last : {"smith", "Zeta", "Émile", "Smith", "adams", "Eve", "Fox"})
        dir.addEmployee("a", "b", QString::fromUtf8(last), "", "");
    data::Connection c;
    c.open();
    data::Recordset rs;
    rs.open("SELECT * From EmployeeTable Order by EmployeeLastName ASC", c);
    QStringList order;
    while (!rs.eof()) {
        order << rs.text("EmployeeLastName");
        rs.moveNext();
    }
    // "Émile" sorts among the E words, before "Eve", not after "Zeta".
    QCOMPARE(order.mid(0, 4), QStringList({"adams", QString::fromUtf8("Émile"), "Eve", "Fox"}));
    QVERIFY(order.at(4).compare("smith", Qt::CaseInsensitive) == 0);
    QVERIFY(order.at(5).compare("smith", Qt::CaseInsensitive) == 0);
    QCOMPARE(order.at(6), QStringLiteral("Zeta"));
}

void TestDatabase::textEqualityIgnoresCaseButNotAccents() {
    TestAppDir dir;
    dir.addEmployee("a", "b", "c", "", "C300");
    dir.addEmployee("a", "b", "c", "", QString::fromUtf8("É1"));
    data::Connection c;
    c.open();
    data::Recordset rs;
    rs.open("SELECT * FROM EmployeeTable WHERE (EmployeeIdentification=?)", c, {"c300"});
    QCOMPARE(rs.recordCount(), 1);
    data::Recordset accent;
    accent.open("SELECT * FROM EmployeeTable WHERE (EmployeeIdentification=?)", c, {"E1"});
    QCOMPARE(accent.recordCount(), 0);
    data::Recordset accentCase;
    accentCase.open("SELECT * FROM EmployeeTable WHERE (EmployeeIdentification=?)", c,
                    {QString::fromUtf8("é1")});
    QCOMPARE(accentCase.recordCount(), 1);
}

void TestDatabase::hostileTextRoundTrips_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophe") << QStringLiteral("O'Brien");
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
    QCOMPARE(dir.count("EmployeeTable"), 1);
}

void TestDatabase::unopenableDatabaseNamesFileAndCause() {
    const QByteArray content(4096, 'z');
    const QString cause = QStringLiteral("not a database");
    TestAppDir dir;
    if (TestAppDir::onPostgres()) {
        // Nothing listens on port 1; the message names the server and what libpq said.
        data::Connection c;
        try {
            c.open("Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=nowhere;User ID=x;");
            QFAIL("connected to a server that is not there");
        } catch (const AppError& error) {
            QVERIFY2(error.description().contains("nowhere on the server 127.0.0.1:1"),
                     qPrintable(error.description()));
            QVERIFY2(error.description().contains("refused"), qPrintable(error.description()));
        }
        QVERIFY(!c.isOpen());
        return;
    }
    QFile file(dir.file("Pellorin.db"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    data::Connection c;
    try {
        c.open();
        QFAIL("opened a file that is not a database");
    } catch (const AppError& error) {
        QVERIFY2(error.description().contains(dir.file("Pellorin.db")), qPrintable(error.description()));
        QVERIFY2(error.description().contains(cause), qPrintable(error.description()));
    }
    QVERIFY(!c.isOpen());

    AppFacts::setApplicationDirectory(dir.file("missing/folder"));
    try {
        c.open();
        QFAIL("opened a database in a missing folder");
    } catch (const AppError& error) {
        QVERIFY2(error.description().contains("does not exist"), qPrintable(error.description()));
    }
}

void TestDatabase::badStatementNamesStatement() {
    TestAppDir dir;
    data::Connection c;
    c.open();
    try {
        c.execute("Delete * From NoSuchTable where EmployeeId = 5");
        QFAIL("ran a statement on a missing table");
    } catch (const AppError& error) {
        QVERIFY(error.description().contains("NoSuchTable"));
        QVERIFY2(error.description().contains(dir.databaseLocation()), qPrintable(error.description()));
    }
}

void TestDatabase::twoConnectionsAreIndependent() {
    TestAppDir dir;
    dir.addEmployee("a", "b", "c", "", "");
    data::Connection one;
    data::Connection two;
    one.open();
    two.open();
    data::Recordset a;
    data::Recordset b;
    a.open("select * from EmployeeTable", one);
    b.open("select * from EmployeeTable", two);
    QVERIFY(!a.eof());
    a.close();
    one.close();
    QVERIFY(!b.eof());
    QCOMPARE(b.text("EmployeeFirstName"), QStringLiteral("a"));
}

// A window reads a record set while it runs other statements on the same connection (counts, photo
// lookups, nested folders); no row of the first may get lost.
void TestDatabase::readingGoesOnAcrossOtherStatements() {
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
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
