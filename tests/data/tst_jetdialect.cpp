// The statements below are the ones the program issues, written the way Access accepted them. Each one is
// translated and run on SQLite, and what it returns or changes is compared with what Access did.

#include "data/jetdialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using data::Backend;
using data::isRowReturning;
using data::statementTable;
using data::translateJet;

Q_DECLARE_METATYPE(data::Backend)

namespace {

const QString kEmployeeInsert = QStringLiteral(
    "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title,  "
    "EmployeeIdentification) VALUES ('Fritz', 'Karl', 'Lang', 'Porter', 'F600')");
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
const QString kFolders =
    QStringLiteral("SELECT ObjectTbl.* From ObjectTbl Where (((ObjectTbl.ObjectType) <> "
                   "\"Root\")) ORDER BY ObjectTbl.ObjectIndex, ObjectTbl.ObjectParentIndex;");
const QString kAllVersions = QStringLiteral("select * from [Resources] Where ObjectIndex = %1 ORDER BY "
                                            "Resources.DocumentName, Resources.DocuemntVersion DESC");
const QString kNewestVersions = QStringLiteral(
    "SELECT Resources.DocumentName, Max(Resources.DocuemntVersion) AS DocuemntVersion, "
    "Resources.DocumentDate, "
    "Max(Resources.DocumentId) AS DocumentId From Resources   Where (Resources.ObjectIndex = %1)   GROUP BY "
    "Resources.DocumentName, Resources.DocumentDate   ORDER BY Resources.DocumentName, "
    "Max(Resources.DocuemntVersion) DESC;");
const QString kDocumentVersions =
    QStringLiteral("select * from Resources where DocumentName = %1 ORDER BY DocuemntVersion desc");
const QString kAttachmentVersions =
    QStringLiteral("select * from Attachments where AttachmentsName = %1 ORDER BY AttachmentVersion desc");

const QStringList kEmployeeCells{QStringLiteral("EmployeeFirstName"), QStringLiteral("EmployeeMiddleName"),
                                 QStringLiteral("EmployeeLastName"), QStringLiteral("Title"),
                                 QStringLiteral("EmployeeIdentification")};

} // namespace

class JetDialectTest : public QObject {
    Q_OBJECT

    QSqlDatabase db;

    QSqlQuery runJet(const QString& jet, const QVariantList& bound = {});
    QString scalar(const QString& sql);
    static QStringList rowsOf(QSqlQuery& query, const QStringList& columns);
    static QString failure(const QSqlQuery& query, const QString& jet);

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

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

QStringList JetDialectTest::rowsOf(QSqlQuery& query, const QStringList& columns) {
    QStringList rows;
    while (query.next()) {
        QStringList cells;
        for (const QString& column : columns) {
            const QVariant value = query.value(column);
            cells << (value.isNull() ? QStringLiteral("NULL") : value.toString());
        }
        rows << cells.join(u'|');
    }
    return rows;
}

QString JetDialectTest::failure(const QSqlQuery& query, const QString& jet) {
    return query.lastError().text() + QStringLiteral(" in: ") + translateJet(jet);
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

void JetDialectTest::cleanupTestCase() {
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("tst_jetdialect"));
}

void JetDialectTest::rewritesJetOnlyConstructs_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("expected");

    const Backend lite = Backend::SQLite;
    const Backend pg = Backend::PostgreSQL;
    QTest::newRow("DELETE *") << QStringLiteral("Delete * From EmployeeTable where EmployeeId = 5") << lite
                              << QStringLiteral("Delete From EmployeeTable where EmployeeId = 5");
    QTest::newRow("DELETE column list")
        << QStringLiteral("DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=7));")
        << lite << QStringLiteral("DELETE FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=7));");
    QTest::newRow("DELETE FROM unchanged")
        << QStringLiteral("DELETE FROM t WHERE a = 1") << lite << QStringLiteral("DELETE FROM t WHERE a = 1");
    // Qualifiers go only where a SET target starts: not inside strings, function arguments or WHERE.
    QTest::newRow("UPDATE qualified targets")
        << QStringLiteral(
               "UPDATE EmployeeTable SET EmployeeTable.Title = 'EmployeeTable.Title, x', "
               "EmployeeTable.EmployeeLastName = Replace(EmployeeTable.Title, EmployeeTable.Title, ?), "
               "[EmployeeTable].[EmployeeMiddleName] = ? WHERE (EmployeeTable.EmployeeId= ?);")
        << lite
        << QStringLiteral(
               "UPDATE EmployeeTable SET Title = 'EmployeeTable.Title, x', EmployeeLastName = "
               "Replace(EmployeeTable.Title, EmployeeTable.Title, ?), [EmployeeMiddleName] = ? WHERE "
               "(EmployeeTable.EmployeeId= ?);");
    QTest::newRow("double-quoted text")
        << kFolders << lite
        << QString(kFolders).replace(QStringLiteral("\"Root\""), QStringLiteral("'Root'"));
    QTest::newRow("double-quoted text with quotes")
        << QStringLiteral("SELECT \"O'Brien said \"\"hi\"\"\" AS a") << lite
        << QStringLiteral("SELECT 'O''Brien said \"hi\"' AS a");
    QTest::newRow("single-quoted text untouched")
        << QStringLiteral("SELECT 'Delete * From \"x\" [y] True -- ''z''' AS a") << lite
        << QStringLiteral("SELECT 'Delete * From \"x\" [y] True -- ''z''' AS a");
    QTest::newRow("brackets on SQLite") << kAllVersions.arg(3) << lite << kAllVersions.arg(3);
    QTest::newRow("True and False on SQLite") << QStringLiteral("UPDATE t SET a = True WHERE b = false")
                                              << lite << QStringLiteral("UPDATE t SET a = 1 WHERE b = 0");
    QTest::newRow("two minus signs") << QStringLiteral("SELECT 5--3 AS n") << lite
                                     << QStringLiteral("SELECT 5- -3 AS n");
    QTest::newRow("valid SQLite unchanged") << kNewestVersions.arg(3) << lite << kNewestVersions.arg(3);

    // Bracketed names fold the way PostgreSQL folds bare ones, so [Resources] and Resources stay one table.
    QTest::newRow("brackets on PostgreSQL")
        << QStringLiteral("select * from [Resources] Where ObjectIndex = 3 ORDER BY Resources.DocumentName")
        << pg
        << QStringLiteral(
               "select * from \"resources\" Where ObjectIndex = 3 ORDER BY Resources.DocumentName");
    QTest::newRow("bracketed name with a blank on PostgreSQL")
        << QStringLiteral("SELECT [Employee Table].Title FROM [Employee Table]") << pg
        << QStringLiteral("SELECT \"employee table\".Title FROM \"employee table\"");
    QTest::newRow("True and False on PostgreSQL")
        << QStringLiteral("UPDATE t SET a = True WHERE b = false") << pg
        << QStringLiteral("UPDATE t SET a = TRUE WHERE b = FALSE");
    QTest::newRow("DELETE and UPDATE on PostgreSQL")
        << QStringLiteral("DELETE * FROM ObjectTbl WHERE ObjectType = \"Root\"") << pg
        << QStringLiteral("DELETE FROM ObjectTbl WHERE ObjectType = 'Root'");
}

void JetDialectTest::rewritesJetOnlyConstructs() {
    QFETCH(QString, jet);
    QFETCH(Backend, backend);
    QFETCH(QString, expected);
    QCOMPARE(translateJet(jet, backend), expected);
}

void JetDialectTest::selectsReturnTheRowsAccessReturned_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QVariantList>("bound");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("expected");

    const QStringList employee{QStringLiteral("EmployeeId"), QStringLiteral("EmployeeLastName")};
    const QStringList attachment{QStringLiteral("AttachmentsId"), QStringLiteral("AttachmentVersion")};
    const QStringList folder{QStringLiteral("ObjectId")};
    const QStringList document{QStringLiteral("DocumentId"), QStringLiteral("DocumentName"),
                               QStringLiteral("DocuemntVersion"), QStringLiteral("DocumentDate")};
    const QStringList reference{QStringLiteral("DocumentId"), QStringLiteral("PersonalInformationId")};
    const QStringList allInFolder3{"5|agenda.doc|2|2008-03-01", "4|agenda.doc|1|2008-02-01",
                                   "3|budget.xls|3|2008-01-01", "2|budget.xls|2|2008-01-01",
                                   "1|budget.xls|1|2008-01-01", "7|notes.txt|2|NULL",
                                   "6|notes.txt|1|NULL"};
    // One line per name and date, carrying the group's highest version and highest id; undated versions
    // form one group.
    const QStringList newestInFolder3{"5|agenda.doc|2|2008-03-01", "4|agenda.doc|1|2008-02-01",
                                      "3|budget.xls|3|2008-01-01", "7|notes.txt|2|NULL"};
    const QStringList budgetVersions{"8|budget.xls|4|2008-04-01", "3|budget.xls|3|2008-01-01",
                                     "2|budget.xls|2|2008-01-01", "1|budget.xls|1|2008-01-01"};
    const QVariantList none;

    QTest::newRow("employees by last name ASC")
        << QStringLiteral("SELECT * From EmployeeTable Order by EmployeeLastName ASC") << none << employee
        << QStringList{"2|Adams", "4|Brandt", "5|Kraus", "3|Meyer", "1|Zeller"};
    QTest::newRow("employees by last name DESC")
        << QStringLiteral("SELECT * From EmployeeTable Order by EmployeeLastName DESC") << none << employee
        << QStringList{"1|Zeller", "3|Meyer", "5|Kraus", "4|Brandt", "2|Adams"};
    QTest::newRow("employees by first name DESC")
        << QStringLiteral("SELECT * From EmployeeTable Order by EmployeeFirstName DESC") << none << employee
        << QStringList{"5|Kraus", "4|Brandt", "3|Meyer", "2|Adams", "1|Zeller"};
    QTest::newRow("all attachments") << QStringLiteral("select * from Attachments") << none << attachment
                                     << QStringList{"1|1", "2|2", "3|0", "4|3"};
    QTest::newRow("photographs of A100")
        << QStringLiteral("SELECT * FROM Attachments WHERE (EmployeeIdentification='A100')") << none
        << attachment << QStringList{"1|1", "3|0"};
    QTest::newRow("photographs of ?")
        << QStringLiteral("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)")
        << QVariantList{"A100"} << attachment << QStringList{"1|1", "3|0"};
    QTest::newRow("folders without the root") << kFolders << none << folder << QStringList{"8", "7", "3"};
    QTest::newRow("folders without ?")
        << QString(kFolders).replace(QStringLiteral("\"Root\""), QStringLiteral("?")) << QVariantList{"Root"}
        << folder << QStringList{"8", "7", "3"};
    // SQLite would compare the two columns here; Access compares with the text.
    QTest::newRow("double-quoted text naming a column")
        << QStringLiteral("SELECT * FROM ObjectTbl WHERE ObjectText <> \"ObjectType\"") << none << folder
        << QStringList{"1", "3", "7", "8"};
    QTest::newRow("documents in folder 3")
        << QStringLiteral("SELECT * FROM Resources WHERE ObjectIndex = 3") << none
        << QStringList{QStringLiteral("DocumentId")} << QStringList{"1", "2", "3", "4", "5", "6", "7"};
    QTest::newRow("documents in folder ?")
        << QStringLiteral("SELECT * FROM Resources WHERE ObjectIndex = ?") << QVariantList{"9"}
        << QStringList{QStringLiteral("DocumentId")} << QStringList{"8"};
    QTest::newRow("all folders") << QStringLiteral("select * from ObjectTbl") << none << folder
                                 << QStringList{"1", "3", "7", "8"};
    QTest::newRow("all versions") << kAllVersions.arg(3) << none << document << allInFolder3;
    QTest::newRow("all versions ?") << kAllVersions.arg("?") << QVariantList{"3"} << document << allInFolder3;
    QTest::newRow("newest versions") << kNewestVersions.arg(3) << none << document << newestInFolder3;
    QTest::newRow("newest versions ?")
        << kNewestVersions.arg("?") << QVariantList{3} << document << newestInFolder3;
    QTest::newRow("versions of a name")
        << kDocumentVersions.arg("'budget.xls'") << none << document << budgetVersions;
    QTest::newRow("versions of ?") << kDocumentVersions.arg("?") << QVariantList{"budget.xls"} << document
                                   << budgetVersions;
    QTest::newRow("one document") << QStringLiteral(
                                         "SELECT Resources.* FROM Resources WHERE (Resources.DocumentId=2)")
                                  << none << document << QStringList{"2|budget.xls|2|2008-01-01"};
    QTest::newRow("one document ?") << QStringLiteral(
                                           "SELECT Resources.* FROM Resources WHERE (Resources.DocumentId=?)")
                                    << QVariantList{"2"} << document
                                    << QStringList{"2|budget.xls|2|2008-01-01"};
    QTest::newRow("all links") << QStringLiteral("Select * from ReferenceInfo") << none << reference
                               << QStringList{"2|P1", "3|P1", "3|P2"};
    QTest::newRow("attachment versions")
        << kAttachmentVersions.arg("'report.txt'") << none << attachment << QStringList{"4|3", "2|2", "1|1"};
    QTest::newRow("attachment versions ?") << kAttachmentVersions.arg("?") << QVariantList{"report.txt"}
                                           << attachment << QStringList{"4|3", "2|2", "1|1"};
    QTest::newRow("one attachment") << QStringLiteral("select * from Attachments where AttachmentsId = 2")
                                    << none << attachment << QStringList{"2|2"};
    QTest::newRow("one attachment ?") << QStringLiteral("select * from Attachments where AttachmentsId = ?")
                                      << QVariantList{"2"} << attachment << QStringList{"2|2"};
    QTest::newRow("two minus signs") << QStringLiteral("SELECT 5--3 AS n") << none
                                     << QStringList{QStringLiteral("n")} << QStringList{"8"};
}

void JetDialectTest::selectsReturnTheRowsAccessReturned() {
    QFETCH(QString, jet);
    QFETCH(QVariantList, bound);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, expected);

    QSqlQuery query = runJet(jet, bound);
    QVERIFY2(query.isActive(), qPrintable(failure(query, jet)));
    QVERIFY(query.isSelect());
    QCOMPARE(rowsOf(query, columns), expected);
}

void JetDialectTest::changesTouchTheRowsAccessTouched_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QVariantList>("bound");
    QTest::addColumn<int>("affected");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("expected");

    const QString employeeIds = QStringLiteral(
        "SELECT group_concat(EmployeeId) FROM (SELECT EmployeeId FROM EmployeeTable ORDER BY 1)");
    const QString newEmployee = QStringLiteral(
        "SELECT EmployeeId || ' ' || EmployeeFirstName || ' ' || EmployeeMiddleName || ' ' || "
        "EmployeeLastName || "
        "' ' || Title || ' ' || EmployeeIdentification FROM EmployeeTable WHERE EmployeeId > 5");
    const QString lastTwoEmployees = QStringLiteral("SELECT group_concat(EmployeeFirstName || ' ' || "
                                                    "EmployeeMiddleName || ' ' || EmployeeLastName || ' ' || "
                                                    "Title || ' ' || EmployeeIdentification, ', ') FROM "
                                                    "(SELECT * FROM EmployeeTable WHERE EmployeeId >= 4 "
                                                    "ORDER BY EmployeeId)");
    const QString folderIds =
        QStringLiteral("SELECT group_concat(ObjectId) FROM (SELECT ObjectId FROM ObjectTbl ORDER BY 1)");
    const QString linkIds = QStringLiteral(
        "SELECT group_concat(DocumentId) FROM (SELECT DocumentId FROM ReferenceInfo ORDER BY 1)");
    const QString documentIds =
        QStringLiteral("SELECT group_concat(DocumentId) FROM (SELECT DocumentId FROM Resources ORDER BY 1)");
    const QVariantList none;

    QTest::newRow("delete employee") << QStringLiteral("Delete * From EmployeeTable where EmployeeId = 5")
                                     << none << 1 << employeeIds << QStringLiteral("1,2,3,4");
    QTest::newRow("delete employee ?") << QStringLiteral("Delete * From EmployeeTable where EmployeeId = ?")
                                       << QVariantList{"5"} << 1 << employeeIds << QStringLiteral("1,2,3,4");
    QTest::newRow("insert employee") << kEmployeeInsert << none << 1 << newEmployee
                                     << QStringLiteral("6 Fritz Karl Lang Porter F600");
    QTest::newRow("insert employee ?")
        << kEmployeeInsertBound << QVariantList{"Fritz", "Karl", "Lang", "Porter", "F600"} << 1 << newEmployee
        << QStringLiteral("6 Fritz Karl Lang Porter F600");
    QTest::newRow("update employee") << kEmployeeUpdate << none << 1 << lastTwoEmployees
                                     << QStringLiteral(
                                            "Dora Eve Brandt Clerk A100, Erik Paul Krause Chief Guard E501");
    QTest::newRow("update employee ?")
        << kEmployeeUpdateBound << QVariantList{"Erik", "Paul", "Krause", "Chief Guard", "E501", "5"} << 1
        << lastTwoEmployees
        << QStringLiteral("Dora Eve Brandt Clerk A100, Erik Paul Krause Chief Guard E501");
    QTest::newRow("delete folders under 7")
        << QStringLiteral(
               "DELETE ObjectTbl.ObjectParentIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectParentIndex)=7));")
        << none << 1 << folderIds << QStringLiteral("1,3,7");
    QTest::newRow("delete folders under ?")
        << QStringLiteral(
               "DELETE ObjectTbl.ObjectParentIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectParentIndex)=?));")
        << QVariantList{"7"} << 1 << folderIds << QStringLiteral("1,3,7");
    QTest::newRow("delete folder 7")
        << QStringLiteral("DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=7));")
        << none << 1 << folderIds << QStringLiteral("1,3,8");
    QTest::newRow("delete folder ?")
        << QStringLiteral("DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=?));")
        << QVariantList{"7"} << 1 << folderIds << QStringLiteral("1,3,8");
    QTest::newRow("delete links of 3")
        << QStringLiteral(
               "DELETE ReferenceInfo.DocumentId FROM ReferenceInfo WHERE (ReferenceInfo.DocumentId=3)")
        << none << 2 << linkIds << QStringLiteral("2");
    QTest::newRow("delete links of ?")
        << QStringLiteral(
               "DELETE ReferenceInfo.DocumentId FROM ReferenceInfo WHERE (ReferenceInfo.DocumentId=?)")
        << QVariantList{"3"} << 2 << linkIds << QStringLiteral("2");
    QTest::newRow("delete document 2")
        << QStringLiteral("DELETE Resources.DocumentId FROM Resources WHERE (Resources.DocumentId=2)") << none
        << 1 << documentIds << QStringLiteral("1,3,4,5,6,7,8");
    QTest::newRow("delete document ?")
        << QStringLiteral("DELETE Resources.DocumentId FROM Resources WHERE (Resources.DocumentId=?)")
        << QVariantList{"2"} << 1 << documentIds << QStringLiteral("1,3,4,5,6,7,8");
}

void JetDialectTest::changesTouchTheRowsAccessTouched() {
    QFETCH(QString, jet);
    QFETCH(QVariantList, bound);
    QFETCH(int, affected);
    QFETCH(QString, check);
    QFETCH(QString, expected);

    QSqlQuery query = runJet(jet, bound);
    QVERIFY2(query.isActive(), qPrintable(failure(query, jet)));
    QVERIFY(!query.isSelect());
    QCOMPARE(query.numRowsAffected(), affected);
    QCOMPARE(scalar(check), expected);
}

void JetDialectTest::boundTextComesBackAsItWentIn_data() {
    QTest::addColumn<QString>("value");

    QString large;
    while (large.size() < 4096)
        large += QStringLiteral("O'Brien \"[x]\" -- ; ");
    large.truncate(4096);

    QTest::newRow("apostrophe") << QStringLiteral("O'Brien");
    QTest::newRow("quotes and brackets") << QStringLiteral("say \"hi\" to [Resources] and 'True'");
    QTest::newRow("statement break") << QStringLiteral("'; DROP TABLE EmployeeTable; --");
    QTest::newRow("unicode") << QStringLiteral("Zo\u00eb \u00c6r\u00f8 \u6771\u4eac \U0001F600");
    QTest::newRow("4 KB") << large;
}

// Access built these statements by pasting values in; here they carry placeholders instead, and the
// translation must leave every placeholder where it was.
void JetDialectTest::boundTextComesBackAsItWentIn() {
    QFETCH(QString, value);

    QSqlQuery insert = runJet(kEmployeeInsertBound, {value, value, value, value, value});
    QVERIFY2(insert.isActive(), qPrintable(failure(insert, kEmployeeInsertBound)));
    const QVariant id = insert.lastInsertId();
    QVERIFY(id.isValid());

    const QString updated = value + QStringLiteral(" 2");
    QSqlQuery update = runJet(kEmployeeUpdateBound, {updated, updated, updated, updated, updated, id});
    QVERIFY2(update.isActive(), qPrintable(failure(update, kEmployeeUpdateBound)));
    QCOMPARE(update.numRowsAffected(), 1);
    QSqlQuery employee(db);
    QVERIFY(
        employee.exec(QStringLiteral("SELECT * FROM EmployeeTable WHERE EmployeeId = %1").arg(id.toInt())));
    QCOMPARE(rowsOf(employee, kEmployeeCells), QStringList{QStringList(5, updated).join(u'|')});

    // Rows that record sets would add, then the statements that look them up by that text.
    QSqlQuery add(db);
    QVERIFY(add.prepare(QStringLiteral("INSERT INTO Attachments (EmployeeIdentification, AttachmentsName, "
                                       "AttachmentVersion) VALUES (?, ?, 1)")));
    add.addBindValue(value);
    add.addBindValue(value);
    QVERIFY2(add.exec(), qPrintable(add.lastError().text()));
    QVERIFY(
        add.prepare(QStringLiteral("INSERT INTO Resources (DocumentName, DocuemntVersion) VALUES (?, 1)")));
    add.addBindValue(value);
    QVERIFY2(add.exec(), qPrintable(add.lastError().text()));

    const QString photo = QStringLiteral("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)");
    const QStringList attachmentCells{QStringLiteral("EmployeeIdentification"),
                                      QStringLiteral("AttachmentsName")};
    for (const QString& jet : {photo, kAttachmentVersions.arg("?")}) {
        QSqlQuery query = runJet(jet, {value});
        QVERIFY2(query.isActive(), qPrintable(failure(query, jet)));
        QCOMPARE(rowsOf(query, attachmentCells), QStringList{value + u'|' + value});
    }
    QSqlQuery versions = runJet(kDocumentVersions.arg("?"), {value});
    QVERIFY2(versions.isActive(), qPrintable(failure(versions, kDocumentVersions)));
    QCOMPARE(rowsOf(versions, {QStringLiteral("DocumentName")}), QStringList{value});

    const QString remove = QStringLiteral("Delete * From EmployeeTable where EmployeeId = ?");
    QSqlQuery deletion = runJet(remove, {id});
    QVERIFY2(deletion.isActive(), qPrintable(failure(deletion, remove)));
    QCOMPARE(deletion.numRowsAffected(), 1);
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM EmployeeTable")), QStringLiteral("5"));
}

void JetDialectTest::describesStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("rowReturning");

    const QString employees = QStringLiteral("EmployeeTable");
    const QString attachments = QStringLiteral("Attachments");
    const QString folders = QStringLiteral("ObjectTbl");
    const QString resources = QStringLiteral("Resources");

    QTest::newRow("employee list") << QStringLiteral(
                                          "SELECT * From EmployeeTable Order by EmployeeLastName ASC")
                                   << employees << true;
    QTest::newRow("employee delete") << QStringLiteral("Delete * From EmployeeTable where EmployeeId = 5")
                                     << employees << false;
    QTest::newRow("employee insert") << kEmployeeInsert << employees << false;
    QTest::newRow("employee update") << kEmployeeUpdate << employees << false;
    QTest::newRow("all attachments") << QStringLiteral("select * from Attachments") << attachments << true;
    QTest::newRow("photograph") << QStringLiteral(
                                       "SELECT * FROM Attachments WHERE (EmployeeIdentification='A100')")
                                << attachments << true;
    QTest::newRow("attachment versions") << kAttachmentVersions.arg("'report.txt'") << attachments << true;
    QTest::newRow("folders") << kFolders << folders << true;
    QTest::newRow("folder delete")
        << QStringLiteral("DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=7));")
        << folders << false;
    QTest::newRow("all versions, bracketed") << kAllVersions.arg(3) << resources << true;
    QTest::newRow("newest versions") << kNewestVersions.arg(3) << resources << true;
    QTest::newRow("one document") << QStringLiteral(
                                         "SELECT Resources.* FROM Resources WHERE (Resources.DocumentId=2)")
                                  << resources << true;
    QTest::newRow("document delete")
        << QStringLiteral("DELETE Resources.DocumentId FROM Resources WHERE (Resources.DocumentId=2)")
        << resources << false;
    QTest::newRow("links") << QStringLiteral("Select * from ReferenceInfo") << QStringLiteral("ReferenceInfo")
                           << true;

    QTest::newRow("parenthesised select")
        << QStringLiteral("  ( SELECT * FROM Resources)") << resources << true;
    QTest::newRow("derived table") << QStringLiteral("SELECT * FROM (SELECT * FROM [Resources])") << resources
                                   << true;
    QTest::newRow("quoted name") << QStringLiteral("select * from \"Resources\"") << resources << true;
    QTest::newRow("schema-qualified name")
        << QStringLiteral("SELECT * FROM main.Resources") << resources << true;
    QTest::newRow("bracketed name with a blank")
        << QStringLiteral("INSERT INTO [Employee Table] (a) VALUES (1)") << QStringLiteral("Employee Table")
        << false;
    QTest::newRow("FROM inside text") << QStringLiteral("SELECT 'a FROM b' AS c") << QString() << true;
    QTest::newRow("pragma") << QStringLiteral("PRAGMA table_info(Resources)") << QString() << true;
    QTest::newRow("empty") << QString() << QString() << false;
}

void JetDialectTest::describesStatements() {
    QFETCH(QString, sql);
    QFETCH(QString, table);
    QFETCH(bool, rowReturning);
    QCOMPARE(statementTable(sql), table);
    QCOMPARE(isRowReturning(sql), rowReturning);
}

QTEST_GUILESS_MAIN(JetDialectTest)
#include "tst_jetdialect.moc"
