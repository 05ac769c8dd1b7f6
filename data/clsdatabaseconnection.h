// Record sets for callers that do not keep a connection of their own: CreateRecordset opens the
// database and a record set on it; DbClose closes the database again. A caller needing two record
// sets at once uses two instances.
#pragma once

#include "data/connection.h"
#include "data/recordset.h"

#include <QString>
#include <QVariantList>

#include <memory>

class CLsDataBaseConnection {
public:
    // Opens the application's database and a record set on the statement. Throws AppError.
    std::unique_ptr<data::Recordset> CreateRecordset(const QString& SqlString,
                                                     const QVariantList& values = {});
    void DbClose();

    data::Connection& connection() { return m_connection; }

private:
    data::Connection m_connection;
};
