// One database shared by several programs, as an office runs it: writers wait for each other instead of
// failing, numbers that must be unique (versions, codes) stay unique, a large write leaves no large
// log behind, and what the companion prints reads the same on either backend.
#include "../support/companion.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Starts every command at once, then collects them all.
std::vector<CompanionRun> runAtOnce(const QString& dataDir, const QList<QStringList>& commands) {
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList& args : commands) {
        processes.push_back(std::make_unique<QProcess>());
        startCompanion(*processes.back(), dataDir, args);
    }
    std::vector<CompanionRun> runs;
    for (const auto& process : processes)
        runs.push_back(finishCompanion(*process));
    return runs;
}

QString failures(const std::vector<CompanionRun>& runs) {
    QString text;
    for (const CompanionRun& run : runs)
        if (run.status != 0)
            text += QString::number(run.status) + u' ' + run.err;
    return text;
}

QString folderKey(const TestAppDir& dir) {
    return runCompanion(dir.path(), {"library", "add-folder", "Contracts"}).out.trimmed();
}

} // namespace

class TestCliSharing : public QObject {
    Q_OBJECT
private slots:
    void addsWaitBesideUploads();
    void versionsStayUnique_data();
    void versionsStayUnique();
    void oneCodeHasOneEmployee();
    void aWriterWaitsForALongWriteAndSaysSo();
    void largeUploadDatesAndFailuresReadAlikeOnEitherBackend();
};

void TestCliSharing::addsWaitBesideUploads() {
    TestAppDir dir;
    const QString folder = folderKey(dir);
    const QString large = writeTestFile(dir.file("large.bin"), QByteArray(24 * 1024 * 1024, 'x'));
    QList<QStringList> commands{{"library", "upload", folder, large}, {"library", "upload", folder, large}};
    for (int i = 0; i < 10; ++i)
        commands.append({"add", "--first", "Ann", "--middle", "B", "--last", QString::number(i), "--code",
                         QStringLiteral("C%1").arg(i)});
    const std::vector<CompanionRun> runs = runAtOnce(dir.path(), commands);
    QVERIFY2(failures(runs).isEmpty(), qPrintable(failures(runs)));
    QCOMPARE(runCompanion(dir.path(), {"list"}).lines().size(), 10);
}

void TestCliSharing::versionsStayUnique_data() {
    QTest::addColumn<bool>("library");
    QTest::newRow("library upload") << true;
    QTest::newRow("attachments upload --versioned") << false;
}

void TestCliSharing::versionsStayUnique() {
    QFETCH(bool, library);
    TestAppDir dir;
    const QString folder = library ? folderKey(dir) : QString();
    const QString file = writeTestFile(dir.file("minutes.txt"), QByteArray(2 * 1024 * 1024, 'm'));
    const QStringList upload = library ? QStringList{"library", "upload", folder, file}
                                       : QStringList{"attachments", "upload",   file, "--name",
                                                     "minutes.txt", "--person", "P1", "--versioned"};
    const std::vector<CompanionRun> runs = runAtOnce(dir.path(), QList<QStringList>(8, upload));
    QVERIFY2(failures(runs).isEmpty(), qPrintable(failures(runs)));
    QList<int> versions;
    for (const CompanionRun& run : runs)
        versions.append(run.out.trimmed().section(u'\t', 1).toInt());
    std::sort(versions.begin(), versions.end());
    QCOMPARE(versions, QList<int>({1, 2, 3, 4, 5, 6, 7, 8}));
}

void TestCliSharing::oneCodeHasOneEmployee() {
    TestAppDir dir;
    runCompanion(dir.path(), {"list"}); // the tables exist before the race starts
    QList<QStringList> commands;
    for (int i = 0; i < 6; ++i)
        commands.append({"add", "--first", "Ann", "--middle", "B", "--last", QString::number(i), "--code",
                         i % 2 ? "c77" : "C77"});
    const std::vector<CompanionRun> runs = runAtOnce(dir.path(), commands);
    QCOMPARE(std::count_if(runs.begin(), runs.end(), [](const auto& run) { return run.status == 0; }), 1);
    for (const CompanionRun& run : runs)
        QVERIFY2(run.status == 0 || run.err.contains("is already used by"), qPrintable(run.err));
    QCOMPARE(runCompanion(dir.path(), {"list"}).lines().size(), 1);
}

// A large upload holds the file for as long as it takes; a writer behind it waits, and says so.
void TestCliSharing::aWriterWaitsForALongWriteAndSaysSo() {
    if (TestAppDir::onPostgres())
        QSKIP("the server makes writers wait for each other itself");
    TestAppDir dir;
    runCompanion(dir.path(), {"list"});
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(dir.file("Pellorin.db"));
        QVERIFY(holder.open());
        QSqlQuery hold(holder);
        QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QProcess add;
        startCompanion(add, dir.path(), {"add", "--first", "A", "--middle", "B", "--last", "C"});
        QElapsedTimer held;
        held.start();
        QVERIFY(!add.waitForFinished(3000));
        QVERIFY(add.readAllStandardError().contains("waiting for another program to finish writing"));
        // Longer than any fixed time-out that would have given up.
        QVERIFY(!add.waitForFinished(int(11000 - held.elapsed())));
        QVERIFY(hold.exec(QStringLiteral("COMMIT")));
        const CompanionRun run = finishCompanion(add);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    QCOMPARE(runCompanion(dir.path(), {"list"}).lines().size(), 1);
}

// A large upload leaves no large log beside the embedded file.
void TestCliSharing::largeUploadDatesAndFailuresReadAlikeOnEitherBackend() {
    TestAppDir dir;
    const QString folder = folderKey(dir);
    const QString large = writeTestFile(dir.file("large.bin"), QByteArray(40 * 1024 * 1024, 'x'));
    QCOMPARE(runCompanion(dir.path(), {"library", "upload", folder, large}).status, 0);
    QVERIFY(QFileInfo(dir.file("Pellorin.db-wal")).size() < 1024 * 1024);
    const QStringList cells = runCompanion(dir.path(), {"library", "documents", folder}).out.split(u'\t');
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$")).match(cells.value(1)).hasMatch(),
             qPrintable(cells.join(u'|')));
    const CompanionRun failed = runCompanion(dir.path(), {"sql", "SELECT Nonsense FROM Resources"});
    QCOMPARE(failed.status, 1);
    QCOMPARE(failed.err.count(u'\n'), 1);
    QVERIFY2(!failed.err.contains("WARNING") && !failed.err.contains("ERROR:") && !failed.err.contains("()"),
             qPrintable(failed.err));
}

QTEST_GUILESS_MAIN(TestCliSharing)
#include "tst_cli_sharing.moc"
