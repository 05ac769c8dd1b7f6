#include "app/ui/helpmenu.h"

#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"

#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

static void initGuideResource() {
    // The guide is compiled into this library; a static library's resources need naming once.
    Q_INIT_RESOURCE(guide);
}

namespace Help {

namespace {

std::function<AboutFacts()>& installedFacts() {
    static std::function<AboutFacts()> facts;
    return facts;
}

const QString GuideTitle = QStringLiteral("Pellorin - User Guide");

// The pictures are screenshots of the whole main window; shown at their own size they would not fit
// beside the text. Setting only the width keeps their proportions.
void fitPictures(QTextDocument* document) {
    constexpr int PictureWidth = 620;
    struct Picture {
        int position;
        int length;
        QTextImageFormat format;
    };
    QList<Picture> pictures; // changed after the walk, which a change would upset
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                pictures.append({it.fragment().position(), it.fragment().length(),
                                 it.fragment().charFormat().toImageFormat()});
    for (Picture& picture : pictures) {
        picture.format.setWidth(PictureWidth);
        QTextCursor cursor(document);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
}

QWidget* makeGuideWindow() {
    initGuideResource();
    auto* window = new QWidget();
    window->setObjectName(QStringLiteral("FrmUserGuide"));
    window->setWindowTitle(GuideTitle);
    auto* browser = new QTextBrowser(window);
    browser->setObjectName(QStringLiteral("txtGuide"));
    // Links to the web open in the desktop's browser; the guide's own pages stay here.
    browser->setOpenExternalLinks(true);
    browser->setSource(QUrl(QStringLiteral("qrc:/guide/guide.md")), QTextDocument::MarkdownResource);
    fitPictures(browser->document());
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    window->resize(760, 560);
    return window;
}

} // namespace

void setAboutFacts(std::function<AboutFacts()> facts) {
    installedFacts() = std::move(facts);
}

QMenu* makeHelpMenu(QWidget* parent) {
    auto* menu = new QMenu(QObject::tr("&Help"), parent);
    menu->setObjectName(QStringLiteral("mnuHelp"));
    menu->menuAction()->setObjectName(QStringLiteral("mnuHelp"));
    QAction* guide = menu->addAction(QObject::tr("&User Guide"));
    guide->setObjectName(QStringLiteral("mnuUserGuide"));
    guide->setShortcut(QKeySequence::HelpContents);
    guide->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(guide, &QAction::triggered, menu, [] { showUserGuide(); });
    menu->addSeparator();
    QAction* about = menu->addAction(QObject::tr("&About Pellorin"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    QObject::connect(about, &QAction::triggered, menu, [parent] { showAbout(parent); });
    return menu;
}

QWidget* showUserGuide() {
    if (QMdiArea* area = ChildWindows::area()) {
        for (QMdiSubWindow* sub : area->subWindowList())
            if (sub->widget() && sub->widget()->objectName() == QLatin1String("FrmUserGuide")) {
                area->setActiveSubWindow(sub);
                return sub->widget();
            }
    }
    QWidget* window = makeGuideWindow();
    ChildWindows::show(window);
    return window;
}

QString aboutText() {
    QStringList lines{
        QObject::tr("Pellorin %1").arg(AppFacts::version()),
        QObject::tr("Keeps an office's employees and prints photo ID badges with Code 39 barcodes."),
        QString(),
        QObject::tr("Data folder: %1").arg(QDir::toNativeSeparators(AppFacts::applicationDirectory())),
    };
    const AboutFacts facts = installedFacts() ? installedFacts()() : AboutFacts{};
    if (!facts.database.isEmpty())
        lines << QObject::tr("Database: %1").arg(facts.database);
    lines << QObject::tr("Qt %1").arg(QString::fromLatin1(qVersion()));
    if (!facts.sqliteVersion.isEmpty())
        lines << QObject::tr("SQLite %1").arg(facts.sqliteVersion);
    return lines.join(QLatin1Char('\n'));
}

void showAbout(QWidget* parent) {
    Platform::instance().messageBox(parent, aboutText(), QObject::tr("About Pellorin"),
                                    Platform::Icon::Information, Platform::Ok, Platform::Ok);
}

} // namespace Help
