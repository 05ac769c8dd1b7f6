// The database in use, told to the operator (the About box): which kind, and where it lives. A
// PostgreSQL password is never part of it.
#pragma once

#include <QString>

namespace data {

// "SQLite file /home/ann/.local/share/Pellorin/Pellorin.db" or
// "PostgreSQL server db.office, port 5432, database pellorin, user ann"; parts that the connection
// string leaves to libpq's defaults are named as such.
QString describeDatabaseInUse();

// The version of the SQLite library the program runs with ("3.40.1").
QString sqliteLibraryVersion();

} // namespace data
