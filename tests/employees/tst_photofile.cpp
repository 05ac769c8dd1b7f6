#include "../support/testfiles.h"

#include "app/appfacts.h"
#include "employees/photofile.h"

#include <QtTest>

#include <algorithm>
#include <optional>

namespace {

const QString OffLimits = QStringLiteral("/\\<>:\"|?*");
// Qt reads GIF but cannot write it: one white pixel.
const QByteArray Gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff,\x00\x00"
                     "\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                     35);

// Red on the left, blue on the right, so that a picture turned the wrong way shows.
QByteArray halfRedHalfBlue(const char* format) {
    QImage image(40, 20, QImage::Format_RGB32);
    for (int i = 0; i < 800; ++i)
        image.setPixel(i % 40, i / 40, i % 40 < 20 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

// A JPEG as a camera writes it: an APP1 segment with an EXIF block whose only entry is the orientation.
QByteArray jpegWithOrientation(int orientation) {
    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00", 19);
    tiff += char(orientation) + QByteArray(6, '\0'); // value padding, no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    return halfRedHalfBlue("JPEG").insert(2, QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length) +
                                                 payload);
}

// Codes that break naive file naming, next to ordinary ones a sloppy scheme would merge them with.
QStringList trickyCodes() {
    QStringList codes = {"CON .x", "com1.txt", "LPT9", "nul", "C300 ", " C300", "C300.", ".C300", "C300.jpg",
                         "../../etc/passwd", "a/b", "a\\b", "a_b", "a b", "a~b", "..", ".", "a..b", "", "CON",
                         "con.txt", "COM1", "x\ny", "é", "e\u0301", "😀",
                         // Lone surrogates are lost in UTF-8, so a hash of the UTF-8 text would merge these.
                         QString(QChar(0xD800)), QString(QChar(0xDFFF)),
                         QStringLiteral("x") + QChar(0) + u'y',
                         // Past the readable part only the hash tells these apart.
                         QString(300, u'A') + u'B', QString(300, u'A') + u'b', QString(117, u'z'),
                         QString(40, u'q') + u'/', QString(40, u'q') + u'\\'};
    // Codes equal to the names other codes get.
    codes << photoTempFileName(QStringLiteral("a/b")) << photoTempFileName(QStringLiteral("a/b")).chopped(4);
    // Random codes from an alphabet rich in trouble.
    const QString alphabet = OffLimits + QStringLiteral("aA.. ~_-\t\r\x1féC0") + QChar(0) + QChar(0xDC00);
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

    std::optional<QTemporaryDir> m_dir;

    QString writeFile(const QByteArray& bytes) { return writeTestFile(m_dir->filePath("photo.jpg"), bytes); }

private slots:
    void init() {
        m_dir.emplace();
        AppFacts::setApplicationDirectory(m_dir->path());
        QVERIFY(QDir().mkpath(AppFacts::tempDirectory()));
    }
    void cleanup() { m_dir.reset(); }

    // Ordinary codes keep their name, as older installations named the copies. Every name is one that
    // Windows and Linux both take as a plain file inside temp/, and no two codes share one.
    void everyCodeGetsItsOwnSafeFileInsideTemp() {
        const QStringList ordinary = {"EMP-2008_01.b John", "CONSOLE", "COM10", "C300", "c300",
                                      QString(116, u'z')};
        const QStringList codes = ordinary + trickyCodes();
        const QString temp = QDir(AppFacts::tempDirectory()).canonicalPath();
        static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])$"));
        QSet<QString> names;
        for (const QString& code : codes) {
            const QString name = photoTempFileName(code);
            names.insert(name);
            if (ordinary.contains(code))
                QCOMPARE(name, code + QStringLiteral(".jpg"));
            const bool safe =
                (name == code + QStringLiteral(".jpg") || name.contains(u'~')) && name.endsWith(".jpg") &&
                name.size() <= 120 && !name.startsWith(u'.') && !name.startsWith(u' ') &&
                !device.match(name.section(u'.', 0, 0).trimmed().toUpper()).hasMatch() &&
                std::all_of(name.begin(), name.end(),
                            [](QChar c) { return !OffLimits.contains(c) && c >= u' ' && c < u'\x7f'; });
            QVERIFY2(safe, qPrintable(name));
            const QString path = photoTempFilePath(code);
            QVERIFY2(QFile(path).open(QIODevice::WriteOnly), qPrintable(path));
            QCOMPARE(QFileInfo(path).canonicalPath(), temp);
        }
        QCOMPARE(names.size(), codes.size());
        QCOMPARE(QDir(temp).entryList(QDir::Files | QDir::Hidden).size(), codes.size());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("temp")});
    }

    // Every picture is loaded from a file called .jpg, as the temporary copies are, whatever its format.
    void picturesLoadUpright_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("red"); // a point inside the red half once upright
        QTest::newRow("JPEG") << halfRedHalfBlue("JPEG") << QSize(40, 20) << QPoint(5, 10);
        QTest::newRow("EXIF 3: upside down") << jpegWithOrientation(3) << QSize(40, 20) << QPoint(35, 10);
        QTest::newRow("EXIF 6: turned left") << jpegWithOrientation(6) << QSize(20, 40) << QPoint(10, 5);
        QTest::newRow("PNG") << halfRedHalfBlue("PNG") << QSize(40, 20) << QPoint(5, 10);
        QTest::newRow("BMP") << halfRedHalfBlue("BMP") << QSize(40, 20) << QPoint(5, 10);
        QTest::newRow("GIF") << Gif << QSize(1, 1) << QPoint();
    }
    void picturesLoadUpright() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QPoint, red);
        QString error;
        QVERIFY2(isPictureFile(writeFile(bytes), &error), qPrintable(error));
        for (const QImage& image : {loadPicture(writeFile(bytes), &error), loadPictureData(bytes, &error)}) {
            QCOMPARE(image.size(), size);
            if (red.isNull()) // the GIF is one white pixel
                continue;
            // The blue point mirrors the red one through the centre.
            const QPoint blue(size.width() - 1 - red.x(), size.height() - 1 - red.y());
            QVERIFY(qRed(image.pixel(red)) > 200 && qBlue(image.pixel(red)) < 80);
            QVERIFY(qBlue(image.pixel(blue)) > 200 && qRed(image.pixel(blue)) < 80);
        }
    }

    void nonPicturesAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes"); // a null array: there is no file
        QTest::addColumn<QString>("cause");
        const QString notShown =
            QStringLiteral("is not a picture that Pellorin can show (JPEG, PNG, BMP or GIF)");
        QTest::newRow("text") << QByteArray("Employee list\r\nAcme, Inc.\r\n") << notShown;
        QTest::newRow("empty") << QByteArray("") << notShown;
        QTest::newRow("cut-off JPEG") << halfRedHalfBlue("JPEG").left(20) << notShown;
        // Qt reads text formats such as PBM too; a badge has no use for them.
        QTest::newRow("PBM text") << QByteArray("P1\n2 2\n0 1\n1 0\n") << notShown;
        QTest::newRow("missing file") << QByteArray() << QStringLiteral("Could not open");
    }
    void nonPicturesAreRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, cause);
        const QString path = bytes.isNull() ? m_dir->filePath(QStringLiteral("gone.jpg")) : writeFile(bytes);
        QString error;
        QVERIFY(!isPictureFile(path, &error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)) && error.contains(cause), qPrintable(error));
        QVERIFY(loadPicture(path, nullptr).isNull());
        QVERIFY(loadPictureData(bytes, &error).isNull());
        QVERIFY2(error.contains(bytes.isNull() ? "is not a picture" : cause), qPrintable(error));
    }

    // Qt shows these, filling the missing part with grey; stored, they would print as grey boxes.
    void cutShortPicturesAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("whole");
        const QByteArray jpeg = halfRedHalfBlue("JPEG");
        QTest::newRow("JPEG cut in its data") << jpeg.left(jpeg.size() - 40) << false;
        QTest::newRow("JPEG header without data") << jpeg.left(jpeg.indexOf("\xff\xda") + 12) << false;
        QTest::newRow("JPEG without its end mark") << jpeg.chopped(2) << false;
        QTest::newRow("PNG without its last chunk") << halfRedHalfBlue("PNG").chopped(12) << false;
        QTest::newRow("GIF without its trailer") << Gif.chopped(1) << false;
        QTest::newRow("JPEG with bytes after its end") << jpeg + QByteArray("trailing data") << true;
        QTest::newRow("camera JPEG") << jpegWithOrientation(6) << true;
    }
    void cutShortPicturesAreRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, whole);
        QString error;
        QCOMPARE(isPictureFile(writeFile(bytes), &error), whole);
        if (!whole)
            QVERIFY2(error.contains("cut short") || error.contains("is not a picture"), qPrintable(error));
    }

    void fitRectKeepsProportions_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("landscape") << QSize(400, 200) << QRect(10, 20, 100, 100) << QRect(10, 45, 100, 50);
        QTest::newRow("portrait") << QSize(200, 400) << QRect(10, 20, 100, 100) << QRect(35, 20, 50, 100);
        QTest::newRow("tiny is scaled up") << QSize(4, 3) << QRect(0, 0, 400, 400) << QRect(0, 50, 400, 300);
        QTest::newRow("rounded, not cut") << QSize(3, 2) << QRect(0, 0, 100, 100) << QRect(0, 16, 100, 67);
        QTest::newRow("a line stays visible")
            << QSize(1000, 1) << QRect(0, 0, 100, 100) << QRect(0, 49, 100, 1);
        QTest::newRow("huge sizes do not overflow")
            << QSize(2000000000, 1000000000) << QRect(0, 0, 2000000000, 2000000000)
            << QRect(0, 500000000, 2000000000, 1000000000);
        QTest::newRow("empty picture") << QSize(0, 0) << QRect(0, 0, 100, 100) << QRect();
    }
    void fitRectKeepsProportions() {
        QFETCH(QSize, picture);
        QFETCH(QRect, box);
        QFETCH(QRect, expected);
        QCOMPARE(fitRect(picture, box), expected);
    }
};

QTEST_GUILESS_MAIN(TestPhotoFile)
#include "tst_photofile.moc"
