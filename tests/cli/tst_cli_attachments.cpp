// pellorin-cli attachments as a script would run it: upload with versions, list, get byte for byte,
// search in UTF-8 and Windows-1252 files, and one-line failures.
#include "../support/companion.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include <QtTest>

namespace {

CompanionRun companion(const TestAppDir& dir, const QString& command, const QStringList& args) {
    return runCompanion(dir.path(), QStringList{command} + args);
}

CompanionRun attachments(const TestAppDir& dir, const QStringList& args) {
    return companion(dir, QStringLiteral("attachments"), args);
}

} // namespace

class TestCliAttachments : public QObject {
    Q_OBJECT
private slots:
    void uploadListGetAndSearch();
    void failuresSayWhatIsWrong();
};

void TestCliAttachments::uploadListGetAndSearch() {
    TestAppDir dir;
    const auto printed = [&dir](const QStringList& args) { return attachments(dir, args).lines(); };
    const QString utf8 = writeTestFile(dir.file("a.txt"), QString("Herr Müller, invoice 42").toUtf8());
    const QString ansi = writeTestFile(dir.file("b.txt"), QByteArray("Frau M\xdcLLER\r\n"));
    QCOMPARE(printed({"upload", utf8, "--name", "a.txt", "--person", "P1", "--versioned"}),
             QStringList{"1\t1"});
    QCOMPARE(printed({"upload", ansi, "--name", "O'Brien.txt", "--person", "P2", "--description", "ansi"}),
             QStringList{"2\t0"});
    QCOMPARE(printed({"upload", ansi, "--name", "a.txt", "--person", "P1", "--versioned"}),
             QStringList{"3\t2"});
    QCOMPARE(printed({"list", "--person", "P1"}), QStringList({"1\ta.txt\t1\tP1\t", "3\ta.txt\t2\tP1\t"}));
    QCOMPARE(printed({"search", "müller"}), QStringList({"1\ta.txt\t1", "2\tO'Brien.txt\t0", "3\ta.txt\t2"}));
    QCOMPARE(printed({"search", "Müller", "--exact-case"}), QStringList{"1\ta.txt\t1"});
    QCOMPARE(printed({"search", "invoice", "--sql", "SELECT * FROM Attachments WHERE AttachmentsId > 1"}),
             QStringList());
    QCOMPARE(printed({"search", "INVOICE", "--format", "csv"}),
             QStringList({"DocumentId,DocumentName,Version", "1,a.txt,1"}));
    // An option's value is taken whole, even when it looks like another option.
    QCOMPARE(printed({"upload", utf8, "--name", "d.txt", "--person", "P3", "--description", "--versioned"}),
             QStringList{"4\t0"});
    QCOMPARE(printed({"list", "--person", "P3"}), QStringList{"4\td.txt\t0\tP3\t--versioned"});
    QCOMPARE(attachments(dir, {"get", "2", "--out", dir.file("copy.txt")}).status, 0);
    QCOMPARE(readTestFile(dir.file("copy.txt")), readTestFile(ansi));
    // The library's search reads its stored documents the same way.
    const QString folder = companion(dir, "library", {"add-folder", "Contracts"}).lines().value(0);
    companion(dir, "library", {"upload", folder, ansi});
    companion(dir, "library", {"upload", folder, writeTestFile(dir.file("w.txt"), "nichts")});
    QCOMPARE(companion(dir, "library", {"search", "MÜLLER"}).lines(), QStringList{"1\tb.txt\t1"});
}

void TestCliAttachments::failuresSayWhatIsWrong() {
    TestAppDir dir;
    const struct {
        QStringList args;
        int status;
        const char* says;
    } cases[] = {
        {{"upload", dir.file("gone.txt"), "--name", "g", "--person", "P"}, 1, "gone.txt"},
        {{"upload", dir.file("gone.txt"), "--person", "P"}, 2, "usage"},
        {{"get", "7", "--out", dir.file("x")}, 1, "no such row"},
        {{"get", "seven", "--out", dir.file("x")}, 2, "not a record number"},
        {{"list", "--out", "x"}, 2, "--out is not an option"},
        {{"search", "x", "--sql", "SELECT * FROM Nowhere"}, 1, "Nowhere"},
    };
    for (const auto& c : cases) {
        const CompanionRun result = attachments(dir, c.args);
        QCOMPARE(result.status, c.status);
        QVERIFY2(result.err.contains(QLatin1String(c.says)) && result.err.count(u'\n') == 1,
                 qPrintable(result.err));
    }
    QVERIFY(!QFile::exists(dir.file("x")));
}

QTEST_GUILESS_MAIN(TestCliAttachments)
#include "tst_cli_attachments.moc"
