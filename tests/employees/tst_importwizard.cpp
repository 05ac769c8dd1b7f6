// The "Import Employees..." wizard driven as an operator drives it, page by page.
#include "../support/testappdir.h"
#include "../support/testfiles.h"
#include "../support/testpictures.h"

#include "app/scriptedplatform.h"
#include "employees/ui/employeeimportwizard.h"

#include <QtTest>
#include <QtWidgets>

class TestImportWizard : public QObject {
    Q_OBJECT

    template <typename T> static T* child(QWidget* parent, const char* name) {
        T* found = parent->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

private slots:
    // A bad row holds the list at the check until the operator chooses to leave such rows out.
    void importsThroughEveryStep() {
        TestAppDir dir;
        ScriptedPlatform platform;
        QDir().mkpath(dir.file("photos"));
        writeTestFile(dir.file("photos/ann cole.jpg"), jpegOf(Qt::red));
        EmployeeImportWizard wizard;
        wizard.show();
        child<QLineEdit>(&wizard, "txtImportFile")
            ->setText(
                writeTestFile(dir.file("staff.csv"),
                              "Vorname;Nachname;Personalnummer\nAnn;Cole;A1\nBo;Dunn;B1\nCy;Eck;C_1\n"));
        QVERIFY(!child<QComboBox>(&wizard, "cboSheet")->isEnabled());
        wizard.next();
        QCOMPARE(wizard.currentId(), int(EmployeeImportWizard::ColumnsPage));
        QCOMPARE(child<QComboBox>(&wizard, "cboColumn_first")->currentText(), QStringLiteral("Vorname"));
        QCOMPARE(child<QComboBox>(&wizard, "cboColumn_middle")->currentText(), QStringLiteral("(none)"));
        QCOMPARE(child<QTableWidget>(&wizard, "tblPreview")->rowCount(), 3);
        wizard.next();
        child<QLineEdit>(&wizard, "txtPhotoFolder")->setText(dir.file("photos"));
        wizard.next();
        QCOMPARE(wizard.currentId(), int(EmployeeImportWizard::CheckPage));
        auto* check = child<QTableWidget>(&wizard, "tblCheck");
        QCOMPARE(check->rowCount(), 3);
        QCOMPARE(check->item(0, 3)->text(), QStringLiteral("ann cole.jpg (by name)"));
        QCOMPARE(check->item(1, 4)->text(), QStringLiteral("will be added"));
        QVERIFY(check->item(2, 4)->text().contains("\"_\""));
        QVERIFY(child<QLabel>(&wizard, "lblCheckSummary")->text().contains("2 to add"));
        wizard.next();
        QCOMPARE(wizard.currentId(), int(EmployeeImportWizard::CheckPage));
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(platform.messages.first().text.contains("1 row(s) have problems"));
        QCOMPARE(dir.count("EmployeeTable"), 0);
        wizard.back();
        child<QCheckBox>(&wizard, "chkSkipBad")->setChecked(true);
        wizard.next();
        wizard.next();
        QCOMPARE(wizard.currentId(), int(EmployeeImportWizard::ImportPage));
        QCOMPARE(child<QLabel>(&wizard, "lblSummary")->text(),
                 QStringLiteral("Imported: added 2, updated 0, unchanged 0, skipped 1, photos 1."));
        QCOMPARE(dir.count("EmployeeTable"), 2);
        QCOMPARE(dir.count("Attachments"), 1);
    }

    void cancelledImportStoresNothing() {
        TestAppDir dir;
        ScriptedPlatform platform;
        platform.cancelProgressAfter = 4; // three while checking, then one row into the import
        EmployeeImportWizard wizard;
        wizard.show();
        child<QLineEdit>(&wizard, "txtImportFile")
            ->setText(writeTestFile(dir.file("staff.csv"), "First,Last,Code\nA,B,C1\nD,E,C2\nF,G,C3\n"));
        for (int page = 0; page < 4; ++page)
            wizard.next();
        QCOMPARE(child<QLabel>(&wizard, "lblSummary")->text(),
                 QStringLiteral("The import was cancelled; nothing was stored."));
        QCOMPARE(dir.count("EmployeeTable"), 0);
    }
};

QTEST_MAIN(TestImportWizard)
#include "tst_importwizard.moc"
