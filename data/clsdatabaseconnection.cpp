#include "data/clsdatabaseconnection.h"

#include "data/connectionstring.h"

std::unique_ptr<data::Recordset> CLsDataBaseConnection::CreateRecordset(const QString& SqlString,
                                                                        const QVariantList& values) {
    m_connection.open(data::connectionString());
    auto recordset = std::make_unique<data::Recordset>();
    recordset->open(SqlString, m_connection, values);
    return recordset;
}

void CLsDataBaseConnection::DbClose() {
    m_connection.close();
}
