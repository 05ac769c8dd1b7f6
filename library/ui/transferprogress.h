// A progress window for moving a large document between file and database, with a Cancel button. It
// appears only when the transfer takes longer than a moment.
#pragma once

#include "library/documents.h"

#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

namespace library::ui {

class TransferProgress {
public:
    TransferProgress(QWidget* parent, const QString& label);
    ~TransferProgress();
    TransferProgress(const TransferProgress&) = delete;
    TransferProgress& operator=(const TransferProgress&) = delete;

    // Reports to the window; answers false once the operator pressed Cancel.
    library::Progress callback();

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace library::ui
