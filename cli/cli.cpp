#include "cli/cli.h"

#include <cstdio>

namespace cli {

std::optional<QString> Arguments::option(const QString& name) {
    const QString flagName = QStringLiteral("--") + name;
    for (qsizetype i = 0; i < m_args.size(); ++i) {
        const QString& arg = m_args.at(i);
        if (arg == flagName) {
            if (i + 1 >= m_args.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(flagName)};
            const QString value = m_args.at(i + 1);
            m_args.remove(i, 2);
            return value;
        }
        if (arg.startsWith(flagName + QLatin1Char('='))) {
            const QString value = arg.mid(flagName.size() + 1);
            m_args.remove(i);
            return value;
        }
    }
    return std::nullopt;
}

bool Arguments::flag(const QString& name) {
    const QString flagName = QStringLiteral("--") + name;
    return m_args.removeAll(flagName) > 0;
}

QStringList Arguments::positional() const {
    for (const QString& arg : m_args)
        if (arg.startsWith(QLatin1String("--")) && arg.size() > 2)
            throw UsageError{QStringLiteral("unknown option %1").arg(arg)};
    return m_args;
}

void out(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

void warn(const QString& message) {
    std::fprintf(stderr, "pellorin-cli: warning: %s\n", message.simplified().toUtf8().constData());
}

QString tabbed(const QStringList& cells) {
    QStringList clean;
    clean.reserve(cells.size());
    for (QString cell : cells) {
        cell.replace(QLatin1Char('\t'), QLatin1Char(' '));
        cell.replace(QLatin1Char('\r'), QLatin1Char(' '));
        cell.replace(QLatin1Char('\n'), QLatin1Char(' '));
        clean.append(cell);
    }
    return clean.join(QLatin1Char('\t'));
}

} // namespace cli
