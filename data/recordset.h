// A record set: the rows of one statement read forward, fields by name with Null told apart, the
// number of rows known before reading, and new rows added to the table the statement reads from.
// The statement runs only when its rows are first needed, so a record set opened just to add a row
// never reads the table (or its long binary values).
#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <optional>
#include <vector>

namespace data {

class Connection;

class Recordset {
public:
    Recordset() = default;
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Prepares the Jet statement on the connection, values bound to its '?' marks. Throws AppError when
    // the statement is not valid (unknown table or column, syntax).
    void open(const QString& source, Connection& connection, const QVariantList& values = {});
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    const QString& source() const { return m_source; }
    Connection* activeConnection() const { return m_connection; }

    // The true number of rows, without reading them.
    qint64 recordCount();

    // Forward reading. eof() is true when there is no current row.
    bool eof();
    void moveNext();

    QStringList fieldNames();
    bool hasField(const QString& name);
    // The current row's value; a null QVariant for Null. Throws AppError for an unknown field or no row.
    QVariant field(const QString& name);
    QVariant field(int index);
    bool isNull(const QString& name);
    // The value as text; Null gives an empty text.
    QString text(const QString& name);
    // Length in bytes of a long binary value (0 for Null), and the whole value in one fetch.
    qint64 actualSize(const QString& name);
    QByteArray getChunk(const QString& name);
    int fieldIndex(const QString& name); // -1 when unknown

    // Adding a row: addNew, set fields, update. The row goes into the table the source names.
    void addNew();
    void setField(const QString& name, const QVariant& value);
    void appendChunk(const QString& name, const QByteArray& bytes);
    // Stores the new row; returns the key the database gave it.
    QVariant update();
    void cancelUpdate();
    bool isAdding() const { return m_adding; }

private:
    void ensureExecuted();
    void indexFields();
    QString describe() const;

    Connection* m_connection = nullptr;
    QString m_source;
    QString m_translated;
    QVariantList m_values;
    std::optional<QSqlQuery> m_query;
    bool m_executed = false;
    bool m_onRow = false;
    std::optional<qint64> m_count;
    QStringList m_fieldNames;
    QHash<QString, int> m_fieldIndex; // exact names, then lower-case names

    bool m_adding = false;
    std::vector<std::pair<QString, QVariant>> m_newRow;
};

} // namespace data
