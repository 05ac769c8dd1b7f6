// Photographs on disk: the temporary copy under temp/ that a window shows, and loading a picture file.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

// The name (not the path) of the temporary copy of an employee's photograph. An ordinary code -- ASCII
// letters, digits, '-', '_', '.' and blanks inside, at most 116 characters, no "..", not a Windows
// device name -- gives code + ".jpg". Any other code gives a name made of a readable part, '~' and a
// hash of the exact code; since '~' never occurs in an ordinary code, two different codes never share
// a name. The name never holds a path separator, so the file always lands inside temp/.
// On a file system that ignores letter case, codes that differ only in case ("C300", "c300") share a
// file; each load writes the copy and reads it straight back, so they never see each other's picture.
QString photoTempFileName(const QString& code);

// AppFacts::tempDirectory() + "/" + photoTempFileName(code)
QString photoTempFilePath(const QString& code);

// Loads a JPEG, PNG, BMP or GIF picture, recognised by its content whatever the file is called, and
// turned upright by its EXIF orientation. On failure returns a null image and, when error is given,
// sets it to a message naming the file and the cause.
QImage loadPicture(const QString& path, QString* error);
// The same decoded no larger than bound (proportions kept; a smaller picture stays as it is): a camera
// picture is never held at its full size when a badge needs a few hundred pixels of it.
QImage loadPicture(const QString& path, const QSize& bound, QString* error);

// The same for a picture held in memory.
QImage loadPictureData(const QByteArray& bytes, QString* error);

// True when the file decodes as a picture that loadPicture accepts and its data is whole (not cut short,
// not a header without the picture); checked before a file is stored so that such a file is refused
// and nothing is stored.
bool isPictureFile(const QString& path, QString* error);

// The same for a picture in memory; `what` names it in the message.
bool isWholePicture(const QByteArray& bytes, const QString& what, QString* error);
// The same check, decoding a JPEG at an eighth of its size: all of its data is still read, at a fraction
// of the time, for checking thousands of photographs at once.
bool isWholePicture(const QByteArray& bytes, const QString& what, QString* error, bool reduced);

// The picture scaled to fill the box as far as its proportions allow, centred in it. Small pictures are
// scaled up too, so that every badge shows its photograph at the same size. Returns a null rect when the
// picture or the box is empty.
QRect fitRect(QSize picture, QRect box);
