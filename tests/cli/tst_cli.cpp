// The command-line companion run as a separate program: listing, deleting, raw statements and the
// exit status and message of each kind of failure.
#include "../support/companion.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include <QImage>
#include <QtTest>

#include <optional>

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void listFollowsTheExplorersOrder();
    void refusals_data();
    void refusals();
    void deleteChecksKeysAndSqlRunsJetStatements();
    void addUpdateAndPhotoRoundTrip();
    void companyHelpAndVersion();

private:
    CompanionRun cli(const QStringList& args) { return runCompanion(m_dir->path(), args); }
    std::optional<TestAppDir> m_dir;
};

void TestCli::listFollowsTheExplorersOrder() {
    m_dir->addEmployee("Carl", "M", "brown", "Clerk", "C1");
    m_dir->addEmployee({"Ann", QVariant(), "Adams", QVariant(), "A1"});
    m_dir->addEmployee("Tab\there", "x", "Cole", "", "T1");
    CompanionRun run = cli({"list"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.lines(), QStringList({"2\tAnn\t\tAdams\t\tA1", "1\tCarl\tM\tbrown\tClerk\tC1",
                                       "3\tTab here\tx\tCole\t\tT1"}));
    run = cli({"list", "--order", "EmployeeFirstName", "--desc"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.lines().first().section('\t', 1, 1), QStringLiteral("Tab here"));
}

// One line on standard error naming the fault, and the database left usable.
void TestCli::refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("order by unknown column")
        << QStringList{"list", "--order", "EmployeeId; DROP TABLE EmployeeTable"} << 1 << "cannot be ordered";
    QTest::newRow("bad statement") << QStringList{"sql", "SELECT * FROM Nowhere"} << 1 << "Nowhere";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "pellorin-cli: unknown command";
    QTest::newRow("middle name missing") << QStringList{"add", "--first", "A", "--last", "C"} << 1
                                         << "pellorin-cli: Invalid employee middle name";
}

void TestCli::refusals() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    const CompanionRun run = cli(args);
    QCOMPARE(run.status, status);
    QCOMPARE(run.err.split(u'\n', Qt::SkipEmptyParts).size(), 1);
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QCOMPARE(cli({"list"}).status, 0);
}

void TestCli::deleteChecksKeysAndSqlRunsJetStatements() {
    for (int i = 0; i < 3; ++i)
        m_dir->addEmployee("a", "b", QString::number(i), "", "");
    CompanionRun run = cli({"delete", "1", "3"});
    QCOMPARE(run.status, 0);
    QCOMPARE(m_dir->count("EmployeeTable"), 1);
    run = cli({"delete", "2", "2 OR 1=1"});
    QVERIFY(run.status != 0);
    QVERIFY(run.err.contains("not a record number"));
    QCOMPARE(m_dir->count("EmployeeTable"), 1);
    QVERIFY(cli({"delete"}).status != 0);

    run = cli({"sql", "UPDATE EmployeeTable SET EmployeeTable.Title = 'Boss' WHERE "
                      "(EmployeeTable.EmployeeId= 2);"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.trimmed(), QStringLiteral("1 row(s) affected"));
    run = cli({"sql", "SELECT EmployeeId, Title, EmployeeMiddleName FROM EmployeeTable"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.lines(), QStringList({"EmployeeId\tTitle\tEmployeeMiddleName", "2\tBoss\tb"}));
    run = cli({"sql", "Delete * From EmployeeTable where EmployeeId = 2"});
    QCOMPARE(run.out.trimmed(), QStringLiteral("1 row(s) affected"));
}

void TestCli::addUpdateAndPhotoRoundTrip() {
    const QString text = writeTestFile(m_dir->file("notes.txt"), "not a picture");
    CompanionRun run =
        cli({"add", "--first", "A", "--middle", "B", "--last", "C", "--code", "X1", "--photo", text});
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("notes.txt"));
    QCOMPARE(m_dir->count("EmployeeTable") + m_dir->count("Attachments"), 0);

    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString photo = m_dir->file("face.png");
    QVERIFY(picture.save(photo));
    run = cli({"add", "--first", "Seán", "--middle", "Q", "--last", "O'Brien", "--code", "EMP-7", "--photo",
               photo});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.trimmed(), QStringLiteral("1"));
    run = cli({"update", "1", "--title", "Guard; --"});
    QCOMPARE(run.status, 0);
    run = cli({"list"});
    QCOMPARE(run.lines(), QStringList({QString::fromUtf8("1\tSeán\tQ\tO'Brien\tGuard; --\tEMP-7")}));
    const QString copy = m_dir->file("copy.png");
    run = cli({"photo", "get", "emp-7", "--out", copy}); // codes compare without regard to case
    QCOMPARE(run.status, 0);
    QCOMPARE(readTestFile(copy), readTestFile(photo));
    run = cli({"photo", "get", "NOPE", "--out", copy});
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("No photograph"));
    QVERIFY(cli({"update", "99", "--title", "x"}).status != 0);

    // Nobody else gets the code; a new photograph and a new code go together, and the old code keeps
    // nothing.
    run = cli({"add", "--first", "B", "--middle", "C", "--last", "D", "--code", "emp-7"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QString::fromUtf8("Seán Q O'Brien (record 1)")), qPrintable(run.err));
    picture.fill(Qt::darkRed);
    QVERIFY(picture.save(photo));
    QCOMPARE(cli({"update", "1", "--code", "EMP-8", "--photo", photo}).status, 0);
    QCOMPARE(cli({"photo", "get", "EMP-8", "--out", copy}).status, 0);
    QCOMPARE(readTestFile(copy), readTestFile(photo));
    QCOMPARE(cli({"photo", "get", "EMP-7", "--out", copy}).status, 1);
    run = cli({"update", "1", "--code", "", "--photo", photo});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("--code CODE"), qPrintable(run.err));
}

void TestCli::companyHelpAndVersion() {
    QCOMPARE(cli({"company", "get"}).status, 1);
    QCOMPARE(cli({"company", "set", "Acme, Inc."}).status, 0);
    for (const auto& [args, said] : {std::pair{QStringList{"company", "get"}, "Acme, Inc.\n"},
                                     {QStringList{"--help"}, "list"},
                                     {QStringList{"--version"}, "1.2.0.0"}}) {
        const CompanionRun run = cli(args);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(QString::fromUtf8(said)), qPrintable(run.out));
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
