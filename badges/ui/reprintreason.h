// Asking the operator why badges that were printed before are printed again. The answer is recorded
// with each badge in the ledger.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace badges::ui {

struct ReprintReason {
    QString reason; // one of ledger::reasonNames()
    QString note;   // required for Other
};

// reprints: one line per badge printed before ("Ann B Cole (EMP-1): Printed 2 times, ..."). Offers
// Renewal first when suggestRenewal is set. Asks again while Other comes without a note. Nothing when
// the operator cancels.
std::optional<ReprintReason> askReprintReason(QWidget* parent, const QStringList& reprints,
                                              bool suggestRenewal);

} // namespace badges::ui
