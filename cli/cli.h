// Shared pieces of the command-line companion: argument reading, output and failure.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace cli {

// A failure that ends the command with a one-line message on standard error and a non-zero status.
struct UsageError {
    QString message;
};

// The arguments of one command. Options known to take a value (valueOptions()) are read left to right
// when the arguments are given, so a value is taken whole whatever it holds ("--title --version" gives
// the title "--version"); "--" ends the options and everything after it is positional. Options are
// taken out as they are asked for.
class Arguments {
public:
    explicit Arguments(QStringList args);
    // The value of --name (also --name=value); nothing when absent. Throws UsageError when the value is
    // missing or the option is given twice.
    std::optional<QString> option(const QString& name);
    bool flag(const QString& name);
    // What is left once options are taken; throws UsageError when an option remains that nobody asked for.
    QStringList positional() const;

    // Every option of the companion that takes a value; one more may be added by a command's file.
    static QStringList& valueOptions();

private:
    struct Item {
        QString text;
        bool literal = false; // after "--": never an option
    };
    QList<std::pair<QString, std::optional<QString>>> m_options; // known options, value or missing
    QList<Item> m_items;
};

// The command line as given: UTF-8 bytes decoded without dropping a leading byte-order mark.
QStringList decodeArguments(int argc, char* argv[]);

void out(const QString& line);            // one line on standard output; made safe for a terminal
QString tabbed(const QStringList& cells); // cells joined by tabs; control characters inside become blanks

// Control characters (and the escape sequences they start) replaced, so that stored text cannot move
// the cursor, clear the screen or retitle the terminal it is shown on.
QString terminalSafe(const QString& text);

} // namespace cli
