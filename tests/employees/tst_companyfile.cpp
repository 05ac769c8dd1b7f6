#include "../support/errorof.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "employees/companyfile.h"

#include <QtTest>

#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

class TestCompanyFile : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_path;

    void writeBytes(const QByteArray& bytes) { QCOMPARE(writeTestFile(m_path, bytes), m_path); }
    QStringList folderEntries() const {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // The message names the file, so that the operator knows what to mend.
    template <typename Action> void expectFailure(Action action, const QString& path, const char* says = "") {
        const QString error = errorOf(action);
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)) && error.contains(says), qPrintable(error));
    }

private slots:
    void init() {
        m_dir.emplace();
        AppFacts::setApplicationDirectory(m_dir->path());
        m_path = companyFilePath();
    }
    void cleanup() { m_dir.reset(); }

    void readsFirstFieldOfFirstLine_data() {
        QTest::addColumn<QByteArray>("bytes"); // a null array: there is no file
        QTest::addColumn<QString>("expected");
        QTest::newRow("no file") << QByteArray() << "<never set>";
        QTest::newRow("empty file") << QByteArray("") << "";
        QTest::newRow("empty first line") << QByteArray("\r\nAcme\r\n") << "";
        QTest::newRow("comma ends the field") << QByteArray("Acme, Inc.\r\n") << "Acme";
        QTest::newRow("quotes protect a comma") << QByteArray("\"Acme, Inc.\" x\r\n") << "Acme, Inc.";
        QTest::newRow("unclosed quote ends at line end")
            << QByteArray("\"Acme, Inc\r\nsecond\"\r\n") << "Acme, Inc";
        QTest::newRow("leading blanks skipped, trailing kept") << QByteArray("\t Acme  \nx") << "Acme  ";
        // Older installations wrote the ANSI code page, which differs from Latin-1 in 0x80-0x9F.
        QTest::newRow("windows-1252")
            << QByteArray::fromHex("8082838485868788898a8b8c8e9192939495969798999a9b9c9e9fe9fc")
            << "€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸéü";
        // The byte order mark decides even when a stray byte follows.
        QTest::newRow("BOM, quoted") << QByteArray("\xef\xbb\xbf\"Caf\xe9, Inc.\"\r\n") << "Caf\uFFFD, Inc.";
        QTest::newRow("UTF-16 LE by its BOM")
            << QByteArray("\xff\xfe\x41\x00\xe9\x00\x2c\x00\x0d\x00\x0a\x00", 12) << QString::fromUtf8("Aé");
        QTest::newRow("UTF-16 BE by its BOM") << QByteArray("\xfe\xff\x00\x41\x00\x0a\x00\x42", 8) << "A";
        QTest::newRow("only the first line decides the encoding")
            << QByteArray("Caf\xc3\xa9\r\nM\xfcller\r\n") << "Café";
    }
    void readsFirstFieldOfFirstLine() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        if (!bytes.isNull())
            writeBytes(bytes);
        QCOMPARE(readCompanyName(m_path).value_or(QStringLiteral("<never set>")), expected);
    }

    void folderOrBinaryFileIsReported() {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Company.txt")));
        expectFailure([&] { readCompanyName(m_path); }, m_path);
        QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("Company.txt")));
        writeBytes(QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", 16));
        expectFailure([&] { readCompanyName(m_path); }, m_path, "not a text file");
    }

    // One UTF-8 line replaces the whole file. Plain names stand as typed, for older installations; the
    // rest are quoted so that the name reads back whole.

    void namesReadBackAsWritten_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QByteArray>("line"); // a null array: not checked
        // Plain names verbatim; a comma, or blanks that readers trimming fields would lose, quoted.
        const QList<std::pair<const char*, QByteArray>> same = {{"O'Brien \"Best\"", "O'Brien \"Best\"\r\n"},
                                                                {"Café €", "Caf\xc3\xa9 \xe2\x82\xac\r\n"},
                                                                {"Acme, Inc.", "\"Acme, Inc.\"\r\n"},
                                                                {"Acme  ", "\"Acme  \"\r\n"},
                                                                {"   Acme", {}},
                                                                {"Ünïcødé 株式会社 😀, GmbH", {}}};
        for (const auto& [name, line] : same)
            QTest::newRow(name) << name << name << line;
        // What the line cannot hold: double quotes in a name that needs quoting, and line breaks.
        QTest::newRow("typed with enclosing quotes")
            << QString("\"Acme, Inc.\"") << "Acme, Inc." << QByteArray();
        QTest::newRow("quotes and comma") << QString("Say \"hi\", Bob") << "Say hi, Bob" << QByteArray();
        QTest::newRow("line breaks") << QString("Acme\r\n\n, Inc.") << "Acme , Inc." << QByteArray();
    }
    void namesReadBackAsWritten() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QFETCH(QByteArray, line);
        writeBytes(QByteArray("Old and much longer company name, Ltd.\r\nsecond line\r\n"));
        writeCompanyName(m_path, name);
        QCOMPARE(readCompanyName(m_path).value_or(QStringLiteral("<no file>")), expected);
        if (!line.isNull())
            QCOMPARE(readTestFile(m_path), line);
        QCOMPARE(folderEntries(), QStringList{QStringLiteral("Company.txt")});
    }

    // A failed save leaves the previous name, and no half-written file beside it.
    void failedWriteKeepsPreviousFile() {
        const QString elsewhere = m_dir->filePath(QStringLiteral("gone/Company.txt"));
        expectFailure([&] { writeCompanyName(elsewhere, QStringLiteral("Acme")); }, elsewhere);
        QVERIFY(folderEntries().isEmpty());
#ifdef Q_OS_UNIX
        // A file size limit fails the write part-way, as a full disk does, and binds every user.
        writeCompanyName(m_path, QStringLiteral("Acme"));
        rlimit original{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = original;
        small.rlim_cur = 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &original);
            std::signal(SIGXFSZ, oldHandler);
        });
        expectFailure([&] { writeCompanyName(m_path, QString(8192, u'x')); }, m_path);
        QCOMPARE(readTestFile(m_path), QByteArray("Acme\r\n"));
        QCOMPARE(folderEntries(), QStringList{QStringLiteral("Company.txt")});
#endif
    }
};

QTEST_GUILESS_MAIN(TestCompanyFile)
#include "tst_companyfile.moc"
