// Moving an office's data to another database: every row of every table, keys kept, into a target
// whose tables are empty. Used to move an embedded Pellorin.db onto a shared PostgreSQL server.
#pragma once

#include <QString>

#include <functional>

namespace data {

class Connection;

// Copies everything from source into target (both open) in one transaction of the target: all rows
// arrive or none. Autonumber counters of the target continue after the highest copied key. Refuses a
// target that already holds employees, photographs, folders or documents. progress(table, rows) is called
// after each table. Throws AppError naming the table and the cause; nothing is left in the target then.
void copyDatabase(Connection& source, Connection& target,
                  const std::function<void(const QString& table, qint64 rows)>& progress = {});

// The first table of the database that holds rows (the library's hidden root folder does not count);
// empty when it holds none.
QString firstTableWithRows(Connection& database);

} // namespace data
