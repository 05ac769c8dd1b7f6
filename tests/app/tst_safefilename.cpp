// Safe names for temporary files made from stored files' names: ordinary names kept, everything else
// kept inside its folder, with the extension the desktop needs to open it.
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/safefilename.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestSafeFileName : public QObject {
    Q_OBJECT
private slots:
    void storedNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern"); // regular expression the whole result matches
        QTest::newRow("ordinary") << QString("report 2024.pdf") << "report 2024\\.pdf";
        QTest::newRow("quote") << QString("O'Brien.docx") << "O_Brien~[0-9a-f]{16}\\.docx";
        QTest::newRow("climbs out") << QString("../../etc/passwd") << "______etc_passwd~[0-9a-f]{16}";
        QTest::newRow("Windows path") << QString("C:\\x\\a.txt") << "C__x_a~[0-9a-f]{16}\\.txt";
        QTest::newRow("device") << QString("CON.txt") << "CON~[0-9a-f]{16}\\.txt";
        QTest::newRow("accents") << QString("Müller.odt") << "M_ller~[0-9a-f]{16}\\.odt";
        QTest::newRow("no extension to keep") << QString("a*b.tar gz") << "a_b_tar_gz~[0-9a-f]{16}";
        QTest::newRow("empty") << QString("") << "~[0-9a-f]{16}";
    }

    void storedNames() {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        const QString safe = app::safeStoredFileName(name);
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(safe).hasMatch(),
                 qPrintable(safe));
        // Names that read alike still get files of their own.
        QVERIFY(app::safeStoredFileName(name + u'/') != safe);
    }

    void tempFoldersAreMadeWhenMissing() {
        QTemporaryDir dir;
        AppFacts::setApplicationDirectory(dir.path());
        QCOMPARE(app::ensureTempFolder("Search"), dir.path() + "/temp/Search");
        QVERIFY(QDir(dir.path() + "/temp/Search").exists());
        QCOMPARE(app::ensureTempFolder(), dir.path() + "/temp");
        // A file where the folder should be is named in the message.
        QVERIFY(!writeTestFile(dir.path() + "/temp/Busy", "").isEmpty());
        QVERIFY_THROWS_EXCEPTION(AppError, app::ensureTempFolder("Busy"));
    }
};

QTEST_GUILESS_MAIN(TestSafeFileName)
#include "tst_safefilename.moc"
