#include "cli/cli.h"

#include "app/nativename.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace cli {

QStringList& Arguments::valueOptions() {
    static QStringList names = {
        QStringLiteral("data-dir"), QStringLiteral("order"),  QStringLiteral("format"),
        QStringLiteral("first"),    QStringLiteral("middle"), QStringLiteral("last"),
        QStringLiteral("title"),    QStringLiteral("code"),   QStringLiteral("photo"),
        QStringLiteral("out"),      QStringLiteral("height"), QStringLiteral("pdf"),
        QStringLiteral("layout"),   QStringLiteral("start"),  QStringLiteral("offset-x"),
        QStringLiteral("offset-y"), QStringLiteral("scale"),  QStringLiteral("sheet"),
        QStringLiteral("map"),      QStringLiteral("photos"),
    };
    return names;
}

Arguments::Arguments(QStringList args) {
    bool literal = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!literal && arg == QLatin1String("--")) {
            literal = true;
            continue;
        }
        if (!literal && arg.startsWith(QLatin1String("--")) && arg.size() > 2) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            const QString name = arg.mid(2, eq < 0 ? -1 : eq - 2);
            if (valueOptions().contains(name)) {
                std::optional<QString> value;
                if (eq >= 0)
                    value = arg.mid(eq + 1);
                else if (i + 1 < args.size())
                    value = args.at(++i);
                m_options.append({name, value});
                continue;
            }
        }
        m_items.append({arg, literal});
    }
}

std::optional<QString> Arguments::option(const QString& name) {
    const QString flagName = QStringLiteral("--") + name;
    if (valueOptions().contains(name)) {
        std::optional<std::optional<QString>> found;
        for (qsizetype i = 0; i < m_options.size();) {
            if (m_options.at(i).first != name) {
                ++i;
                continue;
            }
            if (found)
                throw UsageError{QStringLiteral("%1 is given twice").arg(flagName)};
            found = m_options.takeAt(i).second;
        }
        if (!found)
            return std::nullopt;
        if (!*found)
            throw UsageError{QStringLiteral("%1 needs a value").arg(flagName)};
        return **found;
    }
    // An option that a command added without listing it: its value is the next argument.
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items.at(i);
        if (item.literal)
            continue;
        if (item.text == flagName) {
            if (i + 1 >= m_items.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(flagName)};
            const QString value = m_items.at(i + 1).text;
            m_items.remove(i, 2);
            return value;
        }
        if (item.text.startsWith(flagName + QLatin1Char('='))) {
            const QString value = item.text.mid(flagName.size() + 1);
            m_items.remove(i);
            return value;
        }
    }
    return std::nullopt;
}

bool Arguments::flag(const QString& name) {
    const QString flagName = QStringLiteral("--") + name;
    bool found = false;
    for (qsizetype i = 0; i < m_items.size();) {
        const Item& item = m_items.at(i);
        if (!item.literal && item.text.startsWith(flagName + QLatin1Char('=')))
            throw UsageError{QStringLiteral("%1 takes no value").arg(flagName)};
        if (!item.literal && item.text == flagName) {
            m_items.remove(i);
            found = true;
        } else {
            ++i;
        }
    }
    return found;
}

QStringList Arguments::positional() const {
    if (!m_options.isEmpty())
        throw UsageError{QStringLiteral("unknown option --%1 for this command").arg(m_options.first().first)};
    QStringList rest;
    for (const Item& item : m_items) {
        if (!item.literal && item.text.startsWith(QLatin1String("--")) && item.text.size() > 2)
            throw UsageError{QStringLiteral("unknown option %1 (put -- before values that start with --)")
                                 .arg(terminalSafe(item.text))};
        rest.append(item.text);
    }
    return rest;
}

QStringList decodeArguments(int argc, char* argv[]) {
    QStringList args;
    // File names that are not UTF-8 keep their bytes (app/nativename.h).
    for (int i = 1; i < argc; ++i)
        args.append(app::decodeNativeName(QByteArrayView(argv[i])));
    return args;
}

namespace {

// Characters that act on a terminal instead of showing: C0 and C1 controls, DEL, line and paragraph
// separators, and the bidirectional overrides that make a line read differently from what it holds.
bool actsOnTerminal(char16_t u) {
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029 ||
           (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QString replaced(const QString& text, QChar replacement, bool keepTabs) {
    // Most text needs nothing replaced: handed back shared, without a copy (history writes millions).
    const auto acts = [keepTabs](QChar c) {
        return actsOnTerminal(c.unicode()) && !(keepTabs && c == u'\t');
    };
    if (std::none_of(text.cbegin(), text.cend(), acts))
        return text;
    QString safe = text;
    for (QChar& c : safe)
        if (actsOnTerminal(c.unicode()) && !(keepTabs && c == u'\t'))
            c = replacement;
    return safe;
}

} // namespace

QString terminalSafe(const QString& text) {
    return replaced(text, QChar(0xFFFD), true);
}

void out(const QString& line) {
    static const bool terminal = isatty(fileno(stdout)) != 0;
    const QByteArray bytes = (terminal ? terminalSafe(line) : line).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

void warn(const QString& message) {
    std::fprintf(stderr, "pellorin-cli: warning: %s\n",
                 terminalSafe(message.simplified()).toUtf8().constData());
}

QString tabbed(const QStringList& cells) {
    QStringList clean;
    clean.reserve(cells.size());
    for (const QString& cell : cells)
        clean.append(replaced(cell, QLatin1Char(' '), false));
    return clean.join(QLatin1Char('\t'));
}

} // namespace cli
