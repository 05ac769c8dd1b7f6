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

// Red on the left, blue on the right, so that a picture turned the wrong way shows.
QByteArray halfRedHalfBlue(const char* format) {
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width() / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

// A JPEG as a camera writes it: an APP1 segment with an EXIF block whose only entry is the orientation.
QByteArray jpegWithOrientation(int orientation) {
    QByteArray jpeg = halfRedHalfBlue("JPEG");
    if (orientation == 0)
        return jpeg;
    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01", 18);
    tiff += char(0);
    tiff += char(orientation);
    tiff += QByteArray(6, '\0'); // value padding, no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    jpeg.insert(2, QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + payload);
    return jpeg;
}

// Qt reads GIF but cannot write it.
QByteArray tinyGif() {
    return QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
                      ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                      35);
}

// Codes that break naive file naming, next to ordinary ones a sloppy scheme would merge them with.
QStringList trickyCodes() {
    QStringList codes = {
        "C300", "c300", "C300 ", " C300", "C300.", ".C300", "C300.jpg", "../../etc/passwd", "a/b", "a\\b",
        "a_b", "a b", "a~b", "..", ".", "a..b", "", "CON", "con.txt", "COM1", "COM10", "x\ny", "é",
        "e\u0301", "😀",
        // Lone surrogates are lost in UTF-8, so a hash of the UTF-8 text would merge these.
        QString(QChar(0xD800)), QString(QChar(0xDFFF)), QString(QStringLiteral("x") + QChar(0) + u'y'),
        // Past the readable part only the hash tells these apart.
        QString(300, u'A') + u'B', QString(300, u'A') + u'b', QString(116, u'z'), QString(117, u'z'),
        QString(40, u'q') + u'/', QString(40, u'q') + u'\\'};
    for (const QChar c : OffLimits)
        codes << QStringLiteral("a") + c + u'b' << QString(c);
    for (char16_t c = 1; c < 0x20; ++c)
        codes << QStringLiteral("k") + QChar(c);
    // Codes equal to the names other codes get.
    codes << photoTempFileName(QStringLiteral("a/b")) << photoTempFileName(QStringLiteral("a/b")).chopped(4);
    const QString alphabet = QStringLiteral("aA.. /\\:~_-\t") + QChar(0) + QStringLiteral("éC0");
    QRandomGenerator random(20240531);
    for (int i = 0; i < 2000; ++i) {
        QString code;
        for (int j = random.bounded(1, 8); j > 0; --j)
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

    void codeGivesSafeName_data();
    void codeGivesSafeName();
    void everyCodeGetsItsOwnFileInsideTemp();

    void exifOrientationTurnsPictureUpright_data();
    void exifOrientationTurnsPictureUpright();
    void formatFollowsContentNotName_data();
    void formatFollowsContentNotName();
    void nonPicturesAreRefused_data();
    void nonPicturesAreRefused();

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

void TestPhotoFile::codeGivesSafeName_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("kept"); // the name is the code + ".jpg"
    QTest::newRow("ordinary") << QStringLiteral("EMP-2008_01.b John") << true;
    QTest::newRow("device name as a prefix") << QStringLiteral("CONSOLE") << true;
    QTest::newRow("longest kept") << QString(116, u'z') << true;
    QTest::newRow("climbs out") << QStringLiteral("../../etc/passwd") << false;
    QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
    QTest::newRow("device name") << QStringLiteral("com1 .x") << false;
    QTest::newRow("control character") << QStringLiteral("x\ty") << false;
    QTest::newRow("wildcards and quotes") << QStringLiteral("<a|\"b\"*?:>") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("trailing dot") << QStringLiteral("C300.") << false;
    QTest::newRow("leading blank") << QStringLiteral(" C300") << false;
    QTest::newRow("non-ASCII") << QStringLiteral("Müller") << false;
    QTest::newRow("300 characters with separators") << QStringLiteral("../").repeated(100) << false;
}

void TestPhotoFile::codeGivesSafeName() {
    QFETCH(QString, code);
    QFETCH(bool, kept);
    const QString name = photoTempFileName(code);
    if (kept) {
        QCOMPARE(name, code + QStringLiteral(".jpg"));
        return;
    }
    QVERIFY2(name.contains(u'~') && name.endsWith(QStringLiteral(".jpg")), qPrintable(name));
    QVERIFY(name.size() <= 120);
    QVERIFY(!name.startsWith(u'.') && !name.startsWith(u' '));
    for (const QChar c : name)
        QVERIFY2(!OffLimits.contains(c) && c.unicode() >= 0x20 && c.unicode() < 0x7f, qPrintable(name));
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])$"));
    QVERIFY2(!device.match(name.section(u'.', 0, 0).toUpper()).hasMatch(), qPrintable(name));
}

void TestPhotoFile::everyCodeGetsItsOwnFileInsideTemp() {
    const QStringList codes = trickyCodes();
    const QString temp = QDir(AppFacts::tempDirectory()).canonicalPath();
    QSet<QString> names;
    for (const QString& code : codes) {
        const QString path = photoTempFilePath(code);
        names.insert(QFileInfo(path).fileName());
        QCOMPARE(QDir::cleanPath(path), path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path + QStringLiteral(": ") + file.errorString()));
        file.close();
        QCOMPARE(QFileInfo(path).canonicalPath(), temp);
    }
    QCOMPARE(names.size(), codes.size());
    QCOMPARE(QDir(temp).entryList(QDir::Files | QDir::Hidden).size(), codes.size());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("temp")});
}

void TestPhotoFile::exifOrientationTurnsPictureUpright_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("red"); // a point inside the red half once upright
    QTest::addColumn<QPoint>("blue");
    QTest::newRow("no EXIF") << 0 << QSize(40, 20) << QPoint(5, 10) << QPoint(35, 10);
    QTest::newRow("3: upside down") << 3 << QSize(40, 20) << QPoint(35, 10) << QPoint(5, 10);
    QTest::newRow("6: turned left") << 6 << QSize(20, 40) << QPoint(10, 5) << QPoint(10, 35);
}

void TestPhotoFile::exifOrientationTurnsPictureUpright() {
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QPoint, red);
    QFETCH(QPoint, blue);
    const QByteArray jpeg = jpegWithOrientation(orientation);
    QString error;
    for (const QImage& image :
         {loadPicture(writeFile(QStringLiteral("photo.jpg"), jpeg), &error), loadPictureData(jpeg, &error)}) {
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), size);
        QVERIFY(qRed(image.pixel(red)) > 200 && qBlue(image.pixel(red)) < 80);
        QVERIFY(qBlue(image.pixel(blue)) > 200 && qRed(image.pixel(blue)) < 80);
    }
}

void TestPhotoFile::formatFollowsContentNotName_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::newRow("JPEG") << halfRedHalfBlue("JPEG") << QSize(40, 20);
    QTest::newRow("PNG") << halfRedHalfBlue("PNG") << QSize(40, 20);
    QTest::newRow("BMP") << halfRedHalfBlue("BMP") << QSize(40, 20);
    QTest::newRow("GIF") << tinyGif() << QSize(1, 1);
}

void TestPhotoFile::formatFollowsContentNotName() {
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    // Temporary copies are all called .jpg.
    const QString path = writeFile(QStringLiteral("C300.jpg"), bytes);
    QString error;
    QVERIFY2(isPictureFile(path, &error), qPrintable(error));
    QCOMPARE(loadPicture(path, &error).size(), size);
    QCOMPARE(loadPictureData(bytes, &error).size(), size);
}

void TestPhotoFile::nonPicturesAreRefused_data() {
    QTest::addColumn<QByteArray>("bytes"); // a null array: the file is not created
    QTest::addColumn<QString>("cause");
    const QString notShown = QStringLiteral("is not a picture that Pellorin can show (JPEG, PNG, BMP or GIF)");
    QTest::newRow("text") << QByteArray("Employee list\r\nAcme, Inc.\r\n") << notShown;
    QTest::newRow("empty") << QByteArray("") << notShown;
    QTest::newRow("cut-off JPEG") << halfRedHalfBlue("JPEG").left(20) << notShown;
    // Qt reads text formats such as PBM too; a badge has no use for them.
    QTest::newRow("PBM text") << QByteArray("P1\n2 2\n0 1\n1 0\n") << notShown;
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("Could not open");
}

void TestPhotoFile::nonPicturesAreRefused() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, cause);
    const QString path = bytes.isNull() ? QDir(m_dir->path()).filePath(QStringLiteral("gone.jpg"))
                                        : writeFile(QStringLiteral("photo.jpg"), bytes);
    QString error;
    QVERIFY(!isPictureFile(path, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)) && error.contains(cause), qPrintable(error));
    QVERIFY(loadPicture(path, nullptr).isNull());
    if (!bytes.isNull()) {
        error.clear();
        QVERIFY(loadPictureData(bytes, &error).isNull());
        QVERIFY2(error.contains(cause), qPrintable(error));
    }
}

void TestPhotoFile::fitRectKeepsProportions_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("landscape") << QSize(400, 200) << QRect(10, 20, 100, 100) << QRect(10, 45, 100, 50);
    QTest::newRow("portrait") << QSize(200, 400) << QRect(10, 20, 100, 100) << QRect(35, 20, 50, 100);
    QTest::newRow("tiny is scaled up") << QSize(4, 3) << QRect(0, 0, 400, 400) << QRect(0, 50, 400, 300);
    QTest::newRow("rounded, not cut") << QSize(3, 2) << QRect(0, 0, 100, 100) << QRect(0, 16, 100, 67);
    QTest::newRow("a line stays visible") << QSize(1000, 1) << QRect(0, 0, 100, 100) << QRect(0, 49, 100, 1);
    QTest::newRow("huge sizes do not overflow") << QSize(2000000000, 1000000000)
                                                << QRect(0, 0, 2000000000, 2000000000)
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
