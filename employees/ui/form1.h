// The employee editor: enters a new employee or changes an existing one, with a photograph.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class Form2;
class PhotoBox;
class QLineEdit;
class QPushButton;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The explorer to reload on "Exit"; may be unset or closed meanwhile.
    void setExplorer(Form2* explorer);
    Form2* explorer() const;
    // The key of the row being edited, as text; empty when adding.
    void setRecordId(const QVariant& value);
    QString recordId() const;
    // The identification code of the row being edited; empty when adding.
    void setEmployeeId(const QVariant& value);
    QString employeeId() const;

    QLineEdit* txtEmployeeFirstName() const;
    QLineEdit* txtEmployeeMiddleName() const;
    QLineEdit* txtEmployeeLastName() const;
    QLineEdit* txtTitle() const;
    QLineEdit* txtEmployeeId() const;
    QPushButton* command2() const; // "Save" in add mode, "Update" in update mode
    PhotoBox* image1() const;

    // Add mode while the save button reads exactly "Save"; update mode otherwise.
    bool isAddMode() const;
    // The picture file that the next save stores (in either mode); empty when none is chosen.
    QString photoPath() const;
    // Takes the file as the employee's photograph and shows it; a file that is not a picture is refused
    // with a message and the earlier choice stays. Returns whether the file was taken.
    bool choosePhoto(const QString& path);

private:
    void buildControls();
    void formActivate();
    void command1Click();
    void command2Click();
    void command3Click();
    // Checks the code before a save; may drop the photograph when the operator agrees. False: do not save.
    bool confirmCode(const QString& code, bool adding, QString& photo);
    void loadPhoto();
    void clearForNextEmployee();
    // The file the save stores: the chosen one, or a framed or print-sized copy of what the box shows.
    QString photoToStore(const QString& chosen, const QString& code);

    struct Private;
    std::unique_ptr<Private> d;
};
