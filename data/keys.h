// Table keys are whole numbers; text that claims to be one is checked before it reaches a statement.
#pragma once

#include <QString>

#include <optional>

namespace data {

// The key as a number, or nothing when the text is not a whole number (blanks around it are allowed).
std::optional<qint64> parseKey(const QString& text);

} // namespace data
