// The statements the program issues, and the Access ones that show each Jet rule, are translated and run
// on SQLite; what they return or change is compared with what Access did.

#include "data/jetdialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using data::Backend;
using data::translateJet;

Q_DECLARE_METATYPE(data::Backend)

class JetDialectTest : public QObject {
    Q_OBJECT

    QSqlDatabase db;

private slots:
    void init();
    void rewritesJetOnlyConstructs_data();
    void rewritesJetOnlyConstructs();
    void collationGoesWhereTextIsComparedOrSorted_data();
    void collationGoesWhereTextIsComparedOrSorted();
    void statementsDoWhatTheyDidInAccess();
    void describesStatements_data();
    void describesStatements();
};

// Every test starts from a fresh in-memory database, so statements that delete rows cannot leak into the
// next row of a table-driven test.
void JetDialectTest::init() {
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_jetdialect"));
    db.close();
    db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    const QStringList setup{
        QStringLiteral(
            "CREATE TABLE EmployeeTable (EmployeeId INTEGER PRIMARY KEY AUTOINCREMENT, EmployeeFirstName "
            "TEXT, EmployeeMiddleName TEXT, EmployeeLastName TEXT, Title TEXT, EmployeeIdentification TEXT)"),
        QStringLiteral("CREATE TABLE Attachments (AttachmentsId INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "EmployeeIdentification TEXT, Attachments BLOB)"),
        QStringLiteral("CREATE TABLE ObjectTbl (ObjectId INTEGER PRIMARY KEY, ObjectIndex INTEGER, "
                       "ObjectParentIndex INTEGER, ObjectType TEXT, ObjectText TEXT)"),
        QStringLiteral(
            "INSERT INTO EmployeeTable VALUES (1, 'Anna', 'Maria', 'Zeller', 'Clerk', 'A100'), "
            "(2, 'Bert', 'Otto', 'Adams', 'Driver', 'B200'), (3, 'Carl', 'Jon', 'Meyer', 'Manager', "
            "'C300'), (4, 'Dora', 'Eve', 'Brandt', 'Clerk', 'A100'), (5, 'Emil', 'Paul', 'Kraus', "
            "'Guard', 'E500')"),
        QStringLiteral("INSERT INTO Attachments VALUES (1, 'A100', X'FFD8'), (2, 'B200', X'FFD8')"),
        // Folder 1 is the hidden root. The others are stored out of order so that both sort keys show.
        QStringLiteral("INSERT INTO ObjectTbl VALUES (1, 0, 0, 'Root', 'Root'), (3, 5, 1, 'Library', 'Lib'), "
                       "(7, 2, 9, 'Catagory', 'Cat'), (8, 2, 7, 'Folder', 'Sub')"),
    };
    for (const QString& sql : setup) {
        QSqlQuery query(db);
        QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
    }
}

// Rules whose effect on SQLite a result cannot show, and the PostgreSQL spelling.
void JetDialectTest::rewritesJetOnlyConstructs_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("expected");

    QTest::newRow("brackets, True and False on SQLite")
        << "UPDATE [t] SET a = True WHERE b = false" << Backend::SQLite << "UPDATE [t] SET a = 1 WHERE b = 0";
    // Bracketed names fold the way PostgreSQL folds bare ones, so [Resources] and Resources stay one table.
    QTest::newRow("brackets on PostgreSQL")
        << "select * from [Resources] ORDER BY Resources.DocumentName" << Backend::PostgreSQL
        << "select * from \"resources\" ORDER BY Resources.DocumentName NULLS FIRST";
    // Access puts Null first going up and last going down; so does the dialect on PostgreSQL.
    QTest::newRow("Null order on PostgreSQL")
        << "SELECT a FROM (SELECT b FROM t ORDER BY b DESC) Order by Max(a, c) ASC, d;" << Backend::PostgreSQL
        << "SELECT a FROM (SELECT b FROM t ORDER BY b DESC NULLS LAST) Order by Max(a, c) ASC NULLS FIRST, d "
           "NULLS FIRST;";
    // LIKE is refused on the case-insensitive columns; ILIKE on the plain ICU order ignores case as Jet did.
    QTest::newRow("LIKE on PostgreSQL")
        << "SELECT * FROM t WHERE a LIKE 'x%' AND t.b NOT LIKE ?" << Backend::PostgreSQL
        << "SELECT * FROM t WHERE a COLLATE \"und-x-icu\" ILIKE 'x%' AND t.b "
           "COLLATE \"und-x-icu\" NOT ILIKE ?";
    QTest::newRow("rules on PostgreSQL")
        << "DELETE * FROM [Employee Table] WHERE a = True AND b = \"Root\"" << Backend::PostgreSQL
        << "DELETE FROM \"employee table\" WHERE a = TRUE AND b = 'Root'";
}

void JetDialectTest::rewritesJetOnlyConstructs() {
    QFETCH(QString, jet);
    QFETCH(Backend, backend);
    QFETCH(QString, expected);
    QCOMPARE(translateJet(jet, backend), expected);
}

// Every statement must stay valid SQL: the result is also prepared on SQLite with RTRIM standing in.
void JetDialectTest::collationGoesWhereTextIsComparedOrSorted_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("list order") << "SELECT * From EmployeeTable Order by EmployeeLastName DESC"
                                << "SELECT * From EmployeeTable Order by EmployeeLastName COLLATE RTRIM DESC";
    QTest::newRow("several terms, column number, own collation")
        << "SELECT * FROM ObjectTbl ORDER BY ObjectTbl.ObjectText, 2, ObjectType COLLATE BINARY LIMIT 3"
        << "SELECT * FROM ObjectTbl ORDER BY ObjectTbl.ObjectText COLLATE RTRIM, 2, ObjectType COLLATE "
           "BINARY LIMIT 3";
    QTest::newRow("photograph lookup") << "SELECT * FROM Attachments WHERE (EmployeeIdentification=?)"
                                       << "SELECT * FROM Attachments WHERE (EmployeeIdentification COLLATE "
                                          "RTRIM=?)";
    QTest::newRow("value on the left, <>, IN, NOT BETWEEN")
        << "SELECT * FROM ObjectTbl WHERE 'Root' <> ObjectType AND ObjectText NOT IN ('a') AND ObjectText "
           "NOT BETWEEN 'a' AND 'b'"
        << "SELECT * FROM ObjectTbl WHERE 'Root' <> ObjectType COLLATE RTRIM AND ObjectText COLLATE RTRIM "
           "NOT IN ('a') AND ObjectText COLLATE RTRIM NOT BETWEEN 'a' AND 'b'";
    QTest::newRow("SET targets stay bare")
        << "UPDATE EmployeeTable SET Title = ?, EmployeeLastName = (Title = 'x') WHERE EmployeeId= ?"
        << "UPDATE EmployeeTable SET Title = ?, EmployeeLastName = (Title COLLATE RTRIM = 'x') WHERE "
           "EmployeeId COLLATE RTRIM= ?";
    QTest::newRow("subquery order and text") << "SELECT * FROM (SELECT * FROM ObjectTbl ORDER BY ObjectText) "
                                                "WHERE ObjectText = 'it''s = ORDER BY x'"
                                             << "SELECT * FROM (SELECT * FROM ObjectTbl ORDER BY ObjectText "
                                                "COLLATE RTRIM) WHERE ObjectText COLLATE RTRIM = 'it''s = "
                                                "ORDER BY x'";
    QTest::newRow("whole numbers keep their index")
        << "SELECT * FROM ObjectTbl WHERE ObjectTbl.ObjectIndex = ? AND ? <> [ObjectIndex]"
        << "SELECT * FROM ObjectTbl WHERE ObjectTbl.ObjectIndex = ? AND ? <> [ObjectIndex]";
    QTest::newRow("not a query") << QString("PRAGMA user_version = 1") << "PRAGMA user_version = 1";
}

void JetDialectTest::collationGoesWhereTextIsComparedOrSorted() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    const QString result = data::withCollation(sql, QStringLiteral("RTRIM"), {QStringLiteral("ObjectIndex")});
    QCOMPARE(result, expected);
    if (!result.startsWith(QLatin1String("PRAGMA"))) {
        QSqlQuery query(db);
        QVERIFY2(query.prepare(result), qPrintable(query.lastError().text()));
    }
}

// Plain statements are run on every backend by tst_statements; here what only Jet's rules show.
void JetDialectTest::statementsDoWhatTheyDidInAccess() {
    // Jet has no comments and no escapes inside its literals.
    QSqlQuery query(db);
    QVERIFY(query.exec(
        translateJet("SELECT 5--3, \"O'Brien said \"\"hi\"\"\", 'Delete * From \"x\" [y] True -- ''z'''")));
    QVERIFY(query.next());
    QCOMPARE(QStringList({query.value(0).toString(), query.value(1).toString(), query.value(2).toString()}),
             QStringList({"8", "O'Brien said \"hi\"", "Delete * From \"x\" [y] True -- 'z'"}));
    // Only a qualifier that starts a SET target goes; text that merely looks like one stays.
    QVERIFY(query.exec(translateJet(
        "UPDATE EmployeeTable SET EmployeeTable.Title = 'EmployeeTable.Title, x', "
        "[EmployeeTable].[EmployeeLastName] = Replace(EmployeeTable.Title, 'Guard', 'Krause') WHERE "
        "(EmployeeTable.EmployeeId= 5);")));
    QCOMPARE(query.numRowsAffected(), 1);
    // Checked with plain SQL, past the translation under test.
    QVERIFY(
        query.exec(
            "SELECT group_concat(EmployeeFirstName || ' ' || EmployeeMiddleName || ' ' || EmployeeLastName "
            "|| ' ' || Title || ' ' || EmployeeIdentification, ', ') FROM (SELECT * FROM EmployeeTable "
            "WHERE EmployeeId >= 4 ORDER BY EmployeeId)") &&
        query.next());
    QCOMPARE(query.value(0).toString(),
             QStringLiteral("Dora Eve Brandt Clerk A100, Emil Paul Krause EmployeeTable.Title, x E500"));
}

void JetDialectTest::describesStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("rowReturning");

    QTest::newRow("employee update") << QString("UPDATE EmployeeTable SET EmployeeTable.Title = ? WHERE "
                                                "(EmployeeTable.EmployeeId= ?);")
                                     << "EmployeeTable" << false;
    QTest::newRow("bracketed name with a blank")
        << QString("INSERT INTO [Employee Table] (a) VALUES (1)") << "Employee Table" << false;
    QTest::newRow("parenthesised select") << QString("  ( SELECT * FROM Resources)") << "Resources" << true;
    QTest::newRow("derived table") << QString("SELECT * FROM (SELECT * FROM \"Resources\")") << "Resources"
                                   << true;
    QTest::newRow("schema-qualified name")
        << QString("SELECT * FROM main.[Resources]") << "Resources" << true;
    QTest::newRow("FROM inside text") << "SELECT 'a FROM b' AS c" << QString() << true;
    QTest::newRow("pragma") << "PRAGMA table_info(Resources)" << QString() << true;
    QTest::newRow("empty") << QString() << QString() << false;
}

void JetDialectTest::describesStatements() {
    QFETCH(QString, sql);
    QFETCH(QString, table);
    QFETCH(bool, rowReturning);
    QCOMPARE(data::statementTable(sql), table);
    QCOMPARE(data::isRowReturning(sql), rowReturning);
}

QTEST_GUILESS_MAIN(JetDialectTest)
#include "tst_jetdialect.moc"
