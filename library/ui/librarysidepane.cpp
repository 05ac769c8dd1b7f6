#include "library/ui/librarysidepane.h"

#include "app/apperror.h"
#include "library/audit.h"
#include "library/fulltext.h"
#include "library/reviewdates.h"
#include "library/ui/backgroundindexer.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QTabWidget>
#include <QThreadPool>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace library::ui {

namespace {

constexpr int PreviewSide = 900;

// Carries a preview made on a worker thread back to the pane; a pane closed meanwhile never gets it.
class PreviewJob : public QObject {
    Q_OBJECT
signals:
    void done(int generation, const library::DocumentPreview& preview, const QString& failure);
};

QTreeWidget* makeList(const char* name, const QStringList& headings, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setHeaderLabels(headings);
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

QString richSnippet(const QString& snippet) {
    return library::markedSnippet(snippet.toHtmlEscaped(), QStringLiteral("<b>"), QStringLiteral("</b>"));
}

} // namespace

LibrarySidePane::LibrarySidePane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LibrarySidePane"));
    qRegisterMetaType<library::DocumentPreview>();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("TxtSearch"));
    m_search->setPlaceholderText(QStringLiteral("Search the documents' text: words, \"a phrase\", begin*"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::returnPressed, this, &LibrarySidePane::search);
    layout->addWidget(m_search);
    m_indexProgress = new QLabel(this);
    m_indexProgress->setObjectName(QStringLiteral("LblIndexProgress"));
    m_indexProgress->hide();
    layout->addWidget(m_indexProgress);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabSidePane"));
    layout->addWidget(m_tabs);
    m_results = makeList("LstSearchResults", {"Folder", "Name", "Version", "Date", "Text"}, m_tabs);
    m_tabs->addTab(m_results, QStringLiteral("&Results"));
    auto* previewPage = new QWidget(m_tabs);
    buildPreview(previewPage);
    m_tabs->addTab(previewPage, QStringLiteral("&Preview"));
    m_history = makeList("LstHistory", {"Time", "Operator", "Action", "Version", "Detail"}, m_tabs);
    m_tabs->addTab(m_history, QStringLiteral("&History"));
    m_due = makeList("LstDue", {"Review by", "State", "Folder", "Name", "Version"}, m_tabs);
    m_tabs->addTab(m_due, QStringLiteral("D&ue for Review"));
    m_tabs->setCurrentIndex(1);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_tabs->widget(index) == m_due)
            refreshDue();
    });
    for (QTreeWidget* list : {m_results, m_due})
        connect(list, &QTreeWidget::itemActivated, this, &LibrarySidePane::activate);

    BackgroundIndexer& indexer = BackgroundIndexer::instance();
    connect(&indexer, &BackgroundIndexer::progress, this, &LibrarySidePane::showIndexProgress);
    connect(
        &indexer, &BackgroundIndexer::finishedRun, this, [this](int, int failures, const QString& lastError) {
            m_indexProgress->setVisible(failures > 0);
            m_indexProgress->setText(QStringLiteral("The text of %1 older documents could not be read: %2")
                                         .arg(failures)
                                         .arg(lastError));
        });
    if (indexer.isRunning())
        showIndexProgress(indexer.done(), indexer.total());
}

void LibrarySidePane::buildPreview(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    m_caption = new QLabel(page);
    m_caption->setObjectName(QStringLiteral("LblPreviewCaption"));
    m_caption->setWordWrap(true);
    layout->addWidget(m_caption);
    auto* scroll = new QScrollArea(page);
    m_picture = new QLabel(scroll);
    m_picture->setObjectName(QStringLiteral("LblPreviewPicture"));
    m_picture->setAlignment(Qt::AlignCenter);
    scroll->setWidget(m_picture);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll, 1);
    m_text = new QPlainTextEdit(page);
    m_text->setObjectName(QStringLiteral("TxtPreviewText"));
    m_text->setReadOnly(true);
    m_text->hide();
    layout->addWidget(m_text, 1);
}

void LibrarySidePane::showIndexProgress(int done, int total) {
    m_indexProgress->setVisible(done < total);
    m_indexProgress->setText(
        QStringLiteral("Reading the text of older documents: %1 of %2").arg(done).arg(total));
}

void LibrarySidePane::search() {
    m_results->clear();
    std::vector<SearchHit> hits;
    try {
        hits = findDocuments(m_search->text());
    } catch (const AppError& error) {
        auto* item = new QTreeWidgetItem(m_results, {QString(), error.description()});
        item->setFlags(Qt::ItemIsEnabled);
        m_tabs->setCurrentWidget(m_results);
        return;
    }
    for (const SearchHit& hit : hits) {
        auto* item = new QTreeWidgetItem(m_results, {hit.folder, hit.name, hit.version, hit.date});
        item->setData(0, DocumentRole, hit.documentId);
        item->setData(0, FolderRole, hit.folderId);
        auto* snippet = new QLabel(richSnippet(hit.snippet));
        snippet->setTextFormat(Qt::RichText);
        m_results->setItemWidget(item, 4, snippet);
    }
    if (hits.empty())
        new QTreeWidgetItem(m_results,
                            {QString(), QStringLiteral("No document holds \"%1\".").arg(m_search->text())});
    m_tabs->setCurrentWidget(m_results);
    if (!hits.empty()) {
        m_results->setCurrentItem(m_results->topLevelItem(0));
        m_results->setFocus();
    }
}

void LibrarySidePane::activate(QTreeWidgetItem* item) {
    if (item && item->data(0, DocumentRole).isValid())
        emit openRequested(item->data(0, FolderRole).toLongLong(), item->data(0, DocumentRole).toLongLong());
}

void LibrarySidePane::showDocument(qint64 documentId) {
    const int generation = ++m_generation;
    m_history->clear();
    m_picture->clear();
    m_text->clear();
    if (documentId == 0) {
        m_caption->clear();
        return;
    }
    m_caption->setText(QStringLiteral("Loading..."));
    try {
        for (const audit::Record& record : audit::history(documentId))
            new QTreeWidgetItem(m_history, {record.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                            record.operatorName, record.action,
                                            record.version ? QString::number(record.version) : QString(),
                                            record.detail});
    } catch (const AppError& error) {
        new QTreeWidgetItem(m_history, {QString(), QString(), error.description()});
    }
    if (!isVisible())
        return;
    auto* job = new PreviewJob;
    connect(job, &PreviewJob::done, this, &LibrarySidePane::showPreview, Qt::QueuedConnection);
    QThreadPool::globalInstance()->start([job, documentId, generation] {
        DocumentPreview preview;
        QString failure;
        try {
            preview = previewDocument(documentId, PreviewSide);
        } catch (const AppError& error) {
            failure = error.description();
        }
        emit job->done(generation, preview, failure);
        job->deleteLater();
    });
}

void LibrarySidePane::showPreview(int generation, const DocumentPreview& preview, const QString& failure) {
    if (generation != m_generation)
        return; // another version was selected meanwhile
    ++m_previewsShown;
    m_caption->setText(failure.isEmpty() ? preview.details : failure);
    m_picture->setVisible(!preview.picture.isNull() || preview.text.isEmpty());
    m_text->setVisible(preview.picture.isNull() && !preview.text.isEmpty());
    if (!preview.picture.isNull())
        m_picture->setPixmap(
            QPixmap::fromImage(preview.picture.scaled(std::max(100, m_picture->parentWidget()->width() - 4),
                                                      std::max(100, m_picture->parentWidget()->height() - 4),
                                                      Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    else
        m_picture->setText(preview.note);
    m_text->setPlainText(preview.text);
}

void LibrarySidePane::refreshDue() {
    m_due->clear();
    try {
        for (const DueDocument& due : dueDocuments(30)) {
            auto* item =
                new QTreeWidgetItem(m_due, {due.reviewDate.toString(Qt::ISODate),
                                            due.overdue ? QStringLiteral("overdue") : QStringLiteral("due"),
                                            due.folder, due.name, due.version});
            item->setData(0, DocumentRole, due.documentId);
            item->setData(0, FolderRole, due.folderId);
            if (due.overdue)
                for (int column = 0; column < 5; ++column)
                    item->setForeground(column, QColor(0xb0, 0x00, 0x20));
        }
    } catch (const AppError& error) {
        new QTreeWidgetItem(m_due, {QString(), error.description()});
    }
}

} // namespace library::ui

#include "librarysidepane.moc"
