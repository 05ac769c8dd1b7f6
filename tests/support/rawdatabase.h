// A raw connection to a database file, past the program's own connection: no collation unless asked,
// no schema work. Tests use it to hold a write lock or to build files as other tools would.
#pragma once

#include "data/sqlitefile.h"
#include "data/textcollation.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

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

private:
    QString m_name = QStringLiteral("raw-%1").arg(quintptr(this));
    QSqlDatabase m_db;
};
