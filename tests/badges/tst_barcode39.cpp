// The Code 39 renderer: its pixel geometry, its errors, what the surfaces make of it, and a real decoder
// reading what it draws.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include "app/apperror.h"
#include "badges/barcode39.h"
#include "badges/drawsurface.h"

#include <QtTest>

#include <climits>
#include <stdexcept>

namespace {

const QSize BarcodeBox(209, 73);
const long InvalidCharacter = -2147221403L;
const long Unsupported = -2147221402L;
// Besides a withheld DrawSurface::Member.
enum Fault { NoFault = -1, LineFails = 100, PrintFails };

using Member = DrawSurface::Member;

clsBarCode39 badgeCode(const QString& text) {
    clsBarCode39 code;
    code.setShowLabel(true);
    code.setShowStartStop(true);
    code.setTextString(text);
    return code;
}

bool isDark(QRgb pixel) {
    return qGray(pixel) < 128;
}

QString decode(const QImage& image) {
    const QImage gray = image.scaled(image.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                            .convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                int(gray.bytesPerLine()));
    const auto result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Code39));
    return result.isValid() ? QString::fromStdString(result.text()) : QStringLiteral("<no barcode>");
}

// The same bars and spaces with every 4-pixel element cut to 3 pixels, taken from one row through the
// bars. ZXing refuses a wide space more than three times the widest bar in the same character, which
// at 4:1 rules out $ / + %, whose bars are all narrow; other readers take them.
QImage atThreeToOne(const QImage& image, int row) {
    QImage result(image.width(), 40, QImage::Format_RGB32);
    result.fill(Qt::white);
    int to = 0;
    for (int x = 0; x < image.width();) {
        const bool dark = isDark(image.pixel(x, row));
        int width = 0;
        for (; x < image.width() && isDark(image.pixel(x, row)) == dark; ++x)
            ++width;
        const int narrowed = width == 4 ? 3 : width;
        if (dark)
            QPainter(&result).fillRect(to, 0, narrowed, result.height(), Qt::black);
        to += narrowed;
    }
    return result;
}

// A surface that breaks in some way other than lacking a member.
class FailingSurface : public RecordingSurface {
public:
    int linesBeforeFailure = INT_MAX;
    bool failPrint = false;
    void line(double x1, double y1, double x2, double y2, const QColor& colour) override {
        if (lines().size() == linesBeforeFailure)
            throw std::runtime_error("device lost");
        RecordingSurface::line(x1, y1, x2, y2, colour);
    }
    void print(const QString& text) override {
        if (failPrint)
            throw std::runtime_error("device lost");
        RecordingSurface::print(text);
    }
};

} // namespace

class TestBarcode39 : public QObject {
    Q_OBJECT

private slots:
    void geometry_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("startStop");
        QTest::addColumn<int>("lastColumn");
        QTest::addColumn<QString>("label");
        QTest::addColumn<double>("labelX");
        // Characters of 18 pixels (narrow 1, wide 4) and a 1-pixel gap, from x = 10.
        QTest::newRow("lower case, wrapped") << "ab" << true << 84 << "*AB*" << 28.0;
        QTest::newRow("one character bare") << "A" << false << 27 << "A" << 7.0;
        QTest::newRow("star inside the text") << "A*B" << false << 65 << "A*B" << 21.0;
    }
    void geometry() {
        QFETCH(QString, text);
        QFETCH(bool, startStop);
        QFETCH(int, lastColumn);
        QFETCH(QString, label);
        QFETCH(double, labelX);
        RecordingSurface surface(73, 13);
        clsBarCode39 code = badgeCode(text);
        code.setShowStartStop(startStop);
        code.Refresh(surface);

        QCOMPARE(surface.log().mid(0, 4),
                 QStringList({"ScaleMode=3", "Cls", "ScaleHeight", "TextHeight(X)"}));
        QCOMPARE(surface.lines().first().x1, 10.0);
        QCOMPARE(surface.lines().last().x1, double(lastColumn));
        QCOMPARE(surface.lines().last().y2, 60.0);
        QCOMPARE(surface.texts().size(), 1);
        QCOMPARE(surface.texts().first().text, label);
        QCOMPARE(surface.texts().first().x, labelX);
        QCOMPARE(surface.texts().first().y, 60.0);
    }
    void failures_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("label");
        QTest::addColumn<int>("fault");
        QTest::addColumn<long>("error");
        QTest::addColumn<int>("charactersDrawn");
        const auto missing = [](Member m) { return int(m); };
        // Counted with the start/stop character; every character drawn here has 11 bar columns.
        QTest::newRow("empty text") << "" << true << int(NoFault) << 0L << 0;
        QTest::newRow("underscore third") << "AB_C" << true << int(NoFault) << InvalidCharacter << 3;
        QTest::newRow("full-width A")
            << QString(QChar(0xFF21)) << true << int(NoFault) << InvalidCharacter << 1;
        QTest::newRow("sharp s stays one character")
            << QString("1") + QChar(0xDF) + "SS" << true << int(NoFault) << InvalidCharacter << 2;
        QTest::newRow("no Cls") << "C300" << false << missing(Member::Cls) << Unsupported << 0;
        QTest::newRow("no TextHeight, even without a label")
            << "C300" << false << missing(Member::TextHeight) << Unsupported << 0;
        QTest::newRow("no Line") << "C300" << false << missing(Member::Line) << Unsupported << 0;
        QTest::newRow("no Print with label") << "C300" << true << missing(Member::Print) << Unsupported << 6;
        QTest::newRow("no Print without label") << "C300" << false << missing(Member::Print) << 0L << 6;
        // Any other failure of the surface ends the drawing quietly.
        QTest::newRow("line fails midway") << "C300" << true << int(LineFails) << 0L << 0;
        QTest::newRow("print fails") << "C300" << true << int(PrintFails) << 0L << 6;
    }
    void failures() {
        QFETCH(QString, text);
        QFETCH(bool, label);
        QFETCH(int, fault);
        QFETCH(long, error);
        QFETCH(int, charactersDrawn);
        FailingSurface surface;
        if (fault >= 0 && fault < LineFails)
            surface.withhold(Member(fault));
        surface.linesBeforeFailure = fault == LineFails ? 15 : INT_MAX;
        surface.failPrint = fault == PrintFails;
        clsBarCode39 code = badgeCode(text);
        code.setShowLabel(label);
        long thrown = 0;
        try {
            code.Refresh(surface);
        } catch (const AppError& e) {
            thrown = e.number();
            QCOMPARE(e.source(), QString("Barcode"));
            QCOMPARE(e.description(), QString(thrown == InvalidCharacter
                                                  ? "Invalid barcode character"
                                                  : "Object does not support the proper drawing methods"));
        }
        QCOMPARE(thrown, error);
        QCOMPARE(surface.lines().size(), fault == LineFails ? 15 : 11 * charactersDrawn);
        // Never a label under a partial symbol.
        QVERIFY(surface.texts().isEmpty());
        if (text.isEmpty())
            QVERIFY(surface.log().isEmpty());
    }
    // On the fast path too, every bar covers exactly its own column from row 1 to the bar height, and a
    // code too long for the box is cut off at its edge.
    void imageSurfaceCoversExactlyTheRecordedColumns() {
        clsBarCode39 code = badgeCode("EMP-00042-LONG");
        code.setShowLabel(false);
        code.setHeight(60);
        RecordingSurface recorder;
        code.Refresh(recorder);
        QSet<int> columns;
        for (const auto& l : recorder.lines())
            columns.insert(int(l.x1));
        QVERIFY(*std::max_element(columns.begin(), columns.end()) >= BarcodeBox.width());

        ImageSurface surface(BarcodeBox);
        code.Refresh(surface);
        const QImage& image = surface.image();
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y <= 61; ++y)
                QVERIFY2(isDark(image.pixel(x, y)) == (columns.contains(x) && y >= 1 && y <= 60),
                         qPrintable(QString("x=%1 y=%2").arg(x).arg(y)));
    }
    void decodes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("asDrawn");
        QTest::addColumn<QString>("expected");
        // Together these use every data character.
        QTest::newRow("digits - . blank") << "01234 56789-." << true << "01234 56789-.";
        QTest::newRow("A-M") << "ABCDEFGHIJKLM" << true << "ABCDEFGHIJKLM";
        QTest::newRow("N-Z") << "NOPQRSTUVWXYZ" << true << "NOPQRSTUVWXYZ";
        QTest::newRow("$ / + %") << "$1/2+3%" << false << "$1/2+3%";
        QTest::newRow("lower case") << "emp-7" << true << "EMP-7";
    }
    void decodes() {
        QFETCH(QString, text);
        QFETCH(bool, asDrawn);
        QFETCH(QString, expected);
        clsBarCode39 code = badgeCode(text);
        // Wide enough for the whole symbol and a quiet zone after it.
        ImageSurface surface(QSize(std::max(BarcodeBox.width(), 40 + 19 * int(text.size() + 2)), 73));
        code.Refresh(surface);
        const QImage image =
            asDrawn ? surface.image() : atThreeToOne(surface.image(), int(code.Height()) / 2);
        QCOMPARE(decode(image), expected);
    }
    void painterSurfaceIsTheImageEnlargedToWholeDots_data() {
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("dots");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("600 dpi, offset target") << 6.25 << 6 << QPoint(37, 11);
        QTest::newRow("rounded up") << 2.6 << 3 << QPoint(5, 0);
        QTest::newRow("below one dot") << 0.3 << 1 << QPoint(0, 3);
    }
    // Also cut off at the target's edge, as a code too long for the box is on screen.
    void painterSurfaceIsTheImageEnlargedToWholeDots() {
        QFETCH(double, scale);
        QFETCH(int, dots);
        QFETCH(QPoint, origin);
        clsBarCode39 code = badgeCode("TOO LONG FOR THE BOX");
        code.setShowLabel(false);
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
            code.Refresh(surface);
        }
        QCOMPARE(device.copy(QRect(origin, expected.size())), expected);
        QPainter(&device).fillRect(QRect(origin, expected.size()), Qt::gray);
        QImage untouched(device.size(), device.format());
        untouched.fill(Qt::gray);
        QCOMPARE(device, untouched);
    }
};

QTEST_MAIN(TestBarcode39)
#include "tst_barcode39.moc"
