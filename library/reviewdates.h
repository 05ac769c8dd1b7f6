// Review dates of stored versions (a contract's end, a certificate's expiry) in DocumentReview, and
// the list of what is due: overdue versions and those whose date falls within a number of days. A date
// set or cleared is recorded in the audit trail in the same transaction. Knows nothing of windows.
#pragma once

#include <QDate>
#include <QString>

#include <optional>
#include <vector>

namespace library {

// Sets the version's review date, or clears it with nothing. Throws AppError when there is no such
// version.
void setReviewDate(qint64 documentId, const std::optional<QDate>& date);
std::optional<QDate> reviewDate(qint64 documentId);

struct DueDocument {
    qint64 documentId = 0;
    qint64 folderId = 0;
    QString folder;
    QString name;
    QString version;
    QDate reviewDate;
    bool overdue = false; // the date has passed
};

// Versions whose review date is before `today` plus `withinDays` days (overdue ones included),
// soonest first.
std::vector<DueDocument> dueDocuments(int withinDays, const QDate& today = QDate::currentDate());

// The operator's text as a date: YYYY-MM-DD; nothing for an empty text or "none". Throws AppError
// naming the text otherwise.
std::optional<QDate> parseReviewDate(const QString& text);

} // namespace library
