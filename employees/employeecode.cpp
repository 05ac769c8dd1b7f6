#include "employees/employeecode.h"

#include <QStringList>

namespace employees {

namespace {

const QChar StartStop = u'*';

QString shownCharacter(QChar c) {
    if (c.isPrint() && !c.isSpace())
        return QStringLiteral("\"%1\"").arg(c);
    if (c == u' ')
        return QStringLiteral("a blank");
    return QStringLiteral("U+%1").arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
}

} // namespace

QString code39Characters() {
    return QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%");
}

QString undrawableCodeCharacters(const QString& code) {
    static const QString allowed = code39Characters();
    QString found;
    for (const QChar c : code) {
        // Upper-cased one character at a time, as the barcode draws it ("ß" has no single upper case).
        if (c != StartStop && !allowed.contains(c.toUpper()) && !found.contains(c))
            found.append(c);
    }
    return found;
}

QString undrawableCodeMessage(const QString& code) {
    const QString characters = undrawableCodeCharacters(code);
    if (characters.isEmpty())
        return QString();
    QStringList shown;
    for (const QChar c : characters)
        shown.append(shownCharacter(c));
    return QStringLiteral("The identification code \"%1\" holds %2 that a Code 39 barcode cannot draw: %3. "
                          "A code may hold the letters A to Z, the digits 0 to 9, blanks and - . $ / + %.")
        .arg(code, characters.size() == 1 ? QStringLiteral("a character") : QStringLiteral("characters"),
             shown.join(QStringLiteral(", ")));
}

QString startStopInCodeMessage(const QString& code) {
    const qsizetype at = code.indexOf(StartStop);
    if (at < 0)
        return QString();
    const QString read = code.left(at).toUpper();
    return QStringLiteral("The identification code \"%1\" holds \"*\", which marks the start and the end of "
                          "a Code 39 barcode: the barcode is drawn, but a reader stops at the \"*\" and "
                          "reads %2.")
        .arg(code, read.isEmpty() ? QStringLiteral("nothing") : QStringLiteral("only \"%1\"").arg(read));
}

} // namespace employees
