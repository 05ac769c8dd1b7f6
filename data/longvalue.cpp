#include "data/longvalue.h"

#include "app/apperror.h"
#include "app/nativename.h"
#include "data/connection.h"
#include "data/directwrite.h"
#include "data/outputfile.h"
#include "data/postgreslongvalues.h"
#include "data/recordset.h"
#include "data/sqlitelongvalues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace data {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString describeCell(const LongValueCell& cell) {
    return QStringLiteral("the value %1 of row %2 in %3").arg(cell.column).arg(cell.rowId).arg(cell.table);
}

class RecordsetRows : public LongValueRows {
public:
    RecordsetRows(Connection& connection, const QString& jetSql, const QString& longColumn)
        : m_longColumn(longColumn) {
        m_recordset.open(jetSql, connection);
        if (!m_recordset.hasField(longColumn))
            throw AppError(
                QStringLiteral("The statement \"%1\" gives no column %2.").arg(jetSql, longColumn));
    }
    bool next() override {
        if (m_started && !m_recordset.eof())
            m_recordset.moveNext();
        m_started = true;
        return !m_recordset.eof();
    }
    QVariant field(const QString& name) override { return m_recordset.field(name); }
    std::unique_ptr<LongValueReader> openLongValue() override {
        const QVariant value = m_recordset.field(m_longColumn);
        if (value.isNull())
            return nullptr;
        return std::make_unique<BytesReader>(value.toByteArray());
    }

private:
    Recordset m_recordset;
    QString m_longColumn;
    bool m_started = false;
};

struct Cancelled {};

// Runs `work` between begin and commit; anything thrown, a cancel included, undoes it.
template <typename Work> bool allOrNothing(LongValueProvider& provider, Work work) {
    provider.begin();
    try {
        work();
        provider.commit();
        return true;
    } catch (const Cancelled&) {
        provider.rollback();
        return false;
    } catch (...) {
        provider.rollback();
        throw;
    }
}

void openForReading(QFile& file, const QString& filePath) {
    // By its bytes: a name that is not UTF-8 is found as the system gave it.
    struct stat info {};
    QString cause;
    if (::stat(app::encodeNativeName(filePath).constData(), &info) != 0)
        cause = QString::fromLocal8Bit(std::strerror(errno));
    else if (S_ISDIR(info.st_mode))
        cause = QStringLiteral("it is a folder");
    else
        cause = app::openExactly(file, filePath);
    if (!cause.isEmpty())
        throw AppError(QStringLiteral("Could not read the file %1: %2. Check that it exists and can be read.")
                           .arg(shown(filePath), cause));
}

// Copies the whole file into the writer; throws Cancelled when the progress callback says so.
void copyFileInto(QFile& file, const QString& filePath, LongValueWriter& writer, qint64 total,
                  const TransferProgress& progress) {
    std::vector<char> piece(size_t(std::min(total, LongValuePieceSize)) + 1);
    qint64 done = 0;
    while (done < total) {
        const qint64 wanted = std::min<qint64>(total - done, qint64(piece.size()) - 1);
        const qint64 got = file.read(piece.data(), wanted);
        if (got <= 0)
            throw AppError(QStringLiteral("Could not read the whole file %1: %2. Check that no other program "
                                          "is changing it, and try again.")
                               .arg(shown(filePath),
                                    got < 0 ? file.errorString() : QStringLiteral("it became shorter")));
        writer.write(piece.data(), got);
        done += got;
        if (progress && !progress(done, total))
            throw Cancelled{};
    }
    // A file that grew while it was read would be stored cut short.
    if (file.read(piece.data(), 1) > 0)
        throw AppError(QStringLiteral("The file %1 grew while it was being stored. Close the program that "
                                      "writes it and try again.")
                           .arg(shown(filePath)));
}

} // namespace

qint64 BytesReader::read(char* into, qint64 maxBytes) {
    const qint64 count = std::min<qint64>(maxBytes, m_bytes.size() - m_position);
    std::copy_n(m_bytes.constData() + m_position, count, into);
    m_position += count;
    return count;
}

std::unique_ptr<LongValueProvider> longValueProvider(Connection& connection) {
    if (connection.backend() == Backend::SQLite)
        return std::make_unique<SqliteLongValues>(connection);
    if (connection.backend() == Backend::PostgreSQL)
        return std::make_unique<PostgresLongValues>(connection);
    throw AppError(QStringLiteral("Long values cannot be moved in pieces on the database %1 yet.")
                       .arg(connection.location()));
}

std::unique_ptr<LongValueRows> readRowsWhole(Connection& connection, const QString& jetSql,
                                             const QString& longColumn) {
    return std::make_unique<RecordsetRows>(connection, jetSql, longColumn);
}

void checkFitsInDatabase(Connection& connection, qint64 size, const QString& filePath) {
    const qint64 limit = longValueProvider(connection)->maximumLength();
    if (size > limit)
        throw AppError(QStringLiteral("The file %1 is %2 bytes long; the database %3 holds files of at most "
                                      "%4 bytes. Nothing was stored.")
                           .arg(shown(filePath))
                           .arg(size)
                           .arg(connection.location())
                           .arg(limit));
}

bool writeFileToValue(Connection& connection, const LongValueCell& cell, const QString& filePath,
                      const TransferProgress& progress) {
    QFile file;
    openForReading(file, filePath);
    const qint64 total = file.size();
    checkFitsInDatabase(connection, total, filePath);
    const DirectWrite direct(connection, total);
    const auto provider = longValueProvider(connection);
    return allOrNothing(*provider, [&] {
        provider->resize(cell, total);
        const auto writer = provider->openWriter(cell);
        copyFileInto(file, filePath, *writer, total, progress);
    });
}

std::optional<qint64> insertRowWithFile(Connection& connection, const QString& table,
                                        const ColumnValues& values, const QString& longColumn,
                                        const QString& filePath, const TransferProgress& progress,
                                        const ValuesChosenInside& chooseInside) {
    QFile file;
    openForReading(file, filePath);
    const qint64 total = file.size();
    checkFitsInDatabase(connection, total, filePath);
    const DirectWrite direct(connection, total);
    const auto provider = longValueProvider(connection);
    qint64 key = 0;
    const bool stored = allOrNothing(*provider, [&] {
        key = provider->insertRow(table, chooseInside ? values + chooseInside(connection) : values,
                                  longColumn, total);
        const auto writer = provider->openWriter({table, longColumn, key});
        copyFileInto(file, filePath, *writer, total, progress);
    });
    return stored ? std::optional<qint64>(key) : std::nullopt;
}

bool writeReaderToFile(LongValueReader& reader, const QString& filePath, const TransferProgress& progress,
                       Durability durability) {
    // Unbuffered, so that a disk filling up part-way shows in the count written.
    OutputFile file(filePath, durability);
    file.open(QIODevice::Unbuffered);
    const qint64 total = reader.size();
    std::vector<char> piece(size_t(std::min(total, LongValuePieceSize)) + 1);
    qint64 done = 0;
    while (done < total) {
        const qint64 got = reader.read(piece.data(), qint64(piece.size()));
        if (got <= 0)
            break;
        if (file.device().write(piece.data(), got) != got)
            throw AppError(QStringLiteral("Could not write the file %1: %2. Check that the disk is not full.")
                               .arg(shown(filePath), file.errorString()));
        done += got;
        if (progress && !progress(done, total)) {
            file.cancel();
            return false;
        }
    }
    if (done != total || !file.commit())
        throw AppError(QStringLiteral("Could not write the file %1: %2. Check that the disk is not full and "
                                      "the folder is writable.")
                           .arg(shown(filePath), done != total
                                                     ? QStringLiteral("the stored value ended early")
                                                     : file.errorString()));
    return true;
}

bool readValueToFile(Connection& connection, const LongValueCell& cell, const QString& filePath,
                     const TransferProgress& progress, Durability durability) {
    const auto reader = longValueProvider(connection)->openReader(cell);
    if (!reader)
        throw AppError(
            QStringLiteral("There is no stored file in %1 of the database %2, so %3 was not written.")
                .arg(describeCell(cell), connection.location(), shown(filePath)));
    return writeReaderToFile(*reader, filePath, progress, durability);
}

bool readValueInPieces(Connection& connection, const LongValueCell& cell, const PieceReceiver& receiver) {
    const auto reader = longValueProvider(connection)->openReader(cell);
    if (!reader)
        return true;
    std::vector<char> piece(size_t(std::min(reader->size(), LongValuePieceSize)) + 1);
    for (qint64 got; (got = reader->read(piece.data(), qint64(piece.size()))) > 0;)
        if (!receiver(QByteArrayView(piece.data(), got)))
            return false;
    return true;
}

std::optional<qint64> valueLength(Connection& connection, const LongValueCell& cell) {
    const auto reader = longValueProvider(connection)->openReader(cell);
    return reader ? std::optional<qint64>(reader->size()) : std::nullopt;
}

} // namespace data
