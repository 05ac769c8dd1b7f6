// What the library shows of a version without opening it: the first page of a PDF, a picture, or the
// start of its text. Made on a worker thread (it opens its own connection and reads the version in
// pieces into a temporary file); knows nothing of widgets.
#pragma once

#include <QImage>
#include <QString>

namespace library {

struct DocumentPreview {
    QImage picture;  // a PDF's first page or the picture itself, at most longestSide on its longer side
    QString text;    // otherwise the start of the text
    QString note;    // why there is neither ("no text", a damaged file)
    QString details; // name, version, text state and review date for a caption
};

// Reads the version and makes its preview; the audit trail records that it was shown. Throws AppError
// when the version cannot be read.
DocumentPreview previewDocument(qint64 documentId, int longestSide, qint64 maxCharacters = 6000);

} // namespace library
