#include "data/keys.h"

namespace data {

std::optional<qint64> parseKey(const QString& text) {
    bool ok = false;
    const qint64 key = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return key;
}

} // namespace data
