// A raw connection to a database file, past the program's own connection: no collation unless asked,
// no schema work. Tests use it to hold a write lock, to build files as other tools would, or to read
// back what the program wrote.
#pragma once

#include "data/sqlitefile.h"
#include "data/textcollation.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

class RawDatabase {
public:
    explicit RawDatabase(const QString& file, bool withCollation = false) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(file);
        m_db.open();
        if (withCollation)
            data::registerTextCollation(data::sqliteHandle(m_db));
    }
    ~RawDatabase() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString& sql) {
        QSqlQuery query(m_db);
        if (!query.exec(sql))
            qWarning() << sql << query.lastError().text();
        return query.isActive();
    }
    // The first column of every row the query gives.
    QVariantList column(const QString& sql) {
        QSqlQuery query(m_db);
        QVariantList values;
        for (query.exec(sql); query.next();)
            values.append(query.value(0));
        return values;
    }

private:
    QString m_name = QStringLiteral("raw-%1").arg(quintptr(this));
    QSqlDatabase m_db;
};
