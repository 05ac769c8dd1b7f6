// The printer correction window: the offset and scale every badge layout applies on one printer, and a
// calibration page to measure them by.
#pragma once

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;

class FrmPrinterCorrection : public QWidget {
    Q_OBJECT
public:
    explicit FrmPrinterCorrection(QWidget* parent = nullptr);

    // Keeps the values for the printer named in the window.
    void save();
    // Prints a calibration page in the chosen layout with the values in the window (not yet kept).
    void printCalibration();

private:
    void printerChosen();

    QComboBox* m_printer;
    QComboBox* m_layout;
    QDoubleSpinBox* m_offsetX;
    QDoubleSpinBox* m_offsetY;
    QDoubleSpinBox* m_scale;
};
