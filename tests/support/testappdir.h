// A fresh application directory for one test: its own database, Company.txt and temp/.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

class TestAppDir {
public:
    TestAppDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Adds an employee row directly; returns its key.
    qint64 addEmployee(const QString& first, const QString& middle, const QString& last, const QString& title,
                       const QString& code);
    qint64 addEmployee(const QVariantList& fiveColumns);
    // Runs a statement with bound values on the application's database.
    void exec(const QString& jetSql, const QVariantList& values = {});
    qint64 count(const QString& table);
    // Where shared test data lives; empty when it is absent.
    static QString fixtures();

private:
    QTemporaryDir m_dir;
};
