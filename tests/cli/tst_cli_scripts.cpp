// The companion as scripts use it: option values taken whole, output read back exactly, text that
// cannot act on a terminal, one data folder shared with the program, reads that work on read-only data
// and beside a writer, and the check and backup commands.
#include "../support/rawdatabase.h"
#include "../support/readonlypath.h"
#include "../support/testappdir.h"

#include "app/appfacts.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "data/sqlitefile.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int status;
    QByteArray out;
    QString err;
};

// Runs the companion; dataDir is passed with --data-dir unless empty. environment adds to the test's.
Run cli(const QString& dataDir, QStringList args, const QStringList& environment = {}) {
    QProcess process;
    if (!dataDir.isEmpty())
        args = QStringList{QStringLiteral("--data-dir"), dataDir} + args;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("PELLORIN_HOME"));
    for (const QString& pair : environment)
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("PELLORIN_TEST_BINARY_DIR") + QStringLiteral("/cli/pellorin-cli"),
                  args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

QJsonArray jsonRows(const Run& run) {
    return QJsonDocument::fromJson(run.out).object().value(QStringLiteral("rows")).toArray();
}

// One TSV field back to its value.
QString tsvValue(const QString& field) {
    QString value;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\' || i + 1 == field.size()) {
            value += field[i];
            continue;
        }
        const QChar next = field[++i];
        value += next == u't'   ? QChar(u'\t')
                 : next == u'n' ? QChar(u'\n')
                 : next == u'r' ? QChar(u'\r')
                                : next;
    }
    return value;
}

QByteArray jpeg() {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// Writes a small photograph into the folder; returns its path.
QString writePhoto(const TestAppDir& dir) {
    QFile photo(dir.file("p.jpg"));
    if (!photo.open(QIODevice::WriteOnly) || photo.write(jpeg()) <= 0)
        qFatal("cannot write the test photograph");
    return photo.fileName();
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
    QCOMPARE(run.out.trimmed(), QByteArray("1"));
    run = cli(dir.path(), {"list", "--format", "json"});
    QCOMPARE(jsonRows(run).first().toArray(),
             QJsonArray({1, "--version", "--data-dir", "-reverse", "--", "--x"}));
    QVERIFY(!QFileInfo::exists("--data-dir"));
    // After "--" nothing is an option; an option's value may itself be "--".
    const QString photo = writePhoto(dir);
    QCOMPARE(cli(dir.path(),
                 {"add", "--first", "a", "--middle", "b", "--last", "c", "--code", "--y", "--photo", photo})
                 .status,
             0);
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
    const QStringList lines = QString::fromUtf8(tsv.out).split(u'\n');
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
    QCOMPARE(QString::fromUtf8(csv.out), QStringLiteral("Title,EmployeeFirstName\n\"\",") + expected + u'\n');
}

void TestCliScripts::controlSequencesNeverReachTheTerminal() {
    TestAppDir dir;
    const QString hostile = QStringLiteral("\x1b[2J\x9b"
                                           "31m\u202Eevil");
    QCOMPARE(cli(dir.path(), {"add", "--first", hostile, "--middle", "m", "--last", "l"}).status, 0);
    const QString text = QString::fromUtf8(cli(dir.path(), {"list"}).out);
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
    QVERIFY(QString::fromUtf8(run.out).contains("Lee"));
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
    AppFacts::setApplicationDirectory(program.path);
    data::Connection c;
    c.open();
    data::Recordset rs;
    rs.open(QStringLiteral("select * from EmployeeTable"), c);
    QCOMPARE(rs.recordCount(), 2);
}

void TestCliScripts::readsWorkReadOnlyAndBesideAWriter() {
    TestAppDir source;
    const QString photo = writePhoto(source);
    QCOMPARE(cli(source.path(), {"add", "--first", "Ann", "--middle", "B", "--last", "Lee", "--code", "A1",
                                 "--photo", photo})
                 .status,
             0);
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
    const QString photo = writePhoto(dir);
    QCOMPARE(cli(dir.path(),
                 {"add", "--first", "a", "--middle", "b", "--last", "c", "--code", "A1", "--photo", photo})
                 .status,
             0);
    Run run = cli(dir.path(), {"check"});
    QVERIFY2(run.status == 0 && run.out.contains("integrity: ok") && run.out.contains("result: ok"),
             run.out.constData());

    const QString copy = dir.file(QStringLiteral("copy.db"));
    QCOMPARE(cli(dir.path(), {"backup", copy}).status, 0);
    QCOMPARE(cli(dir.path(), {"backup", copy}).status, 1); // an existing file is never replaced
    QVERIFY(!QFileInfo::exists(copy + ".partial"));

    // A photograph cut short and a link to a document that is gone are both found.
    dir.exec("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES ('B2', ?)",
             {jpeg().left(200)});
    dir.exec("INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, "
             "EmployeeIdentification) VALUES ('d', 'e', 'f', 'B2')");
    dir.exec("INSERT INTO ReferenceInfo (DocumentId, PersonalInformationId) VALUES (99, 'x')");
    run = cli(dir.path(), {"check"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.contains("code \"B2\"") && run.out.contains("document that no longer exists") &&
                 run.out.contains("result: 2 problem(s)"),
             run.out.constData());

    // The copy holds the state at the time it was made, and opens as the database of another folder.
    QTemporaryDir other;
    QVERIFY(QFile::copy(copy, other.filePath(QStringLiteral("Pellorin.db"))));
    run = cli(other.path(), {"check"});
    QVERIFY2(run.status == 0 && run.out.contains("employees: 1 "), run.out.constData());
}

QTEST_GUILESS_MAIN(TestCliScripts)
#include "tst_cli_scripts.moc"
