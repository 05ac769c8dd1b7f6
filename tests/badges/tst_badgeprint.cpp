// Printed badges read back the way a person or a scanner meets them: barcodes decoded by an independent
// reader from the badge window's box and from PDF pages rasterised by poppler, texts and the photograph
// found at their print positions, one page per badge.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include "../support/testappdir.h"

#include "app/apperror.h"
#include "app/scriptedplatform.h"
#include "app/ui/childwindows.h"
#include "badges/badgepainter.h"
#include "badges/badgeprinting.h"
#include "badges/ui/form3.h"

#include <QLabel>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
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
int rasterPixels(int twips) {
    return qRound(twips * RasterDpi / 1440.0);
}

// One page, or the part of it given in twips, as pdftoppm renders it.
QImage rasterise(const QString& pdf, int page, const QRect& twips = QRect()) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QStringList args{"-r", QString::number(RasterDpi), "-png", "-singlefile",
                     "-f", QString::number(page),      "-l",   QString::number(page)};
    if (!twips.isNull())
        args << "-x" << QString::number(rasterPixels(twips.left())) << "-y"
             << QString::number(rasterPixels(twips.top())) << "-W"
             << QString::number(rasterPixels(twips.width())) << "-H"
             << QString::number(rasterPixels(twips.height()));
    args << pdf << prefix;
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
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        QString text = m.captured(5);
        text.replace(QLatin1String("&amp;"), QLatin1String("&"));
        words.append({text, QRectF(topLeft, bottomRight), page});
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

// The elements along one row through the bars, redrawn with wide elements three times the narrow ones.
// ZXing 1.4 refuses a wide space more than three times the widest bar of its character, which at the
// badge's 4:1 rules out $ / + %, whose bars are all narrow. Narrow and wide are told apart by the
// midpoint of the shortest and longest run, so anti-aliased edges from a rasteriser do not matter.
QImage atThreeToOne(const QImage& image, int row) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    const uchar* line = gray.constScanLine(row);
    QList<std::pair<bool, int>> runs;
    for (int x = 0; x < gray.width(); ++x) {
        const bool dark = line[x] < 128;
        if (runs.isEmpty() || runs.last().first != dark)
            runs.append({dark, 0});
        ++runs.last().second;
    }
    while (!runs.isEmpty() && !runs.first().first)
        runs.removeFirst();
    while (!runs.isEmpty() && !runs.last().first)
        runs.removeLast();
    int shortest = INT_MAX, longest = 0;
    for (const auto& run : runs) {
        shortest = std::min(shortest, run.second);
        longest = std::max(longest, run.second);
    }
    const double threshold = (shortest + longest) / 2.0;
    QImage result(40 + int(runs.size()) * 6, 40, QImage::Format_Grayscale8);
    result.fill(255);
    int x = 20;
    for (const auto& [dark, width] : runs) {
        const int drawn = width > threshold ? 6 : 2;
        if (dark)
            for (int y = 0; y < result.height(); ++y)
                std::fill(result.scanLine(y) + x, result.scanLine(y) + x + drawn, uchar(0));
        x += drawn;
    }
    return result;
}

// The barcode box's pixels enlarged three times: ZXing wants more than one pixel per narrow element.
QString decodeBox(const QImage& box, bool asDrawn) {
    const QImage enlarged = box.scaled(box.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return asDrawn ? decode(enlarged) : decode(atThreeToOne(enlarged, enlarged.height() / 3));
}

// The barcode box on paper with a little white around it.
const QRect PrintedBarcodeArea(200, 4450, 3535, 1395);

QString decodePrinted(const QString& pdf, int page, bool asDrawn) {
    const QImage area = rasterise(pdf, page, PrintedBarcodeArea);
    if (area.isNull())
        return QStringLiteral("<pdftoppm failed>");
    // A row a third of the way down the bars.
    const int row = rasterPixels(badges::layout::BarcodeBox.top() - PrintedBarcodeArea.top() + 20 * 15);
    return asDrawn ? decode(area) : decode(atThreeToOne(area, row));
}

badges::Badge sampleBadge(const QString& code, const QImage& photo = QImage()) {
    return badges::Badge{QStringLiteral("Acme Security"), QStringLiteral("Jane Q Doe"),
                         QStringLiteral("Engineer"), code, photo};
}

Form3* showBadge(const QString& code) {
    auto* window = new Form3();
    window->label1()->setText(QStringLiteral("Acme Security"));
    window->label2()->setText(QStringLiteral("Jane Q Doe"));
    window->label3()->setText(QStringLiteral("Engineer"));
    window->setEmployeeId(code);
    ChildWindows::show(window, true);
    return window;
}

// A picture of two halves, red over blue, twice as wide as high.
QImage twoColourPhoto() {
    QImage photo(400, 200, QImage::Format_RGB32);
    photo.fill(QColor(220, 0, 0));
    QPainter(&photo).fillRect(0, 100, 400, 100, QColor(0, 0, 220));
    return photo;
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
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Form3*>(w))
                delete w;
        m_dir.reset();
    }

    void decodesFromTheWindowsBarcodeBox_data();
    void decodesFromTheWindowsBarcodeBox();
    void decodesFromThePrintedPage_data();
    void decodesFromThePrintedPage();
    void barsAreWholeDeviceDots_data();
    void barsAreWholeDeviceDots();
    void textsStartAtTheirPrintPositions_data();
    void textsStartAtTheirPrintPositions();
    void longTextsStayOnTheBadge();
    void photoFillsItsBoxKeepingProportions();
    void photoIsStoredLosslessly();
    void onePagePerBadgeInOrder();
    void badgeWithoutCodeOrPhotoStillPrintsItsTexts();
    void undrawableCodeIsRefusedBeforeAnyPage_data();
    void undrawableCodeIsRefusedBeforeAnyPage();
    void unwritablePdfIsReportedByPath();
    void fallbackFileNamesStayInTheBadgesFolder_data();
    void fallbackFileNamesStayInTheBadgesFolder();

private:
    std::optional<TestAppDir> m_dir;
};

void TestBadgePrint::decodesFromTheWindowsBarcodeBox_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("asDrawn");
    // About eight data characters fit the box between the start/stop characters; together these rows
    // use all 43 data characters.
    QTest::newRow("0-7") << "01234567"
                         << "01234567" << true;
    QTest::newRow("8-F") << "89ABCDEF"
                         << "89ABCDEF" << true;
    QTest::newRow("G-N") << "GHIJKLMN"
                         << "GHIJKLMN" << true;
    QTest::newRow("O-V") << "OPQRSTUV"
                         << "OPQRSTUV" << true;
    QTest::newRow("W-Z - . blank") << "WX-Y.Z 1"
                                   << "WX-Y.Z 1" << true;
    QTest::newRow("$ /") << "$5/2"
                         << "$5/2" << false;
    QTest::newRow("+ %") << "1+1%"
                         << "1+1%" << false;
    // Identification codes as badges carry them.
    QTest::newRow("EMP-0042") << "EMP-0042"
                              << "EMP-0042" << true;
    QTest::newRow("C300") << "C300"
                          << "C300" << true;
    QTest::newRow("JD 1977") << "JD 1977"
                             << "JD 1977" << true;
    QTest::newRow("lower case") << "emp-7"
                                << "EMP-7" << true;
}

void TestBadgePrint::decodesFromTheWindowsBarcodeBox() {
    QFETCH(QString, code);
    QFETCH(QString, expected);
    QFETCH(bool, asDrawn);
    ScriptedPlatform platform;
    Form3* window = showBadge(code);
    QVERIFY(QTest::qWaitForWindowActive(window));
    const QImage box = window->findChild<QLabel*>("Picture1")->pixmap().toImage();
    QCOMPARE(box.size(), QSize(209, 73));
    QCOMPARE(decodeBox(box, asDrawn), expected);
    QVERIFY(platform.messages.isEmpty());
}

void TestBadgePrint::decodesFromThePrintedPage_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("asDrawn");
    QTest::addColumn<bool>("throughWindow");
    // The window's Print on a 1200 dpi printer (a screen pixel is 12.5 dots there, so the bars are
    // rounded to whole dots) and badge PDF files, at 1440 units per inch.
    for (int i = 0; i < 2; ++i) {
        const bool window = i == 0;
        const auto row = [window](const char* name) {
            return &QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(window ? "printer" : "pdf", name)));
        };
        *row("0-7") << "01234567"
                    << "01234567" << true << window;
        *row("8-F") << "89ABCDEF"
                    << "89ABCDEF" << true << window;
        *row("G-N") << "GHIJKLMN"
                    << "GHIJKLMN" << true << window;
        *row("O-V") << "OPQRSTUV"
                    << "OPQRSTUV" << true << window;
        *row("W-Z - . blank") << "WX-Y.Z 1"
                              << "WX-Y.Z 1" << true << window;
        *row("$ /") << "$5/2"
                    << "$5/2" << false << window;
        *row("+ %") << "1+1%"
                    << "1+1%" << false << window;
        *row("EMP-0042") << "EMP-0042"
                         << "EMP-0042" << true << window;
        *row("C300") << "C300"
                     << "C300" << true << window;
        *row("lower case") << "emp-7"
                           << "EMP-7" << true << window;
    }
}

void TestBadgePrint::decodesFromThePrintedPage() {
    QFETCH(QString, code);
    QFETCH(QString, expected);
    QFETCH(bool, asDrawn);
    QFETCH(bool, throughWindow);
    if (!havePoppler())
        QSKIP("pdftoppm and pdftotext (poppler-utils) are needed to read printed pages");
    ScriptedPlatform platform;
    QString pdf;
    if (throughWindow) {
        platform.printFolder = m_dir->file("printer");
        Form3* window = showBadge(code);
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(platform.printedFiles.size(), 1);
        pdf = platform.printedFiles.first();
    } else {
        pdf = m_dir->file("badge.pdf");
        badges::writeBadgesPdf(pdf, {sampleBadge(code)});
    }
    QCOMPARE(decodePrinted(pdf, 1, asDrawn), expected);
    // The text under the bars is the code as encoded (pdftotext splits it at blanks).
    const QList<Word> words = pdfWords(pdf);
    for (const QString& part : QString(u'*' + expected + u'*').split(u' '))
        QVERIFY2(findWord(words, part), qPrintable(part));
}

void TestBadgePrint::barsAreWholeDeviceDots_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("narrow");
    QTest::newRow("300 dpi") << 300 << 3;
    QTest::newRow("600 dpi") << 600 << 6;
    QTest::newRow("1200 dpi") << 1200 << 13;
    QTest::newRow("1440 dpi") << 1440 << 15;
}

// Every bar and space on paper is the screen's element in whole device dots: narrow ones all alike and
// wide ones exactly four times as wide, never a blurred, scaled picture.
void TestBadgePrint::barsAreWholeDeviceDots() {
    QFETCH(int, dpi);
    QFETCH(int, narrow);
    const QRect box(qRound(400 * dpi / 1440.0), qRound(4600 * dpi / 1440.0), qRound(3135 * dpi / 1440.0),
                    qRound(1095 * dpi / 1440.0));
    QImage page(box.right() + 10, box.bottom() + 10, QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(dpi / 0.0254));
    page.setDotsPerMeterY(qRound(dpi / 0.0254));
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        badges::paintBadge(painter, sampleBadge("EMP-42"));
    }
    const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(box.top() + 20 * narrow));
    for (int x = box.left(); x <= box.right(); ++x)
        QVERIFY2(qGray(row[x]) == 0 || qGray(row[x]) == 255,
                 qPrintable(QString("grey pixel at x=%1").arg(x)));
    const auto dark = [row](int x) { return qGray(row[x]) < 128; };
    int x = box.left();
    while (x <= box.right() && !dark(x))
        ++x;
    const int firstBar = x;
    QList<int> runs;
    while (x <= box.right()) {
        const int start = x;
        while (x <= box.right() && dark(x) == dark(start))
            ++x;
        runs.append(x - start);
    }
    runs.removeLast(); // the white after the last bar
    QCOMPARE(runs.size(), 8 * 10 - 1);
    for (int width : runs)
        QVERIFY2(width == narrow || width == 4 * narrow,
                 qPrintable(QString("element of %1 dots").arg(width)));
    // The first bar starts 10 screen pixels into the box.
    QCOMPARE(firstBar - box.left(), 10 * narrow);
}

void TestBadgePrint::textsStartAtTheirPrintPositions_data() {
    QTest::addColumn<QString>("device");
    QTest::newRow("badge file") << "file";
    QTest::newRow("device keeping margins") << "writer";
    QTest::newRow("printer with margins") << "printer";
}

// Positions in points: twips / 20. A word's box starts at the top of its tallest glyph, a little below
// the top of the line, so the tops get a few points' room.
void TestBadgePrint::textsStartAtTheirPrintPositions() {
    QFETCH(QString, device);
    if (!havePoppler())
        QSKIP("pdftotext (poppler-utils) is needed to find printed words");
    const QString pdf = m_dir->file("badge.pdf");
    const badges::Badge badge = sampleBadge("C300");
    // Devices with margins of their own still get the badge measured from the paper's corner.
    const QMarginsF margins(20, 15, 20, 15);
    if (device == "writer") {
        QPdfWriter writer(pdf);
        writer.setResolution(600);
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
    QVERIFY(acme);
    QVERIFY2(std::abs(acme->box.left() - 32.5) < 1.5, qPrintable(QString::number(acme->box.left())));
    QVERIFY2(acme->box.top() >= 36.25 - 1 && acme->box.top() < 36.25 + 4,
             qPrintable(QString::number(acme->box.top())));
    // 20 points high, so the word is clearly taller than the 10 point name.
    QVERIFY2(acme->box.height() > 17, qPrintable(QString::number(acme->box.height())));

    const auto jane = findWord(words, "Jane");
    QVERIFY(jane);
    QVERIFY(std::abs(jane->box.left() - 32.5) < 1.5);
    QVERIFY2(jane->box.top() >= 200 - 1 && jane->box.top() < 200 + 3,
             qPrintable(QString::number(jane->box.top())));

    // The title starts at 207.5 points unless the name's line reaches further; it never overlaps it.
    const auto title = findWord(words, "Engineer");
    QVERIFY(title);
    QVERIFY(std::abs(title->box.left() - 32.5) < 1.5);
    QVERIFY2(
        title->box.top() >= 207.5 - 1 && title->box.top() >= jane->box.bottom(),
        qPrintable(QString("title at %1, name ends at %2").arg(title->box.top()).arg(jane->box.bottom())));
    QVERIFY(title->box.bottom() < 230); // above the barcode box

    // The text under the bars starts 7 screen pixels per character into the box (6 characters, 15
    // twips each) and lies inside the box.
    const auto label = findWord(words, "*C300*");
    QVERIFY(label);
    QVERIFY2(std::abs(label->box.left() - (20 + 7 * 6 * 0.75)) < 1.5,
             qPrintable(QString::number(label->box.left())));
    QVERIFY(label->box.top() > 230 + 40 && label->box.bottom() <= 230 + 54.75 + 1);
}

void TestBadgePrint::longTextsStayOnTheBadge() {
    if (!havePoppler())
        QSKIP("pdftotext (poppler-utils) is needed to find printed words");
    const QString pdf = m_dir->file("badge.pdf");
    badges::Badge badge = sampleBadge("C300");
    badge.company = QStringLiteral("International Consolidated Security Services Worldwide Incorporated");
    badge.fullName = QStringLiteral("Maximilian Alexander Bartholomew-Featherstonehaugh");
    badges::writeBadgesPdf(pdf, {badge});
    const QList<Word> words = pdfWords(pdf);
    QVERIFY(findWord(words, "International"));
    QVERIFY(findWord(words, "Maximilian"));
    for (const Word& word : words)
        QVERIFY2(word.box.right() <= 3535 / 20.0 + 1,
                 qPrintable(QString("%1 ends at %2 points").arg(word.text).arg(word.box.right())));
}

void TestBadgePrint::photoFillsItsBoxKeepingProportions() {
    if (!havePoppler())
        QSKIP("pdftoppm (poppler-utils) is needed to look at printed pages");
    const QString pdf = m_dir->file("badge.pdf");
    badges::writeBadgesPdf(pdf, {sampleBadge("C300", twoColourPhoto())});
    const QImage page = rasterise(pdf, 1, QRect(0, 0, 4000, 4500));
    QVERIFY(!page.isNull());
    // The 2:1 picture spans the 2715 twips box's width and half its height, centred: twips 650 to
    // 3365 across, 1878.75 to 3236.25 down, red above blue.
    const QRect red = extentOf(page, QColor(220, 0, 0));
    const QRect blue = extentOf(page, QColor(0, 0, 220));
    const QRect whole = red | blue;
    const QRect expected(QPoint(rasterPixels(650), qRound(1878.75 * RasterDpi / 1440)),
                         QPoint(rasterPixels(3365) - 1, qRound(3236.25 * RasterDpi / 1440) - 1));
    for (const auto& [got, want] : {std::pair{whole.topLeft(), expected.topLeft()},
                                    std::pair{whole.bottomRight(), expected.bottomRight()}})
        QVERIFY2(
            (got - want).manhattanLength() <= 3,
            qPrintable(
                QString("(%1,%2) instead of (%3,%4)").arg(got.x()).arg(got.y()).arg(want.x()).arg(want.y())));
    QVERIFY(red.bottom() < blue.top() + 2);
}

void TestBadgePrint::photoIsStoredLosslessly() {
    const QString pdf = m_dir->file("badge.pdf");
    QImage photo(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    badges::writeBadgesPdf(pdf, {sampleBadge("C300", photo)});
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("/Subtype /Image"));
    QVERIFY2(!bytes.contains("/DCTDecode"), "the photograph went in as JPEG");
}

void TestBadgePrint::onePagePerBadgeInOrder() {
    if (!havePoppler())
        QSKIP("pdftotext (poppler-utils) is needed to read printed pages");
    const QString pdf = m_dir->file("badges.pdf");
    QList<badges::Badge> list;
    for (const char* name : {"Ada", "Bob", "Cyd"}) {
        badges::Badge badge = sampleBadge(QStringLiteral("ID-%1").arg(name).toUpper());
        badge.fullName = QString::fromLatin1(name);
        list.append(badge);
    }
    badges::writeBadgesPdf(pdf, list);
    const QList<Word> words = pdfWords(pdf);
    for (int page = 1; page <= 3; ++page) {
        QVERIFY(findWord(words, list.at(page - 1).fullName, page));
        QVERIFY(findWord(words, u'*' + list.at(page - 1).code + u'*', page));
        QVERIFY(findWord(words, "Acme", page));
    }
    QVERIFY(std::none_of(words.begin(), words.end(), [](const Word& w) { return w.page > 3; }));
    QCOMPARE(decodePrinted(pdf, 3, true), QStringLiteral("ID-CYD"));
}

void TestBadgePrint::badgeWithoutCodeOrPhotoStillPrintsItsTexts() {
    if (!havePoppler())
        QSKIP("pdftoppm and pdftotext (poppler-utils) are needed to read printed pages");
    const QString pdf = m_dir->file("badge.pdf");
    badges::writeBadgesPdf(pdf, {sampleBadge(QString())});
    const QList<Word> words = pdfWords(pdf);
    QVERIFY(findWord(words, "Acme"));
    QVERIFY(findWord(words, "Engineer"));
    const QImage area = rasterise(pdf, 1, PrintedBarcodeArea);
    QVERIFY(!area.isNull());
    QVERIFY(extentOf(area, Qt::black).isNull());
}

void TestBadgePrint::undrawableCodeIsRefusedBeforeAnyPage_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("named");
    QTest::newRow("underscore") << "AB_C"
                                << "\"_\"";
    QTest::newRow("start/stop inside") << "AB*CD"
                                       << "\"*\"";
    QTest::newRow("accented letter") << "JOSÉ1"
                                     << "\"É\"";
    QTest::newRow("tab") << "A\tB"
                         << "U+0009";
}

// A code with a "*" inside draws, but a scanner stops reading at that "*"; the badge would carry a
// different code than the employee's.
void TestBadgePrint::undrawableCodeIsRefusedBeforeAnyPage() {
    QFETCH(QString, code);
    QFETCH(QString, named);
    const QString pdf = m_dir->file("badges.pdf");
    badges::writeBadgesPdf(pdf, {sampleBadge("OLD")});
    const QByteArray before = [&] {
        QFile f(pdf);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    try {
        badges::writeBadgesPdf(pdf, {sampleBadge("GOOD1"), sampleBadge(code)});
        QFAIL("the badge was written");
    } catch (const AppError& error) {
        QVERIFY2(error.description().contains(u'"' + code + u'"'), qPrintable(error.description()));
        QVERIFY2(error.description().contains(named), qPrintable(error.description()));
    }
    QFile after(pdf);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void TestBadgePrint::unwritablePdfIsReportedByPath() {
    const QString pdf = m_dir->file("no-such-folder/badge.pdf");
    try {
        badges::writeBadgesPdf(pdf, {sampleBadge("C300")});
        QFAIL("no error");
    } catch (const AppError& error) {
        QVERIFY2(error.description().contains(QDir::toNativeSeparators(pdf)),
                 qPrintable(error.description()));
    }
}

void TestBadgePrint::fallbackFileNamesStayInTheBadgesFolder_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("ordinary") << "C300"
                              << "badge-C300-20240102-030405.pdf";
    QTest::newRow("blank inside") << "JD 1977"
                                  << "badge-JD 1977-20240102-030405.pdf";
    QTest::newRow("empty") << ""
                           << "badge-no-code-20240102-030405.pdf";
    QTest::newRow("path") << "../../etc/x"
                          << "";
    QTest::newRow("separator") << "A/B"
                               << "";
    QTest::newRow("device name") << "CON"
                                 << "";
}

void TestBadgePrint::fallbackFileNamesStayInTheBadgesFolder() {
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

QTEST_MAIN(TestBadgePrint)
#include "tst_badgeprint.moc"
