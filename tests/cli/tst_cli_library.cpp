// pellorin-cli library run as a separate program: folders, versions, a round trip, links, and the way
// its failures are reported.
#include "../support/companion.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include <QDate>
#include <QtTest>

namespace {

CompanionRun cli(const QString& dataDir, const QStringList& args) {
    return runCompanion(dataDir, QStringList{QStringLiteral("library")} + args);
}

} // namespace

class TestCliLibrary : public QObject {
    Q_OBJECT
private slots:
    void foldersDocumentsAndLinks() {
        TestAppDir dir;
        QCOMPARE(cli(dir.path(), {"add-folder", "Contracts"}).lines(), QStringList({"2"}));
        QCOMPARE(cli(dir.path(), {"add-folder", "Old", "--type", "Library"}).lines(), QStringList({"3"}));
        QCOMPARE(cli(dir.path(), {"rename-folder", "3", "Archive"}).status, 0);
        const QString path = writeTestFile(dir.file("O'Brien's CV.pdf"), "cv bytes");
        QCOMPARE(cli(dir.path(), {"upload", "2", path}).lines(), QStringList({"1\t1"}));
        QCOMPARE(cli(dir.path(), {"upload", "3", path}).lines(), QStringList({"2\t2"}));
        QCOMPARE(cli(dir.path(), {"folders"}).lines(),
                 QStringList({"2\tContracts\tContracts\t1", "3\tArchive\tLibrary\t1"}));
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(cli(dir.path(), {"documents", "3", "--all-versions"}).lines(),
                 QStringList({"2\t" + today + "\tO'Brien's CV.pdf\t2"}));

        const QString out = dir.file("back.pdf");
        QCOMPARE(cli(dir.path(), {"get", "1", "--out", out}).status, 0);
        QCOMPARE(readTestFile(out), QByteArray("cv bytes"));

        QCOMPARE(cli(dir.path(), {"assign", "2", "5"}).status, 0);
        QCOMPARE(cli(dir.path(), {"assigned", "5"}).lines(), QStringList({"2\tO'Brien's CV.pdf\t2"}));
        QCOMPARE(cli(dir.path(), {"delete", "2"}).status, 0);
        QCOMPARE(cli(dir.path(), {"assigned", "5"}).lines(), QStringList());
        QCOMPARE(cli(dir.path(), {"delete-folder", "3"}).status, 0);
        QCOMPARE(cli(dir.path(), {"folders"}).lines(), QStringList({"2\tContracts\tContracts\t1"}));
        // Its documents stay, and the operator is told how to find them.
        const CompanionRun gone = cli(dir.path(), {"delete-folder", "2"});
        QCOMPARE(gone.status, 0);
        QVERIFY2(gone.err.contains("1 document version(s)") && gone.err.contains("library documents 2"),
                 qPrintable(gone.err));
    }
    void foldersAddedAtOnceGetTheirOwnPlace() {
        TestAppDir dir;
        std::vector<std::unique_ptr<QProcess>> adders;
        for (int i = 0; i < 8; ++i) {
            adders.push_back(std::make_unique<QProcess>());
            startCompanion(*adders.back(), dir.path(), {"library", "add-folder", QString("F%1").arg(i)});
        }
        int added = 0;
        for (const auto& adder : adders)
            added += finishCompanion(*adder).status == 0;
        QVERIFY(added > 0);
        const CompanionRun places = runCompanion(
            dir.path(), {"sql", "SELECT DISTINCT ObjectIndex FROM ObjectTbl WHERE ObjectType <> 'Root'"});
        QCOMPARE(places.lines().size(), added + 1); // with the header line
    }
    void failuresAreOneLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList() << 2 << "library needs a command";
        QTest::newRow("unknown") << QStringList({"shelve"}) << 2 << "unknown library command";
        QTest::newRow("empty name") << QStringList({"add-folder", ""}) << 1 << "needs a name";
        QTest::newRow("hidden name") << QStringList({"add-folder", "root"}) << 1 << "never shown";
        QTest::newRow("hidden type") << QStringList({"add-folder", "X", "--type", "Root"}) << 1
                                     << "never shown";
        QTest::newRow("key not a number")
            << QStringList({"documents", "1 OR 1=1"}) << 2 << "is not a folder key";
        QTest::newRow("stray option")
            << QStringList({"folders", "--out", "x"}) << 2 << "usage: library folders";
        QTest::newRow("root row") << QStringList({"delete-folder", "1"}) << 1 << "no folder with the key 1";
        QTest::newRow("missing file") << QStringList({"upload", "2", "/nonexistent/x.pdf"}) << 1 << "x.pdf";
        QTest::newRow("no document") << QStringList({"get", "9", "--out", "/tmp/x"}) << 1 << "9";
        QTest::newRow("get without out") << QStringList({"get", "9"}) << 2 << "--out FILE";
    }
    void failuresAreOneLine() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        TestAppDir dir;
        QCOMPARE(cli(dir.path(), {"add-folder", "Contracts"}).status, 0);
        const CompanionRun run = cli(dir.path(), args);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY(run.lines().isEmpty());
    }
    void findReviewDueHistoryAndCheck() {
        TestAppDir dir;
        const auto library = [&](const QStringList& args) { return cli(dir.path(), args); };
        QCOMPARE(library({"add-folder", "Permits"}).status, 0);
        const QString permit = writeTestFile(dir.file("permit.txt"), "Work permit of Zoë, line\tone");
        QCOMPARE(library({"upload", "2", permit}).status, 0);
        QCOMPARE(library({"find", "ZOE"}).lines(),
                 QStringList({"1\tPermits\tpermit.txt\t1\tWork permit of [Zoë], line one"}));
        QCOMPARE(library({"find", "\"permit of\"", "--format", "csv"}).lines().at(1),
                 QString("1,Permits,permit.txt,1,\"Work [permit of] Zoë, line one\""));
        QCOMPARE(library({"reindex"}).lines(), QStringList({"1 versions read: 1 with text, 0 with no text"}));
        QCOMPARE(library({"review", "1", "2020-02-29"}).status, 0);
        QCOMPARE(library({"due", "--within", "0"}).lines(),
                 QStringList({"1\t2020-02-29\toverdue\tPermits\tpermit.txt\t1"}));
        QCOMPARE(library({"review", "1", "none"}).status, 0);
        QCOMPARE(library({"due"}).lines(), QStringList());
        const QStringList history = library({"history", "1"}).lines();
        QCOMPARE(history.size(), 3);
        QVERIFY2(history.at(1).contains("\treview date\t1\tpermit.txt\t1\t2020-02-29"),
                 qPrintable(history.at(1)));
        QCOMPARE(library({"review", "1", "soon"}).status, 1);
        QCOMPARE(library({"due", "--within", "x"}).status, 2);
        QCOMPARE(library({"find", "x", "--within", "3"}).status, 2);
        if (TestAppDir::onPostgres())
            return;
        // check names an audit trail whose guards were removed behind the program's back.
        QCOMPARE(runCompanion(dir.path(), {"check"}).status, 0);
        dir.exec("DROP TRIGGER documentaudit_no_delete");
        const CompanionRun check = runCompanion(dir.path(), {"check"});
        QCOMPARE(check.status, 1);
        QVERIFY2(check.out.contains("DocumentAudit lacks its guards (documentaudit_no_delete)"),
                 qPrintable(check.out));
    }
};

QTEST_GUILESS_MAIN(TestCliLibrary)
#include "tst_cli_library.moc"
