// Taking over an existing installation's Pellorin.mdb through the reader process: nothing lost, the
// Access file untouched, and any failure leaves the folder as it was.
#include "../support/companion.h"
#include "../support/errorof.h"
#include "../support/mdbfixtures.h"
#include "../support/rawdatabase.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/scriptedplatform.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/legacy/mdbimport.h"
#include "data/legacy/ui/legacystart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <sys/stat.h>
#include <utime.h>

namespace {

QVariantList column(const QString& dbPath, const QString& sql) {
    return RawDatabase(dbPath).column(sql);
}

QStringList folderEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

// A stand-in for the reader that misbehaves the way a damaged file can make it.
QString writeScript(const QTemporaryDir& dir, const QString& body) {
    const QString path =
        writeTestFile(dir.filePath(QStringLiteral("reader.sh")), ("#!/bin/sh\n" + body + "\n").toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// The sample with `from` replaced by `to`, both read every `stride` bytes: a column's name in its
// table definition, or the type bytes of a table's column entries (25 bytes apart).
QByteArray damagedSample(const QByteArray& from, const QByteArray& to, int stride) {
    QFile file(mdbfixtures::sample());
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    for (qsizetype at = 0; at + stride * from.size() < bytes.size(); ++at) {
        bool found = true;
        for (qsizetype i = 0; i < from.size() && found; ++i)
            found = bytes[at + stride * i] == from[i];
        if (found) {
            for (qsizetype i = 0; i < to.size(); ++i)
                bytes[at + stride * i] = to[i];
            return bytes;
        }
    }
    return QByteArray();
}

QByteArray utf16(const char* text) {
    const QString name = QString::fromLatin1(text);
    return QByteArray(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
}

} // namespace

class TestMdbImport : public QObject {
    Q_OBJECT
private slots:
    void importsEveryRowAndLongValue();
    void failuresLeaveTheFolderAsItWas_data();
    void failuresLeaveTheFolderAsItWas();
    void replacesADatabaseWithRowsOnlyOnRequestAndKeepsIt();
    void damagedTableDefinitionsAreRefused_data();
    void damagedTableDefinitionsAreRefused();
    void secondImportAndOpenDatabaseAreRefused();
    void importGoesIntoTheNamedDatabase();
    void firstStart_data();
    void firstStart();
};

void TestMdbImport::importsEveryRowAndLongValue() {
    REQUIRE_FIXTURES();
    QTemporaryDir dir;
    const QString mdb = dir.filePath(QStringLiteral("Pellorin.mdb"));
    QVERIFY(QFile::copy(mdbfixtures::sample(), mdb));
    QFile::setPermissions(mdb, QFile::ReadOwner | QFile::WriteOwner);
    const QString before = mdbfixtures::sha256(readTestFile(mdb));
    // Time stamps in the past: reading the file would move its access time if it were not kept.
    const utimbuf past{1'200'000'000, 1'200'000'000};
    QCOMPARE(::utime(QFile::encodeName(mdb).constData(), &past), 0);

    const QString db = dir.filePath(QStringLiteral("Pellorin.db"));
    QList<int> progress;
    legacy::ImportOptions options;
    options.progress = [&progress](int permille) {
        if (permille >= 0)
            progress.append(permille);
        return true;
    };
    const legacy::ImportSummary summary = legacy::importMdb(mdb, db, options);

    QCOMPARE(summary.format, QStringLiteral("Jet4"));
    QCOMPARE(summary.tables.size(), size_t(5));
    QCOMPARE(summary.tables[1].name, QStringLiteral("Attachments"));
    QCOMPARE(summary.tables[1].rows, 5);
    QCOMPARE(summary.tables[1].longBytes, 4255 + 4179 + 4524 + 90883 + 20000);
    QVERIFY(summary.leftOut.isEmpty());
    QVERIFY(summary.backup.isEmpty());
    QVERIFY(!progress.isEmpty() && progress.last() == 1000);
    const QStringList lines = legacy::summaryLines(summary);
    QVERIFY(lines.contains(QStringLiteral("  Resources: 6 rows, 6 long values, 66110 bytes")));

    // Every long value byte for byte, Null kept apart, keys kept.
    const auto manifest = mdbfixtures::manifest();
    for (const auto& [table, key, col] : {std::tuple{"Attachments", "AttachmentsId", "Attachments"},
                                          std::tuple{"Resources", "DocumentId", "Document"}}) {
        const QVariantList keys = column(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY 1").arg(key, table));
        const QVariantList values =
            column(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(col, table, key));
        QCOMPARE(keys.size(), values.size());
        for (qsizetype i = 0; i < keys.size(); ++i)
            QCOMPARE(mdbfixtures::sha256(values[i].toByteArray()),
                     manifest[QStringLiteral("%1.%2.%3").arg(table, keys[i].toString(), col)].second);
    }
    QCOMPARE(column(db, QStringLiteral(
                            "SELECT quote(EmployeeMiddleName) FROM EmployeeTable WHERE EmployeeId = 2")),
             QVariantList{QStringLiteral("NULL")});
    QCOMPARE(column(db, QStringLiteral("SELECT EmployeeFirstName FROM EmployeeTable WHERE EmployeeId = 3")),
             QVariantList{QString::fromUtf8("Chloé")});
    QCOMPARE(
        column(db, QStringLiteral("SELECT quote(DocumentDate) FROM Resources ORDER BY DocumentId")).last(),
        QVariant(QStringLiteral("NULL")));
    QCOMPARE(column(db, QStringLiteral("PRAGMA journal_mode")), QVariantList{QStringLiteral("wal")});

    // The program's own data layer takes the file as it is, and new rows continue after the highest key.
    AppFacts::setApplicationDirectory(dir.path());
    {
        data::Connection connection;
        connection.open();
        connection.execute(QStringLiteral(
            "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, "
            "EmployeeLastName, Title, EmployeeIdentification) VALUES ('G', 'H', 'I', '', 'G700')"));
    }
    QCOMPARE(column(db, QStringLiteral("SELECT max(EmployeeId) FROM EmployeeTable")),
             QVariantList{qlonglong(7)});

    // The Access file was only read: not even its access time moved.
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(mdb).constData(), &info), 0);
    QCOMPARE(qint64(info.st_mtime), qint64(past.modtime));
    QCOMPARE(qint64(info.st_atime), qint64(past.actime));
    QCOMPARE(mdbfixtures::sha256(readTestFile(mdb)), before);
    QCOMPARE(folderEntries(dir.path()).filter(QStringLiteral("importing")), QStringList());
}

void TestMdbImport::failuresLeaveTheFolderAsItWas_data() {
    QTest::addColumn<QString>("file");   // under third-party/, or the sample
    QTest::addColumn<QString>("script"); // a stand-in for the reader; empty for the real one
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("message");
    for (const char* name :
         {"jackcess_test2V1997.mdb", "jackcess_test2V2000.mdb", "jackcess_testUnicodeCompV2003.mdb",
          "debian-mrtg-contrib_Monitor.mdb", "npm-mdb_fruit.mdb"})
        QTest::newRow(name) << QString::fromLatin1(name) << QString() << false << "holds no EmployeeTable";
    QTest::newRow("cancelled") << QString() << QString() << true << "cancelled; nothing was changed";
    QTest::newRow("reader crashes") << QString() << "echo 'progress\t10'; : > \"$2\"; kill -SEGV $$" << false
                                    << "stopped unexpectedly";
    QTest::newRow("reader hangs") << QString() << "echo 'progress\t10'; : > \"$2\"; exec sleep 30" << false
                                  << "stopped making progress";
    QTest::newRow("reader gives up") << QString() << "echo 'error\tpage 7 is not a data page'; exit 1"
                                     << false << "page 7 is not a data page";
    QTest::newRow("reader ends early")
        << QString() << ": > \"$2\"; exit 0" << false << "ended without finishing";
    QTest::newRow("reader miscounts")
        << QString()
        << "cp \"$PELLORIN_TEST_EMPTY_DB\" \"$2\"; printf 'table\\tEmployeeTable\\t3\\t0\\t0\\nok\\n'"
        << false << "EmployeeTable holds 0 rows instead of 3";
}

void TestMdbImport::failuresLeaveTheFolderAsItWas() {
    REQUIRE_FIXTURES();
    QFETCH(QString, file);
    QFETCH(QString, script);
    QFETCH(bool, cancel);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QTemporaryDir scripts;
    // An empty database with one table, for the reader that miscounts.
    const QString emptyDb = scripts.filePath(QStringLiteral("empty.db"));
    QVERIFY(RawDatabase(emptyDb).exec(
        QStringLiteral("CREATE TABLE EmployeeTable (EmployeeId INTEGER PRIMARY KEY)")));
    qputenv("PELLORIN_TEST_EMPTY_DB", QFile::encodeName(emptyDb));
    qputenv("PELLORIN_MDB_READER",
            (script.isEmpty() ? legacy::readerProgram() : writeScript(scripts, script)).toLocal8Bit());
    const auto restore = qScopeGuard([] { qunsetenv("PELLORIN_MDB_READER"); });
    legacy::ImportOptions options;
    options.silenceLimitMs = 500;
    options.progress = [cancel](int) { return !cancel; };
    const QString error = errorOf([&] {
        legacy::importMdb(file.isEmpty() ? mdbfixtures::sample() : mdbfixtures::thirdParty(file),
                          dir.filePath(QStringLiteral("Pellorin.db")), options);
    });
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

void TestMdbImport::replacesADatabaseWithRowsOnlyOnRequestAndKeepsIt() {
    REQUIRE_FIXTURES();
    TestAppDir app;
    AppFacts::setApplicationDirectory(app.path());
    app.addEmployee(QStringLiteral("Kept"), QStringLiteral("In"), QStringLiteral("Backup"), QString(),
                    QStringLiteral("K1"));
    const QString db = app.file(QStringLiteral("Pellorin.db"));
    QVERIFY_THROWS_EXCEPTION(AppError, legacy::importMdb(mdbfixtures::sample(), db));
    QCOMPARE(app.count(QStringLiteral("EmployeeTable")), 1);

    legacy::ImportOptions options;
    options.replace = true;
    const legacy::ImportSummary summary = legacy::importMdb(mdbfixtures::sample(), db, options);
    QVERIFY(QFileInfo::exists(summary.backup));
    QCOMPARE(column(summary.backup, QStringLiteral("SELECT EmployeeLastName FROM EmployeeTable")),
             QVariantList{QStringLiteral("Backup")});
    QVERIFY(legacy::summaryLines(summary).last().contains(summary.backup));
    QCOMPARE(column(db, QStringLiteral("SELECT count(*) FROM EmployeeTable")), QVariantList{qlonglong(6)});
}

void TestMdbImport::damagedTableDefinitionsAreRefused_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<int>("stride");
    QTest::addColumn<QString>("message");
    QTest::newRow("column renamed") << utf16("EmployeeLastName") << utf16("EmployeeLastNamf") << 1
                                    << "its table EmployeeTable has no column EmployeeLastName";
    QTest::newRow("text became OLE") << QByteArray("\x04\x03\x04\x0a\x0a")
                                     << QByteArray("\x04\x03\x04\x0a\x0b") << 25
                                     << "column ObjectText of its table ObjectTbl is of the type OLE Object";
    QTest::newRow("number became date")
        << QByteArray("\x04\x0a\x04\x08\x0b\x04") << QByteArray("\x04\x0a\x08") << 25
        << "column DocuemntVersion of its table Resources is of the type Date";
}

void TestMdbImport::damagedTableDefinitionsAreRefused() {
    REQUIRE_FIXTURES();
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(int, stride);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QByteArray bytes = damagedSample(from, to, stride);
    QVERIFY(!bytes.isEmpty());
    const QString mdb = writeTestFile(dir.filePath(QStringLiteral("Pellorin.mdb")), bytes);
    const QString error =
        errorOf([&] { legacy::importMdb(mdb, dir.filePath(QStringLiteral("Pellorin.db"))); });
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("Pellorin.mdb")});
}

void TestMdbImport::secondImportAndOpenDatabaseAreRefused() {
    REQUIRE_FIXTURES();
    TestAppDir app;
    // A reader that takes its time, so that the two imports overlap.
    QTemporaryDir scripts;
    const QString slow = writeScript(scripts, "sleep 2; exec \"" + legacy::readerProgram() + "\" \"$@\"");
    QProcess first, second;
    startCompanion(first, app.path(), {"import-mdb", "--replace", mdbfixtures::sample()},
                   {"PELLORIN_MDB_READER=" + slow});
    QTest::qWait(500);
    startCompanion(second, app.path(), {"import-mdb", "--replace", mdbfixtures::sample()},
                   {"PELLORIN_MDB_READER=" + slow});
    const CompanionRun later = finishCompanion(second);
    QCOMPARE(finishCompanion(first).status, 0);
    QCOMPARE(later.status, 1);
    QVERIFY2(later.err.contains("Another import"), qPrintable(later.err));

    // This process keeps the database open, as a running program does.
    const QStringList before = folderEntries(app.path());
    {
        QSqlDatabase open = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("open"));
        open.setDatabaseName(app.file(QStringLiteral("Pellorin.db")));
        QVERIFY(open.open());
        QSqlQuery(open).exec(QStringLiteral("SELECT count(*) FROM EmployeeTable"));
        const CompanionRun refused =
            runCompanion(app.path(), {"import-mdb", "--replace", mdbfixtures::sample()});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains("open in another program"), qPrintable(refused.err));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("open"));
    QCOMPARE(folderEntries(app.path()), before);

    // A program writing a large value straight into the file has left the log meanwhile.
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PELLORIN_HOLD_WRITE_LOCK"), app.file(QStringLiteral("Pellorin.db")));
    holder.setProcessEnvironment(env);
    holder.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(holder.waitForReadyRead(20000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    const CompanionRun writing = runCompanion(app.path(), {"import-mdb", "--replace", mdbfixtures::sample()});
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(20000));
    QCOMPARE(writing.status, 1);
    QVERIFY2(writing.err.contains("open in another program"), qPrintable(writing.err));
}

void TestMdbImport::importGoesIntoTheNamedDatabase() {
    REQUIRE_FIXTURES();
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString named = elsewhere.filePath(QStringLiteral("named.db"));
    const CompanionRun run =
        runCompanion(dir.path(), {"--database", "Provider=SQLite;Data Source=" + named + ";", "import-mdb",
                                  mdbfixtures::sample()});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(column(named, QStringLiteral("SELECT count(*) FROM EmployeeTable")), QVariantList{qlonglong(6)});
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Pellorin.db"))));

    // The first start does the same.
    QVERIFY(QFile::copy(mdbfixtures::sample(), dir.filePath(QStringLiteral("Pellorin.mdb"))));
    AppFacts::setApplicationDirectory(dir.path());
    const QString second = elsewhere.filePath(QStringLiteral("second.db"));
    data::setConfiguredConnectionString("Provider=SQLite;Data Source=" + second + ";");
    ScriptedPlatform platform;
    const auto outcome = legacy::ui::takeOverExistingInstallation(nullptr);
    data::setConfiguredConnectionString(QString());
    QCOMPARE(outcome, legacy::ui::StartOutcome::Imported);
    QCOMPARE(column(second, QStringLiteral("SELECT count(*) FROM Attachments")), QVariantList{qlonglong(5)});
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Pellorin.db"))));
}

void TestMdbImport::firstStart_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");
    QTest::newRow("existing installation")
        << QString() << int(legacy::ui::StartOutcome::Imported) << "EmployeeTable: 6 rows";
    QTest::newRow("not a Pellorin database")
        << "npm-mdb_fruit.mdb" << int(legacy::ui::StartOutcome::Failed) << "holds no EmployeeTable";
}

void TestMdbImport::firstStart() {
    REQUIRE_FIXTURES();
    QFETCH(QString, file);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    QTemporaryDir dir;
    AppFacts::setApplicationDirectory(dir.path());
    ScriptedPlatform platform;
    QCOMPARE(legacy::ui::takeOverExistingInstallation(nullptr), legacy::ui::StartOutcome::NothingToDo);
    QVERIFY(QFile::copy(file.isEmpty() ? mdbfixtures::sample() : mdbfixtures::thirdParty(file),
                        dir.filePath(QStringLiteral("Pellorin.mdb"))));

    QCOMPARE(int(legacy::ui::takeOverExistingInstallation(nullptr)), outcome);
    QCOMPARE(platform.messages.size(), 2);
    QVERIFY(platform.messages[0].text.contains(QStringLiteral("existing installation")));
    QCOMPARE(platform.progressLabels.size(), 1);
    QVERIFY2(platform.messages[1].text.contains(message), qPrintable(platform.messages[1].text));
    if (outcome == int(legacy::ui::StartOutcome::Failed)) {
        QCOMPARE(platform.messages[1].icon, Platform::Icon::Critical);
        QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("Pellorin.mdb")});
        return;
    }
    QVERIFY(platform.progressUpdates > 0);
    QCOMPARE(column(dir.filePath(QStringLiteral("Pellorin.db")),
                    QStringLiteral("SELECT count(*) FROM Attachments")),
             QVariantList{qlonglong(5)});
    // Once the program's database exists the Access file is left alone.
    QCOMPARE(legacy::ui::takeOverExistingInstallation(nullptr), legacy::ui::StartOutcome::NothingToDo);
}

// Started with PELLORIN_HOLD_WRITE_LOCK=FILE, this program is the other program: it holds a write of FILE
// in rollback mode, as one storing a large value straight into the file does, until its input closes.
int holdWriteLock(const QString& file) {
    RawDatabase raw(file);
    const bool held = raw.column(QStringLiteral("PRAGMA journal_mode=DELETE")) == QVariantList{"delete"} &&
                      raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
    QTextStream(stdout) << (held ? "held" : "refused") << Qt::endl;
    QFile input;
    if (input.open(stdin, QIODevice::ReadOnly))
        input.readAll();
    return held ? 0 : 1;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (const QString file = qEnvironmentVariable("PELLORIN_HOLD_WRITE_LOCK"); !file.isEmpty())
        return holdWriteLock(file);
    TestMdbImport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mdbimport.moc"
