// pellorin-cli barcode, badge and print, run as a script would run them: exit status, one line on
// standard error when something is wrong, and the files they write.
#include "../support/companion.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <optional>

namespace {

bool havePdfToText() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

// Pages of the PDF as text with blanks run together, one entry per page.
QStringList pdfPages(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {pdf, "-"});
    process.waitForFinished();
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(u'\f');
    for (QString& page : pages)
        page = page.simplified();
    pages.removeAll(QString());
    return pages;
}

bool isDark(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
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
        QVERIFY(!writeTestFile(m_dir->file("Company.txt"), "Acme Security\r\n").isEmpty());
    }
    void cleanup() { m_dir.reset(); }

    void barcode_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("lastBar");
        QTest::addColumn<int>("barBottom"); // 0: what is left above the label
        const QStringList wrapped{"--startstop", "--label"};
        // Characters of 19 pixels from x = 10, the last one without its gap.
        QTest::newRow("fits the box") << "AB" << wrapped << QSize(209, 73) << 10 + 4 * 19 - 2 << 0;
        // The picture grows to keep the whole symbol and a quiet zone.
        QTest::newRow("wider than the box")
            << "ABCDEFGHIJKLMNOP" << wrapped << QSize(361, 73) << 10 + 18 * 19 - 2 << 0;
        QTest::newRow("height with label")
            << "C300" << QStringList{"--height", "40", "--label"} << QSize(209, 73) << 10 + 4 * 19 - 2 << 40;
        QTest::newRow("taller than the box")
            << "C300" << QStringList{"--height", "120"} << QSize(209, 121) << 10 + 4 * 19 - 2 << 120;
    }

    void barcode() {
        QFETCH(QString, text);
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        QFETCH(int, lastBar);
        QFETCH(int, barBottom);
        const QString png = m_dir->file("code.png");
        const CompanionRun run = cli(QStringList{"barcode", text, "--out", png} + options);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        const QImage image(png);
        QCOMPARE(image.size(), size);
        QList<int> inked;
        for (int x = 0; x < image.width(); ++x)
            if (isDark(image, x, 20))
                inked << x;
        QCOMPARE(inked.first(), 10);
        QCOMPARE(inked.last(), lastBar);
        // The first bar runs from y = 1 down to the bar height.
        QVERIFY(!isDark(image, 10, 0));
        int bottom = 0;
        while (bottom + 1 < image.height() && isDark(image, 10, bottom + 1))
            ++bottom;
        if (barBottom)
            QCOMPARE(bottom, barBottom);
        bool inkBelow = false;
        for (int y = bottom + 2; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                inkBelow = inkBelow || isDark(image, x, y);
        QCOMPARE(inkBelow, options.contains("--label"));
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        const auto row = [](const char* tag, const QStringList& args, int status, const char* said) {
            QTest::newRow(tag) << args << status << QString(said);
        };
        row("barcode, character outside Code 39", {"barcode", "AB_C", "--out", "x.png"}, 1, "\"_\"");
        row("barcode without --out", {"barcode", "AB"}, 2, "--out");
        row("badge, key not a number", {"badge", "1 OR 1=1", "--out", "x.pdf"}, 2, "not a record number");
        row("badge, other file type", {"badge", "1", "--out", "x.jpg"}, 2, ".pdf or a .png");
        row("print, both choices", {"print", "--all", "--selected", "1", "--pdf", "x.pdf"}, 2, "--selected");
        row("print, no printer and no --pdf", {"print", "--all"}, 1,
            "no printer is set up on this computer; give --pdf");
        row("print, unknown key", {"print", "--selected", "1", "42", "--pdf", "x.pdf"}, 1,
            "record number 42");
    }

    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, said);
        QDir::setCurrent(m_dir->path());
        const CompanionRun run = cli(args);
        QCOMPARE(run.status, status);
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        // Nothing half-written is left behind.
        QVERIFY(!QFile::exists(m_dir->file("x.pdf")) && !QFile::exists(m_dir->file("x.png")));
    }

    void badgeFileCarriesTheEmployee() {
        const QString png = m_dir->file("carl.png");
        CompanionRun run = cli({"badge", "1", "--out", png});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        // The badge's area, 3435 by 5270 twips, at 300 dots per inch.
        QCOMPARE(QImage(png).size(), QSize(716, 1098));

        const QString pdf = m_dir->file("bert.pdf");
        run = cli({"badge", "2", "--out", pdf});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        if (havePdfToText())
            QCOMPARE(pdfPages(pdf), QStringList{"Acme Security Bert Cole Guard *B1*"});

        // Without a company name the command refuses, as the program does.
        QVERIFY(QFile::remove(m_dir->file("Company.txt")));
        run = cli({"badge", "2", "--out", m_dir->file("again.pdf")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("pellorin-cli company set NAME"), qPrintable(run.err));
    }

    void printWritesOnePagePerEmployee_data() {
        QTest::addColumn<QStringList>("choice");
        QTest::addColumn<QStringList>("names");
        // --all in the list's order, by last name; --selected in the order given.
        QTest::newRow("all") << QStringList{"--all"}
                             << QStringList{"anna B adams Boss *A1*", "Carl M Brown", "Bert Cole"};
        QTest::newRow("selected") << QStringList{"--selected", "2", "1"}
                                  << QStringList{"Bert Cole", "Carl M Brown"};
    }

    void printWritesOnePagePerEmployee() {
        QFETCH(QStringList, choice);
        QFETCH(QStringList, names);
        if (!havePdfToText())
            QSKIP("pdftotext (poppler-utils) is needed to read the badges");
        const QString pdf = m_dir->file("badges.pdf");
        const CompanionRun run = cli(QStringList{"print", "--pdf", pdf} + choice);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QVERIFY(run.out.contains(QStringLiteral("%1 badge(s)").arg(names.size())));
        const QStringList pages = pdfPages(pdf);
        QCOMPARE(pages.size(), names.size());
        for (qsizetype i = 0; i < pages.size(); ++i)
            QVERIFY2(pages.at(i).contains(names.at(i)), qPrintable(pages.at(i)));
    }

    // A code that cannot be drawn or read stops only its own badge; the others print, the left-out ones are
    // named with the command that mends them, and the status tells a script that some are missing.
    void printLeavesOutOnlyWhatCannotBePrinted() {
        if (!havePdfToText())
            QSKIP("pdftotext (poppler-utils) is needed to read the badges");
        m_dir->addEmployee("Dora", "E", "Dunn", "", "AB_1");
        m_dir->addEmployee("Eve", "F", "East", "", "ACME-SECURITY-000042");
        m_dir->addEmployee("Finn", "G", "Frost", "", "F*1");
        const QString pdf = m_dir->file("badges.pdf");
        const CompanionRun run = cli({"print", "--all", "--pdf", pdf});
        QCOMPARE(run.status, 3);
        QVERIFY(run.out.contains("4 badge(s)"));
        QCOMPARE(pdfPages(pdf).size(), 4);
        const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.filter("left out Dora E Dunn (record 4)").size() == 1 &&
                     lines.filter("pellorin-cli update 4 --code").size() == 1,
                 qPrintable(run.err));
        QVERIFY2(lines.filter("left out Eve F East (record 5)").size() == 1, qPrintable(run.err));
        QVERIFY2(lines.filter(QRegularExpression("warning: Finn G Frost .*only \"F\"")).size() == 1,
                 qPrintable(run.err));
    }

    // The layouts the companion knows, a card run with backs in page order, a sheet started at a card, and
    // what it refuses before touching a file.
    void layoutsStartsBacksAndCorrections() {
        QDir().mkpath(m_dir->file("layouts"));
        QVERIFY(!writeTestFile(
                     m_dir->file("layouts/maker-4.sheet"),
                     "name = maker-4\ndescription = four cards\npage = 200 x 130\ncolumns = 2\nrows = 2\n"
                     "first-card = 10 x 10\npitch = 90 x 56\n")
                     .isEmpty());
        CompanionRun run = cli({"layouts"});
        QCOMPARE(run.status, 0);
        QStringList names;
        for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts))
            names.append(line.section(u'\t', 0, 0));
        QCOMPARE(names,
                 QStringList({"design", "card-landscape", "card-portrait", "a4-10", "letter-10", "maker-4"}));

        const QString pdf = m_dir->file("cards.pdf");
        run = cli({"print", "--selected", "1", "2", "--layout", "card-landscape", "--back", "--pdf", pdf});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        if (havePdfToText()) {
            const QStringList pages = pdfPages(pdf);
            QCOMPARE(pages.size(), 4);
            QVERIFY(pages.at(0).contains("Carl") &&
                    pages.at(1).contains("If found, please return to Acme Security") &&
                    pages.at(2).contains("Bert") && !pages.at(3).contains("Bert"));
        }
        run = cli({"print", "--all", "--layout", "maker-4", "--start", "4", "--pdf", pdf});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        if (havePdfToText())
            QCOMPARE(pdfPages(pdf).size(), 2);
        for (const QStringList& wrong : {QStringList{"--layout", "maker-4", "--start", "5"},
                                         QStringList{"--layout", "card-portrait", "--start", "2"},
                                         QStringList{"--layout", "design", "--back"},
                                         QStringList{"--layout", "a4-10", "--scale", "150"}}) {
            run = cli(QStringList{"print", "--all", "--pdf", m_dir->file("never.pdf")} + wrong);
            QVERIFY2(run.status == 2 && !QFile::exists(m_dir->file("never.pdf")), qPrintable(run.err));
        }
        run = cli({"print", "--all", "--layout", "nonesuch", "--pdf", pdf});
        QVERIFY2(run.status == 1 && run.err.contains("Known layouts: design, card-landscape"),
                 qPrintable(run.err));

        run = cli({"printer", "Card Printer", "--offset-x", "0.26", "--scale", "99.5"});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(cli({"printer", "Card Printer"}).out.trimmed(),
                 QStringLiteral("Card Printer\toffset-x 0.3 mm\toffset-y 0.0 mm\tscale 99.5 %"));
    }

private:
    // A print server that is not there: no printer, whatever this machine has set up; the operator's
    // settings stay apart.
    CompanionRun cli(const QStringList& args) {
        return runCompanion(
            m_dir->path(), args,
            {QStringLiteral("CUPS_SERVER=127.0.0.1:9"), "XDG_CONFIG_HOME=" + m_dir->file("config")});
    }

    std::optional<TestAppDir> m_dir;
};

QTEST_GUILESS_MAIN(TestCliBadges)
#include "tst_cli_badges.moc"
