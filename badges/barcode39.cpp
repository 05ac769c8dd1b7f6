#include "badges/barcode39.h"

#include "app/apperror.h"

#include <iterator>
#include <string_view>

namespace {

// Elements from left to right: bar, space, bar, space, bar, space, bar, space, bar; "1" is wide.
// Order: 0-9, A-Z, then - . space $ / + % and the start/stop character *.
constexpr std::string_view Patterns[] = {
    "000110100", "100100001", "001100001", "101100000", "000110001", // 0-4
    "100110000", "001110000", "000100101", "100100100", "001100100", // 5-9
    "100001001", "001001001", "101001000", "000011001", "100011000", // A-E
    "001011000", "000001101", "100001100", "001001100", "000011100", // F-J
    "100000011", "001000011", "101000010", "000010011", "100010010", // K-O
    "001010010", "000000111", "100000110", "001000110", "000010110", // P-T
    "110000001", "011000001", "111000000", "010010001", "110010000", // U-Y
    "011010000",                                                     // Z
    "010000101", "110000100", "011000100", "010101000", "010100010", // - . space $ /
    "010001010", "000101010", "010010100",                           // + % *
};
static_assert(std::size(Patterns) == 44, "one pattern per Code 39 character");

constexpr bool wellFormed(std::string_view pattern) {
    int wide = 0;
    for (const char element : pattern) {
        if (element != '0' && element != '1') {
            return false;
        }
        wide += element - '0';
    }
    return pattern.size() == 9 && wide == 3;
}

constexpr bool allWellFormed() {
    for (const std::string_view pattern : Patterns) {
        if (!wellFormed(pattern)) {
            return false;
        }
    }
    return true;
}
static_assert(allWellFormed(), "nine elements, three of them wide");

constexpr int NarrowWidth = 1;
constexpr int WideWidth = 4;
constexpr int BarTop = 1;

// Exact character codes only: anything else, including look-alikes from other scripts, is invalid.
constexpr int patternIndex(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'A' && c <= u'Z') {
        return c - 55;
    }
    switch (c) {
    case u'-':
        return 36;
    case u'.':
        return 37;
    case u' ':
        return 38;
    case u'$':
        return 39;
    case u'/':
        return 40;
    case u'+':
        return 41;
    case u'%':
        return 42;
    case u'*':
        return 43;
    default:
        return -1;
    }
}
static_assert(patternIndex(u'Z') == 35 && patternIndex(u'*') == 43 && patternIndex(u'_') == -1);

} // namespace

QString clsBarCode39::encodedText() const {
    // Character by character so that the text keeps its length (full case mapping would turn "ß" into
    // "SS" and move the label).
    QString text;
    text.reserve(m_textString.size() + 2);
    if (m_showStartStop) {
        text.append(QLatin1Char('*'));
    }
    for (const QChar c : m_textString) {
        text.append(c.toUpper());
    }
    if (m_showStartStop) {
        text.append(QLatin1Char('*'));
    }
    return text;
}

void clsBarCode39::Refresh(DrawSurface& objDrawObject) {
    if (m_textString.isEmpty()) {
        return;
    }
    static const QColor Black(Qt::black);
    bool invalidCharacter = false;
    try {
        objDrawObject.setScaleMode(DrawSurface::PixelScaleMode);
        objDrawObject.cls();
        if (m_height == 0) {
            m_height = objDrawObject.scaleHeight() - objDrawObject.textHeight(QStringLiteral("X"));
        }
        const QString text = encodedText();
        int x = LeftMargin;
        for (const QChar c : text) {
            const int index = patternIndex(c.unicode());
            if (index < 0) {
                invalidCharacter = true;
                break;
            }
            const std::string_view pattern = Patterns[index];
            for (std::size_t j = 0; j < pattern.size(); ++j) {
                const int width = pattern[j] == '1' ? WideWidth : NarrowWidth;
                if (j % 2 == 0) {
                    objDrawObject.bar(x, width, BarTop, m_height, Black);
                }
                x += width;
            }
            x += 1;
        }
        if (!invalidCharacter && m_showLabel) {
            // The last line left the position at the foot of the bars, where the label's top goes.
            objDrawObject.setCurrentX(7.0 * text.size());
            objDrawObject.print(text);
        }
    } catch (const DrawSurface::NotSupported&) {
        throw AppError(AppError::ObjectErrorBase + 102, QStringLiteral("Barcode"),
                       QStringLiteral("Object does not support the proper drawing methods"));
    } catch (...) {
        return;
    }
    if (invalidCharacter) {
        throw AppError(AppError::ObjectErrorBase + 101, QStringLiteral("Barcode"),
                       QStringLiteral("Invalid barcode character"));
    }
}
