// The sheet layout window: the geometry of another maker's sheet of pre-cut cards, kept as a sheet file
// that every layout chooser then offers.
#pragma once

#include <QWidget>

class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

class FrmSheetLayout : public QWidget {
    Q_OBJECT
public:
    explicit FrmSheetLayout(QWidget* parent = nullptr);
    // Writes the sheet file; a sheet that is unsound or has a built-in name is refused with the reason.
    void save();

private:
    QLineEdit* m_name;
    QLineEdit* m_description;
    QDoubleSpinBox *m_pageWidth, *m_pageHeight, *m_cardWidth, *m_cardHeight, *m_radius;
    QDoubleSpinBox *m_firstX, *m_firstY, *m_pitchX, *m_pitchY;
    QSpinBox *m_columns, *m_rows;
};
