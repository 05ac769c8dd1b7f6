// Employee photographs inside the database: one Attachments row per stored photograph, found by the
// employee identification code. A photograph moves whole, in one piece, between a file and its row, and
// is shown from a temporary copy under temp/. Knows nothing of windows; the connection is the caller's,
// so an employee row and its photograph row can share one transaction.
#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace data {
class Connection;
} // namespace data

namespace employees {

// Adds the whole file as a new Attachments row under the code (an empty code is stored as empty text,
// not as Null). The format is not checked. Throws AppError naming the file or the database when the
// file cannot be read or the row cannot be stored; the row is then not added.
void savePhoto(data::Connection& connection, const QString& filePath, const QString& code);
void savePhoto(const QString& filePath, const QString& code); // on a connection of its own

// Stores the whole file as the code's only photograph: the rows stored under the code before go, so the
// new one is the one fetched. Use inside a transaction; throws AppError as savePhoto does.
void replacePhoto(data::Connection& connection, const QString& filePath, const QString& code);

// The same for a photograph already in memory (a framed or print-sized copy). description goes into the
// row's AttachmentDescription (empty leaves it unset); it marks a photograph framed without the operator.
void replacePhotoBytes(data::Connection& connection, const QByteArray& bytes, const QString& code,
                       const QString& description = {});
// Adds the bytes as a further photograph row of the code, deleting nothing; for a caller that knows the
// code has none yet.
void addPhotoBytes(data::Connection& connection, const QByteArray& bytes, const QString& code,
                   const QString& description = {});

// The first stored photograph of the code and its description; nothing when the code is empty or has none.
struct StoredPhoto {
    QByteArray bytes;
    QString description;
};
std::optional<StoredPhoto> readStoredPhoto(data::Connection& connection, const QString& code);

// The description that marks a photograph the import framed on its own, for the operator to review.
QString autoFramedMark();
// True when the code's first stored photograph carries that mark. False when anything fails.
bool photoMarkedAutoFramed(const QString& code);

// Gives the photographs stored under oldCode to newCode, whose own earlier rows go first (they would be
// found before the moved ones). Nothing happens when oldCode has none, or when both codes are the same
// for the lookup (they differ only in letter case): the rows then just take the new spelling.
void movePhotos(data::Connection& connection, const QString& oldCode, const QString& newCode);

// Writes the first stored photograph of the code (the first row the database returns; codes compare
// without regard to letter case) to its temporary file, replacing the file's whole content, and returns
// the file's path. Returns nothing, and writes nothing, when the code is empty (a photograph there would
// belong to every employee without a code), has no row or the row holds no bytes. Creates temp/ when missing.
// Throws AppError when the database or the file fails.
std::optional<QString> fetchPhoto(data::Connection& connection, const QString& code);
std::optional<QString> fetchPhoto(const QString& code);

// The photograph of the code as a window shows it: fetched to its temporary file and loaded from there,
// upright. A null image when there is none or anything fails; error, when given, says why (empty when
// the code simply has no photograph). Never throws.
QImage loadPhoto(data::Connection& connection, const QString& code, QString* error = nullptr);
QImage loadPhoto(const QString& code, QString* error = nullptr);
// The same decoded no larger than bound (pixels), for printing.
QImage loadPhoto(data::Connection& connection, const QString& code, const QSize& bound,
                 QString* error = nullptr);

} // namespace employees
