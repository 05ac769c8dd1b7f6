// Printed badges read back the way a person or a scanner meets them: barcodes decoded by an independent
// reader from PDF pages rasterised by poppler, texts and the photograph found at their print positions,
// one page per badge.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include "../support/errorof.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "badges/badgelayout.h"
#include "badges/badgepainter.h"
#include "badges/badgeprinting.h"

#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <optional>

namespace {

constexpr int RasterDpi = 300;

bool havePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

// Twips of the paper to pixels of a page rasterised at RasterDpi.
int rasterPixels(double twips) {
    return qRound(twips * RasterDpi / 1440.0);
}

// The part of a page given in twips, as pdftoppm renders it.
QImage rasterise(const QString& pdf, int page, const QRect& twips) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    const QStringList args =
        QString::asprintf("-r %d -png -singlefile -f %d -l %d -x %d -y %d -W %d -H %d", RasterDpi, page, page,
                          rasterPixels(twips.left()), rasterPixels(twips.top()), rasterPixels(twips.width()),
                          rasterPixels(twips.height()))
            .split(u' ') +
        QStringList{pdf, prefix};
    if (QProcess::execute(QStringLiteral("pdftoppm"), args) != 0)
        return {};
    return QImage(prefix + QStringLiteral(".png"));
}

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

QString decode(const QImage& image) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                int(gray.bytesPerLine()));
    const auto result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Code39));
    return result.isValid() ? QString::fromStdString(result.text()) : QStringLiteral("<no barcode>");
}

// The barcode box on paper with a little white around it.
const QRect PrintedBarcodeArea(200, 4450, 3535, 1395);

badges::Badge sampleBadge(const QString& code, const QImage& photo = QImage()) {
    return badges::Badge{QStringLiteral("Acme Security"),
                         QStringLiteral("Jane Q Doe"),
                         QStringLiteral("Engineer"),
                         code,
                         photo,
                         {},
                         QDate(),
                         {}};
}

// The smallest rectangle holding every pixel close to the colour.
QRect extentOf(const QImage& image, QColor colour) {
    QRect extent;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                extent |= QRect(x, y, 1, 1);
        }
    return extent;
}

} // namespace

class TestBadgePrint : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }

    void decodesFromThePrintedPage_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected");
        // About eight data characters fit the box. ZXing cannot read $ / + % at the badge's 4:1, whose bars
        // are all narrow; the renderer's own test decodes those.
        QTest::newRow("0-7") << QString("01234567") << "01234567";
        QTest::newRow("8-F") << QString("89ABCDEF") << "89ABCDEF";
        QTest::newRow("G-N") << QString("GHIJKLMN") << "GHIJKLMN";
        QTest::newRow("O-V") << QString("OPQRSTUV") << "OPQRSTUV";
        QTest::newRow("W-Z - . blank, lower case") << QString("wx-y.z 1") << "WX-Y.Z 1";
    }
    void decodesFromThePrintedPage() {
        QFETCH(QString, code);
        QFETCH(QString, expected);
        if (!havePoppler())
            QSKIP("pdftoppm and pdftotext (poppler-utils) are needed to read printed pages");
        const QString pdf = m_dir->file("badge.pdf");
        badges::writeBadgesPdf(pdf, {sampleBadge(code)});
        const QImage area = rasterise(pdf, 1, PrintedBarcodeArea);
        QVERIFY(!area.isNull());
        QCOMPARE(decode(area), expected);
        // The text under the bars is the code as encoded (pdftotext splits it at blanks).
        const QList<Word> words = pdfWords(pdf);
        for (const QString& part : QString(u'*' + expected + u'*').split(u' '))
            QVERIFY2(findWord(words, part), qPrintable(part));
    }
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
        badges::writeBadgesPdf(pdf, {sampleBadge("C300", photo)});
        const QByteArray bytes = readTestFile(pdf);
        QVERIFY(bytes.contains("/Subtype /Image") && bytes.contains("/DCTDecode"));
        const auto width = QRegularExpression(QStringLiteral("/Subtype /Image\\s*/Width (\\d+)"))
                               .match(QString::fromLatin1(bytes));
        QVERIFY2(width.hasMatch() && width.captured(1).toInt() <= 566, qPrintable(width.captured(0)));
        if (!havePoppler())
            QSKIP("pdftoppm (poppler-utils) is needed to look at printed pages");
        const QImage page = rasterise(pdf, 1, QRect(0, 0, 4000, 4500));
        // The picture spans the 2715 twips box's width and half its height, centred: twips 650 to 3365
        // across, 1878.75 to 3236.25 down, red above blue.
        const QRect red = extentOf(page, QColor(220, 0, 0));
        const QRect blue = extentOf(page, QColor(0, 0, 220));
        const QRect whole = red | blue;
        const QRect expected(QPoint(rasterPixels(650), rasterPixels(1878.75)),
                             QPoint(rasterPixels(3365) - 1, rasterPixels(3236.25) - 1));
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
        const QImage area = rasterise(pdf, 2, PrintedBarcodeArea);
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
    void longCodesScanOrAreReported_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("readable");
        // A badge file is 1440 dots per inch: 11 dots (0.194 mm) are the narrowest bar, which leaves room
        // for 12 characters besides start and stop.
        QTest::newRow("8, as on screen") << "EMP-0001" << true;
        QTest::newRow("10") << "EMP-000001" << true;
        QTest::newRow("12") << "ACME-0000042" << true;
        QTest::newRow("13") << "ACME-00000042" << false;
        QTest::newRow("20") << "ACME-SECURITY-000042" << false;
        // Drawn as designed, but a reader stops at the "*".
        QTest::newRow("start/stop inside") << "AB*CD" << true;
    }
    // Every printed badge carries a barcode that decodes to its code, or the operator was told it will not.
    void longCodesScanOrAreReported() {
        QFETCH(QString, code);
        QFETCH(bool, readable);
        if (!havePoppler())
            QSKIP("pdftoppm (poppler-utils) is needed to read printed pages");
        const badges::Badge badge = sampleBadge(code);
        const badges::BadgeProblems problems = badges::badgeProblems(badge);
        QCOMPARE(problems.unreadable.isEmpty(), readable);
        QVERIFY(problems.printable());
        QCOMPARE(problems.warnings.isEmpty(), !code.contains(u'*'));
        const QString pdf = m_dir->file("badge.pdf");
        badges::writeBadgesPdf(pdf, {badge});
        const QString decoded = decode(rasterise(pdf, 1, PrintedBarcodeArea));
        if (readable && !code.contains(u'*'))
            QCOMPARE(decoded, code);
        else if (!readable)
            QVERIFY2(problems.unreadable.contains(QStringLiteral("\"%1\"").arg(code)) &&
                         problems.unreadable.contains("up to 12 characters"),
                     qPrintable(problems.unreadable));
        // A 300 dot printer cannot print bars narrower than the window's, so the screen's limit holds.
        QImage printer(1, 1, QImage::Format_RGB32);
        printer.setDotsPerMeterX(qRound(300 / 0.0254));
        printer.setDotsPerMeterY(qRound(300 / 0.0254));
        QCOMPARE(badges::badgeProblems(badge, &printer).unreadable.isEmpty(), code.size() <= 8);
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
        QCOMPARE(decode(rasterise(pdf, 1, PrintedBarcodeArea)), QStringLiteral("C300"));

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
