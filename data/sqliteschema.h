// The SQLite side of the schema: which version a file holds, and creating or migrating it.
#pragma once

namespace data {
class Connection;
}

namespace data::sqlite {

enum class SchemaState {
    Empty,   // no Pellorin table yet: a new file
    Old,     // made by an older version: readable, migrated when it can be written
    Current, // nothing to do
    Newer,   // made by a newer version: not touched
};

// Reads the version and the tables without writing, so it never waits for a writer and works on a
// read-only file. Throws AppError when the file is not a database.
SchemaState schemaState(Connection& connection);

// See data::ensureSchema.
void ensureSchema(Connection& connection);

// "Could not open the database X: the database was made by a newer version ..." and the like.
[[noreturn]] void refuseNewerSchema(Connection& connection);

} // namespace data::sqlite
