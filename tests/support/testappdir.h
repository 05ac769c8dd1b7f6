// A fresh application directory for one test: its own database, Company.txt and temp/. When the suite
// runs a test against PostgreSQL (PELLORIN_TEST_BACKEND=postgresql), the database is a new, empty one on
// the suite's own server, named through PELLORIN_DATABASE so that child processes use it too.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

// An empty database of its own for one test when it runs on PostgreSQL (nothing to do on SQLite, whose
// file lives in the application directory). Dropped again at the end.
class ScratchDatabase {
public:
    ScratchDatabase();
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;
    const QString& name() const { return m_name; }

private:
    QString m_name;
};

class TestAppDir {
public:
    TestAppDir();
    ~TestAppDir();
    TestAppDir(const TestAppDir&) = delete;
    TestAppDir& operator=(const TestAppDir&) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Adds an employee row directly; returns its key.
    qint64 addEmployee(const QString& first, const QString& middle, const QString& last, const QString& title,
                       const QString& code);
    qint64 addEmployee(const QVariantList& fiveColumns);
    // Runs a statement with bound values on the application's database.
    void exec(const QString& jetSql, const QVariantList& values = {});
    qint64 count(const QString& table);
    // Makes the database unusable (a file that is no database, or a server where nothing listens) and
    // returns how messages name it; restoreDatabase() makes it usable again, empty on SQLite.
    QString breakDatabase();
    void restoreDatabase();
    // How messages name this test's database: the file, or the database and its server.
    QString databaseLocation() const;
    // Where shared test data lives; empty when it is absent.
    static QString fixtures();

    // True when this run of the test executable works against PostgreSQL.
    static bool onPostgres();
    // The superuser's connection string to the suite's server (PostgreSQL runs only).
    static QString serverConnection();
    // A connection string to the suite's server naming another database and user.
    static QString serverConnection(const QString& database, const QString& user,
                                    const QString& password = {});
    // Runs plain SQL on the server as its superuser, in the given database ("postgres" when empty).
    static void serverExec(const QString& sql, const QString& database = {});

private:
    QTemporaryDir m_dir;
    ScratchDatabase m_database;
};
