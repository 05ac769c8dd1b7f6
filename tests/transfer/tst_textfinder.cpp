// The search rules on bytes made in the test: the prepared pattern, letter case, a match at any place
// (across the seams between pieces, too), overlapping partial matches, UTF-8 and Windows-1252 text.
#include "app/windows1252.h"
#include "data/longvalue.h"
#include "transfer/textfinder.h"

#include <QRandomGenerator>
#include <QtTest>

using transfer::CaseRule;
using transfer::TextFinder;

namespace {

// Hands out a value a few bytes at a time, so that every match straddles some seam.
class DribbleReader : public data::LongValueReader {
public:
    DribbleReader(QByteArray bytes, quint32 seed) : m_bytes(std::move(bytes)), m_random(seed) {}
    qint64 size() const override { return m_bytes.size(); }
    qint64 read(char* into, qint64 maxBytes) override {
        const qint64 count = std::min({maxBytes, m_bytes.size() - m_at, qint64(m_random.bounded(1, 8))});
        std::copy_n(m_bytes.constData() + m_at, count, into);
        m_at += count;
        return count;
    }

private:
    QByteArray m_bytes;
    QRandomGenerator m_random;
    qint64 m_at = 0;
};

QByteArray windows(const QString& text) {
    return app::toWindows1252(text).value();
}

} // namespace

class TestTextFinder : public QObject {
    Q_OBJECT
private slots:
    void patternIsPrepared_data();
    void patternIsPrepared();
    void rules_data();
    void rules();
    void matchesAcrossPieceSeams();
    void agreesWithPlainSearchOnRandomText();
    void agreesWithDecodedSearchOnAccentedText();
};

void TestTextFinder::patternIsPrepared_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("blanks") << QString("  abc  ") << QString("abc");
    QTest::newRow("quoted") << QString("\"abc\"") << QString("abc");
    QTest::newRow("quoted after trimming") << QString("  \"a b\" ") << QString("a b");
    QTest::newRow("one quote pair only") << QString("\"\"abc\"\"") << QString("\"abc\"");
    QTest::newRow("two quotes stay") << QString("\"\"") << QString("\"\"");
    QTest::newRow("three characters") << QString("\"a\"") << QString("a");
    QTest::newRow("unbalanced") << QString("\"abc") << QString("\"abc");
    QTest::newRow("tabs are not blanks") << QString("\tabc") << QString("\tabc");
    QTest::newRow("only blanks") << QString("   ") << QString("");
}

void TestTextFinder::patternIsPrepared() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QCOMPARE(transfer::preparedPattern(text), pattern);
}

void TestTextFinder::rules_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("check1Value");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("found");
    QTest::newRow("inside, case ignored") << "abc" << 0 << QByteArray("xxABCxx") << true;
    QTest::newRow("at the very end") << "abc" << 0 << QByteArray("zzzzabc") << true;
    QTest::newRow("whole file") << "abc" << 0 << QByteArray("aBc") << true;
    QTest::newRow("quoted finds the bare word") << "\"abc\"" << 0 << QByteArray("xxABCxx") << true;
    QTest::newRow("longer than the file") << "abcd" << 0 << QByteArray("abc") << false;
    QTest::newRow("partial match hides nothing") << "aab" << 0 << QByteArray("aaab") << true;
    QTest::newRow("overlapping repeats") << "abab" << 0 << QByteArray("abaabababx") << true;
    QTest::newRow("not there") << "abc" << 0 << QByteArray("ab c") << false;
    QTest::newRow("empty pattern, one byte") << "  " << 0 << QByteArray("x") << true;
    QTest::newRow("empty pattern, empty file") << "  " << 0 << QByteArray() << false;
    QTest::newRow("zero bytes are text too") << "a" << 0 << QByteArray("\0\0A", 3) << true;
    QTest::newRow("exact case") << "abc" << 1 << QByteArray("xxABCxx") << false;
    QTest::newRow("other value: lower pattern never") << "abc" << 2 << QByteArray("abc") << false;
    QTest::newRow("other value: capitals find any") << "ABC" << 2 << QByteArray("abc") << true;
    QTest::newRow("UTF-8 capitals") << "Müller" << 0 << QString("HERR MÜLLER").toUtf8() << true;
    QTest::newRow("UTF-8 small") << "MÜLLER" << 0 << QString("herr müller").toUtf8() << true;
    QTest::newRow("Windows-1252 capitals") << "Müller" << 0 << windows("HERR MÜLLER") << true;
    QTest::newRow("Windows-1252 small") << "MÜLLER" << 0 << windows("herr müller") << true;
    QTest::newRow("Windows-1252 ÿ and Ÿ") << "ÿ" << 0 << windows("Ÿ") << true;
    QTest::newRow("Windows-1252 š and Š") << "šœž" << 0 << windows("ŠŒŽ") << true;
    QTest::newRow("accent matters") << "Müller" << 0 << QString("MULLER").toUtf8() << false;
    QTest::newRow("Latin Extended-A") << "łódź" << 0 << QString("ŁÓDŹ").toUtf8() << true;
    QTest::newRow("Greek") << "αβγ" << 0 << QString("ΑΒΓ").toUtf8() << true;
    QTest::newRow("exact UTF-8") << "Müller" << 1 << QString("Müller").toUtf8() << true;
    QTest::newRow("exact Windows-1252") << "Müller" << 1 << windows("Müller") << true;
    QTest::newRow("exact refuses other case") << "Müller" << 1 << QString("MÜLLER").toUtf8() << false;
    // A continuation byte only counts with its own lead byte.
    QTest::newRow("stray continuation byte") << "é" << 0 << QByteArray("\xC2\x89") << false;
    QTest::newRow("euro sign both ways") << "5 €" << 0 << windows("= 5 €") << true;
}

void TestTextFinder::rules() {
    QFETCH(QString, text);
    QFETCH(int, check1Value);
    QFETCH(QByteArray, content);
    QFETCH(bool, found);
    TextFinder finder(text, transfer::caseRuleFor(check1Value));
    QCOMPARE(finder.search(content), found);
    DribbleReader reader(content, 1);
    QCOMPARE(finder.search(reader), found);
}

void TestTextFinder::matchesAcrossPieceSeams() {
    // A long value read in whole pieces: the word placed on each side of the first seam and at the end.
    const QString word = QStringLiteral("Müller");
    const QByteArray bytes = word.toUpper().toUtf8();
    const qint64 seam = data::LongValuePieceSize;
    for (qint64 at : {seam - bytes.size() - 1, seam - bytes.size(), seam - 3, seam - 1, seam, 2 * seam - 2,
                      3 * seam - bytes.size()}) {
        QByteArray content(3 * seam, 'x');
        content.replace(at, bytes.size(), bytes);
        content.truncate(std::max(at + bytes.size(), 3 * seam));
        data::BytesReader reader(content);
        TextFinder finder(word, CaseRule::Ignore);
        QVERIFY2(finder.search(reader), qPrintable(QString::number(at)));
    }
    QByteArray nothing(3 * seam, 'x');
    data::BytesReader reader(nothing);
    QVERIFY(!TextFinder(word, CaseRule::Ignore).search(reader));
}

void TestTextFinder::agreesWithPlainSearchOnRandomText() {
    // Few letters, so that partial matches overlap all the time.
    QRandomGenerator random(42);
    const char letters[] = "aAbB";
    for (int round = 0; round < 3000; ++round) {
        QByteArray content;
        for (int i = random.bounded(0, 40); i > 0; --i)
            content += letters[random.bounded(4)];
        QByteArray pattern;
        for (int i = random.bounded(1, 6); i > 0; --i)
            pattern += letters[random.bounded(4)];
        const bool expected = content.toUpper().contains(pattern.toUpper());
        TextFinder finder(QString::fromLatin1(pattern), CaseRule::Ignore);
        DribbleReader reader(content, quint32(round));
        QVERIFY2(finder.search(reader) == expected, content + " / " + pattern);
        QCOMPARE(TextFinder(QString::fromLatin1(pattern), CaseRule::Exact).search(content),
                 content.contains(pattern));
    }
}

void TestTextFinder::agreesWithDecodedSearchOnAccentedText() {
    // "Ã" is the first byte of "é" in UTF-8, so the two readings of one file cross all the time.
    QRandomGenerator random(7);
    const QString letters = QStringLiteral("aAéÉÃx");
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int i = random.bounded(0, 30); i > 0; --i)
            text += letters.at(random.bounded(int(letters.size())));
        QString pattern;
        for (int i = random.bounded(1, 5); i > 0; --i)
            pattern += letters.at(random.bounded(int(letters.size())));
        const QByteArray content = round % 2 ? text.toUtf8() : windows(text);
        const QString caps = pattern.toUpper();
        const bool expected = QString::fromUtf8(content).toUpper().contains(caps) ||
                              app::fromWindows1252(content).toUpper().contains(caps);
        DribbleReader reader(content, quint32(round));
        QVERIFY2(TextFinder(pattern, CaseRule::Ignore).search(reader) == expected,
                 qPrintable(content.toHex() + " / " + pattern));
    }
}

QTEST_GUILESS_MAIN(TestTextFinder)
#include "tst_textfinder.moc"
