#include "badges/badgesettings.h"

#include "app/apperror.h"

#include <QSettings>
#include <QUrl>

#include <cmath>

namespace badges::settings {

namespace {

// A printer's name may hold '/', which settings take for a group; its percent-encoded form cannot.
QString printerGroup(const QString& printer) {
    return QStringLiteral("badges/printers/") + QString::fromLatin1(QUrl::toPercentEncoding(printer));
}

double rounded(double value, double step) {
    return std::round(value / step) / std::round(1 / step); // -6 / 10 is the double nearest -0.6
}

} // namespace

Calibration calibration(const QString& printer) {
    QSettings settings;
    settings.beginGroup(printerGroup(printer));
    Calibration c;
    c.offsetX = settings.value(QStringLiteral("offsetX"), 0.0).toDouble();
    c.offsetY = settings.value(QStringLiteral("offsetY"), 0.0).toDouble();
    c.scale = settings.value(QStringLiteral("scale"), 100.0).toDouble();
    // A hand-edited value out of range is not applied: a badge would land off the card.
    return calibrationProblem(c).isEmpty() ? c : Calibration();
}

QString calibrationProblem(const Calibration& c) {
    if (!std::isfinite(c.offsetX) || !std::isfinite(c.offsetY) || std::abs(c.offsetX) > MaxOffset ||
        std::abs(c.offsetY) > MaxOffset)
        return QStringLiteral("an offset must lie between -%1 and %1 mm").arg(MaxOffset);
    if (!std::isfinite(c.scale) || c.scale < MinScale || c.scale > MaxScale)
        return QStringLiteral("the scale must lie between %1 and %2 %").arg(MinScale).arg(MaxScale);
    return QString();
}

void setCalibration(const QString& printer, const Calibration& c) {
    if (const QString problem = calibrationProblem(c); !problem.isEmpty())
        throw AppError(QStringLiteral("The correction for %1 was not kept: %2.").arg(printer, problem));
    QSettings settings;
    settings.beginGroup(printerGroup(printer));
    settings.setValue(QStringLiteral("offsetX"), rounded(c.offsetX, OffsetStep));
    settings.setValue(QStringLiteral("offsetY"), rounded(c.offsetY, OffsetStep));
    settings.setValue(QStringLiteral("scale"), rounded(c.scale, ScaleStep));
}

QString lastLayout() {
    return QSettings().value(QStringLiteral("badges/layout"), DesignLayout).toString();
}

void setLastLayout(const QString& name) {
    QSettings().setValue(QStringLiteral("badges/layout"), name);
}

bool printBacks() {
    return QSettings().value(QStringLiteral("badges/backs"), false).toBool();
}

void setPrintBacks(bool on) {
    QSettings().setValue(QStringLiteral("badges/backs"), on);
}

QString backText(const QString& company) {
    const QString text = QSettings().value(QStringLiteral("badges/backText")).toString();
    if (!text.isEmpty())
        return text;
    return QStringLiteral("If found, please return to %1")
        .arg(company.isEmpty() ? QStringLiteral("the issuer") : company);
}

void setBackText(const QString& text) {
    QSettings().setValue(QStringLiteral("badges/backText"), text);
}

} // namespace badges::settings
