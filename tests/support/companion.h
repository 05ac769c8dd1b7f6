// Runs pellorin-cli as a separate program, the way scripts and operators do, and keeps what it printed.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct CompanionRun {
    int status = -1; // the exit code; -1 when it crashed or did not finish
    QByteArray raw;  // standard output byte for byte
    QString out;     // standard output as text
    QString err;     // standard error as text
    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

inline QString companionPath() {
    return qEnvironmentVariable("PELLORIN_TEST_BINARY_DIR") + QStringLiteral("/cli/pellorin-cli");
}

// Starts the companion with --data-dir dataDir (left out when empty) before args; environment holds
// NAME=VALUE pairs added to the test's own (PELLORIN_HOME is removed so the data folder is the one given).
inline void startCompanion(QProcess& process, const QString& dataDir, QStringList args,
                           const QStringList& environment = {}) {
    if (!dataDir.isEmpty())
        args = QStringList{QStringLiteral("--data-dir"), dataDir} + args;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("PELLORIN_HOME"));
    for (const QString& pair : environment)
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    process.setProcessEnvironment(env);
    process.start(companionPath(), args);
}

// Collects a started companion's result.
inline CompanionRun finishCompanion(QProcess& process, int timeoutMs = 120000) {
    CompanionRun run;
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished)
        process.kill(), process.waitForFinished();
    if (finished && process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    run.raw = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.raw);
    run.err = QString::fromUtf8(process.readAllStandardError());
    if (!finished)
        run.err += QStringLiteral("(did not finish)");
    return run;
}

inline CompanionRun runCompanion(const QString& dataDir, const QStringList& args,
                                 const QStringList& environment = {}, int timeoutMs = 120000) {
    QProcess process;
    startCompanion(process, dataDir, args, environment);
    return finishCompanion(process, timeoutMs);
}
