#include "library/librarysql.h"

#include "app/apperror.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>

namespace library::sql {

QSqlQuery run(data::Connection& connection, const QString& sql, const QVariantList& values,
              const QString& what) {
    if (!connection.isOpen())
        throw AppError(QStringLiteral("%1 was tried without an open database connection.").arg(what));
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const data::Connection::Bound bound = connection.bindable(sql, values);
    bool ok = query.prepare(bound.sql);
    if (ok) {
        for (const QVariant& value : bound.values)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok)
        throw AppError(connection.failure(what, data::errorText(query.lastError())));
    return query;
}

QVariant dateValue(const data::Connection& connection, const QDate& date) {
    return postgres(connection) ? QVariant(date) : QVariant(date.toString(Qt::ISODate));
}

QDate dateOf(const QVariant& value) {
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

} // namespace library::sql
