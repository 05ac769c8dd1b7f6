// The statements below are the ones the program issues, written the way Access accepted them. Each one is
// translated and run on SQLite, and what it returns or changes is compared with what Access did.

#include "data/jetdialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using data::Backend;
using data::translateJet;

Q_DECLARE_METATYPE(data::Backend)

namespace {

const QString kEmployeeInsertBound = QStringLiteral(
    "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title,  "
    "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)");
const QString kEmployeeUpdate = QStringLiteral(
    "UPDATE EmployeeTable SET EmployeeTable.EmployeeFirstName = 'Erik', EmployeeTable.EmployeeMiddleName = "
    "'Paul', EmployeeTable.EmployeeLastName = 'Krause', EmployeeTable.Title = 'Chief Guard', "
    "EmployeeTable.EmployeeIdentification = 'E501' WHERE (EmployeeTable.EmployeeId= 5);");
const QString kEmployeeUpdateBound = QStringLiteral(
    "UPDATE EmployeeTable SET EmployeeTable.EmployeeFirstName = ?, EmployeeTable.EmployeeMiddleName = ?, "
    "EmployeeTable.EmployeeLastName = ?, EmployeeTable.Title = ?, EmployeeTable.EmployeeIdentification = ? "
    "WHERE (EmployeeTable.EmployeeId= ?);");
const QString kAttachmentVersions =
    QStringLiteral("select * from Attachments where AttachmentsName = %1 ORDER BY AttachmentVersion desc");
const QString kDocumentVersions =
    QStringLiteral("select * from Resources where DocumentName = %1 ORDER BY DocuemntVersion desc");

} // namespace

class JetDialectTest : public QObject {
    Q_OBJECT

    QSqlDatabase db;

    QSqlQuery runJet(const QString& jet, const QVariantList& bound = {});
    QString scalar(const QString& sql);
    static QString rowsOf(QSqlQuery& query, const QStringList& columns);

private slots:
    void initTestCase();
    void init();
    void rewritesJetOnlyConstructs_data();
    void rewritesJetOnlyConstructs();
    void selectsReturnTheRowsAccessReturned_data();
    void selectsReturnTheRowsAccessReturned();
    void changesTouchTheRowsAccessTouched_data();
    void changesTouchTheRowsAccessTouched();
    void boundTextComesBackAsItWentIn_data();
    void boundTextComesBackAsItWentIn();
    void describesStatements_data();
    void describesStatements();
};

QSqlQuery JetDialectTest::runJet(const QString& jet, const QVariantList& bound) {
    QSqlQuery query(db);
    if (query.prepare(translateJet(jet))) {
        for (const QVariant& value : bound)
            query.addBindValue(value);
        query.exec();
    }
    return query;
}

QString JetDialectTest::scalar(const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next())
        return QStringLiteral("<failed: %1>").arg(query.lastError().text());
    return query.value(0).toString();
}

// Rows joined by ',' and cells by '|', so one expected string shows both order and content.
QString JetDialectTest::rowsOf(QSqlQuery& query, const QStringList& columns) {
    QStringList rows;
    while (query.next()) {
        QStringList cells;
        for (const QString& column : columns) {
            const QVariant value = query.value(column);
            cells << (value.isNull() ? QStringLiteral("NULL") : value.toString());
        }
        rows << cells.join(u'|');
    }
    return rows.join(u',');
}

void JetDialectTest::initTestCase() {
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_jetdialect"));
    db.setDatabaseName(QStringLiteral(":memory:"));
}

// Every test starts from a fresh in-memory database, so statements that delete rows cannot leak into the
// next row of a table-driven test.
void JetDialectTest::init() {
    db.close();
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    const QStringList setup{
        QStringLiteral(
            "CREATE TABLE EmployeeTable (EmployeeId INTEGER PRIMARY KEY AUTOINCREMENT, EmployeeFirstName "
            "TEXT, EmployeeMiddleName TEXT, EmployeeLastName TEXT, Title TEXT, EmployeeIdentification "
            "TEXT)"),
        QStringLiteral(
            "CREATE TABLE Attachments (AttachmentsId INTEGER PRIMARY KEY AUTOINCREMENT, "
            "EmployeeIdentification TEXT, Attachments BLOB, AttachmentsName TEXT, AttachmentVersion "
            "INTEGER, AttachmentDescription TEXT, PersonalInformationId TEXT)"),
        QStringLiteral(
            "CREATE TABLE ObjectTbl (ObjectId INTEGER PRIMARY KEY AUTOINCREMENT, ObjectIndex INTEGER, "
            "ObjectParentIndex INTEGER, ObjectType TEXT, ObjectText TEXT)"),
        QStringLiteral(
            "CREATE TABLE Resources (DocumentId INTEGER PRIMARY KEY AUTOINCREMENT, DocumentName TEXT, "
            "DocuemntVersion INTEGER, DocumentDate TEXT, Document BLOB, ObjectIndex INTEGER)"),
        QStringLiteral("CREATE TABLE ReferenceInfo (DocumentId INTEGER, PersonalInformationId TEXT)"),
        QStringLiteral(
            "INSERT INTO EmployeeTable VALUES (1, 'Anna', 'Maria', 'Zeller', 'Clerk', 'A100'), "
            "(2, 'Bert', 'Otto', 'Adams', 'Driver', 'B200'), (3, 'Carl', 'Jon', 'Meyer', 'Manager', "
            "'C300'), (4, 'Dora', 'Eve', 'Brandt', 'Clerk', 'A100'), (5, 'Emil', 'Paul', 'Kraus', "
            "'Guard', 'E500')"),
        QStringLiteral(
            "INSERT INTO Attachments VALUES (1, 'A100', X'FFD8', 'report.txt', 1, 'first', 'P1'), "
            "(2, 'B200', X'FFD8', 'report.txt', 2, NULL, 'P1'), (3, 'A100', X'00', 'scan.pdf', 0, NULL, "
            "'P2'), (4, 'C300', X'FFD8', 'report.txt', 3, NULL, NULL)"),
        // Folder 1 is the hidden root. The others are stored out of order so that both sort keys show.
        QStringLiteral("INSERT INTO ObjectTbl VALUES (1, 0, 0, 'Root', 'Root'), (3, 5, 1, 'Library', 'Lib'), "
                       "(7, 2, 9, 'Catagory', 'Cat'), (8, 2, 7, 'Folder', 'Sub')"),
        // Folder 3: budget.xls three times on one date, agenda.doc on two dates, notes.txt twice without a
        // date. Folder 9 holds a fourth budget.xls.
        QStringLiteral(
            "INSERT INTO Resources VALUES (1, 'budget.xls', 1, '2008-01-01', X'01', 3), "
            "(2, 'budget.xls', 2, '2008-01-01', X'02', 3), (3, 'budget.xls', 3, '2008-01-01', X'03', 3), "
            "(4, 'agenda.doc', 1, '2008-02-01', X'04', 3), (5, 'agenda.doc', 2, '2008-03-01', X'05', 3), "
            "(6, 'notes.txt', 1, NULL, X'06', 3), (7, 'notes.txt', 2, NULL, X'07', 3), "
            "(8, 'budget.xls', 4, '2008-04-01', X'08', 9)"),
        QStringLiteral("INSERT INTO ReferenceInfo VALUES (2, 'P1'), (3, 'P1'), (3, 'P2')"),
    };
    for (const QString& sql : setup) {
        QSqlQuery query(db);
        QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
    }
}

void JetDialectTest::rewritesJetOnlyConstructs_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const char* jet, Backend backend, const char* expected) {
        QTest::newRow(name) << QString::fromUtf8(jet) << backend << QString::fromUtf8(expected);
    };
    const Backend lite = Backend::SQLite;

    row("DELETE *", "Delete * From EmployeeTable where EmployeeId = 5", lite,
        "Delete From EmployeeTable where EmployeeId = 5");
    row("DELETE column list", "DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=7));",
        lite, "DELETE FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=7));");
    // Qualifiers go only where a SET target starts: not inside strings, function arguments or WHERE.
    row("UPDATE qualified targets",
        "UPDATE EmployeeTable SET EmployeeTable.Title = 'EmployeeTable.Title, x', "
        "EmployeeTable.EmployeeLastName "
        "= Replace(EmployeeTable.Title, EmployeeTable.Title, ?), [EmployeeTable].[EmployeeMiddleName] = ? "
        "WHERE (EmployeeTable.EmployeeId= ?);",
        lite,
        "UPDATE EmployeeTable SET Title = 'EmployeeTable.Title, x', EmployeeLastName = "
        "Replace(EmployeeTable.Title, EmployeeTable.Title, ?), [EmployeeMiddleName] = ? WHERE "
        "(EmployeeTable.EmployeeId= ?);");
    row("double-quoted text with quotes", "SELECT \"O'Brien said \"\"hi\"\"\" AS a", lite,
        "SELECT 'O''Brien said \"hi\"' AS a");
    row("single-quoted text untouched", "SELECT 'Delete * From \"x\" [y] True -- ''z''' AS a", lite,
        "SELECT 'Delete * From \"x\" [y] True -- ''z''' AS a");
    row("True and False on SQLite", "UPDATE t SET a = True WHERE b = false", lite,
        "UPDATE t SET a = 1 WHERE b = 0");
    // Bracketed names fold the way PostgreSQL folds bare ones, so [Resources] and Resources stay one table.
    row("brackets on PostgreSQL", "select * from [Resources] ORDER BY Resources.DocumentName",
        Backend::PostgreSQL, "select * from \"resources\" ORDER BY Resources.DocumentName");
    row("rules on PostgreSQL", "DELETE * FROM [Employee Table] WHERE a = True AND b = \"Root\"",
        Backend::PostgreSQL, "DELETE FROM \"employee table\" WHERE a = TRUE AND b = 'Root'");
}

void JetDialectTest::rewritesJetOnlyConstructs() {
    QFETCH(QString, jet);
    QFETCH(Backend, backend);
    QFETCH(QString, expected);
    QCOMPARE(translateJet(jet, backend), expected);
}

void JetDialectTest::selectsReturnTheRowsAccessReturned_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QString& jet, const QStringList& columns,
                        const char* expected) {
        QTest::newRow(name) << jet << columns << QString::fromUtf8(expected);
    };
    const QStringList employee{QStringLiteral("EmployeeId"), QStringLiteral("EmployeeLastName")};
    const QStringList attachment{QStringLiteral("AttachmentsId"), QStringLiteral("AttachmentVersion")};
    const QStringList id{QStringLiteral("ObjectId")};
    const QStringList document{QStringLiteral("DocumentId"), QStringLiteral("DocumentName"),
                               QStringLiteral("DocuemntVersion"), QStringLiteral("DocumentDate")};

    row("employees by last name", "SELECT * From EmployeeTable Order by EmployeeLastName ASC", employee,
        "2|Adams,4|Brandt,5|Kraus,3|Meyer,1|Zeller");
    row("employees by first name DESC", "SELECT * From EmployeeTable Order by EmployeeFirstName DESC",
        employee, "5|Kraus,4|Brandt,3|Meyer,2|Adams,1|Zeller");
    row("all attachments", "select * from Attachments", attachment, "1|1,2|2,3|0,4|3");
    row("attachment versions", kAttachmentVersions.arg("'report.txt'"), attachment, "4|3,2|2,1|1");
    row("one attachment", "select * from Attachments where AttachmentsId = 2", attachment, "2|2");
    row("all folders", "select * from ObjectTbl", id, "1,3,7,8");
    row("folders without the root",
        "SELECT ObjectTbl.* From ObjectTbl Where (((ObjectTbl.ObjectType) <> \"Root\")) ORDER BY "
        "ObjectTbl.ObjectIndex, ObjectTbl.ObjectParentIndex;",
        id, "8,7,3");
    // SQLite would compare the two columns here; Access compares with the text.
    row("double-quoted text naming a column", "SELECT * FROM ObjectTbl WHERE ObjectText <> \"ObjectType\"",
        id, "1,3,7,8");
    row("documents in folder 3", "SELECT * FROM Resources WHERE ObjectIndex = 3", {"DocumentId"},
        "1,2,3,4,5,6,7");
    row("all versions",
        "select * from [Resources] Where ObjectIndex = 3 ORDER BY Resources.DocumentName, "
        "Resources.DocuemntVersion DESC",
        document,
        "5|agenda.doc|2|2008-03-01,4|agenda.doc|1|2008-02-01,3|budget.xls|3|2008-01-01,"
        "2|budget.xls|2|2008-01-01,1|budget.xls|1|2008-01-01,7|notes.txt|2|NULL,6|notes.txt|1|NULL");
    // One line per name and date, carrying the group's highest version and highest id; undated versions
    // form one group.
    row("newest versions",
        "SELECT Resources.DocumentName, Max(Resources.DocuemntVersion) AS DocuemntVersion, "
        "Resources.DocumentDate, Max(Resources.DocumentId) AS DocumentId From Resources   Where "
        "(Resources.ObjectIndex = 3)   GROUP BY Resources.DocumentName, Resources.DocumentDate   ORDER BY "
        "Resources.DocumentName, Max(Resources.DocuemntVersion) DESC;",
        document,
        "5|agenda.doc|2|2008-03-01,4|agenda.doc|1|2008-02-01,3|budget.xls|3|2008-01-01,7|notes.txt|2|NULL");
    row("versions of a name", kDocumentVersions.arg("'budget.xls'"), {"DocumentId"}, "8,3,2,1");
    row("one document", "SELECT Resources.* FROM Resources WHERE (Resources.DocumentId=2)", document,
        "2|budget.xls|2|2008-01-01");
    row("all links", "Select * from ReferenceInfo", {"DocumentId", "PersonalInformationId"},
        "2|P1,3|P1,3|P2");
    row("two minus signs", "SELECT 5--3 AS n", {"n"}, "8");
}

void JetDialectTest::selectsReturnTheRowsAccessReturned() {
    QFETCH(QString, jet);
    QFETCH(QStringList, columns);
    QFETCH(QString, expected);
    QSqlQuery query = runJet(jet);
    QVERIFY2(query.isActive(), qPrintable(query.lastError().text() + " in: " + translateJet(jet)));
    QVERIFY(query.isSelect());
    QCOMPARE(rowsOf(query, columns), expected);
}

void JetDialectTest::changesTouchTheRowsAccessTouched_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<int>("affected");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("expected");
    const auto ids = [](const char* column, const char* table) {
        return QStringLiteral("SELECT group_concat(%1) FROM (SELECT %1 FROM %2 ORDER BY 1)")
            .arg(column, table);
    };

    QTest::newRow("delete employee") << QStringLiteral("Delete * From EmployeeTable where EmployeeId = 5")
                                     << 1 << ids("EmployeeId", "EmployeeTable") << "1,2,3,4";
    QTest::newRow("insert employee")
        << QString(kEmployeeInsertBound).replace("?, ?, ?, ?, ?", "'Fritz', 'Karl', 'Lang', 'Porter', 'F600'")
        << 1
        << "SELECT EmployeeId || ' ' || EmployeeFirstName || ' ' || EmployeeMiddleName || ' ' || "
           "EmployeeLastName || ' ' || Title || ' ' || EmployeeIdentification FROM EmployeeTable WHERE "
           "EmployeeId > 5"
        << "6 Fritz Karl Lang Porter F600";
    QTest::newRow("update employee")
        << kEmployeeUpdate << 1
        << "SELECT group_concat(EmployeeFirstName || ' ' || EmployeeMiddleName || ' ' || EmployeeLastName || "
           "' "
           "' || Title || ' ' || EmployeeIdentification, ', ') FROM (SELECT * FROM EmployeeTable WHERE "
           "EmployeeId >= 4 ORDER BY EmployeeId)"
        << "Dora Eve Brandt Clerk A100, Erik Paul Krause Chief Guard E501";
    QTest::newRow("delete folders under 7")
        << "DELETE ObjectTbl.ObjectParentIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectParentIndex)=7));" << 1
        << ids("ObjectId", "ObjectTbl") << "1,3,7";
    QTest::newRow("delete folder 7")
        << "DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=7));" << 1
        << ids("ObjectId", "ObjectTbl") << "1,3,8";
    QTest::newRow("delete links of 3")
        << "DELETE ReferenceInfo.DocumentId FROM ReferenceInfo WHERE (ReferenceInfo.DocumentId=3)" << 2
        << ids("DocumentId", "ReferenceInfo") << "2";
    QTest::newRow("delete document 2")
        << "DELETE Resources.DocumentId FROM Resources WHERE (Resources.DocumentId=2)" << 1
        << ids("DocumentId", "Resources") << "1,3,4,5,6,7,8";
}

void JetDialectTest::changesTouchTheRowsAccessTouched() {
    QFETCH(QString, jet);
    QFETCH(int, affected);
    QFETCH(QString, check);
    QFETCH(QString, expected);
    QSqlQuery query = runJet(jet);
    QVERIFY2(query.isActive(), qPrintable(query.lastError().text() + " in: " + translateJet(jet)));
    QVERIFY(!query.isSelect());
    QCOMPARE(query.numRowsAffected(), affected);
    QCOMPARE(scalar(check), expected);
}

void JetDialectTest::boundTextComesBackAsItWentIn_data() {
    QTest::addColumn<QString>("value");
    QString large;
    while (large.size() < 4096)
        large += QStringLiteral("O'Brien \"[x]\" True -- ; ");
    large.truncate(4096);

    QTest::newRow("apostrophe") << QStringLiteral("O'Brien");
    QTest::newRow("statement break") << QStringLiteral("'; DROP TABLE EmployeeTable; --");
    QTest::newRow("unicode") << QStringLiteral("Zo\u00eb \u00c6r\u00f8 \u6771\u4eac \U0001F600");
    QTest::newRow("4 KB") << large;
}

// Access built these statements by pasting values in; here they carry placeholders instead, and the
// translation must leave every placeholder where it was.
void JetDialectTest::boundTextComesBackAsItWentIn() {
    QFETCH(QString, value);
    const auto run = [this](const QString& jet, const QVariantList& bound) {
        QSqlQuery query = runJet(jet, bound);
        if (!query.isActive())
            qWarning() << query.lastError().text() << "in:" << translateJet(jet);
        return query;
    };

    const QVariant id = run(kEmployeeInsertBound, QVariantList(5, value)).lastInsertId();
    QVERIFY(id.isValid());
    const QString updated = value + QStringLiteral(" 2");
    QCOMPARE(run(kEmployeeUpdateBound, QVariantList(5, updated) << id).numRowsAffected(), 1);
    QSqlQuery employee = run(QStringLiteral("SELECT * FROM EmployeeTable WHERE EmployeeId = ?"), {id});
    QCOMPARE(rowsOf(employee, {"EmployeeFirstName", "EmployeeMiddleName", "EmployeeLastName", "Title",
                               "EmployeeIdentification"}),
             QStringList(5, updated).join(u'|'));

    // Rows that record sets would add, then the statements that look them up by that text.
    run("INSERT INTO Attachments (EmployeeIdentification, AttachmentsName) VALUES (?, ?)", {value, value});
    run("INSERT INTO Resources (DocumentName, DocuemntVersion) VALUES (?, 1)", {value});
    const QList<std::pair<QString, QString>> lookups{
        {"SELECT * FROM Attachments WHERE (EmployeeIdentification=?)", "EmployeeIdentification"},
        {kAttachmentVersions.arg("?"), "AttachmentsName"},
        {kDocumentVersions.arg("?"), "DocumentName"}};
    for (const auto& [jet, column] : lookups) {
        QSqlQuery query = run(jet, {value});
        QCOMPARE(rowsOf(query, {column}), value);
    }

    QCOMPARE(run("Delete * From EmployeeTable where EmployeeId = ?", {id}).numRowsAffected(), 1);
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM EmployeeTable")), QStringLiteral("5"));
}

void JetDialectTest::describesStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("rowReturning");

    QTest::newRow("employee list") << "SELECT * From EmployeeTable Order by EmployeeLastName ASC"
                                   << "EmployeeTable" << true;
    QTest::newRow("employee update") << kEmployeeUpdate << "EmployeeTable" << false;
    QTest::newRow("bracketed name with a blank") << "INSERT INTO [Employee Table] (a) VALUES (1)"
                                                 << "Employee Table" << false;
    QTest::newRow("parenthesised select") << "  ( SELECT * FROM Resources)"
                                          << "Resources" << true;
    QTest::newRow("derived table") << "SELECT * FROM (SELECT * FROM \"Resources\")"
                                   << "Resources" << true;
    QTest::newRow("schema-qualified name") << "SELECT * FROM main.[Resources]"
                                           << "Resources" << true;
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
