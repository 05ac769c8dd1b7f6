// Where an import of an existing installation's Access file goes: the database that the connection
// string in use names (--database, PELLORIN_DATABASE, Pellorin.ini, else Pellorin.db in the application
// directory). A database file is imported into directly; a PostgreSQL database receives the checked
// import in one transaction and must hold no rows yet.
#pragma once

#include "data/legacy/mdbimport.h"

namespace legacy {

ImportSummary importMdbInto(const QString& mdbPath, const QString& connectionString,
                            const ImportOptions& options = {});

// True when the named database does not exist yet (a file) or holds no rows (a server database), so a
// first start may fill it from the Access file. A server that cannot be reached counts as not empty:
// the program then reports the connection as it would without an Access file.
bool databaseIsNew(const QString& connectionString);

// How messages name the database: its file, or the server database without the password.
QString describeTarget(const QString& connectionString);

} // namespace legacy
