// pellorin-cli barcode, badge and print, run as a script would run them: exit status, one line on
// standard error when something is wrong, and the files they write.
#include "../support/testappdir.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <optional>

namespace {

struct Run {
    int status;
    QString out;
    QString err;
};

QString cliPath() {
    return qEnvironmentVariable("PELLORIN_TEST_BINARY_DIR") + QStringLiteral("/cli/pellorin-cli");
}

bool havePdfToText() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

// Pages of the PDF as text, one entry per page.
QStringList pdfPages(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {pdf, "-"});
    process.waitForFinished();
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

bool isDark(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

// The first and last pixel columns with any ink.
std::pair<int, int> inkedColumns(const QImage& image, int row) {
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (isDark(image, x, row)) {
            if (first < 0)
                first = x;
            last = x;
        }
    return {first, last};
}

} // namespace

class TestCliBadges : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.emplace();
        m_dir->addEmployee("Carl", "M", "Brown", "Clerk", "C1");
        m_dir->addEmployee({"Bert", QVariant(), "Cole", "Guard", "B1"});
        m_dir->addEmployee("anna", "B", "adams", "Boss", "a1");
        QFile company(m_dir->file("Company.txt"));
        QVERIFY(company.open(QIODevice::WriteOnly));
        company.write("Acme Security\r\n");
    }
    void cleanup() { m_dir.reset(); }

    void barcodeFillsTheBadgesBoxOrWider_data();
    void barcodeFillsTheBadgesBoxOrWider();
    void barcodeHeightAndLabel_data();
    void barcodeHeightAndLabel();
    void refusals_data();
    void refusals();
    void badgeFileCarriesTheEmployee();
    void badgePictureHasTheBadgesSize();
    void printAllWritesOnePagePerEmployeeInListOrder();
    void printSelectedKeepsTheGivenOrder();
    void printWithoutPrinterOrPdfSaysWhatToDo();

private:
    Run cli(const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(cliPath(), QStringList{"--data-dir", m_dir->path()} + args);
        if (!process.waitForFinished(60000))
            return {-1, {}, QStringLiteral("did not finish")};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    std::optional<TestAppDir> m_dir;
};

void TestCliBadges::barcodeFillsTheBadgesBoxOrWider_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("lastBar");
    // "*AB*": four characters of 19 pixels from x = 10, the last one without its gap.
    QTest::newRow("fits the box") << "AB" << QSize(209, 73) << 10 + 4 * 19 - 2;
    // 18 characters reach x = 350; the picture grows to keep the whole symbol and a quiet zone.
    QTest::newRow("wider than the box") << "ABCDEFGHIJKLMNOP" << QSize(361, 73) << 10 + 18 * 19 - 2;
}

void TestCliBadges::barcodeFillsTheBadgesBoxOrWider() {
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QFETCH(int, lastBar);
    const QString png = m_dir->file("code.png");
    const Run run = cli({"barcode", text, "--out", png, "--startstop", "--label"});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QImage image(png);
    QCOMPARE(image.size(), size);
    QCOMPARE(inkedColumns(image, 20), (std::pair{10, lastBar}));
}

void TestCliBadges::barcodeHeightAndLabel_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("barBottom");
    QTest::addColumn<bool>("labelled");
    QTest::newRow("height 40, no label") << QStringList{"--height", "40"} << 40 << false;
    QTest::newRow("height 40 with label") << QStringList{"--height", "40", "--label"} << 40 << true;
    QTest::newRow("taller than the box") << QStringList{"--height", "120"} << 120 << false;
}

void TestCliBadges::barcodeHeightAndLabel() {
    QFETCH(QStringList, options);
    QFETCH(int, barBottom);
    QFETCH(bool, labelled);
    const QString png = m_dir->file("code.png");
    const Run run = cli(QStringList{"barcode", "C300", "--out", png} + options);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QImage image(png);
    QVERIFY(image.height() > barBottom);
    // Without start/stop the first bar is C's, wide: x = 10 to 13, from y = 1 to the bar height.
    QVERIFY(isDark(image, 10, 1) && isDark(image, 13, barBottom) && !isDark(image, 10, 0));
    bool inkBelow = false;
    for (int y = barBottom + 2; y < image.height(); ++y)
        inkBelow = inkBelow || inkedColumns(image, y).first >= 0;
    QCOMPARE(inkBelow, labelled);
}

void TestCliBadges::refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("barcode, character outside Code 39")
        << QStringList{"barcode", "AB_C", "--out", "x.png"} << 1 << "\"_\"";
    QTest::newRow("barcode without --out") << QStringList{"barcode", "AB"} << 2 << "--out";
    QTest::newRow("barcode, bad height")
        << QStringList{"barcode", "AB", "--out", "x.png", "--height", "tall"} << 2 << "--height";
    QTest::newRow("badge, unknown key")
        << QStringList{"badge", "99", "--out", "x.pdf"} << 1 << "record number 99";
    QTest::newRow("badge, key not a number")
        << QStringList{"badge", "1 OR 1=1", "--out", "x.pdf"} << 2 << "not a record number";
    QTest::newRow("badge, other file type")
        << QStringList{"badge", "1", "--out", "x.jpg"} << 2 << ".pdf or a .png";
    QTest::newRow("print without a choice") << QStringList{"print", "--pdf", "x.pdf"} << 2 << "--selected";
    QTest::newRow("print, both choices")
        << QStringList{"print", "--all", "--selected", "1", "--pdf", "x.pdf"} << 2 << "--selected";
    QTest::newRow("print, unknown key")
        << QStringList{"print", "--selected", "1", "42", "--pdf", "x.pdf"} << 1 << "record number 42";
}

void TestCliBadges::refusals() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    QDir::setCurrent(m_dir->path());
    const Run run = cli(args);
    QCOMPARE(run.status, status);
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    // Nothing half-written is left behind.
    QVERIFY(!QFile::exists(m_dir->file("x.pdf")) && !QFile::exists(m_dir->file("x.png")));
}

void TestCliBadges::badgeFileCarriesTheEmployee() {
    if (!havePdfToText())
        QSKIP("pdftotext (poppler-utils) is needed to read the badge");
    const QString pdf = m_dir->file("bert.pdf");
    const Run run = cli({"badge", "2", "--out", pdf});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    // pdftotext gives one blank between words, so the name's two blanks cannot be seen here.
    for (const char* text : {"Acme Security", "Bert Cole", "Guard", "*B1*"})
        QVERIFY2(pages.first().simplified().contains(QLatin1String(text)), qPrintable(pages.first()));

    // Without a company name the command refuses, as the program does.
    QVERIFY(QFile::remove(m_dir->file("Company.txt")));
    const Run refused = cli({"badge", "2", "--out", m_dir->file("again.pdf")});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains("Add/Edit Company"), qPrintable(refused.err));
}

void TestCliBadges::badgePictureHasTheBadgesSize() {
    const QString png = m_dir->file("carl.png");
    const Run run = cli({"badge", "1", "--out", png});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QImage image(png);
    // The badge's area, 3435 by 5270 twips, at 300 dots per inch.
    QCOMPARE(image.size(), QSize(716, 1098));
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
}

void TestCliBadges::printAllWritesOnePagePerEmployeeInListOrder() {
    if (!havePdfToText())
        QSKIP("pdftotext (poppler-utils) is needed to read the badges");
    const QString pdf = m_dir->file("all.pdf");
    const Run run = cli({"print", "--all", "--pdf", pdf});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY(run.out.contains("3 badge(s)"));
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 3);
    QVERIFY(pages.at(0).contains("anna B adams") && pages.at(0).contains("*A1*"));
    QVERIFY(pages.at(1).contains("Carl M Brown"));
    QVERIFY(pages.at(2).simplified().contains("Bert Cole"));
}

void TestCliBadges::printSelectedKeepsTheGivenOrder() {
    if (!havePdfToText())
        QSKIP("pdftotext (poppler-utils) is needed to read the badges");
    const QString pdf = m_dir->file("two.pdf");
    const Run run = cli({"print", "--selected", "2", "1", "--pdf", pdf});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 2);
    QVERIFY(pages.at(0).simplified().contains("Bert Cole"));
    QVERIFY(pages.at(1).contains("Carl M Brown"));
}

void TestCliBadges::printWithoutPrinterOrPdfSaysWhatToDo() {
    // A print server that is not there: no printer, whatever this machine has set up.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), QStringLiteral("127.0.0.1:9"));
    const Run run = cli({"print", "--all"}, env);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY2(run.err.contains("no printer") && run.err.contains("--pdf"), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestCliBadges)
#include "tst_cli_badges.moc"
