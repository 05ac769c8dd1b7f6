// Opening a connection to a PostgreSQL server through Qt's QPSQL driver. Knows the settings a
// connection string gives and how a failure to connect is told to the operator; nothing of tables.
#pragma once

#include "data/connectionstring.h"

#include <QSqlDatabase>
#include <QString>

namespace data {

// "pellorin on the server db.example:5432", for messages.
QString postgresLocation(const ConnectionSettings& settings);

// Adds a QPSQL connection under the given name and opens it. Throws AppError naming the server and the
// cause; the connection is then removed again.
QSqlDatabase openPostgres(const QString& connectionName, const ConnectionSettings& settings);

} // namespace data
