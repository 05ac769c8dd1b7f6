// Shared pieces of the command-line companion: argument reading, output and failure.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

// A failure that ends the command with a one-line message on standard error and a non-zero status.
struct UsageError {
    QString message;
};

// The arguments of one command, with "--name value" options taken out as they are asked for.
class Arguments {
public:
    explicit Arguments(QStringList args) : m_args(std::move(args)) {}
    // The value of --name (also --name=value); nothing when absent. Throws UsageError when the value is
    // missing.
    std::optional<QString> option(const QString& name);
    bool flag(const QString& name);
    // What is left once options are taken; throws UsageError when an unknown option remains.
    QStringList positional() const;

private:
    QStringList m_args;
};

void out(const QString& line);            // one line on standard output
void warn(const QString& message);        // "pellorin-cli: warning: ..." on standard error
QString tabbed(const QStringList& cells); // cells joined by tabs; tabs and line ends inside become blanks

} // namespace cli
