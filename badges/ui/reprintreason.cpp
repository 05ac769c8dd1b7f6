#include "badges/ui/reprintreason.h"

#include "app/appfacts.h"
#include "app/platform.h"
#include "badges/ledger.h"

#include <QWidget>

namespace badges::ui {

std::optional<ReprintReason> askReprintReason(QWidget* parent, const QStringList& reprints,
                                              bool suggestRenewal) {
    const QStringList reasons = ledger::reasonNames();
    const QString text =
        reprints.size() == 1
            ? QStringLiteral("This badge was printed before:\n%1\n\nWhy is it printed again?")
                  .arg(reprints.first())
            : QStringLiteral("%1 of these badges were printed before:\n%2\n\nWhy are they printed again? The "
                             "reason is recorded with each of them.")
                  .arg(reprints.size())
                  .arg(reprints.join(u'\n'));
    int choice = int(suggestRenewal ? ledger::Reason::Renewal : ledger::Reason::Lost);
    QString note;
    for (;;) {
        const std::optional<Platform::Choice> answer = Platform::instance().choiceBox(
            parent, text, AppFacts::applicationTitle(), reasons, choice, QStringLiteral("Note:"));
        if (!answer || answer->index < 0 || answer->index >= reasons.size())
            return std::nullopt;
        choice = answer->index;
        note = answer->note.trimmed();
        if (choice != int(ledger::Reason::Other) || !note.isEmpty())
            return ReprintReason{reasons.at(choice), note};
        Platform::instance().critical(parent,
                                      QStringLiteral("The reason Other needs a note saying what happened."),
                                      AppFacts::applicationTitle());
    }
}

} // namespace badges::ui
