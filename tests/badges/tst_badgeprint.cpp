// Printed badges read back the way a person or a scanner meets them: barcodes decoded from the rendered
// PDF, texts and the photograph found at their print positions, one page per badge.
#include "../support/errorof.h"
#include "../support/printedbadges.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "badges/badgelayout.h"
#include "badges/badgepainter.h"
#include "badges/badgeprinting.h"

#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QtTest>

#include <optional>

namespace {

struct Word {
    QString text;
    QRectF box; // points from the top-left corner of the page
    int page;
};

QList<Word> pdfWords(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"});
    process.waitForFinished();
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression word(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<Word> words;
    int page = 0;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        const QRectF box(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                         QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
        words.append({m.captured(5).replace(QLatin1String("&amp;"), QLatin1String("&")), box, page});
    }
    return words;
}

std::optional<Word> findWord(const QList<Word>& words, const QString& text, int page = 1) {
    for (const Word& w : words)
        if (w.text == text && w.page == page)
            return w;
    return std::nullopt;
}

// The barcode box on paper with a little white around it.
const QRect PrintedBarcodeArea(200, 4450, 3535, 1395);

} // namespace

class TestBadgePrint : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }

    void textsStartAtTheirPrintPositions_data() {
        QTest::addColumn<QString>("device");
        QTest::newRow("badge file") << "file";
        QTest::newRow("device keeping margins") << "writer";
        QTest::newRow("printer with margins") << "printer";
    }
    // Positions in points: twips / 20. A word's box starts at the top of its tallest glyph, a little below
    // the top of the line, so the tops get a few points' room.
    void textsStartAtTheirPrintPositions() {
        QFETCH(QString, device);
        if (!havePoppler())
            QSKIP("pdftotext (poppler-utils) is needed to find printed words");
        const QString pdf = m_dir->file("badge.pdf");
        const badges::Badge badge = sampleBadge("C300");
        // Devices with margins of their own still get the badge measured from the paper's corner.
        const QMarginsF margins(20, 15, 20, 15);
        if (device == "writer") {
            QPdfWriter writer(pdf);
            writer.setPageMargins(margins, QPageLayout::Millimeter);
            badges::paintBadges(writer, {badge});
        } else if (device == "printer") {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageMargins(margins, QPageLayout::Millimeter);
            badges::paintBadges(printer, {badge});
        } else {
            badges::writeBadgesPdf(pdf, {badge});
        }
        const QList<Word> words = pdfWords(pdf);
        const auto acme = findWord(words, "Acme");
        const auto jane = findWord(words, "Jane");
        const auto title = findWord(words, "Engineer");
        const auto label = findWord(words, "*C300*");
        QVERIFY(acme && jane && title && label);
        for (const auto& word : {*acme, *jane, *title})
            QVERIFY2(std::abs(word.box.left() - 32.5) < 1.5, qPrintable(word.text));
        QVERIFY(acme->box.top() >= 36.25 - 1 && acme->box.top() < 36.25 + 4);
        // 20 points high, so the word is clearly taller than the 10 point name.
        QVERIFY(acme->box.height() > 17);
        QVERIFY(jane->box.top() >= 200 - 1 && jane->box.top() < 200 + 3);
        // The title starts at 207.5 points unless the name's line reaches further; it never overlaps it,
        // and stays above the barcode box.
        QVERIFY(title->box.top() >= 207.5 - 1 && title->box.top() >= jane->box.bottom());
        QVERIFY(title->box.bottom() < 230);
        // The text under the bars starts 7 screen pixels per character into the box (6 characters, 15
        // twips each) and lies inside the box.
        QVERIFY(std::abs(label->box.left() - (20 + 7 * 6 * 0.75)) < 1.5);
        QVERIFY(label->box.top() > 230 + 40 && label->box.bottom() <= 230 + 54.75 + 1);
    }
    // The photograph goes in as a JPEG no larger than 300 dots per inch across its box, at its print
    // position.
    void photoFillsItsBoxKeepingProportions() {
        // Red over blue, twice as wide as high, at ten times what the box needs.
        QImage photo(5660, 2830, QImage::Format_RGB32);
        photo.fill(QColor(220, 0, 0));
        QPainter(&photo).fillRect(0, 1415, 5660, 1415, QColor(0, 0, 220));
        const QString pdf = m_dir->file("badge.pdf");
        badges::Badge badge = sampleBadge("C300");
        badge.photo = photo;
        badges::writeBadgesPdf(pdf, {badge});
        const QByteArray bytes = readTestFile(pdf);
        QVERIFY(bytes.contains("/Subtype /Image") && bytes.contains("/DCTDecode"));
        const auto width = QRegularExpression(QStringLiteral("/Subtype /Image\\s*/Width (\\d+)"))
                               .match(QString::fromLatin1(bytes));
        QVERIFY2(width.hasMatch() && width.captured(1).toInt() <= 566, qPrintable(width.captured(0)));
        if (!havePoppler())
            QSKIP("pdftoppm (poppler-utils) is needed to look at printed pages");
        const QImage page = rasterise(pdf, 1, mmOf(QRect(0, 0, 4000, 4500)));
        const auto px = [](double twips) { return qRound(twips * 300 / 1440); };
        // The picture spans the 2715 twips box's width and half its height, centred: twips 650 to 3365
        // across, 1878.75 to 3236.25 down, red above blue.
        const QRect red = extentOf(page, QColor(220, 0, 0));
        const QRect blue = extentOf(page, QColor(0, 0, 220));
        const QRect whole = red | blue;
        const QRect expected(QPoint(px(650), px(1878.75)), QPoint(px(3365) - 1, px(3236.25) - 1));
        QVERIFY((whole.topLeft() - expected.topLeft()).manhattanLength() <= 3);
        QVERIFY((whole.bottomRight() - expected.bottomRight()).manhattanLength() <= 3);
        QVERIFY(red.bottom() < blue.top() + 2);
    }
    // The second badge has neither code nor photograph: its texts still print, its barcode box stays white.
    // The third one's texts are too long for the badge and must still end at its edge.
    void onePagePerBadgeInOrder() {
        if (!havePoppler())
            QSKIP("pdftoppm and pdftotext (poppler-utils) are needed to read printed pages");
        const QString pdf = m_dir->file("badges.pdf");
        QList<badges::Badge> list{sampleBadge("ID-ADA"), sampleBadge(QString()), sampleBadge("ID-MAX")};
        list[0].fullName = "Ada";
        list[1].fullName = "Bob";
        list[2].company = "International Consolidated Security Services Worldwide Incorporated";
        list[2].fullName = "Maximilian Alexander Bartholomew-Featherstonehaugh";
        badges::writeBadgesPdf(pdf, list);
        const QList<Word> words = pdfWords(pdf);
        QVERIFY(findWord(words, "Ada", 1) && findWord(words, "*ID-ADA*", 1) && findWord(words, "Acme", 1));
        QVERIFY(findWord(words, "Bob", 2) && findWord(words, "Engineer", 2) && findWord(words, "Acme", 2));
        QVERIFY(findWord(words, "Maximilian", 3) && findWord(words, "*ID-MAX*", 3) &&
                findWord(words, "International", 3));
        for (const Word& word : words)
            QVERIFY2(word.page <= 3 && word.box.right() <= 3535 / 20.0 + 1, qPrintable(word.text));
        const QImage area = rasterise(pdf, 2, mmOf(PrintedBarcodeArea));
        QVERIFY(!area.isNull() && extentOf(area, Qt::black).isNull());
    }
    void undrawableCodeIsRefusedBeforeAnyPage_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("named");
        QTest::newRow("accented letter") << QString("JOSÉ1") << "\"É\"";
        QTest::newRow("tab") << QString("A\tB") << "U+0009";
    }
    void undrawableCodeIsRefusedBeforeAnyPage() {
        QFETCH(QString, code);
        QFETCH(QString, named);
        const QString pdf = m_dir->file("badges.pdf");
        badges::writeBadgesPdf(pdf, {sampleBadge("OLD")});
        const QByteArray before = readTestFile(pdf);
        const QString error = errorOf([&] {
            badges::writeBadgesPdf(pdf, {sampleBadge("GOOD1"), sampleBadge(code)});
        });
        QVERIFY2(error.contains(u'"' + code + u'"') && error.contains(named), qPrintable(error));
        QCOMPARE(readTestFile(pdf), before);
    }
    void barcodeScansOrIsReported_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("decoded"); // empty: not checked
        QTest::addColumn<bool>("readable");
        // About eight data characters fit the box as on screen. ZXing cannot read $ / + % at the badge's 4:1,
        // whose bars are all narrow; the renderer's own test decodes those.
        QTest::newRow("0-7") << "01234567" << QString("01234567") << true;
        QTest::newRow("8-F") << "89ABCDEF" << QString("89ABCDEF") << true;
        QTest::newRow("G-N") << "GHIJKLMN" << QString("GHIJKLMN") << true;
        QTest::newRow("O-V") << "OPQRSTUV" << QString("OPQRSTUV") << true;
        QTest::newRow("W-Z - . blank, lower case") << "wx-y.z 1" << QString("WX-Y.Z 1") << true;
        // A badge file is 1440 dots per inch: 11 dots (0.194 mm) are the narrowest bar, which leaves room
        // for 12 characters besides start and stop.
        QTest::newRow("10") << "EMP-000001" << QString("EMP-000001") << true;
        QTest::newRow("12") << "ACME-0000042" << QString("ACME-0000042") << true;
        QTest::newRow("13") << "ACME-00000042" << QString() << false;
        QTest::newRow("20") << "ACME-SECURITY-000042" << QString() << false;
        // Drawn as designed, but a reader stops at the "*".
        QTest::newRow("start/stop inside") << "AB*CD" << QString() << true;
    }
    // Every printed badge carries a barcode that decodes to its code, or the operator was told it will not.
    void barcodeScansOrIsReported() {
        QFETCH(QString, code);
        QFETCH(QString, decoded);
        QFETCH(bool, readable);
        if (!havePoppler())
            QSKIP("poppler-utils are needed to read printed pages");
        const badges::Badge badge = sampleBadge(code);
        const badges::BadgeProblems problems = badges::badgeProblems(badge);
        QCOMPARE(problems.unreadable.isEmpty(), readable);
        QVERIFY(problems.printable());
        QCOMPARE(problems.warnings.isEmpty(), !code.contains(u'*'));
        if (!readable)
            QVERIFY2(problems.unreadable.contains(QStringLiteral("\"%1\"").arg(code)) &&
                         problems.unreadable.contains("up to 12 characters"),
                     qPrintable(problems.unreadable));
        // A 300 dot printer cannot print bars narrower than the window's, so the screen's limit holds.
        const QImage printer = printerAt300Dpi();
        QCOMPARE(badges::badgeProblems(badge, &printer).unreadable.isEmpty(), code.size() <= 8);
        if (decoded.isEmpty())
            return;
        const QString pdf = m_dir->file("badge.pdf");
        badges::writeBadgesPdf(pdf, {badge});
        QCOMPARE(decodeCode39(rasterise(pdf, 1, mmOf(PrintedBarcodeArea))), decoded);
        // The text under the bars is the code as encoded (pdftotext splits it at blanks).
        const QList<Word> words = pdfWords(pdf);
        for (const QString& part : QString(u'*' + decoded + u'*').split(u' '))
            QVERIFY2(findWord(words, part), qPrintable(part));
    }
    // A long name, title or company name shrinks, then takes a second line; nothing printed is cut or
    // overlaps, and only a text too long even then is cut, with a warning.
    void longTextsBreakInsteadOfBeingCut() {
        if (!havePoppler())
            QSKIP("pdftotext (poppler-utils) is needed to find printed words");
        badges::Badge badge = sampleBadge("C300");
        badge.company = "Consolidated Security Services Worldwide Inc.";
        badge.fullName = "Maximilian Alexander Bartholomew-Featherstonehaugh de la Cruz Montgomery";
        badge.title = "Senior Security Compliance Officer";
        QVERIFY2(badges::badgeProblems(badge).isEmpty(),
                 qPrintable(badges::badgeProblems(badge).all().join('\n')));
        const QString pdf = m_dir->file("badge.pdf");
        badges::writeBadgesPdf(pdf, {badge});
        const QList<Word> words = pdfWords(pdf);
        QString printed;
        double lastBottom = 0;
        for (const Word& word : words) {
            QVERIFY2(word.box.right() <= 3535 / 20.0 + 1, qPrintable(word.text));
            printed += word.text + u' ';
            if (word.text != "*C300*")
                lastBottom = std::max(lastBottom, word.box.bottom());
        }
        // A line may end after a hyphen.
        printed.replace(QStringLiteral("- "), QStringLiteral("-"));
        for (const QString& text : {badge.company, badge.fullName, badge.title})
            QVERIFY2(printed.contains(text), qPrintable(printed));
        QVERIFY(!printed.contains(QChar(0x2026)));
        QVERIFY2(lastBottom <= 230, "the title runs into the barcode box");
        QCOMPARE(decodeCode39(rasterise(pdf, 1, mmOf(PrintedBarcodeArea))), QStringLiteral("C300"));

        badge.fullName = badge.fullName.repeated(3);
        const badges::BadgeProblems problems = badges::badgeProblems(badge);
        QCOMPARE(problems.warnings.size(), 1);
        QVERIFY(problems.warnings.first().contains("The name"));
    }
    void fallbackFileNamesStayInTheBadgesFolder_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expectedName");
        QTest::newRow("blank inside") << QString("JD 1977") << "badge-JD 1977-20240102-030405.pdf";
        QTest::newRow("empty") << QString() << "badge-no-code-20240102-030405.pdf";
        QTest::newRow("path") << "../../etc/x" << QString();
    }
    void fallbackFileNamesStayInTheBadgesFolder() {
        QFETCH(QString, code);
        QFETCH(QString, expectedName);
        const QDateTime when(QDate(2024, 1, 2), QTime(3, 4, 5));
        const QString path = badges::newBadgeFilePath(code, when);
        const QFileInfo info(path);
        QCOMPARE(info.absolutePath(), QFileInfo(m_dir->file("badges")).absoluteFilePath());
        QVERIFY(info.dir().exists());
        QVERIFY(info.fileName().endsWith(QLatin1String("-20240102-030405.pdf")));
        if (!expectedName.isEmpty())
            QCOMPARE(info.fileName(), expectedName);
        // A second badge in the same second gets a name of its own.
        QFile(path).open(QIODevice::WriteOnly);
        const QString second = badges::newBadgeFilePath(code, when);
        QVERIFY(second != path);
        QCOMPARE(QFileInfo(second).absolutePath(), info.absolutePath());
    }

private:
    std::optional<TestAppDir> m_dir;
};

QTEST_MAIN(TestBadgePrint)
#include "tst_badgeprint.moc"
