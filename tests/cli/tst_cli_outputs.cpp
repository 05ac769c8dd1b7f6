// Files the operator names for the companion to write: the database is never among them, devices and
// pipes are written into, and a backup leaves files it did not make alone.
#include "../support/companion.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

class TestCliOutputs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void writers_data();
    void databaseIsNeverTheOutput_data() { writers_data(); }
    void databaseIsNeverTheOutput();
    void pipeIsWrittenInto_data() { writers_data(); }
    void pipeIsWrittenInto();
    void backupLeavesOthersFilesAlone();

private:
    std::unique_ptr<TestAppDir> m_dir;
};

void TestCliOutputs::initTestCase() {
    if (TestAppDir::onPostgres())
        QSKIP("the files named here are those of the embedded database");
    m_dir = std::make_unique<TestAppDir>();
    const QString photo = writeTestFile(m_dir->file("p.jpg"), jpegOf(Qt::red));
    const QString doc = writeTestFile(m_dir->file("doc.txt"), "document bytes");
    const QString path = m_dir->path();
    for (const QStringList& args : {QStringList{"company", "set", "Acme"},
                                    {"add", "--first", "A", "--middle", "M", "--last", "B", "--title", "T",
                                     "--code", "E1", "--photo", photo},
                                    {"attachments", "upload", doc, "--name", "d.txt", "--person", "P"},
                                    {"library", "add-folder", "F"},
                                    {"library", "upload", "2", doc}})
        QCOMPARE(runCompanion(path, args).status, 0);
}

void TestCliOutputs::writers_data() {
    QTest::addColumn<QStringList>("args"); // OUT stands for the file named
    QTest::newRow("library get") << QStringList{"library", "get", "1", "--out", "OUT"};
    QTest::newRow("attachments get") << QStringList{"attachments", "get", "2", "--out", "OUT"};
    QTest::newRow("photo get") << QStringList{"photo", "get", "E1", "--out", "OUT"};
    QTest::newRow("badge") << QStringList{"badge", "1", "--out", "OUT"};
    QTest::newRow("print --pdf") << QStringList{"print", "--all", "--pdf", "OUT"};
    QTest::newRow("barcode") << QStringList{"barcode", "E1", "--out", "OUT"};
}

void TestCliOutputs::databaseIsNeverTheOutput() {
    QFETCH(QStringList, args);
    const QString db = m_dir->file("Pellorin.db");
    const ino_t before = inodeOf(db);
    QTemporaryDir elsewhere;
    // Each way of naming the database or one of its working files, with a suffix every writer takes.
    const QString hard = elsewhere.filePath("hard.png"), wal = elsewhere.filePath("wal.png");
    QVERIFY(::link(QFile::encodeName(db).constData(), QFile::encodeName(hard).constData()) == 0);
    QVERIFY(QFile::link(db + "-wal", wal));
    for (const QString& target : {hard, wal, db + "-journal", db}) {
        QStringList named = args;
        named.replaceInStrings(QStringLiteral("OUT"), target);
        const CompanionRun run = runCompanion(m_dir->path(), named);
        QVERIFY2(run.status != 0, qPrintable(target));
        if (target.endsWith(".png")) // a badge named otherwise is refused for its suffix first
            QVERIFY2(run.err.contains("database in use"), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(db + "-journal"));
    }
    QCOMPARE(inodeOf(db), before);
    QCOMPARE(runCompanion(m_dir->path(), {"list", "--format", "tsv"}).lines().size(), 2);
}

void TestCliOutputs::pipeIsWrittenInto() {
    QFETCH(QStringList, args);
    QTemporaryDir elsewhere;
    const QString pipe = elsewhere.filePath("pipe.png");
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    args.replaceInStrings(QStringLiteral("OUT"), pipe);
    QProcess process;
    startCompanion(process, m_dir->path(), args);
    QByteArray received;
    char piece[65536];
    QElapsedTimer clock;
    for (clock.start(); process.state() != QProcess::NotRunning && clock.elapsed() < 60000;) {
        process.waitForFinished(20);
        for (ssize_t got; (got = ::read(reader, piece, sizeof piece)) > 0;)
            received.append(piece, got);
    }
    ::close(reader);
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             process.readAllStandardError().constData());
    struct stat info {};
    QVERIFY(::lstat(QFile::encodeName(pipe).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    QVERIFY(!received.isEmpty());
}

void TestCliOutputs::backupLeavesOthersFilesAlone() {
    QTemporaryDir elsewhere;
    const QString copy = elsewhere.filePath("copy.db");
    for (const char* suffix : {".partial", ".partial-journal"})
        QVERIFY(!writeTestFile(copy + suffix, "someone else's").isEmpty());
    QCOMPARE(runCompanion(m_dir->path(), {"backup", copy}).status, 0);
    for (const char* suffix : {".partial", ".partial-journal"})
        QCOMPARE(readTestFile(copy + suffix), QByteArray("someone else's"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files).size(), 3);
    // The copy does not go over the database either.
    QCOMPARE(runCompanion(m_dir->path(), {"backup", m_dir->file("Pellorin.db-journal")}).status, 1);
}

QTEST_GUILESS_MAIN(TestCliOutputs)
#include "tst_cli_outputs.moc"
