// pellorin-cli import-employees and export-employees as a script runs them: summary line and exit status.
#include "../support/companion.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include <QtTest>

class TestCliImport : public QObject {
    Q_OBJECT
private slots:
    void statusAndSummary_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<qint64>("stored");
        const QString partial = "added 2, updated 0, unchanged 0, skipped 1, photos 1\n";
        QTest::newRow("refused") << QStringList{} << 1 << QString() << qint64(0);
        QTest::newRow("dry run") << QStringList{"--skip-bad", "--dry-run"} << 3 << partial << qint64(0);
        QTest::newRow("skip bad") << QStringList{"--skip-bad"} << 3 << partial << qint64(2);
    }
    void statusAndSummary() {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(qint64, stored);
        TestAppDir dir;
        QDir().mkpath(dir.file("photos"));
        writeTestFile(dir.file("photos/A-1.jpg"), jpegOf(Qt::red));
        const QString list = writeTestFile(dir.file("staff.csv"), "Nachname;Vorname;Personalnummer\n"
                                                                  "Cole;Ann;A-1\nDunn;;D-1\nFox;Ed;F-1\n");
        const CompanionRun run = runCompanion(
            dir.path(), QStringList{"import-employees", list, "--photos", dir.file("photos")} + options);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QVERIFY2(run.err.contains("line 3, column \"Vorname\": Invalid employee first name"),
                 qPrintable(run.err));
        QCOMPARE(dir.count("EmployeeTable"), stored);
    }

    // What export writes, import reads back: the same employees, the photograph byte for byte.
    void exportImportRoundTrip() {
        TestAppDir source;
        source.addEmployee("Zoë", "", "Adams", "Head, \"Sales\"", "Z-1");
        QDir().mkpath(source.file("in"));
        writeTestFile(source.file("in/B-2.jpg"), jpegOf(Qt::green));
        QCOMPARE(runCompanion(source.path(), {"add", "--first", "Bo", "--middle", "B", "--last", "Dunn",
                                              "--code", "B-2", "--photo", source.file("in/B-2.jpg")})
                     .status,
                 0);
        const CompanionRun exported = runCompanion(
            source.path(), {"export-employees", source.file("out.csv"), "--photos", source.file("out")});
        QCOMPARE(exported.out, QStringLiteral("2 employee(s), 1 photograph(s)\n"));
        TestAppDir target;
        const CompanionRun imported = runCompanion(
            target.path(), {"import-employees", source.file("out.csv"), "--photos", source.file("out")});
        QCOMPARE(imported.out, QStringLiteral("added 2, updated 0, unchanged 0, skipped 0, photos 1\n"));
        QCOMPARE(runCompanion(target.path(), {"list"}).out, runCompanion(source.path(), {"list"}).out);
        const CompanionRun again = runCompanion(target.path(), {"import-employees", source.file("out.csv"),
                                                                "--photos", source.file("out"), "--update"});
        QCOMPARE(again.out, QStringLiteral("added 0, updated 0, unchanged 2, skipped 0, photos 0\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliImport)
#include "tst_cli_import.moc"
