// Damaged copies of the sample database (bits flipped, fields overwritten, runs blanked, pages swapped, the
// file cut short) each end in a message or a whole import, never a crash, a hang or a partial database.
// PELLORIN_FUZZ_CASES (2,000), PELLORIN_FUZZ_SECONDS (50; at least 300 copies) and PELLORIN_FUZZ_SEED ask
// for another run (beyond five minutes, with QTEST_FUNCTION_TIMEOUT above 300000 ms).
#include "../support/mdbfixtures.h"
#include "../support/rawdatabase.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "data/legacy/mdbimport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int PageSize = 4096;

class Mutator {
public:
    Mutator(const QByteArray& original, quint32 seed) : m_original(original), m_random(seed) {
        // Pages that hold structure (the header, table definitions, data and usage maps) are where
        // damage reaches the reading code; photograph bytes only change what is copied.
        for (int page = 0; page < original.size() / PageSize; ++page) {
            const char type = original[page * PageSize];
            if (page == 0 || type == 0x01 || type == 0x02 || type == 0x05)
                m_structural.append(page);
        }
    }

    QByteArray next() {
        QByteArray bytes = m_original;
        const int rounds = 1 + int(m_random.bounded(3));
        for (int r = 0; r < rounds; ++r)
            mutate(bytes);
        return bytes;
    }

private:
    int pages(const QByteArray& bytes) const { return int(bytes.size() / PageSize); }
    qsizetype inStructuralPage(const QByteArray& bytes) {
        const int page = m_structural[int(m_random.bounded(m_structural.size()))];
        return qMin(bytes.size() - 1, qsizetype(page) * PageSize + m_random.bounded(PageSize));
    }

    void mutate(QByteArray& bytes) {
        if (bytes.size() < 2 * PageSize)
            return;
        switch (m_random.bounded(5)) {
        case 0: // a few bits flipped
            for (int i = 1 + int(m_random.bounded(8)); i > 0; --i)
                bytes[inStructuralPage(bytes)] ^= char(1 << m_random.bounded(8));
            break;
        case 1: { // a length, offset or count set to an extreme
            static const quint32 extremes[] = {0, 1, 0x7f, 0xff, 0x1fff, 0xffff, 0x7fffffff, 0xffffffff};
            const quint32 value =
                m_random.bounded(4) == 0 ? m_random.generate() : extremes[m_random.bounded(8)];
            const qsizetype at = inStructuralPage(bytes);
            for (int i = 0; i < (m_random.bounded(2) ? 2 : 4) && at + i < bytes.size(); ++i)
                bytes[at + i] = char(value >> (8 * i));
            break;
        }
        case 2: { // cut short, mostly at a page boundary
            const qsizetype at = m_random.bounded(bytes.size());
            bytes.truncate(m_random.bounded(2) ? at - at % PageSize : at);
            break;
        }
        case 3: { // two pages swapped
            const int a = int(m_random.bounded(pages(bytes)));
            const int b = int(m_random.bounded(pages(bytes)));
            const QByteArray pageA = bytes.mid(qsizetype(a) * PageSize, PageSize);
            bytes.replace(qsizetype(a) * PageSize, PageSize, bytes.mid(qsizetype(b) * PageSize, PageSize));
            bytes.replace(qsizetype(b) * PageSize, PageSize, pageA);
            break;
        }
        default: { // a run of bytes blanked
            const qsizetype at = inStructuralPage(bytes);
            const qsizetype length = qMin(bytes.size() - at, qsizetype(16 + m_random.bounded(500)));
            bytes.replace(at, length, QByteArray(length, m_random.bounded(2) ? '\0' : '\xff'));
        }
        }
    }

    QByteArray m_original;
    QRandomGenerator m_random;
    QList<int> m_structural;
};

int environmentNumber(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// The imported database opens, is sound and holds the rows the summary names.
bool wholeDatabase(const QString& path, const legacy::ImportSummary& summary) {
    RawDatabase db(path);
    bool whole = db.column(QStringLiteral("PRAGMA quick_check")) == QVariantList{QStringLiteral("ok")};
    for (const legacy::ImportedTable& table : summary.tables)
        whole = whole && db.column(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table.name)) ==
                             QVariantList{qlonglong(table.rows)};
    return whole;
}

} // namespace

class TestMdbFuzz : public QObject {
    Q_OBJECT
private slots:
    void damagedCopiesGiveAMessageOrAWholeImport();
};

void TestMdbFuzz::damagedCopiesGiveAMessageOrAWholeImport() {
    REQUIRE_FIXTURES();
    const int cases = environmentNumber("PELLORIN_FUZZ_CASES", 2000);
    const qint64 budgetMs = qint64(environmentNumber("PELLORIN_FUZZ_SECONDS", 50)) * 1000;
    constexpr int AtLeast = 300;
    const quint32 seed = quint32(environmentNumber("PELLORIN_FUZZ_SEED", 20261206));
    Mutator mutator(readTestFile(mdbfixtures::sample()), seed);

    QTemporaryDir dir;
    const QString mdb = dir.filePath(QStringLiteral("Pellorin.mdb"));
    const QString db = dir.filePath(QStringLiteral("Pellorin.db"));
    legacy::ImportOptions options;
    options.silenceLimitMs = 3000;
    int imported = 0;
    QMap<QString, int> refusals; // by the start of the message
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (int i = 0; i < cases && (i < AtLeast || clock.elapsed() < budgetMs); ++i, ++done) {
        QCOMPARE(writeTestFile(mdb, mutator.next()), mdb);
        try {
            const legacy::ImportSummary summary = legacy::importMdb(mdb, db, options);
            QVERIFY2(wholeDatabase(db, summary),
                     qPrintable(QStringLiteral("case %1: partial database").arg(i)));
            ++imported;
            for (const QString& name :
                 QDir(dir.path()).entryList({QStringLiteral("Pellorin.db*")}, QDir::Files))
                QVERIFY(QFile::remove(dir.filePath(name)));
        } catch (const AppError& error) {
            QVERIFY2(!error.description().isEmpty(),
                     qPrintable(QStringLiteral("case %1: no message").arg(i)));
            QVERIFY2(!QFileInfo::exists(db),
                     qPrintable(QStringLiteral("case %1: %2").arg(i).arg(error.description())));
            const QString reason =
                error.description().section(QLatin1Char(':'), 1, 1).section(QLatin1Char(','), 0, 0);
            ++refusals[reason.left(60).trimmed()];
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Pellorin.mdb")});
    }
    qInfo("%d damaged copies (seed %u) in %lld ms: %d imported whole, %d refused with a message", done, seed,
          clock.elapsed(), imported, done - imported);
    for (auto it = refusals.cbegin(); it != refusals.cend(); ++it)
        qInfo("  %5d  %s", it.value(), qPrintable(it.key()));
    QVERIFY(imported > 0);
    QVERIFY(imported < done);
}

QTEST_GUILESS_MAIN(TestMdbFuzz)
#include "tst_mdbfuzz.moc"
