// The one error type that core code throws: a number, the source that raised it and a description
// an operator can act on. Only window code turns it into a message box.
#pragma once

#include <QString>
#include <stdexcept>

class AppError : public std::runtime_error {
public:
    // Base of the numbers that classes use for their own errors.
    static constexpr long ObjectErrorBase = -2147221504L;

    AppError(long number, QString source, QString description)
        : std::runtime_error(description.toStdString()), m_number(number), m_source(std::move(source)),
          m_description(std::move(description)) {}
    explicit AppError(QString description)
        : AppError(0, QStringLiteral("Pellorin"), std::move(description)) {}

    long number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }

private:
    long m_number;
    QString m_source;
    QString m_description;
};
