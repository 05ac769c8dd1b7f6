#include "data/legacy/mdbtable.h"

#include "app/apperror.h"
#include "data/legacy/jetvalues.h"

#include <cstring>
#include <mdbtools.h>

namespace legacy {

namespace {

constexpr int OffsetMask = 0x1fff;
constexpr int LookupFlag = 0x8000;
constexpr quint32 InlineFlag = 0x80000000u;
constexpr quint32 SinglePageFlag = 0x40000000u;
constexpr quint32 LengthMask = 0x3fffffffu;

quint32 le32(const unsigned char* p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

MdbColumn* column(S_MdbTableDef* table, int index) {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, guint(index)));
}

// Money is a count of ten-thousandths; written out exactly instead of through a double.
QString moneyText(qint64 tenThousandths) {
    const bool negative = tenThousandths < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(tenThousandths) : quint64(tenThousandths);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
}

QString takeGString(char* text) {
    const QString result = QString::fromUtf8(text ? text : "");
    g_free(text);
    return result;
}

} // namespace

bool MdbColumnInfo::isLongBinary() const {
    return type == MDB_OLE;
}

MdbTableReader::MdbTableReader(JetFile& file, const QString& tableName) : m_file(file), m_name(tableName) {
    QByteArray name = tableName.toUtf8();
    m_table = mdb_read_table_by_name(file.handle(), name.data(), MDB_TABLE);
    if (!m_table || !mdb_read_columns(m_table))
        throw AppError(
            damaged(QStringLiteral("the definition of its table %1 cannot be read").arg(tableName)));
    mdb_rewind_table(m_table);
    const size_t bindSize = std::max<size_t>(file.handle()->bind_size, size_t(file.handle()->fmt->pg_size));
    const int count = int(m_table->num_cols);
    m_buffers.resize(size_t(count));
    m_lengths.assign(size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        const MdbColumn* col = column(m_table, i);
        m_columns.push_back({QString::fromUtf8(col->name), col->col_type, col->col_size});
        // libmdb writes into every column's buffer on each row (yes/no columns included) and copies
        // whole pages of long values into it; an unbound column is a crash waiting for that row.
        m_buffers[size_t(i)] = std::make_unique<char[]>(bindSize);
        mdb_bind_column(m_table, i + 1, m_buffers[size_t(i)].get(), &m_lengths[size_t(i)]);
    }
    m_fields.resize(size_t(count));
    m_longRead.assign(size_t(count), false);
}

MdbTableReader::~MdbTableReader() {
    if (m_table)
        mdb_free_tabledef(m_table);
}

QString MdbTableReader::damaged(const QString& what) const {
    return damagedMessage(m_file.path(), what);
}

QString MdbTableReader::where(int column) const {
    return QStringLiteral("the value of %1 in row %2 of %3")
        .arg(m_columns[size_t(column)].name)
        .arg(m_rowsRead)
        .arg(m_name);
}

int MdbTableReader::columnIndex(const QString& name) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

qint64 MdbTableReader::declaredRows() const {
    return qint64(m_table->num_rows);
}

bool MdbTableReader::next() {
    MdbHandle* mdb = m_file.handle();
    if (!mdb_fetch_row(m_table)) {
        if (m_rowsRead != declaredRows())
            throw AppError(damaged(QStringLiteral("its table %1 declares %2 rows, but %3 could be read")
                                       .arg(m_name)
                                       .arg(declaredRows())
                                       .arg(m_rowsRead)));
        return false;
    }
    ++m_rowsRead;
    if (m_rowsRead > declaredRows())
        throw AppError(damaged(
            QStringLiteral("its table %1 declares %2 rows, but holds more").arg(m_name).arg(declaredRows())));
    // The row just fetched is still on the current page: crack it again to learn which fields are
    // Null and where each one's bytes are, which the bound text cannot tell.
    int start = 0;
    size_t length = 0;
    if (mdb_find_row(mdb, int(m_table->cur_row) - 1, &start, &length) != 0 || length == 0)
        throw AppError(
            damaged(QStringLiteral("row %1 of %2 cannot be found on its page").arg(m_rowsRead).arg(m_name)));
    if (start & LookupFlag)
        throw AppError(damaged(QStringLiteral("row %1 of %2 was moved to another page, which this program "
                                              "cannot follow")
                                   .arg(m_rowsRead)
                                   .arg(m_name)));
    start &= OffsetMask;
    std::vector<MdbField> fields(m_fields.size());
    if (mdb_crack_row(m_table, start, length, fields.data()) < 0)
        throw AppError(
            damaged(QStringLiteral("row %1 of %2 cannot be taken apart").arg(m_rowsRead).arg(m_name)));
    const int pageSize = int(mdb->fmt->pg_size);
    for (size_t i = 0; i < fields.size(); ++i) {
        const MdbField& f = fields[i];
        const size_t index = size_t(f.colnum) < m_fields.size() ? size_t(f.colnum) : i;
        if (!f.is_null && (f.siz < 0 || f.start < 0 || f.start + f.siz > pageSize))
            throw AppError(damaged(
                QStringLiteral("a value in row %1 of %2 lies outside its page").arg(m_rowsRead).arg(m_name)));
        m_fields[index] = {f.is_null != 0, f.start, f.siz};
    }
    m_longRead.assign(m_longRead.size(), false);
    return true;
}

bool MdbTableReader::isNull(int column) const {
    // A yes/no column keeps its value in the null mask and is never Null.
    return m_columns[size_t(column)].type != MDB_BOOL && m_fields[size_t(column)].isNull;
}

unsigned char* MdbTableReader::fieldBytes(int column, int expectedSize) const {
    const Field& f = m_fields[size_t(column)];
    if (expectedSize >= 0 && f.size != expectedSize)
        throw AppError(damaged(QStringLiteral("%1 has %2 bytes instead of %3")
                                   .arg(where(column))
                                   .arg(f.size)
                                   .arg(expectedSize)));
    return m_file.handle()->pg_buf + f.start;
}

QString MdbTableReader::text(const char* bytes, qsizetype length) const {
    if (length == 0)
        return QStringLiteral(""); // empty, not Null
    if (m_file.format() == JetFormat::Jet4)
        return jet4Text(bytes, length);
    // Jet 3 keeps text in the file's code page, which libmdb converts to UTF-8.
    QByteArray out(length * 4 + 16, Qt::Uninitialized);
    const int written =
        mdb_unicode2ascii(m_file.handle(), bytes, size_t(length), out.data(), size_t(out.size()));
    out.truncate(qMax(0, written));
    return QString::fromUtf8(out);
}

QVariant MdbTableReader::value(int column) {
    const MdbColumnInfo& info = m_columns[size_t(column)];
    const Field& f = m_fields[size_t(column)];
    if (info.type == MDB_BOOL)
        return qint64(f.isNull ? 0 : 1);
    if (f.isNull)
        return QVariant();
    MdbHandle* mdb = m_file.handle();
    switch (info.type) {
    case MDB_BYTE:
        return qint64(*fieldBytes(column, 1));
    case MDB_INT:
        return qint64(qint16(mdb_get_int16(fieldBytes(column, 2), 0)));
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return qint64(qint32(mdb_get_int32(fieldBytes(column, 4), 0)));
    case MDB_FLOAT:
        return double(mdb_get_single(fieldBytes(column, 4), 0));
    case MDB_DOUBLE:
        return mdb_get_double(fieldBytes(column, 8), 0);
    case MDB_MONEY: {
        const unsigned char* p = fieldBytes(column, 8);
        return moneyText(qint64(quint64(le32(p)) | quint64(le32(p + 4)) << 32));
    }
    case MDB_DATETIME: {
        const double days = mdb_get_double(fieldBytes(column, 8), 0);
        const std::optional<QString> text = jetDateText(days);
        if (!text)
            throw AppError(damaged(QStringLiteral("%1 is not a date").arg(where(column))));
        return *text;
    }
    case MDB_NUMERIC:
        fieldBytes(column, 17);
        return takeGString(mdb_numeric_to_string(mdb, f.start, ::legacy::column(m_table, column)->col_scale,
                                                 ::legacy::column(m_table, column)->col_prec));
    case MDB_REPID:
        return takeGString(mdb_uuid_to_string(fieldBytes(column, 16), 0));
    case MDB_TEXT:
        return text(reinterpret_cast<const char*>(fieldBytes(column, -1)), f.size);
    case MDB_MEMO: {
        QByteArray raw;
        readLong(column, [&raw](const char* bytes, qsizetype length) { raw.append(bytes, length); });
        return text(raw.constData(), raw.size());
    }
    case MDB_OLE: {
        QByteArray raw;
        readLong(column, [&raw](const char* bytes, qsizetype length) { raw.append(bytes, length); });
        return raw;
    }
    default: // binary and anything newer: the bytes as stored
        return QByteArray(reinterpret_cast<const char*>(fieldBytes(column, -1)), f.size);
    }
}

std::optional<qint64> MdbTableReader::declaredLength(int column) const {
    const Field& f = m_fields[size_t(column)];
    if (f.isNull)
        return std::nullopt;
    if (f.size < MDB_MEMO_OVERHEAD)
        return 0;
    return qint64(le32(m_file.handle()->pg_buf + f.start) & LengthMask);
}

qint64 MdbTableReader::readLong(int column, const std::function<void(const char*, qsizetype)>& sink) {
    const Field& f = m_fields[size_t(column)];
    if (f.isNull)
        return 0;
    if (m_longRead[size_t(column)])
        throw AppError(QStringLiteral("%1 was read twice.").arg(where(column)));
    m_longRead[size_t(column)] = true;
    if (f.size == 0)
        return 0; // an empty value, present but holding no bytes
    if (f.size < MDB_MEMO_OVERHEAD)
        throw AppError(damaged(QStringLiteral("%1 has a header of %2 bytes").arg(where(column)).arg(f.size)));

    MdbHandle* mdb = m_file.handle();
    unsigned char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, mdb->pg_buf + f.start, MDB_MEMO_OVERHEAD);
    const quint32 word = le32(header);
    const qint64 declared = qint64(word & LengthMask);
    if ((word & InlineFlag) && (word & SinglePageFlag))
        throw AppError(damaged(QStringLiteral("%1 has an unknown kind of header").arg(where(column))));
    if ((word & InlineFlag) && declared != f.size - MDB_MEMO_OVERHEAD)
        throw AppError(damaged(QStringLiteral("%1 declares %2 bytes but holds %3")
                                   .arg(where(column))
                                   .arg(declared)
                                   .arg(f.size - MDB_MEMO_OVERHEAD)));
    if (declared > m_file.size())
        throw AppError(damaged(QStringLiteral("%1 declares %2 bytes, more than the whole file")
                                   .arg(where(column))
                                   .arg(declared)));

    MdbColumn* col = ::legacy::column(m_table, column);
    char* buffer = m_buffers[size_t(column)].get();
    const size_t bufferSize = std::max<size_t>(mdb->bind_size, size_t(mdb->fmt->pg_size));
    size_t piece = mdb_ole_read(mdb, col, header, bufferSize);
    qint64 total = 0;
    while (piece > 0) {
        if (total + qint64(piece) > declared)
            break;
        sink(buffer, qsizetype(piece));
        total += qint64(piece);
        if (total == declared || (word & (InlineFlag | SinglePageFlag)))
            break;
        piece = mdb_ole_read_next(mdb, col, header);
    }
    if (total != declared)
        throw AppError(damaged(QStringLiteral("%1 declares %2 bytes, but %3 could be read")
                                   .arg(where(column))
                                   .arg(declared)
                                   .arg(total)));
    return total;
}

} // namespace legacy
