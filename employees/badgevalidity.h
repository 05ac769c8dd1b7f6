// How long a badge is valid, set together with the company name. Kept in a file of its own beside
// Company.txt (BadgeValidity.txt: one line, the number of months), so that Company.txt stays the one
// line that older installations and other programs read. No file, or 0, means badges carry no date.
#pragma once

#include <QString>

#include <optional>

// application directory + "/BadgeValidity.txt"
QString validityFilePath();

// The longest period accepted, in months.
constexpr int MaxValidityMonths = 240;

// The stored period in months; 0 when none is set. Throws AppError when the file exists but does not
// hold a number from 0 to MaxValidityMonths, naming the file and how to mend it.
int readValidityMonths(const QString& path);

// Replaces the file atomically; 0 removes it. Throws AppError for a period out of range or a file that
// cannot be written, naming the file and the cause.
void writeValidityMonths(const QString& path, int months);

// "12" -> 12; nothing for text that is not a whole number from 0 to MaxValidityMonths.
std::optional<int> parseValidityMonths(const QString& text);
