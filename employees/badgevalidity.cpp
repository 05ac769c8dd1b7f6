#include "employees/badgevalidity.h"

#include "app/apperror.h"
#include "app/appfacts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

QString validityFilePath() {
    return QDir(AppFacts::applicationDirectory()).filePath(QStringLiteral("BadgeValidity.txt"));
}

std::optional<int> parseValidityMonths(const QString& text) {
    bool ok = false;
    const int months = text.trimmed().toInt(&ok);
    if (!ok || months < 0 || months > MaxValidityMonths)
        return std::nullopt;
    return months;
}

int readValidityMonths(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return 0;
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(
            QStringLiteral("Could not read the badge validity from %1: %2. Check that the file can "
                           "be read, or set the validity again with the company name.")
                .arg(QDir::toNativeSeparators(path), file.errorString()));
    const std::optional<int> months = parseValidityMonths(QString::fromUtf8(file.readLine(64)));
    if (!months)
        throw AppError(QStringLiteral("The badge validity in %1 is not a number of months from 0 to %2. Set "
                                      "it again with the company name, or remove the file.")
                           .arg(QDir::toNativeSeparators(path))
                           .arg(MaxValidityMonths));
    return *months;
}

void writeValidityMonths(const QString& path, int months) {
    if (months < 0 || months > MaxValidityMonths)
        throw AppError(QStringLiteral("A badge's validity is 0 (none) to %1 months, not %2.")
                           .arg(MaxValidityMonths)
                           .arg(months));
    const auto fail = [&](const QString& cause) {
        throw AppError(
            QStringLiteral("Could not save the badge validity to %1: %2. Check that the folder can "
                           "be written to; the previous validity was kept.")
                .arg(QDir::toNativeSeparators(path), cause));
    };
    if (months == 0) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            fail(QStringLiteral("the file could not be removed"));
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    file.write(QByteArray::number(months) + "\r\n");
    if (!file.commit())
        fail(file.errorString());
}
