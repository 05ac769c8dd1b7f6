// The sheet layout window.
#include "badges/ui/frmsheetlayout.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "badges/layoutcatalogue.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

QDoubleSpinBox* millimetres(QWidget* parent, const char* name, double value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(0, 2000);
    box->setDecimals(2);
    box->setSingleStep(0.1);
    box->setSuffix(QStringLiteral(" mm"));
    box->setValue(value);
    return box;
}

QSpinBox* count(QWidget* parent, const char* name, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, 100);
    box->setValue(value);
    return box;
}

QWidget* pair(QWidget* parent, QWidget* first, QWidget* second) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(first);
    layout->addWidget(second);
    return row;
}

} // namespace

FrmSheetLayout::FrmSheetLayout(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrmSheetLayout"));
    setWindowTitle(tr("New Sheet Layout"));
    // An A4 sheet of ID-1 cards to start from.
    const badges::SheetGeometry start = badges::builtInSheets().first();
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("TxtName"));
    m_name->setPlaceholderText(tr("small letters, digits and '-', e.g. maker-8"));
    m_description = new QLineEdit(this);
    m_description->setObjectName(QStringLiteral("TxtDescription"));
    m_pageWidth = millimetres(this, "TxtPageWidth", start.page.width());
    m_pageHeight = millimetres(this, "TxtPageHeight", start.page.height());
    m_cardWidth = millimetres(this, "TxtCardWidth", start.card.width());
    m_cardHeight = millimetres(this, "TxtCardHeight", start.card.height());
    m_radius = millimetres(this, "TxtCornerRadius", start.cornerRadius);
    m_columns = count(this, "TxtColumns", start.columns);
    m_rows = count(this, "TxtRows", start.rows);
    m_firstX = millimetres(this, "TxtFirstX", start.first.x());
    m_firstY = millimetres(this, "TxtFirstY", start.first.y());
    m_pitchX = millimetres(this, "TxtPitchX", start.pitch.width());
    m_pitchY = millimetres(this, "TxtPitchY", start.pitch.height());

    auto* form = new QFormLayout(this);
    form->addRow(tr("&Name:"), m_name);
    form->addRow(tr("&Description:"), m_description);
    form->addRow(tr("&Page (width, height):"), pair(this, m_pageWidth, m_pageHeight));
    form->addRow(tr("&Card (width, height):"), pair(this, m_cardWidth, m_cardHeight));
    form->addRow(tr("Corner &radius:"), m_radius);
    form->addRow(tr("C&olumns, rows:"), pair(this, m_columns, m_rows));
    form->addRow(tr("&First card from the page's corner:"), pair(this, m_firstX, m_firstY));
    form->addRow(tr("Pi&tch (across, down):"), pair(this, m_pitchX, m_pitchY));
    auto* save = new QPushButton(tr("&Save"), this);
    save->setObjectName(QStringLiteral("CmdSave"));
    connect(save, &QPushButton::clicked, this, &FrmSheetLayout::save);
    form->addRow(save);
}

void FrmSheetLayout::save() {
    badges::SheetGeometry sheet;
    sheet.name = m_name->text().trimmed();
    sheet.description = m_description->text().simplified();
    sheet.page = QSizeF(m_pageWidth->value(), m_pageHeight->value());
    sheet.card = QSizeF(m_cardWidth->value(), m_cardHeight->value());
    sheet.cornerRadius = m_radius->value();
    sheet.columns = m_columns->value();
    sheet.rows = m_rows->value();
    sheet.first = QPointF(m_firstX->value(), m_firstY->value());
    sheet.pitch = QSizeF(m_pitchX->value(), m_pitchY->value());
    if (sheet.description.isEmpty())
        sheet.description = tr("%1 x %2 cards").arg(sheet.columns).arg(sheet.rows);
    try {
        const QString path = badges::saveSheet(sheet);
        Platform::instance().information(
            this,
            tr("The sheet layout %1 was saved as %2; the layout choosers offer it now.")
                .arg(sheet.name, QDir::toNativeSeparators(path)),
            AppFacts::applicationTitle());
    } catch (const AppError& error) {
        ChildWindows::reportError(this, error.description());
    }
}
