// The program's statements, as the windows write them in Access SQL, run through the data layer on the
// backend of this run (SQLite, or PostgreSQL when the suite says so): same rows, same order, same
// changes. Text compares and sorts without regard to letter case; Null sorts first going up.
#include "../support/testappdir.h"

#include "data/connection.h"
#include "data/recordset.h"

#include <QDateTime>
#include <QtTest>

namespace {

// Cells of the named columns joined by '|', rows by ','.
QString rows(data::Connection& connection, const QString& jet, const QString& columns) {
    data::Recordset rs;
    rs.open(jet, connection);
    QStringList out;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList cells;
        for (const QString& column : columns.split(u'|'))
            cells << rs.text(column);
        out << cells.join(u'|');
    }
    return out.join(u',');
}

void fill(data::Connection& c) {
    const QString employee = QStringLiteral(
        "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
        "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)");
    c.execute(employee, {"Anna", "Maria", "Zeller", "Clerk", "A100"});                   // 1
    c.execute(employee, {"Bert", "Otto", "adams", QVariant(), "B200"});                  // 2
    c.execute(employee, {"Carl", "Jon", QString::fromUtf8("Émile"), "Manager", "C300"}); // 3
    c.execute(employee, {"Dora", "Eve", "Adams", "clerk", "a100"});                      // 4
    c.execute(employee, {"Emil", "Paul", "Eve", "Guard", "E500"});                       // 5
    const QString photo = QStringLiteral("INSERT INTO Attachments (EmployeeIdentification, Attachments, "
                                         "AttachmentsName, AttachmentVersion) VALUES (?, ?, ?, ?)");
    c.execute(photo, {"A100", QByteArray("\xff\xd8", 2), QVariant(), QVariant()});
    c.execute(photo, {"B200", QByteArray("\xff\xd8", 2), "Report.pdf", 1});
    // Folder 1 is the hidden root; 2 to 4 are stored out of order so that both sort keys show.
    const QString folder = QStringLiteral(
        "INSERT INTO ObjectTbl (ObjectIndex, ObjectParentIndex, ObjectType, ObjectText) VALUES (?, ?, ?, ?)");
    c.execute(folder, {5, 1, "Library", "Lib"});
    c.execute(folder, {2, 9, "Catagory", "Cat"});
    c.execute(folder, {2, 7, "Folder", "ObjectType"});
    const QString document =
        QStringLiteral("INSERT INTO Resources (DocumentName, DocuemntVersion, DocumentDate, "
                       "Document, ObjectIndex) VALUES (?, ?, ?, ?, ?)");
    const QDateTime day(QDate(2024, 3, 1), QTime(9, 0));
    c.execute(document, {"Plan", 1, day, QByteArray("v1"), 3});
    c.execute(document, {"plan", 2, day, QByteArray("v2"), 3});
    c.execute(document, {"Budget", 1, day.addDays(1), QByteArray("b"), 3});
    c.execute(document, {"Other", 1, day, QByteArray("o"), 4});
    c.execute("INSERT INTO ReferenceInfo (DocumentId, PersonalInformationId) VALUES (?, ?)", {2, "P1"});
}

} // namespace

class TestStatements : public QObject {
    Q_OBJECT
    std::optional<TestAppDir> m_dir;
    std::optional<data::Connection> m_connection;

private slots:
    void init() {
        m_dir.emplace();
        m_connection.emplace();
        m_connection->open();
        fill(*m_connection);
    }
    void cleanup() {
        m_connection.reset();
        m_dir.reset();
    }
    void readsAsAccessDid_data();
    void readsAsAccessDid();
    void changesAsAccessDid_data();
    void changesAsAccessDid();
};

void TestStatements::readsAsAccessDid_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const char* jet, const char* columns, const char* expected) {
        QTest::newRow(tag) << QString(jet) << QString(columns) << QString(expected);
    };
    row("list by last name", "SELECT * From EmployeeTable Order by EmployeeLastName ASC, EmployeeId",
        "EmployeeId", "2,4,3,5,1");
    row("Null title last going down", "SELECT * From EmployeeTable Order by Title DESC, EmployeeId",
        "EmployeeId", "3,5,1,4,2");
    row("Null title first going up", "SELECT * From EmployeeTable Order by Title ASC, EmployeeId",
        "EmployeeId", "2,1,4,5,3");
    row("photograph by code, any case", "SELECT * FROM Attachments WHERE (EmployeeIdentification='a100')",
        "AttachmentsId", "1");
    row("accents count", "SELECT * FROM EmployeeTable WHERE EmployeeLastName = 'EMILE'", "EmployeeId", "");
    row("accented letters ignore case", "SELECT * FROM EmployeeTable WHERE EmployeeLastName = 'éMILE'",
        "EmployeeId", "3");
    row("folders without the root",
        "SELECT ObjectTbl.* From ObjectTbl Where (((ObjectTbl.ObjectType) <> \"Root\")) ORDER BY "
        "ObjectTbl.ObjectIndex, ObjectTbl.ObjectParentIndex;",
        "ObjectId", "4,3,2");
    row("double-quoted text naming a column",
        "SELECT * FROM ObjectTbl WHERE ObjectText <> \"ObjectType\" ORDER BY ObjectId", "ObjectId", "1,2,3");
    row("brackets", "select * from [Resources] Where ObjectIndex = 4", "DocumentName", "Other");
    row("latest versions",
        "SELECT Resources.DocumentName, Max(Resources.DocuemntVersion) AS DocuemntVersion, "
        "Resources.DocumentDate, Max(Resources.DocumentId) AS DocumentId From Resources  Where "
        "(Resources.ObjectIndex = 3)  GROUP BY Resources.DocumentName, Resources.DocumentDate  ORDER BY "
        "Resources.DocumentName, Max(Resources.DocuemntVersion) DESC;",
        "DocuemntVersion|DocumentId", "1|3,2|2");
    row("document by name", "select * from Resources where DocumentName = 'PLAN' ORDER BY DocumentId",
        "DocuemntVersion", "1,2");
    row("stored file by name", "select * from Attachments where AttachmentsName = 'report.PDF'",
        "AttachmentsId|AttachmentVersion", "2|1");
    row("LIKE ignores case",
        "SELECT * FROM EmployeeTable WHERE EmployeeLastName LIKE 'AD%' ORDER BY EmployeeId", "EmployeeId",
        "2,4");
    row("links", "Select * from ReferenceInfo", "DocumentId|PersonalInformationId", "2|P1");
}

void TestStatements::readsAsAccessDid() {
    QFETCH(QString, jet);
    QFETCH(QString, columns);
    QFETCH(QString, expected);
    QCOMPARE(rows(*m_connection, jet, columns), expected);
}

void TestStatements::changesAsAccessDid_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<int>("affected");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("expected");
    const QString employees = QStringLiteral("SELECT * FROM EmployeeTable ORDER BY EmployeeId");
    const auto row = [](const char* tag, const char* jet, int affected, const QString& check,
                        const char* columns, const char* expected) {
        QTest::newRow(tag) << QString(jet) << affected << check << QString(columns) << QString(expected);
    };
    row("DELETE *", "Delete * From EmployeeTable where EmployeeId = 5", 1, employees, "EmployeeId",
        "1,2,3,4");
    row("DELETE column FROM", "DELETE ObjectTbl.ObjectIndex FROM ObjectTbl WHERE (((ObjectTbl.ObjectId)=3));",
        1, "select * from ObjectTbl ORDER BY ObjectId", "ObjectId", "1,2,4");
    row("DELETE link",
        "DELETE ReferenceInfo.DocumentId FROM ReferenceInfo WHERE (ReferenceInfo.DocumentId=2)", 1,
        "Select * from ReferenceInfo", "DocumentId", "");
    row("UPDATE qualified SET",
        "UPDATE EmployeeTable SET EmployeeTable.EmployeeFirstName = 'O''Brien', EmployeeTable.Title = "
        "\"Boss\" WHERE (EmployeeTable.EmployeeId= 2);",
        1, "SELECT * FROM EmployeeTable WHERE EmployeeId = 2", "EmployeeFirstName|Title", "O'Brien|Boss");
    row("UPDATE of a deleted row",
        "UPDATE EmployeeTable SET EmployeeTable.Title = 'x' WHERE (EmployeeTable.EmployeeId= 99);", 0,
        employees, "Title", "Clerk,,Manager,clerk,Guard");
}

void TestStatements::changesAsAccessDid() {
    QFETCH(QString, jet);
    QFETCH(int, affected);
    QFETCH(QString, check);
    QFETCH(QString, columns);
    QFETCH(QString, expected);
    QCOMPARE(m_connection->execute(jet), affected);
    QCOMPARE(rows(*m_connection, check, columns), expected);
}

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
