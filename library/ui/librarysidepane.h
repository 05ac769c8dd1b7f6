// The pane beside the library window's document list: the search box with its results, the preview
// of the selected version (made on a worker thread, so the window never waits), the version's history
// from the audit trail, and the versions due for review. It can be hidden. It asks its window to show
// and open a version through openRequested; it knows nothing of the folder tree.
#pragma once

#include "library/documentpreview.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace library::ui {

class LibrarySidePane : public QWidget {
    Q_OBJECT
public:
    static constexpr int DocumentRole = Qt::UserRole;
    static constexpr int FolderRole = Qt::UserRole + 1;

    explicit LibrarySidePane(QWidget* parent = nullptr);

    // Searches the documents' text for the query in the search box and lists what it finds.
    void search();
    // The selected version: its preview (in the background) and its history; 0 for none.
    void showDocument(qint64 documentId);
    void refreshDue();
    // The generation of the last preview shown, for tests that wait for one.
    int previewsShown() const { return m_previewsShown; }

    QLineEdit* searchBox() const { return m_search; }

signals:
    void openRequested(qint64 folderId, qint64 documentId);

private:
    void buildPreview(QWidget* page);
    void showPreview(int generation, const DocumentPreview& preview, const QString& failure);
    void showIndexProgress(int done, int total);
    void activate(QTreeWidgetItem* item);

    QLineEdit* m_search = nullptr;
    QLabel* m_indexProgress = nullptr;
    QTabWidget* m_tabs = nullptr;
    QTreeWidget* m_results = nullptr;
    QTreeWidget* m_history = nullptr;
    QTreeWidget* m_due = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_picture = nullptr;
    QPlainTextEdit* m_text = nullptr;
    int m_generation = 0;
    int m_previewsShown = 0;
};

} // namespace library::ui
