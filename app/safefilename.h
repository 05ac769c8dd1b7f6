// File names for what the program writes under temp/ from names it did not choose: identification
// codes, stored files' names. A name that is already safe is kept as it is, so existing temporary
// files keep their names; anything else gets a readable part, '~' and a hash of the exact name, so
// two names never share a file and nothing is ever written outside the folder meant for it.
#pragma once

#include <QString>

namespace app {

// An ordinary name -- ASCII letters, digits, '-', '_', '.' and blanks inside, at most 116 characters,
// no "..", no leading or trailing dot or blank, not a Windows device name -- gives name + suffix. Any
// other name gives readable part + '~' + hash + suffix; since '~' never occurs in an ordinary name,
// the two kinds never meet. The result never holds a path separator.
QString safeFileName(const QString& name, const QString& suffix = QString());

// The same for a stored file's own name ("report 2024.pdf"), keeping a short extension of letters and
// digits at the end of an unusual name, so that the desktop still knows which program opens it.
QString safeStoredFileName(const QString& name);

// The application's temp/ folder, or the named folder inside it ("Search"), created when missing.
// Returns its path. Throws AppError naming the folder when it cannot be created.
QString ensureTempFolder(const QString& subfolder = QString());

} // namespace app
