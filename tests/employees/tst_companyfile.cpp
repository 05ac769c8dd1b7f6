#include "app/apperror.h"
#include "app/appfacts.h"
#include "employees/companyfile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

class TestCompanyFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsFirstFieldOfFirstLine_data();
    void readsFirstFieldOfFirstLine();
    void missingFileGivesNoName();
    void unreadableFileIsReported_data();
    void unreadableFileIsReported();
    void ansiMatchesWindowsCodePage();

    void namesReadBackAsWritten_data();
    void namesReadBackAsWritten();
    void writesOneUtf8LineWithCrLf_data();
    void writesOneUtf8LineWithCrLf();
    void replacesLongerPreviousName();
    void readOnlyFolderKeepsPreviousFile();
    void failedWriteKeepsPreviousFile();
    void missingFolderIsReported();

private:
    void writeBytes(const QByteArray& bytes);
    QByteArray fileBytes() const;
    QStringList folderEntries() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestCompanyFile::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    AppFacts::setApplicationDirectory(m_dir->path());
    m_path = companyFilePath();
}

void TestCompanyFile::cleanup() {
    m_dir.reset();
}

void TestCompanyFile::writeBytes(const QByteArray& bytes) {
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray TestCompanyFile::fileBytes() const {
    QFile file(QDir(m_dir->path()).filePath(QStringLiteral("Company.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList TestCompanyFile::folderEntries() const {
    return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

void TestCompanyFile::readsFirstFieldOfFirstLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("Acme\r\n") << QStringLiteral("Acme");
    QTest::newRow("comma ends the field") << QByteArray("Acme, Inc.\r\n") << QStringLiteral("Acme");
    QTest::newRow("quotes protect a comma")
        << QByteArray("\"Acme, Inc.\"\r\n") << QStringLiteral("Acme, Inc.");
    QTest::newRow("text after closing quote") << QByteArray("\"Acme\" Corp, x\r\n") << QStringLiteral("Acme");
    QTest::newRow("unclosed quote ends at line end")
        << QByteArray("\"Acme, Inc\r\nsecond\"\r\n") << QStringLiteral("Acme, Inc");
    QTest::newRow("blanks inside quotes kept")
        << QByteArray("  \"  Acme  \"\r\n") << QStringLiteral("  Acme  ");
    QTest::newRow("leading blanks skipped") << QByteArray("   Acme\r\n") << QStringLiteral("Acme");
    QTest::newRow("leading tab skipped") << QByteArray("\t Acme\r\n") << QStringLiteral("Acme");
    QTest::newRow("trailing blanks kept") << QByteArray("Acme  \r\n") << QStringLiteral("Acme  ");
    QTest::newRow("quote inside a plain field")
        << QByteArray("Joe \"Best\" Bar\r\n") << QStringLiteral("Joe \"Best\" Bar");
    QTest::newRow("leading comma") << QByteArray(",Acme\r\n") << QString();
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("only CR LF") << QByteArray("\r\n") << QString();
    QTest::newRow("empty first line") << QByteArray("\r\nAcme\r\n") << QString();
    QTest::newRow("LF line end") << QByteArray("Acme\nOther\n") << QStringLiteral("Acme");
    QTest::newRow("no line end") << QByteArray("Acme") << QStringLiteral("Acme");
    QTest::newRow("windows-1252 letters and euro")
        << QByteArray("Caf\xe9 M\xfcller \x80\r\n") << QStringLiteral("Café Müller €");
    QTest::newRow("windows-1252 punctuation")
        << QByteArray("\x93Smart\x94 \x96 Co\x99\r\n") << QStringLiteral("“Smart” – Co™");
    QTest::newRow("UTF-8") << QByteArray("Caf\xc3\xa9 M\xc3\xbcller \xe2\x82\xac\r\n")
                           << QStringLiteral("Café Müller €");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbf"
                                                  "Acme, Inc.\r\n")
                                    << QStringLiteral("Acme");
    QTest::newRow("UTF-8 with BOM, quoted")
        << QByteArray("\xef\xbb\xbf\"Caf\xc3\xa9, Inc.\"\r\n") << QStringLiteral("Café, Inc.");
    QTest::newRow("BOM wins over a stray byte") << QByteArray("\xef\xbb\xbf"
                                                              "Caf\xe9\r\n")
                                                << QStringLiteral("Caf\uFFFD");
    QTest::newRow("only the first line decides the encoding")
        << QByteArray("Caf\xc3\xa9\r\nM\xfcller\r\n") << QStringLiteral("Café");
}

void TestCompanyFile::readsFirstFieldOfFirstLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    writeBytes(bytes);
    const std::optional<QString> name = readCompanyName(m_path);
    QVERIFY(name.has_value());
    QCOMPARE(*name, expected);
}

void TestCompanyFile::missingFileGivesNoName() {
    QVERIFY(!readCompanyName(m_path).has_value());
}

void TestCompanyFile::unreadableFileIsReported_data() {
    QTest::addColumn<bool>("folder"); // a folder named Company.txt, otherwise a file nobody may read
    QTest::newRow("folder in place of the file") << true;
    QTest::newRow("no read permission") << false;
}

void TestCompanyFile::unreadableFileIsReported() {
    QFETCH(bool, folder);
    if (folder) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Company.txt")));
    } else {
        writeBytes(QByteArray("Acme\r\n"));
        QVERIFY(QFile::setPermissions(m_path, QFileDevice::WriteOwner));
        if (QFile(m_path).open(QIODevice::ReadOnly))
            QSKIP("file permissions do not bind this user");
    }
    try {
        readCompanyName(m_path);
        QFAIL("an unreadable company file gave a name");
    } catch (const AppError& e) {
        QVERIFY2(e.description().contains(QDir::toNativeSeparators(m_path)), qPrintable(e.description()));
    }
}

void TestCompanyFile::ansiMatchesWindowsCodePage() {
    QStringDecoder codePage("windows-1252");
    if (!codePage.isValid())
        QSKIP("this Qt has no windows-1252 decoder to compare with");
    QByteArray bytes;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        // Bytes the code page leaves undefined decode differently from one library to the next.
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)
            continue;
        bytes.append(char(byte));
    }
    writeBytes(bytes);
    QCOMPARE(readCompanyName(m_path).value_or(QString()), QString(codePage(bytes)));
}

void TestCompanyFile::namesReadBackAsWritten_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const auto same = [](const char* tag, const QString& name) { QTest::newRow(tag) << name << name; };
    same("plain", QStringLiteral("Acme"));
    same("comma", QStringLiteral("Acme, Inc."));
    same("only a comma", QStringLiteral(","));
    same("leading blanks", QStringLiteral("   Acme"));
    same("leading tab", QStringLiteral("\tAcme"));
    same("trailing blanks", QStringLiteral("Acme   "));
    same("only blanks", QStringLiteral("   "));
    same("empty", QString());
    same("apostrophe", QStringLiteral("O'Brien & Sons"));
    same("quotes inside a plain name", QStringLiteral("Joe \"Best\" Bar"));
    same("unicode", QStringLiteral("Ünïcødé 株式会社 😀, GmbH"));
    same("no-break space first", QStringLiteral("\u00a0Acme"));
    same("4 KB with commas", QStringLiteral("Acme, ").repeated(700));
    same("4 KB plain", QString(4096, u'x'));

    // What the quoting cannot hold: double quotes in a name that needs quoting, and line breaks.
    QTest::newRow("typed with enclosing quotes")
        << QStringLiteral("\"Acme, Inc.\"") << QStringLiteral("Acme, Inc.");
    QTest::newRow("leading quote") << QStringLiteral("\"Acme\" Corp") << QStringLiteral("Acme Corp");
    QTest::newRow("quotes and comma") << QStringLiteral("Say \"hi\", Bob") << QStringLiteral("Say hi, Bob");
    QTest::newRow("line break") << QStringLiteral("Acme\r\nInc.") << QStringLiteral("Acme Inc.");
    QTest::newRow("line break then comma")
        << QStringLiteral("Acme\n\n, Inc.") << QStringLiteral("Acme , Inc.");
}

void TestCompanyFile::namesReadBackAsWritten() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    writeCompanyName(m_path, name);
    QCOMPARE(readCompanyName(m_path).value_or(QStringLiteral("<no file>")), expected);
}

void TestCompanyFile::writesOneUtf8LineWithCrLf_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain verbatim") << QStringLiteral("Acme") << QByteArray("Acme\r\n");
    QTest::newRow("apostrophe verbatim") << QStringLiteral("O'Brien") << QByteArray("O'Brien\r\n");
    QTest::newRow("inner quotes verbatim")
        << QStringLiteral("Joe \"Best\" Bar") << QByteArray("Joe \"Best\" Bar\r\n");
    QTest::newRow("UTF-8 without BOM")
        << QStringLiteral("Café €") << QByteArray("Caf\xc3\xa9 \xe2\x82\xac\r\n");
    QTest::newRow("empty") << QString() << QByteArray("\r\n");
    QTest::newRow("comma quoted") << QStringLiteral("Acme, Inc.") << QByteArray("\"Acme, Inc.\"\r\n");
    // Readers that trim fields would lose the blanks otherwise.
    QTest::newRow("trailing blanks quoted") << QStringLiteral("Acme  ") << QByteArray("\"Acme  \"\r\n");
    QTest::newRow("leading blanks quoted") << QStringLiteral("  Acme") << QByteArray("\"  Acme\"\r\n");
}

void TestCompanyFile::writesOneUtf8LineWithCrLf() {
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    writeCompanyName(m_path, name);
    QCOMPARE(fileBytes(), expected);
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("Company.txt")});
}

void TestCompanyFile::replacesLongerPreviousName() {
    writeBytes(QByteArray("Old and much longer company name, Ltd.\r\nsecond line\r\n"));
    writeCompanyName(m_path, QStringLiteral("New"));
    QCOMPARE(fileBytes(), QByteArray("New\r\n"));
}

void TestCompanyFile::readOnlyFolderKeepsPreviousFile() {
    writeCompanyName(m_path, QStringLiteral("Acme"));
    const QFileDevice::Permissions writable = QFile::permissions(m_dir->path());
    QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto restore = qScopeGuard([&] { QFile::setPermissions(m_dir->path(), writable); });

    QFile probe(QDir(m_dir->path()).filePath(QStringLiteral("probe")));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        QSKIP("folder permissions do not bind this user; failedWriteKeepsPreviousFile covers the failure");
    }

    try {
        writeCompanyName(m_path, QStringLiteral("Other"));
        QFAIL("writing into a read-only folder did not fail");
    } catch (const AppError& e) {
        QVERIFY2(e.description().contains(QDir::toNativeSeparators(m_path)), qPrintable(e.description()));
    }
    QCOMPARE(fileBytes(), QByteArray("Acme\r\n"));
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("Company.txt")});
}

void TestCompanyFile::failedWriteKeepsPreviousFile() {
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

    try {
        writeCompanyName(m_path, QString(8192, u'x'));
        QFAIL("a write beyond the file size limit did not fail");
    } catch (const AppError& e) {
        QVERIFY2(e.description().contains(QDir::toNativeSeparators(m_path)), qPrintable(e.description()));
    }
    QCOMPARE(fileBytes(), QByteArray("Acme\r\n"));
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("Company.txt")});
#else
    QSKIP("needs a file size limit");
#endif
}

void TestCompanyFile::missingFolderIsReported() {
    const QString path = QDir(m_dir->path()).filePath(QStringLiteral("gone/Company.txt"));
    try {
        writeCompanyName(path, QStringLiteral("Acme"));
        QFAIL("writing into a missing folder did not fail");
    } catch (const AppError& e) {
        QVERIFY2(e.description().contains(QDir::toNativeSeparators(path)), qPrintable(e.description()));
    }
    QVERIFY(folderEntries().isEmpty());
}

QTEST_GUILESS_MAIN(TestCompanyFile)
#include "tst_companyfile.moc"
