#include "data/recordset.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/jetdialect.h"
#include "data/postgresschema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

namespace data {

Recordset::~Recordset() {
    close();
}

void Recordset::open(const QString& source, Connection& connection, const QVariantList& values) {
    close();
    if (!connection.isOpen())
        throw AppError(QStringLiteral("The record set \"%1\" was opened without an open database connection.")
                           .arg(source));
    m_source = source;
    const Connection::Bound bound = connection.bindable(connection.translate(source), values);
    m_translated = bound.sql;
    m_values = bound.values;
    m_query.emplace(connection.database());
    // Qt reads a forward-only PostgreSQL result row by row and throws the rest away as soon as the
    // connection runs another statement (a count, a photograph, a nested record set); there the whole
    // result is taken at once instead.
    m_query->setForwardOnly(connection.backend() != Backend::PostgreSQL);
    if (!m_query->prepare(m_translated)) {
        const QString cause = errorText(m_query->lastError());
        m_query.reset();
        throw AppError(connection.failure(QStringLiteral("The statement \"%1\"").arg(source), cause));
    }
    m_connection = &connection;
    if (!isRowReturning(source))
        ensureExecuted();
}

void Recordset::close() {
    m_query.reset();
    m_connection = nullptr;
    m_executed = false;
    m_onRow = false;
    m_count.reset();
    m_fieldNames.clear();
    m_fieldIndex.clear();
    m_adding = false;
    m_newRow.clear();
}

QString Recordset::describe() const {
    return QStringLiteral("The statement \"%1\"").arg(m_source);
}

void Recordset::ensureExecuted() {
    if (m_executed)
        return;
    if (!m_connection)
        throw AppError(QStringLiteral("The record set is not open."));
    for (const QVariant& value : std::as_const(m_values))
        m_query->addBindValue(value);
    if (!m_query->exec())
        throw AppError(m_connection->failure(describe(), errorText(m_query->lastError())));
    m_executed = true;
    indexFields();
    m_onRow = m_query->isSelect() && m_query->next();
}

void Recordset::indexFields() {
    const QSqlRecord record = m_query->record();
    m_fieldNames.clear();
    m_fieldIndex.clear();
    const bool folded = m_connection->backend() == Backend::PostgreSQL;
    for (int i = 0; i < record.count(); ++i) {
        const QString name = folded ? canonicalName(record.fieldName(i)) : record.fieldName(i);
        m_fieldNames.append(name);
        m_fieldIndex.insert(name, i);
        m_fieldIndex.insert(name.toLower(), i);
    }
}

qint64 Recordset::recordCount() {
    if (m_count)
        return *m_count;
    if (!m_connection)
        throw AppError(QStringLiteral("The record set is not open."));
    if (!isRowReturning(m_source)) {
        m_count = 0;
        return 0;
    }
    // Counting through the same statement keeps the rows unread (and their long values untouched).
    QString inner = m_translated.trimmed();
    while (inner.endsWith(QLatin1Char(';')))
        inner.chop(1);
    QSqlQuery count(m_connection->database());
    count.setForwardOnly(true);
    if (!count.prepare(QStringLiteral("SELECT COUNT(*) FROM (%1) AS counted").arg(inner)))
        throw AppError(m_connection->failure(describe(), errorText(count.lastError())));
    for (const QVariant& value : std::as_const(m_values))
        count.addBindValue(value);
    if (!count.exec() || !count.next())
        throw AppError(m_connection->failure(describe(), errorText(count.lastError())));
    m_count = count.value(0).toLongLong();
    return *m_count;
}

bool Recordset::eof() {
    ensureExecuted();
    return !m_onRow;
}

void Recordset::moveNext() {
    ensureExecuted();
    if (!m_onRow)
        throw AppError(QStringLiteral("There is no current row to move from in \"%1\".").arg(m_source));
    m_onRow = m_query->next();
    if (!m_onRow && m_query->lastError().isValid())
        throw AppError(m_connection->failure(describe(), errorText(m_query->lastError())));
}

QStringList Recordset::fieldNames() {
    ensureExecuted();
    return m_fieldNames;
}

int Recordset::fieldIndex(const QString& name) {
    ensureExecuted();
    auto it = m_fieldIndex.constFind(name);
    if (it == m_fieldIndex.cend())
        it = m_fieldIndex.constFind(name.toLower());
    return it == m_fieldIndex.cend() ? -1 : it.value();
}

bool Recordset::hasField(const QString& name) {
    return fieldIndex(name) >= 0;
}

QVariant Recordset::field(int index) {
    ensureExecuted();
    if (!m_onRow)
        throw AppError(QStringLiteral("There is no current row in \"%1\".").arg(m_source));
    if (m_query->isNull(index))
        return QVariant();
    return m_query->value(index);
}

QVariant Recordset::field(const QString& name) {
    const int index = fieldIndex(name);
    if (index < 0)
        throw AppError(QStringLiteral("The field %1 is not part of \"%2\".").arg(name, m_source));
    return field(index);
}

bool Recordset::isNull(const QString& name) {
    return field(name).isNull();
}

QString Recordset::text(const QString& name) {
    const QVariant value = field(name);
    return value.isNull() ? QString() : value.toString();
}

qint64 Recordset::actualSize(const QString& name) {
    const QVariant value = field(name);
    return value.isNull() ? 0 : value.toByteArray().size();
}

QByteArray Recordset::getChunk(const QString& name) {
    const QVariant value = field(name);
    return value.isNull() ? QByteArray() : value.toByteArray();
}

void Recordset::addNew() {
    if (!m_connection)
        throw AppError(QStringLiteral("The record set is not open."));
    if (statementTable(m_source).isEmpty())
        throw AppError(
            QStringLiteral("Rows cannot be added through \"%1\": it names no table.").arg(m_source));
    m_adding = true;
    m_newRow.clear();
}

void Recordset::setField(const QString& name, const QVariant& value) {
    if (!m_adding)
        throw AppError(QStringLiteral("The field %1 was set outside of adding a row.").arg(name));
    for (auto& [existing, stored] : m_newRow) {
        if (existing.compare(name, Qt::CaseInsensitive) == 0) {
            stored = value;
            return;
        }
    }
    m_newRow.emplace_back(name, value);
}

void Recordset::appendChunk(const QString& name, const QByteArray& bytes) {
    if (!m_adding)
        throw AppError(QStringLiteral("The field %1 was set outside of adding a row.").arg(name));
    for (auto& [existing, stored] : m_newRow) {
        if (existing.compare(name, Qt::CaseInsensitive) == 0) {
            stored = QVariant(stored.toByteArray() + bytes);
            return;
        }
    }
    m_newRow.emplace_back(name, QVariant(bytes));
}

QVariant Recordset::update() {
    if (!m_adding)
        return QVariant();
    // Bracketed names go through the dialect, which spells them as each backend expects.
    const QString table = QLatin1Char('[') + statementTable(m_source) + QLatin1Char(']');
    QStringList columns;
    QStringList marks;
    QVariantList values;
    for (const auto& [name, value] : m_newRow) {
        columns.append(QLatin1Char('[') + name + QLatin1Char(']'));
        marks.append(QStringLiteral("?"));
        values.append(value);
    }
    const QString statement = columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                      .arg(table, columns.join(QStringLiteral(", ")),
                                                           marks.join(QStringLiteral(", ")));
    m_connection->execute(statement, values);
    m_adding = false;
    m_newRow.clear();
    m_count.reset();
    return m_connection->lastInsertId();
}

void Recordset::cancelUpdate() {
    m_adding = false;
    m_newRow.clear();
}

} // namespace data
