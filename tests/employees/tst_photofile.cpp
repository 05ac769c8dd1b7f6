#include "app/appfacts.h"
#include "employees/photofile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString OffLimits = QStringLiteral("/\\<>:\"|?*");

// A picture that shows which way is up: red on the left, blue on the right.
QImage halfRedHalfBlue() {
    QImage image(40, 20, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, x < image.width() / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

// A JPEG as a camera writes it: an APP1 segment with an EXIF block whose only entry is the orientation.
QByteArray jpegWithOrientation(int orientation) {
    QByteArray jpeg = encoded(halfRedHalfBlue(), "JPEG");
    if (orientation == 0)
        return jpeg;
    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08", 8);          // big-endian header, first directory at 8
    tiff += QByteArray("\x00\x01", 2);                         // one entry
    tiff += QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01", 8); // orientation, SHORT, count 1
    tiff += char(0);
    tiff += char(orientation);
    tiff += QByteArray(2, '\0'); // value padding
    tiff += QByteArray(4, '\0'); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray app1("\xff\xe1", 2);
    app1 += char(length >> 8);
    app1 += char(length & 0xff);
    app1 += payload;
    jpeg.insert(2, app1); // right after the start-of-image marker
    return jpeg;
}

// A 1x1 GIF written out by hand: Qt reads GIF but cannot write it.
QByteArray tinyGif() {
    return QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00"
                      "\x00\x00\x00\xff\xff\xff"
                      ",\x00\x00\x00\x00\x01\x00\x01\x00\x00"
                      "\x02\x02\x44\x01\x00;",
                      35);
}

bool isRed(QRgb pixel) {
    return qRed(pixel) > 200 && qBlue(pixel) < 80;
}
bool isBlue(QRgb pixel) {
    return qBlue(pixel) > 200 && qRed(pixel) < 80;
}

// Codes that break naive file naming, and ordinary ones next to them that a sloppy scheme would merge.
QStringList trickyCodes() {
    QStringList codes = {
        QStringLiteral("C300"),
        QStringLiteral("c300"),
        QStringLiteral("C300 "),
        QStringLiteral(" C300"),
        QStringLiteral("C300."),
        QStringLiteral(".C300"),
        QStringLiteral("C300.jpg"),
        QStringLiteral("C300.jpg.jpg"),
        QStringLiteral("../../etc/passwd"),
        QStringLiteral("..\\..\\windows"),
        QStringLiteral("a/b"),
        QStringLiteral("a\\b"),
        QStringLiteral("a_b"),
        QStringLiteral("a b"),
        QStringLiteral("a~b"),
        QStringLiteral(".."),
        QStringLiteral("."),
        QStringLiteral("..."),
        QStringLiteral("a..b"),
        QString(),
        QStringLiteral(" "),
        QStringLiteral("CON"),
        QStringLiteral("con"),
        QStringLiteral("Con"),
        QStringLiteral("con.txt"),
        QStringLiteral("CON .txt"),
        QStringLiteral("nul"),
        QStringLiteral("NUL"),
        QStringLiteral("PRN"),
        QStringLiteral("aux"),
        QStringLiteral("COM1"),
        QStringLiteral("com9"),
        QStringLiteral("LPT1"),
        QStringLiteral("lpt9.x"),
        QStringLiteral("COM10"),
        QStringLiteral("CONSOLE"),
        QStringLiteral("x\ty"),
        QStringLiteral("x\ny"),
        QStringLiteral("x\ry"),
        QString(QStringLiteral("x") + QChar(0) + u'y'),
        QStringLiteral("ab:c"),
        QStringLiteral("é"),
        QStringLiteral("e\u0301"),
        QStringLiteral("?"),
        QString(QChar(0xD800)),
        QString(QChar(0xDFFF)),
        QStringLiteral("😀"),
        QStringLiteral("株式会社"),
        QString(300, u'A'),
        QString(300, u'A') + u'B',
        QString(300, u'A') + u'b', // differs only in case, beyond the readable part
        QString(116, u'z'),
        QString(117, u'z'),
        QString(116, u'Z'),
        QString(40, u'q') + u'/',
        QString(40, u'q') + u'\\',
    };
    for (const QChar c : OffLimits) {
        codes << QStringLiteral("a") + c + u'b' << QString(c) << QStringLiteral("a") + c;
    }
    for (char16_t c = 1; c < 0x20; ++c)
        codes << QStringLiteral("k") + QChar(c);
    // Codes equal to the names other codes get.
    codes << photoTempFileName(QStringLiteral("a/b")) << photoTempFileName(QStringLiteral("a/b")).chopped(4);
    // Random codes from an alphabet rich in trouble.
    const QString alphabet = QStringLiteral("aA.. /\\:~_-\t") + QChar(0) + QStringLiteral("éC0");
    QRandomGenerator random(20240531);
    for (int i = 0; i < 2000; ++i) {
        QString code;
        const int length = random.bounded(1, 8);
        for (int j = 0; j < length; ++j)
            code += alphabet.at(random.bounded(int(alphabet.size())));
        codes << code;
    }
    codes.removeDuplicates();
    return codes;
}

} // namespace

class TestPhotoFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ordinaryCodesKeepTheirName_data();
    void ordinaryCodesKeepTheirName();
    void unusualCodesGetSafeNames_data();
    void unusualCodesGetSafeNames();
    void differentCodesNeverShareAName();
    void everyCodeGetsItsOwnFileInsideTemp();

    void exifOrientationTurnsPictureUpright_data();
    void exifOrientationTurnsPictureUpright();
    void formatFollowsContentNotName_data();
    void formatFollowsContentNotName();
    void nonPicturesAreRefused_data();
    void nonPicturesAreRefused();
    void refusedDataIsReported();

    void fitRectKeepsProportions_data();
    void fitRectKeepsProportions();

private:
    QString writeFile(const QString& name, const QByteArray& bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPhotoFile::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    AppFacts::setApplicationDirectory(m_dir->path());
    QVERIFY(QDir().mkpath(AppFacts::tempDirectory()));
}

void TestPhotoFile::cleanup() {
    m_dir.reset();
}

QString TestPhotoFile::writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = QDir(m_dir->path()).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestPhotoFile::ordinaryCodesKeepTheirName_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("letters and digits") << QStringLiteral("C300");
    QTest::newRow("lower case") << QStringLiteral("c300");
    QTest::newRow("punctuation") << QStringLiteral("EMP-2008_01.b");
    QTest::newRow("blank inside") << QStringLiteral("John Smith");
    QTest::newRow("device name as a prefix") << QStringLiteral("CONSOLE");
    QTest::newRow("COM10 is no device") << QStringLiteral("COM10");
    QTest::newRow("longest kept") << QString(116, u'z');
}

void TestPhotoFile::ordinaryCodesKeepTheirName() {
    QFETCH(QString, code);
    QCOMPARE(photoTempFileName(code), code + QStringLiteral(".jpg"));
}

void TestPhotoFile::unusualCodesGetSafeNames_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("climbs out") << QStringLiteral("../../etc/passwd");
    QTest::newRow("slash") << QStringLiteral("a/b");
    QTest::newRow("backslash") << QStringLiteral("a\\b");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dots inside") << QStringLiteral("a..b");
    QTest::newRow("CON") << QStringLiteral("CON");
    QTest::newRow("con.txt") << QStringLiteral("con.txt");
    QTest::newRow("nul") << QStringLiteral("nul");
    QTest::newRow("com1 blank before dot") << QStringLiteral("com1 .x");
    QTest::newRow("LPT9") << QStringLiteral("LPT9");
    QTest::newRow("tab") << QStringLiteral("x\ty");
    QTest::newRow("NUL character") << QString(QStringLiteral("x") + QChar(0) + u'y');
    QTest::newRow("colon") << QStringLiteral("ab:c");
    QTest::newRow("wildcards") << QStringLiteral("a*b?c");
    QTest::newRow("quote and pipes") << QStringLiteral("<a|\"b\">");
    QTest::newRow("empty") << QString();
    QTest::newRow("leading dot") << QStringLiteral(".hidden");
    QTest::newRow("trailing dot") << QStringLiteral("C300.");
    QTest::newRow("leading blank") << QStringLiteral(" C300");
    QTest::newRow("trailing blank") << QStringLiteral("C300 ");
    QTest::newRow("tilde") << QStringLiteral("a~b");
    QTest::newRow("non-ASCII") << QStringLiteral("Müller");
    QTest::newRow("300 characters") << QString(300, u'A');
    QTest::newRow("300 characters with separators") << QStringLiteral("../").repeated(100);
}

void TestPhotoFile::unusualCodesGetSafeNames() {
    QFETCH(QString, code);
    const QString name = photoTempFileName(code);
    QVERIFY2(name.contains(u'~'), qPrintable(name));
    QVERIFY(name.endsWith(QStringLiteral(".jpg")));
    QVERIFY(name.toUtf8().size() <= 120);
    QVERIFY(!name.startsWith(u'.') && !name.startsWith(u' '));
    for (const QChar c : name) {
        QVERIFY2(!OffLimits.contains(c), qPrintable(name));
        QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7f, qPrintable(name));
    }
    const QString stem = name.section(u'.', 0, 0).toUpper();
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])$"));
    QVERIFY2(!device.match(stem).hasMatch(), qPrintable(name));
}

void TestPhotoFile::differentCodesNeverShareAName() {
    const QStringList codes = trickyCodes();
    QHash<QString, QString> codeForName;
    for (const QString& code : codes) {
        const QString name = photoTempFileName(code);
        QVERIFY2(!codeForName.contains(name),
                 qPrintable(QStringLiteral("%1 and %2 both give %3")
                                .arg(codeForName.value(name).toHtmlEscaped(), code.toHtmlEscaped(), name)));
        codeForName.insert(name, code);
    }
    QCOMPARE(photoTempFileName(QStringLiteral("C300")), QStringLiteral("C300.jpg"));
    QCOMPARE(photoTempFileName(QStringLiteral("c300")), QStringLiteral("c300.jpg"));
}

void TestPhotoFile::everyCodeGetsItsOwnFileInsideTemp() {
    const QStringList codes = trickyCodes();
    const QString temp = QDir(AppFacts::tempDirectory()).canonicalPath();
    for (const QString& code : codes) {
        const QString path = photoTempFilePath(code);
        QCOMPARE(QDir::cleanPath(path), path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly),
                 qPrintable(path + QStringLiteral(": ") + file.errorString()));
        file.write("x");
        file.close();
        QCOMPARE(QFileInfo(path).canonicalPath(), temp);
    }
    const QStringList written = QDir(temp).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(written.size(), codes.size());
    // Nothing escaped into the application directory or above it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("temp")});
}

void TestPhotoFile::exifOrientationTurnsPictureUpright_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("red"); // a point inside the red half once upright
    QTest::addColumn<QPoint>("blue");

    QTest::newRow("no EXIF") << 0 << QSize(40, 20) << QPoint(5, 10) << QPoint(35, 10);
    QTest::newRow("1: upright") << 1 << QSize(40, 20) << QPoint(5, 10) << QPoint(35, 10);
    QTest::newRow("3: upside down") << 3 << QSize(40, 20) << QPoint(35, 10) << QPoint(5, 10);
    QTest::newRow("6: turned left") << 6 << QSize(20, 40) << QPoint(10, 5) << QPoint(10, 35);
    QTest::newRow("8: turned right") << 8 << QSize(20, 40) << QPoint(10, 35) << QPoint(10, 5);
}

void TestPhotoFile::exifOrientationTurnsPictureUpright() {
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QPoint, red);
    QFETCH(QPoint, blue);

    const QByteArray jpeg = jpegWithOrientation(orientation);
    const QString path = writeFile(QStringLiteral("photo.jpg"), jpeg);
    QString error;
    const QImage fromFile = loadPicture(path, &error);
    QVERIFY2(!fromFile.isNull(), qPrintable(error));
    const QImage fromData = loadPictureData(jpeg, &error);
    QVERIFY2(!fromData.isNull(), qPrintable(error));

    for (const QImage& image : {fromFile, fromData}) {
        QCOMPARE(image.size(), size);
        QVERIFY(isRed(image.pixel(red)));
        QVERIFY(isBlue(image.pixel(blue)));
    }
}

void TestPhotoFile::formatFollowsContentNotName_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");

    QTest::newRow("JPEG") << encoded(halfRedHalfBlue(), "JPEG") << QSize(40, 20);
    QTest::newRow("PNG") << encoded(halfRedHalfBlue(), "PNG") << QSize(40, 20);
    QTest::newRow("BMP") << encoded(halfRedHalfBlue(), "BMP") << QSize(40, 20);
    QTest::newRow("GIF") << tinyGif() << QSize(1, 1);
}

void TestPhotoFile::formatFollowsContentNotName() {
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QVERIFY(!bytes.isEmpty());
    // Temporary copies are all called .jpg.
    const QString path = writeFile(QStringLiteral("C300.jpg"), bytes);
    QString error;
    QVERIFY2(isPictureFile(path, &error), qPrintable(error));
    QCOMPARE(loadPicture(path, &error).size(), size);
    QCOMPARE(loadPictureData(bytes, &error).size(), size);
}

void TestPhotoFile::nonPicturesAreRefused_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes"); // a null array: the file is not created
    QTest::addColumn<QString>("cause");

    const QString notShown =
        QStringLiteral("is not a picture that Pellorin can show (JPEG, PNG, BMP or GIF)");
    QTest::newRow("text file") << QStringLiteral("notes.txt") << QByteArray("Employee list\r\nAcme, Inc.\r\n")
                               << notShown;
    QTest::newRow("text named .jpg") << QStringLiteral("photo.jpg") << QByteArray("not a picture")
                                     << notShown;
    QTest::newRow("empty file") << QStringLiteral("empty.jpg") << QByteArray("") << notShown;
    QTest::newRow("cut-off JPEG") << QStringLiteral("cut.jpg") << encoded(halfRedHalfBlue(), "JPEG").left(20)
                                  << notShown;
    // Qt reads these text formats too; a badge has no use for them.
    QTest::newRow("PBM text") << QStringLiteral("drawing.pbm") << QByteArray("P1\n2 2\n0 1\n1 0\n")
                              << notShown;
    QTest::newRow("missing file") << QStringLiteral("gone.jpg") << QByteArray()
                                  << QStringLiteral("Could not open");
}

void TestPhotoFile::nonPicturesAreRefused() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, cause);

    const QString path = bytes.isNull() ? QDir(m_dir->path()).filePath(fileName) : writeFile(fileName, bytes);
    QString error;
    QVERIFY(!isPictureFile(path, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QVERIFY2(error.contains(cause), qPrintable(error));

    error.clear();
    QVERIFY(loadPicture(path, &error).isNull());
    QVERIFY(!error.isEmpty());
    QVERIFY(loadPicture(path, nullptr).isNull());
}

void TestPhotoFile::refusedDataIsReported() {
    QString error;
    QVERIFY(loadPictureData(QByteArray("not a picture"), &error).isNull());
    QVERIFY2(error.contains(QStringLiteral("is not a picture that Pellorin can show")), qPrintable(error));
}

void TestPhotoFile::fitRectKeepsProportions_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("landscape") << QSize(400, 200) << QRect(10, 20, 100, 100) << QRect(10, 45, 100, 50);
    QTest::newRow("portrait") << QSize(200, 400) << QRect(10, 20, 100, 100) << QRect(35, 20, 50, 100);
    QTest::newRow("same proportions")
        << QSize(300, 400) << QRect(10, 20, 120, 160) << QRect(10, 20, 120, 160);
    QTest::newRow("tiny is scaled up") << QSize(4, 3) << QRect(0, 0, 400, 400) << QRect(0, 50, 400, 300);
    QTest::newRow("large is scaled down")
        << QSize(4000, 3000) << QRect(0, 0, 120, 160) << QRect(0, 35, 120, 90);
    QTest::newRow("rounded, not cut") << QSize(3, 2) << QRect(0, 0, 100, 100) << QRect(0, 16, 100, 67);
    QTest::newRow("a line stays visible") << QSize(1000, 1) << QRect(0, 0, 100, 100) << QRect(0, 49, 100, 1);
    QTest::newRow("huge sizes do not overflow")
        << QSize(2000000000, 1000000000) << QRect(0, 0, 2000000000, 2000000000)
        << QRect(0, 500000000, 2000000000, 1000000000);
    QTest::newRow("empty picture") << QSize(0, 0) << QRect(0, 0, 100, 100) << QRect();
    QTest::newRow("empty box") << QSize(10, 10) << QRect(5, 5, 0, 0) << QRect();
}

void TestPhotoFile::fitRectKeepsProportions() {
    QFETCH(QSize, picture);
    QFETCH(QRect, box);
    QFETCH(QRect, expected);
    QCOMPARE(fitRect(picture, box), expected);
}

QTEST_GUILESS_MAIN(TestPhotoFile)
#include "tst_photofile.moc"
