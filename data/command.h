// A command reused for several statements on one connection, the way windows talk to the database:
// set the connection, set the text, bind the values, execute.
#pragma once

#include "data/recordset.h"

#include <QString>
#include <QVariantList>

#include <memory>

namespace data {

class Connection;

class Command {
public:
    void setActiveConnection(Connection* connection) { m_connection = connection; }
    Connection* activeConnection() const { return m_connection; }
    void setCommandText(const QString& jetSql) { m_text = jetSql; }
    const QString& commandText() const { return m_text; }
    // Values for the statement's '?' marks, in order.
    void setParameters(QVariantList values) { m_values = std::move(values); }

    // Runs the statement. A statement that returns rows gives a record set positioned on its first row;
    // any other gives nothing and records the rows it affected. Throws AppError.
    std::unique_ptr<Recordset> execute();
    int recordsAffected() const { return m_recordsAffected; }

private:
    Connection* m_connection = nullptr;
    QString m_text;
    QVariantList m_values;
    int m_recordsAffected = 0;
};

} // namespace data
