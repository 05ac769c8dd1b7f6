#include "data/legacy/jetvalues.h"

#include <QDate>

#include <cmath>
#include <vector>

namespace legacy {

namespace {
constexpr qint64 MsPerDay = 86'400'000;
// 0100-01-01 and 9999-12-31 in Jet's day count.
constexpr double FirstJetDay = -657434.0;
constexpr double LastJetDay = 2958466.0;
} // namespace

std::optional<QString> jetDateText(double days) {
    if (!std::isfinite(days) || days < FirstJetDay || days >= LastJetDay)
        return std::nullopt;
    const double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * double(MsPerDay));
    qint64 dayOffset = qint64(whole);
    if (ms >= MsPerDay) { // rounding carried the time into the next day
        ms -= MsPerDay;
        ++dayOffset;
    }
    const QDate date = QDate(1899, 12, 30).addDays(dayOffset);
    QString text = QStringLiteral("%1-%2-%3 %4:%5:%6")
                       .arg(date.year(), 4, 10, QLatin1Char('0'))
                       .arg(date.month(), 2, 10, QLatin1Char('0'))
                       .arg(date.day(), 2, 10, QLatin1Char('0'))
                       .arg(ms / 3'600'000, 2, 10, QLatin1Char('0'))
                       .arg(ms / 60'000 % 60, 2, 10, QLatin1Char('0'))
                       .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
    if (ms % 1000 != 0)
        text += QStringLiteral(".%1").arg(ms % 1000, 3, 10, QLatin1Char('0'));
    return text;
}

QString jet4Text(const char* bytes, qsizetype length) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    std::vector<char16_t> units;
    units.reserve(size_t(length));
    if (length >= 2 && in[0] == 0xFF && in[1] == 0xFE) {
        bool compressed = true;
        qsizetype i = 2;
        while (i < length) {
            if (in[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(char16_t(in[i]));
                ++i;
            } else if (i + 1 < length) {
                units.push_back(char16_t(in[i] | (in[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (qsizetype i = 0; i + 1 < length; i += 2)
            units.push_back(char16_t(in[i] | (in[i + 1] << 8)));
    }
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

} // namespace legacy
