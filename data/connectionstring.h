// The connection string names the backend and where its data lives. It is rebuilt from the application
// directory for every operation, so moving the program and its database together keeps working.
#pragma once

#include <QString>

namespace data {

struct ConnectionSettings {
    QString provider;   // "SQLite" (embedded default)
    QString dataSource; // database file for SQLite
};

// "Provider=SQLite;Data Source=<application directory>/Pellorin.db;"
QString connectionString();
QString connectionStringFor(const QString& applicationDirectory);

// Reads "Key=Value;" pairs; keys compare without regard to case. Throws AppError when no provider is named.
ConnectionSettings parseConnectionString(const QString& connection);

} // namespace data
