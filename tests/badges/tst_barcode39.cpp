// The Code 39 renderer against the symbology's own tables, its pixel geometry, its errors, and a real
// decoder reading what it draws on an image and through a painter at print resolution.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include "app/apperror.h"
#include "badges/barcode39.h"
#include "badges/drawsurface.h"

#include <QtTest>

#include <climits>
#include <optional>
#include <stdexcept>

namespace {

const QSize BarcodeBox(209, 73);

using Member = DrawSurface::Member;

// Columns covered by the recorded lines, read back as element widths from the first bar: "0" for a
// 1-pixel element, "1" for a 4-pixel one, "?" for anything else.
QString elementsOf(const QList<RecordingSurface::LineCall>& lines) {
    if (lines.isEmpty()) {
        return {};
    }
    QSet<int> columns;
    int first = INT_MAX, last = INT_MIN;
    for (const auto& l : lines) {
        const int x = int(l.x1);
        columns.insert(x);
        first = std::min(first, x);
        last = std::max(last, x);
    }
    QString elements;
    bool dark = true;
    int run = 0;
    for (int x = first; x <= last + 1; ++x) {
        if (columns.contains(x) == dark && x <= last) {
            ++run;
            continue;
        }
        elements += run == 1 ? QLatin1Char('0') : run == 4 ? QLatin1Char('1') : QLatin1Char('?');
        dark = !dark;
        run = 1;
    }
    return elements;
}

std::optional<AppError> refreshError(clsBarCode39& code, DrawSurface& surface) {
    try {
        code.Refresh(surface);
    } catch (const AppError& e) {
        return e;
    }
    return std::nullopt;
}

clsBarCode39 badgeCode(const QString& text) {
    clsBarCode39 code;
    code.setShowLabel(true);
    code.setShowStartStop(true);
    code.setTextString(text);
    return code;
}

// Wide enough for the whole symbol and a quiet zone after it, never narrower than the badge's box.
QSize boxFor(int encodedCharacters) {
    const int needed = clsBarCode39::LeftMargin + clsBarCode39::symbolWidth(encodedCharacters) + 12;
    return QSize(std::max(BarcodeBox.width(), needed), BarcodeBox.height());
}

std::string decode(const QImage& image, int enlarge) {
    const QImage gray = image.scaled(image.size() * enlarge, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                            .convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                int(gray.bytesPerLine()));
    const auto result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Code39));
    return result.isValid() ? result.text() : std::string("<no barcode>");
}

bool isDark(QRgb pixel) {
    return qGray(pixel) < 128;
}

// The same bars and spaces with every 4-pixel element cut to 3 pixels, taken from one row through the
// bars. ZXing refuses a wide space more than three times the widest bar in the same character, which
// at 4:1 rules out $ / + %, whose bars are all narrow; other readers take them.
QImage atThreeToOne(const QImage& image, int row) {
    QList<std::pair<bool, int>> runs;
    for (int x = 0; x < image.width(); ++x) {
        const bool dark = isDark(image.pixel(x, row));
        if (runs.isEmpty() || runs.last().first != dark) {
            runs.append({dark, 0});
        }
        ++runs.last().second;
    }
    QImage result(image.width(), 40, QImage::Format_RGB32);
    result.fill(Qt::white);
    int x = 0;
    for (const auto& [dark, width] : runs) {
        const int narrowed = width == 4 ? 3 : width;
        if (dark) {
            for (int y = 0; y < result.height(); ++y) {
                for (int i = 0; i < narrowed; ++i) {
                    result.setPixel(x + i, y, qRgb(0, 0, 0));
                }
            }
        }
        x += narrowed;
    }
    return result;
}

// Draws every bar as single lines, the way a surface without a fill of its own gets it.
class LineByLineImageSurface : public ImageSurface {
public:
    using ImageSurface::ImageSurface;
    void bar(int left, int width, double y1, double y2, const QColor& colour) override {
        DrawSurface::bar(left, width, y1, y2, colour);
    }
};

// A surface that breaks in some way other than lacking a member.
class FailingSurface : public RecordingSurface {
public:
    int linesBeforeFailure = INT_MAX;
    bool failPrint = false;
    void line(double x1, double y1, double x2, double y2, const QColor& colour) override {
        if (lines().size() == linesBeforeFailure) {
            throw std::runtime_error("device lost");
        }
        RecordingSurface::line(x1, y1, x2, y2, colour);
    }
    void print(const QString& text) override {
        if (failPrint) {
            throw std::runtime_error("device lost");
        }
        RecordingSurface::print(text);
    }
};

} // namespace

Q_DECLARE_METATYPE(DrawSurface::Member)

class TestBarcode39 : public QObject {
    Q_OBJECT

private slots:
    void patternsFollowTheSymbology_data();
    void patternsFollowTheSymbology();
    void geometry_data();
    void geometry();
    void heightIsWorkedOutOnceAndKept();
    void presetHeightIsUsedWithoutAskingTheSurface();
    void emptyTextLeavesTheSurfaceAlone();
    void invalidCharacterStopsAfterTheCharactersBeforeIt_data();
    void invalidCharacterStopsAfterTheCharactersBeforeIt();
    void surfaceLackingAMember_data();
    void surfaceLackingAMember();
    void otherSurfaceFailuresEndQuietly_data();
    void otherSurfaceFailuresEndQuietly();
    void imageSurfaceCoversExactlyTheRecordedColumns();
    void barFillMatchesSingleLines();
    void imageSurfaceDrawsWhatAPainterWould_data();
    void imageSurfaceDrawsWhatAPainterWould();
    void labelSitsUnderTheBarsFromItsColumn();
    void decodesFromTheBarcodeBox_data();
    void decodesFromTheBarcodeBox();
    void painterSurfaceIsTheImageEnlargedToWholeDots_data();
    void painterSurfaceIsTheImageEnlargedToWholeDots();
    void painterSurfaceStaysInsideItsTarget();
    void decodesFromPrintResolution();
};

void TestBarcode39::patternsFollowTheSymbology_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("elements");
    // Bar, space, bar, ... as in the symbology's character table; "1" marks a wide element.
    QTest::newRow("0") << "0"
                       << "000110100";
    QTest::newRow("9") << "9"
                       << "001100100";
    QTest::newRow("A") << "A"
                       << "100001001";
    QTest::newRow("Z") << "Z"
                       << "011010000";
    QTest::newRow("-") << "-"
                       << "010000101";
    QTest::newRow("space") << " "
                           << "011000100";
    QTest::newRow("%") << "%"
                       << "000101010";
    QTest::newRow("*") << "*"
                       << "010010100";
    QTest::newRow("lower case as upper") << "a"
                                         << "100001001";
}

void TestBarcode39::patternsFollowTheSymbology() {
    QFETCH(QString, text);
    QFETCH(QString, elements);
    RecordingSurface surface;
    clsBarCode39 code;
    code.setTextString(text);
    code.Refresh(surface);
    QCOMPARE(elementsOf(surface.lines()), elements);
    QCOMPARE(surface.lines().first().x1, double(clsBarCode39::LeftMargin));
}

void TestBarcode39::geometry_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("startStop");
    QTest::addColumn<int>("lastColumn");
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("labelX");
    QTest::newRow("AB wrapped") << "AB" << true << 84 << "*AB*" << 28.0;
    QTest::newRow("ab wrapped") << "ab" << true << 84 << "*AB*" << 28.0;
    QTest::newRow("one character bare") << "A" << false << 27 << "A" << 7.0;
    QTest::newRow("star inside the text") << "A*B" << false << 65 << "A*B" << 21.0;
}

void TestBarcode39::geometry() {
    QFETCH(QString, text);
    QFETCH(bool, startStop);
    QFETCH(int, lastColumn);
    QFETCH(QString, label);
    QFETCH(double, labelX);

    RecordingSurface surface(73, 13);
    clsBarCode39 code;
    code.setTextString(text);
    code.setShowStartStop(startStop);
    code.setShowLabel(true);
    code.Refresh(surface);

    QCOMPARE(surface.log().mid(0, 4), QStringList({"ScaleMode=3", "Cls", "ScaleHeight", "TextHeight(X)"}));
    QCOMPARE(code.Height(), 60.0);
    QCOMPARE(surface.lines().first().x1, 10.0);
    QCOMPARE(surface.lines().last().x1, double(lastColumn));
    QCOMPARE(lastColumn, clsBarCode39::LeftMargin + clsBarCode39::symbolWidth(label.size()) - 1);
    for (const auto& l : surface.lines()) {
        QCOMPARE(l.x1, l.x2);
        QCOMPARE(l.y1, 1.0);
        QCOMPARE(l.y2, 60.0);
        QCOMPARE(l.colour, QColor(Qt::black));
    }
    QCOMPARE(surface.texts().size(), 1);
    QCOMPARE(surface.texts().first().text, label);
    QCOMPARE(surface.texts().first().x, labelX);
    QCOMPARE(surface.texts().first().y, 60.0);
    QCOMPARE(code.TextString(), text);
}

void TestBarcode39::heightIsWorkedOutOnceAndKept() {
    clsBarCode39 code;
    code.setTextString("A1");
    RecordingSurface first(73, 13);
    code.Refresh(first);
    QCOMPARE(code.Height(), 60.0);

    RecordingSurface taller(200, 13);
    code.Refresh(taller);
    QVERIFY(!taller.log().contains("ScaleHeight"));
    QVERIFY(!taller.log().contains("TextHeight(X)"));
    QCOMPARE(taller.lines().last().y2, 60.0);
}

void TestBarcode39::presetHeightIsUsedWithoutAskingTheSurface() {
    clsBarCode39 code;
    code.setTextString("A1");
    code.setHeight(40.5);
    RecordingSurface surface;
    surface.withhold(Member::ScaleHeight);
    surface.withhold(Member::TextHeight);
    code.Refresh(surface);
    QCOMPARE(surface.lines().first().y2, 40.5);
    QCOMPARE(code.Height(), 40.5);
}

void TestBarcode39::emptyTextLeavesTheSurfaceAlone() {
    clsBarCode39 code;
    code.setShowLabel(true);
    code.setShowStartStop(true);

    RecordingSurface recorder;
    code.Refresh(recorder);
    QVERIFY(recorder.log().isEmpty());
    QCOMPARE(code.Height(), 0.0);

    ImageSurface image(BarcodeBox);
    image.line(0, 0, 50, 0, Qt::red);
    const QImage before = image.image();
    code.Refresh(image);
    QCOMPARE(image.image(), before);
}

void TestBarcode39::invalidCharacterStopsAfterTheCharactersBeforeIt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("startStop");
    QTest::addColumn<int>("charactersDrawn");
    QTest::newRow("underscore third") << "AB_C" << false << 2;
    QTest::newRow("underscore third, wrapped") << "AB_C" << true << 3;
    QTest::newRow("invalid first") << "#12" << false << 0;
    QTest::newRow("full-width A") << QString(QChar(0xFF21)) << false << 0;
    QTest::newRow("sharp s stays one character") << QString("1") + QChar(0xDF) + "SS" << false << 1;
}

void TestBarcode39::invalidCharacterStopsAfterTheCharactersBeforeIt() {
    QFETCH(QString, text);
    QFETCH(bool, startStop);
    QFETCH(int, charactersDrawn);
    RecordingSurface surface;
    clsBarCode39 code;
    code.setTextString(text);
    code.setShowStartStop(startStop);
    code.setShowLabel(true);

    const auto error = refreshError(code, surface);
    QVERIFY(error);
    QCOMPARE(error->number(), -2147221403L);
    QCOMPARE(error->source(), QString("Barcode"));
    QCOMPARE(error->description(), QString("Invalid barcode character"));
    QVERIFY(surface.log().contains("Cls"));
    QVERIFY(surface.texts().isEmpty());
    if (charactersDrawn == 0) {
        QVERIFY(surface.lines().isEmpty());
    } else {
        QCOMPARE(surface.lines().last().x1,
                 double(clsBarCode39::LeftMargin + clsBarCode39::symbolWidth(charactersDrawn) - 1));
    }
}

void TestBarcode39::surfaceLackingAMember_data() {
    QTest::addColumn<Member>("missing");
    QTest::addColumn<bool>("showLabel");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<bool>("barsDrawn");
    QTest::newRow("ScaleMode") << Member::ScaleMode << false << true << false;
    QTest::newRow("Cls") << Member::Cls << false << true << false;
    QTest::newRow("ScaleHeight") << Member::ScaleHeight << false << true << false;
    QTest::newRow("TextHeight, even without a label") << Member::TextHeight << false << true << false;
    QTest::newRow("Line") << Member::Line << false << true << false;
    QTest::newRow("CurrentX with label") << Member::CurrentX << true << true << true;
    QTest::newRow("Print with label") << Member::Print << true << true << true;
    QTest::newRow("CurrentX without label") << Member::CurrentX << false << false << true;
    QTest::newRow("Print without label") << Member::Print << false << false << true;
    QTest::newRow("CurrentY is never needed") << Member::CurrentY << true << false << true;
}

void TestBarcode39::surfaceLackingAMember() {
    QFETCH(Member, missing);
    QFETCH(bool, showLabel);
    QFETCH(bool, fails);
    QFETCH(bool, barsDrawn);
    RecordingSurface surface;
    surface.withhold(missing);
    clsBarCode39 code;
    code.setTextString("C300");
    code.setShowStartStop(true);
    code.setShowLabel(showLabel);

    const auto error = refreshError(code, surface);
    QCOMPARE(bool(error), fails);
    if (error) {
        QCOMPARE(error->number(), -2147221402L);
        QCOMPARE(error->source(), QString("Barcode"));
        QCOMPARE(error->description(), QString("Object does not support the proper drawing methods"));
    }
    QCOMPARE(surface.lines().size(), barsDrawn ? 6 * 11 : 0);
}

void TestBarcode39::otherSurfaceFailuresEndQuietly_data() {
    QTest::addColumn<int>("linesBeforeFailure");
    QTest::addColumn<bool>("failPrint");
    QTest::newRow("line fails midway") << 15 << false;
    QTest::newRow("print fails") << INT_MAX << true;
}

void TestBarcode39::otherSurfaceFailuresEndQuietly() {
    QFETCH(int, linesBeforeFailure);
    QFETCH(bool, failPrint);
    FailingSurface surface;
    surface.linesBeforeFailure = linesBeforeFailure;
    surface.failPrint = failPrint;
    clsBarCode39 code = badgeCode("C300");

    QVERIFY(!refreshError(code, surface));
    QCOMPARE(surface.lines().size(), std::min(linesBeforeFailure, 6 * 11));
    QVERIFY(surface.texts().isEmpty());
}

void TestBarcode39::imageSurfaceCoversExactlyTheRecordedColumns() {
    clsBarCode39 code;
    code.setTextString("EMP-7");
    code.setShowStartStop(true);
    code.setHeight(60);
    RecordingSurface recorder;
    code.Refresh(recorder);
    QSet<int> columns;
    for (const auto& l : recorder.lines()) {
        columns.insert(int(l.x1));
    }

    ImageSurface surface(BarcodeBox);
    code.Refresh(surface);
    const QImage& image = surface.image();
    for (int x = 0; x < image.width(); ++x) {
        const bool bar = columns.contains(x);
        QVERIFY2(!isDark(image.pixel(x, 0)), qPrintable(QString("x=%1 above the bars").arg(x)));
        for (int y = 1; y <= 60; ++y) {
            QVERIFY2(isDark(image.pixel(x, y)) == bar, qPrintable(QString("x=%1 y=%2").arg(x).arg(y)));
        }
        QVERIFY2(!isDark(image.pixel(x, 61)), qPrintable(QString("x=%1 below the bars").arg(x)));
    }
}

void TestBarcode39::barFillMatchesSingleLines() {
    ImageSurface filled(BarcodeBox);
    LineByLineImageSurface single(BarcodeBox);
    clsBarCode39 first = badgeCode("W$/+%.9");
    clsBarCode39 second = badgeCode("W$/+%.9");
    first.Refresh(filled);
    second.Refresh(single);
    QCOMPARE(filled.currentY(), single.currentY());
    QCOMPARE(filled.image(), single.image());
}

void TestBarcode39::imageSurfaceDrawsWhatAPainterWould_data() {
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<bool>("drawnOnBefore");
    QTest::newRow("RGB32, cleared") << QImage::Format_RGB32 << false;
    QTest::newRow("RGB32, drawn on") << QImage::Format_RGB32 << true;
    QTest::newRow("ARGB32 premultiplied") << QImage::Format_ARGB32_Premultiplied << false;
    QTest::newRow("RGB888 through the painter") << QImage::Format_RGB888 << false;
    QTest::newRow("grayscale, drawn on") << QImage::Format_Grayscale8 << true;
}

// Bars and lines against plain QPainter fills of the same pixels: runs sharing their rows (the second
// left of the first), a run with other rows, columns and rows off the image, a line drawn upwards, and a
// half-transparent bar.
void TestBarcode39::imageSurfaceDrawsWhatAPainterWould() {
    QFETCH(QImage::Format, format);
    QFETCH(bool, drawnOnBefore);
    const QSize size(60, 40);
    ImageSurface surface(size, format);
    QImage expected(size, format);
    expected.fill(Qt::white);
    QPainter painter(&expected);
    if (drawnOnBefore) {
        surface.line(0, 0, 59, 39, Qt::red);
        painter.setPen(QPen(Qt::red, 0));
        painter.drawLine(0, 0, 59, 39);
    }
    surface.bar(12, 1, 2, 30, Qt::black);
    surface.bar(5, 4, 2, 30, Qt::black);
    surface.bar(20, 2, 10, 50, Qt::black);
    surface.bar(-2, 4, -5, 80, Qt::black);
    surface.line(30, 25, 30, 1, Qt::blue);
    surface.bar(40, 3, 3, 20, QColor(0, 0, 0, 128));
    surface.bar(58, 5, 2, 30, Qt::black);
    QCOMPARE(surface.currentX(), 62.0);
    QCOMPARE(surface.currentY(), 30.0);
    painter.fillRect(QRect(5, 2, 4, 29), Qt::black);
    painter.fillRect(QRect(12, 2, 1, 29), Qt::black);
    painter.fillRect(QRect(20, 10, 2, 30), Qt::black);
    painter.fillRect(QRect(0, 0, 2, 40), Qt::black);
    painter.fillRect(QRect(30, 1, 1, 25), Qt::blue);
    painter.fillRect(QRect(40, 3, 3, 18), QColor(0, 0, 0, 128));
    painter.fillRect(QRect(58, 2, 2, 29), Qt::black);
    painter.end();
    QCOMPARE(surface.image(), expected);
}

void TestBarcode39::labelSitsUnderTheBarsFromItsColumn() {
    ImageSurface surface(BarcodeBox);
    clsBarCode39 code = badgeCode("AB");
    code.Refresh(surface);
    const QImage& image = surface.image();
    const int labelTop = int(code.Height());
    QCOMPARE(labelTop, BarcodeBox.height() - QFontMetrics(surface.font(), &image).height());

    bool inked = false;
    for (int y = labelTop + 1; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isDark(image.pixel(x, y))) {
                QVERIFY2(x >= 28, qPrintable(QString("ink left of the label at x=%1 y=%2").arg(x).arg(y)));
                inked = true;
            }
        }
    }
    QVERIFY(inked);
}

void TestBarcode39::decodesFromTheBarcodeBox_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("asDrawn");
    // Together these use every data character.
    QTest::newRow("digits 0-4") << "01234"
                                << "01234" << true;
    QTest::newRow("digits 5-9") << "56789"
                                << "56789" << true;
    QTest::newRow("A-H") << "ABCDEFGH"
                         << "ABCDEFGH" << true;
    QTest::newRow("I-P") << "IJKLMNOP"
                         << "IJKLMNOP" << true;
    QTest::newRow("Q-X") << "QRSTUVWX"
                         << "QRSTUVWX" << true;
    QTest::newRow("Y Z") << "Y Z"
                         << "Y Z" << true;
    QTest::newRow("A-B.C") << "A-B.C"
                           << "A-B.C" << true;
    QTest::newRow("$5/2") << "$5/2"
                          << "$5/2" << false;
    QTest::newRow("1+1%") << "1+1%"
                          << "1+1%" << false;
    // Identification codes as the badges carry them.
    QTest::newRow("EMP-00042") << "EMP-00042"
                               << "EMP-00042" << true;
    QTest::newRow("C300") << "C300"
                          << "C300" << true;
    QTest::newRow("A100") << "A100"
                          << "A100" << true;
    QTest::newRow("12345") << "12345"
                           << "12345" << true;
    QTest::newRow("lower case") << "emp-7"
                                << "EMP-7" << true;
}

void TestBarcode39::decodesFromTheBarcodeBox() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(bool, asDrawn);
    clsBarCode39 code = badgeCode(text);
    ImageSurface surface(boxFor(code.encodedText().size()));
    code.Refresh(surface);
    const QImage image = asDrawn ? surface.image() : atThreeToOne(surface.image(), int(code.Height()) / 2);
    QCOMPARE(QString::fromStdString(decode(image, 3)), expected);
}

void TestBarcode39::painterSurfaceIsTheImageEnlargedToWholeDots_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("dots");
    QTest::addColumn<QPoint>("origin");
    QTest::newRow("300 dpi") << 4.0 << 4 << QPoint(0, 0);
    QTest::newRow("600 dpi, offset target") << 6.25 << 6 << QPoint(37, 11);
    QTest::newRow("rounded up") << 2.6 << 3 << QPoint(5, 0);
    QTest::newRow("below one dot") << 0.3 << 1 << QPoint(0, 3);
}

void TestBarcode39::painterSurfaceIsTheImageEnlargedToWholeDots() {
    QFETCH(double, scale);
    QFETCH(int, dots);
    QFETCH(QPoint, origin);
    clsBarCode39 code;
    code.setTextString("EMP-42");
    code.setShowStartStop(true);
    code.setHeight(50);

    ImageSurface reference(BarcodeBox);
    code.Refresh(reference);
    const QImage expected =
        reference.image().scaled(BarcodeBox * dots, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    QImage device(expected.size() + QSize(origin.x(), origin.y()) + QSize(9, 9), QImage::Format_RGB32);
    device.fill(Qt::gray);
    {
        QPainter painter(&device);
        PainterSurface surface(painter, QRect(origin, expected.size()), scale);
        QCOMPARE(surface.dotsPerPixel(), dots);
        QCOMPARE(surface.scaleHeight(), double(BarcodeBox.height()));
        code.Refresh(surface);
    }
    QCOMPARE(device.copy(QRect(origin, expected.size())), expected);
}

void TestBarcode39::painterSurfaceStaysInsideItsTarget() {
    QImage device(400, 200, QImage::Format_RGB32);
    device.fill(Qt::gray);
    const QRect target(50, 40, 100, 60);
    {
        QPainter painter(&device);
        PainterSurface surface(painter, target, 2);
        clsBarCode39 code = badgeCode("TOO LONG FOR THE BOX");
        code.Refresh(surface);
    }
    for (int y = 0; y < device.height(); ++y) {
        for (int x = 0; x < device.width(); ++x) {
            if (!target.contains(x, y)) {
                QVERIFY2(device.pixel(x, y) == QColor(Qt::gray).rgb(),
                         qPrintable(QString("%1,%2").arg(x).arg(y)));
            }
        }
    }
    QVERIFY(isDark(device.pixel(target.left() + 10 * 2, target.top() + 2 * 2)));
}

void TestBarcode39::decodesFromPrintResolution() {
    // A badge's barcode box at 300 dpi, label in a font sized for paper.
    constexpr int dots = 4;
    QImage device(BarcodeBox * dots, QImage::Format_RGB32);
    device.setDotsPerMeterX(11811);
    device.setDotsPerMeterY(11811);
    device.fill(Qt::white);
    clsBarCode39 code = badgeCode("C300");
    {
        QPainter painter(&device);
        PainterSurface surface(painter, device.rect(), dots);
        surface.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
        code.Refresh(surface);
    }
    QVERIFY(code.Height() > 40);
    QCOMPARE(QString::fromStdString(decode(device, 1)), QString("C300"));
}

QTEST_MAIN(TestBarcode39)
#include "tst_barcode39.moc"
