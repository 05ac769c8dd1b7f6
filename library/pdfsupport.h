// What the library needs of PDF files beyond their text: the first page as a picture for the preview.
#pragma once

#include <QImage>
#include <QString>

namespace library {

// The first page drawn so that its longer side is about longestSide pixels; a null image when the file
// cannot be drawn (damaged, encrypted, no pages).
QImage renderFirstPdfPage(const QString& filePath, int longestSide);

// Keeps poppler's complaints about damaged files off standard error.
void quietPoppler();

} // namespace library
