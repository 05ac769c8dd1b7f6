// The company name that every badge carries, kept in Company.txt in the application directory.
// The file is shared with older installations, which write it in the Windows ANSI code page and read
// only the first comma-separated field of its first line; both directions here stay compatible with that.
#pragma once

#include <QString>
#include <optional>

// application directory + "/Company.txt"
QString companyFilePath();

// The stored company name: the first field of the file's first line. Nothing when the file does not
// exist (the name was never set); an empty name when the file or its first line is empty.
// A field that begins with a double quote runs to the next double quote (or the end of the line) and
// loses its quotes; any other field ends at the first comma or the end of the line. Blanks before the
// field are skipped. UTF-16 is read by its byte order mark and UTF-8 is recognised (with or without
// one); anything else is taken as Windows-1252. Throws AppError when the file exists but cannot be read
// or is not text (it holds control characters, as a picture or a document would).
std::optional<QString> readCompanyName(const QString& path);

// Replaces the file with the given name as one UTF-8 line ended by CR LF, atomically: on failure the
// previous file stays as it was. Throws AppError naming the file and the cause.
// The name is stored so that readCompanyName gives it back whole, with two exceptions that the line
// format cannot hold: line breaks become blanks, and a name that has to be quoted (it holds a comma, or
// begins with a blank or a quote, or ends with a blank) loses its double quotes.
void writeCompanyName(const QString& path, const QString& name);
