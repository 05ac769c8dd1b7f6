// Statements on the library's text index, review dates and audit trail, written in each backend's own
// SQL (full-text matching has no Jet form), values bound. For the library's own files only.
#pragma once

#include "data/connection.h"

#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace library::sql {

// Runs the statement; throws AppError naming `what` and the database's words.
QSqlQuery run(data::Connection& connection, const QString& sql, const QVariantList& values,
              const QString& what);

inline bool postgres(const data::Connection& connection) {
    return connection.backend() == data::Backend::PostgreSQL;
}

// A date as the backend keeps it: ISO text in SQLite, a date in PostgreSQL.
QVariant dateValue(const data::Connection& connection, const QDate& date);
QDate dateOf(const QVariant& value);

} // namespace library::sql
