// The companion as scripts use it: option values taken whole, output read back exactly, text that
// cannot act on a terminal, one data folder shared with the program, reads that work on read-only data
// and beside a writer, and the check and backup commands.
#include "../support/companion.h"
#include "../support/rawdatabase.h"
#include "../support/readonlypath.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include "app/appfacts.h"
#include "data/connection.h"
#include "data/sqlitefile.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

using Run = CompanionRun;
Run cli(const QString& dataDir, const QStringList& args, const QStringList& environment = {}) {
    return runCompanion(dataDir, args, environment);
}

QJsonArray jsonRows(const Run& run) {
    return QJsonDocument::fromJson(run.raw).object().value(QStringLiteral("rows")).toArray();
}

// One TSV field back to its value: pairs of backslashes first, as they are read from the left.
QString tsvValue(const QString& field) {
    QStringList parts = field.split(QStringLiteral("\\\\"));
    for (QString& part : parts)
        part.replace(QStringLiteral("\\t"), QStringLiteral("\t"))
            .replace(QStringLiteral("\\n"), QStringLiteral("\n"))
            .replace(QStringLiteral("\\r"), QStringLiteral("\r"));
    return parts.join(u'\\');
}

// Adds Ann B Lee under the code with a small photograph written into the folder; returns the photograph's
// path, or an empty text when the companion refused.
QString addWithPhoto(const TestAppDir& dir, const QString& code) {
    const QString photo = writeTestFile(dir.file("p.jpg"), jpegOf(Qt::red, QSize(16, 16)));
    const QStringList args{"add", "--first", "Ann", "--middle", "B",  "--last",
                           "Lee", "--code",  code,  "--photo",  photo};
    return runCompanion(dir.path(), args).status == 0 ? photo : QString();
}

} // namespace

class TestCliScripts : public QObject {
    Q_OBJECT
private slots:
    void optionValuesAreTakenWhole();
    void valuesComeBackExactly_data();
    void valuesComeBackExactly();
    void controlSequencesNeverReachTheTerminal();
    void namedFolderIsNotCreatedUnasked();
    void bothProgramsShareOneFolder();
    void readsWorkReadOnlyAndBesideAWriter();
    void checkAndBackup();
};

void TestCliScripts::optionValuesAreTakenWhole() {
    TestAppDir dir;
    Run run = cli(dir.path(), {"add", "--first", "--version", "--middle", "--data-dir", "--last", "-reverse",
                               "--title", "--", "--code", "--x", "--photo=", "--"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.trimmed(), QStringLiteral("1"));
    run = cli(dir.path(), {"list", "--format", "json"});
    QCOMPARE(jsonRows(run).first().toArray(),
             QJsonArray({1, "--version", "--data-dir", "-reverse", "--", "--x"}));
    QVERIFY(!QFileInfo::exists("--data-dir"));
    // After "--" nothing is an option; an option's value may itself be "--".
    QVERIFY(!addWithPhoto(dir, "--y").isEmpty());
    run = cli(dir.path(), {"photo", "get", "--out", dir.file("out.jpg"), "--", "--y"});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    run = cli(dir.path(), {"add", "--first", "a", "--first", "b", "--middle", "m", "--last", "l"});
    QCOMPARE(run.status, 2);
    QVERIFY(run.err.contains("given twice"));
}

void TestCliScripts::valuesComeBackExactly_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("tab and line ends") << QStringLiteral("a\tb\nc\r\nd\\t\\N");
    QTest::newRow("other separators") << QString::fromUtf8("VT\vFF\fNEL\u0085LS\u2028PS\u2029");
    QTest::newRow("escape sequence") << QStringLiteral("\x1b[2J\x1b]0;title\x07");
    QTest::newRow("leading byte order mark") << QString::fromUtf8("\uFEFFAcme");
    QTest::newRow("quotes and commas") << QStringLiteral("\"Acme, Inc.\" 'x'");
    QTest::newRow("letters") << QString::fromUtf8("Zoë Łukasz 山田 🙂");
}

void TestCliScripts::valuesComeBackExactly() {
    QFETCH(QString, value);
    TestAppDir dir;
    QCOMPARE(cli(dir.path(), {"add", "--first", value, "--middle", "m", "--last", "l", "--title", ""}).status,
             0);
    const QJsonArray row = jsonRows(cli(dir.path(), {"list", "--format", "json"})).first().toArray();
    QCOMPARE(row.at(1).toString(), value);
    QCOMPARE(row.at(4).toString(), QString());

    const Run tsv = cli(dir.path(), {"sql", "SELECT EmployeeFirstName, Title, NULL AS n FROM EmployeeTable",
                                     "--format", "tsv"});
    const QStringList lines = tsv.out.split(u'\n');
    QCOMPARE(lines.size(), 3); // header, one row, nothing after the last line end
    const QStringList fields = lines.at(1).split(u'\t');
    QCOMPARE(fields.size(), 3);
    QCOMPARE(tsvValue(fields.at(0)), value);
    QCOMPARE(fields.at(2), QStringLiteral("\\N"));

    const Run csv =
        cli(dir.path(), {"sql", "SELECT Title, EmployeeFirstName FROM EmployeeTable", "--format=csv"});
    QString expected = value;
    if (value.contains(u',') || value.contains(u'"') || value.contains(u'\n') || value.contains(u'\r'))
        expected = u'"' + expected.replace(u'"', QStringLiteral("\"\"")) + u'"';
    QCOMPARE(csv.out, QStringLiteral("Title,EmployeeFirstName\n\"\",") + expected + u'\n');
}

void TestCliScripts::controlSequencesNeverReachTheTerminal() {
    TestAppDir dir;
    const QString hostile = QStringLiteral("\x1b[2J\x9b"
                                           "31m\u202Eevil");
    QCOMPARE(cli(dir.path(), {"add", "--first", hostile, "--middle", "m", "--last", "l"}).status, 0);
    const QString text = cli(dir.path(), {"list"}).out;
    const Run failed = cli(dir.path(), {"delete", hostile});
    QCOMPARE(failed.status, 2);
    for (const QString& shown : {text, failed.err}) {
        QVERIFY2(!shown.contains(QChar(0x1b)) && !shown.contains(QChar(0x9b)) &&
                     !shown.contains(QChar(0x202E)),
                 qPrintable(shown.toUtf8().toHex()));
        QVERIFY(shown.contains(QStringLiteral("[2J")));
    }
}

void TestCliScripts::namedFolderIsNotCreatedUnasked() {
    QTemporaryDir base;
    const QString missing = QDir(base.path()).filePath(QStringLiteral("mistyped"));
    Run run = cli(missing, {"list"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("does not exist") && run.err.contains("--create"), qPrintable(run.err));
    QCOMPARE(cli(missing, {"add", "--first", "a", "--middle", "b", "--last", "c"}).status, 1);
    QCOMPARE(cli(QString(), {"list"}, {"PELLORIN_HOME=" + missing}).status, 1);
    QCOMPARE(cli(missing, {"list", "--create"}).status, 2); // a read creates nothing
    QVERIFY(!QFileInfo::exists(missing));
    run = cli(missing, {"add", "--create", "--first", "a", "--middle", "b", "--last", "c"});
    QCOMPARE(run.status, 0);
    QCOMPARE(cli(missing, {"list"}).status, 0);
}

void TestCliScripts::bothProgramsShareOneFolder() {
    QTemporaryDir home;
    const QStringList env = {"XDG_DATA_HOME=" + home.path()};
    // A database that the program's earlier version made, in its earlier folder.
    const QString earlier = QDir(home.path()).filePath(QStringLiteral("Pellorin/Pellorin"));
    {
        TestAppDir source;
        source.addEmployee("Ann", "B", "Lee", "", "A1");
        data::Connection c;
        c.open();
        QVERIFY(QDir().mkpath(earlier));
        data::backupDatabase(c, QDir(earlier).filePath(QStringLiteral("Pellorin.db")));
    }
    Run run = cli(QString(), {"list"}, env);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains("moved"), qPrintable(run.err));
    QVERIFY(run.out.contains("Lee"));
    const QString shared = QDir(home.path()).filePath(QStringLiteral("Pellorin"));
    QVERIFY(QFileInfo::exists(QDir(shared).filePath(QStringLiteral("Pellorin.db"))));
    QVERIFY(!QFileInfo::exists(earlier));

    // The program, named as it names itself, finds the same folder.
    QCOMPARE(cli(QString(), {"add", "--first", "a", "--middle", "b", "--last", "c"}, env).status, 0);
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qunsetenv("PELLORIN_HOME");
    QCoreApplication::setApplicationName(QStringLiteral("Pellorin"));
    QCoreApplication::setOrganizationName(QStringLiteral("Pellorin"));
    const AppFacts::DataDirectory program = AppFacts::chooseDataDirectory(QString(), QString());
    QCOMPARE(program.path, shared);
    QVERIFY(program.notice.isEmpty());
    QCOMPARE(RawDatabase(QDir(shared).filePath("Pellorin.db")).column("SELECT count(*) FROM EmployeeTable"),
             QVariantList{qlonglong(2)});
}

void TestCliScripts::readsWorkReadOnlyAndBesideAWriter() {
    TestAppDir source;
    const QString photo = addWithPhoto(source, "A1");
    QVERIFY(!photo.isEmpty());
    QTemporaryDir copyDir;
    QTemporaryDir outDir;
    const QString copy = copyDir.filePath(QStringLiteral("Pellorin.db"));
    QCOMPARE(cli(source.path(), {"backup", copy}).status, 0);
    {
        ReadOnlyPath file(copy);
        ReadOnlyPath folder(copyDir.path());
        if (!file.done() || !folder.done())
            QSKIP("this system cannot make a file read-only for the test");
        Run run = cli(copyDir.path(), {"list"});
        QVERIFY2(run.status == 0 && run.out.contains("Lee"), qPrintable(run.err));
        run = cli(copyDir.path(), {"photo", "get", "A1", "--out", outDir.filePath("a1.jpg")});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(QFileInfo(outDir.filePath("a1.jpg")).size(), QFileInfo(photo).size());
    }

    RawDatabase writer(source.file(QStringLiteral("Pellorin.db")));
    QVERIFY(writer.exec("BEGIN IMMEDIATE"));
    QVERIFY(writer.exec("INSERT INTO EmployeeTable (EmployeeLastName) VALUES ('Uncommitted')"));
    QElapsedTimer timer;
    timer.start();
    const Run run = cli(source.path(), {"list"});
    QVERIFY2(run.status == 0 && run.out.contains("Lee") && !run.out.contains("Uncommitted"),
             qPrintable(run.err));
    // Writers wait up to 10 s for each other; a reader must not wait at all.
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(writer.exec("COMMIT"));
}

void TestCliScripts::checkAndBackup() {
    TestAppDir dir;
    QVERIFY(!addWithPhoto(dir, "A1").isEmpty());
    Run run = cli(dir.path(), {"check"});
    QVERIFY2(run.status == 0 && run.out.contains("integrity: ok") && run.out.contains("result: ok"),
             qPrintable(run.out));

    const QString copy = dir.file(QStringLiteral("copy.db"));
    QCOMPARE(cli(dir.path(), {"backup", copy}).status, 0);
    QCOMPARE(cli(dir.path(), {"backup", copy}).status, 1); // an existing file is never replaced
    QVERIFY(!QFileInfo::exists(copy + ".partial"));

    // A photograph cut short and a link to a document that is gone are both found.
    dir.exec("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES ('B2', ?)",
             {jpegOf(Qt::red, QSize(16, 16)).left(200)});
    dir.exec("INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, "
             "EmployeeIdentification) VALUES ('d', 'e', 'f', 'B2')");
    dir.exec("INSERT INTO ReferenceInfo (DocumentId, PersonalInformationId) VALUES (99, 'x')");
    run = cli(dir.path(), {"check"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.contains("code \"B2\"") && run.out.contains("document that no longer exists") &&
                 run.out.contains("result: 2 problem(s)"),
             qPrintable(run.out));

    // The copy holds the state at the time it was made, and opens as the database of another folder.
    QTemporaryDir other;
    QVERIFY(QFile::copy(copy, other.filePath(QStringLiteral("Pellorin.db"))));
    run = cli(other.path(), {"check"});
    QVERIFY2(run.status == 0 && run.out.contains("employees: 1 "), qPrintable(run.out));
}

QTEST_GUILESS_MAIN(TestCliScripts)
#include "tst_cli_scripts.moc"
