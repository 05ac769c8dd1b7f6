// Code 39 renderer: draws a text as bars in device pixels onto a DrawSurface, optionally wrapped in the
// start/stop character and with the encoded text printed under the bars. It never scales the symbol
// to the surface; a text too long for the surface runs off its right edge.
#pragma once

#include "badges/drawsurface.h"

#include <QString>

class clsBarCode39 {
public:
    // Pixels left free before the first bar.
    static constexpr int LeftMargin = 10;
    // Every character is 18 pixels of bars and spaces followed by a one-pixel gap.
    static constexpr int CharacterPitch = 19;
    // Pixel columns from the first bar to the last one of `characters` encoded characters, start/stop
    // characters included; the symbol's right edge is LeftMargin + symbolWidth(n) on the surface.
    static constexpr int symbolWidth(int characters) {
        return characters > 0 ? CharacterPitch * characters - 1 : 0;
    }

    const QString& TextString() const { return m_textString; }
    void setTextString(const QString& vValue) { m_textString = vValue; }
    // Bar height in surface pixels; 0 makes the next Refresh take it from the surface and keep it.
    double Height() const { return m_height; }
    void setHeight(double vValue) { m_height = vValue; }
    bool ShowLabel() const { return m_showLabel; }
    void setShowLabel(bool vValue) { m_showLabel = vValue; }
    bool ShowStartStop() const { return m_showStartStop; }
    void setShowStartStop(bool vValue) { m_showStartStop = vValue; }

    // The characters Refresh encodes and labels: TextString in upper case, wrapped in "*" when
    // ShowStartStop is set.
    QString encodedText() const;

    // Clears the surface and draws the symbol. An empty TextString leaves the surface alone. Throws
    // AppError ObjectErrorBase + 101 for a character Code 39 cannot encode (the characters before it
    // stay drawn) and ObjectErrorBase + 102 when the surface lacks a member it needs; any other failure
    // of the surface ends the drawing quietly.
    void Refresh(DrawSurface& objDrawObject);

private:
    QString m_textString;
    double m_height = 0;
    bool m_showLabel = false;
    bool m_showStartStop = false;
};
