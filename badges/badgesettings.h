// What the operator chose for badges and keeps between runs, in the user's settings: each printer's
// correction (by printer name), the last layout chosen, whether backs are printed and the back's line.
// The program and the companion share them. Knows nothing of windows or painting.
#pragma once

#include "badges/pageplan.h"

#include <QString>

namespace badges::settings {

// Offsets in tenths of a millimetre and scales in tenths of a percent: what the operator can set.
constexpr double OffsetStep = 0.1;
constexpr double ScaleStep = 0.1;
constexpr double MaxOffset = 20; // mm either way
constexpr double MinScale = 80;  // percent
constexpr double MaxScale = 120;

// The printer's correction; no correction for a printer never calibrated.
Calibration calibration(const QString& printer);
// Rounded to the steps above. Throws AppError when a value is outside the limits.
void setCalibration(const QString& printer, const Calibration& calibration);
// Empty when the values are inside the limits; otherwise what is wrong.
QString calibrationProblem(const Calibration& calibration);

// The layout chosen last (the design's layout when none was, or when that one is gone).
QString lastLayout();
void setLastLayout(const QString& name);

bool printBacks();
void setPrintBacks(bool on);

// The back's line; by default "If found, please return to " followed by the company name.
QString backText(const QString& company);
void setBackText(const QString& text);

} // namespace badges::settings
