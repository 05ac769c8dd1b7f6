// The tables of a new database: employees, photographs and stored files, folders, documents and their
// links to client records.
#pragma once

#include <QStringList>

namespace data {

// CREATE TABLE IF NOT EXISTS statements for SQLite, in creation order.
QStringList sqliteSchema();

// The five table names.
QStringList tableNames();

} // namespace data
