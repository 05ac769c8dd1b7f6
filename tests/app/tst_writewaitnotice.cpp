// The notice shown while an operation waits for another program's write: it comes up after a while,
// the windows keep being served meanwhile, and its Cancel ends the wait with a message that says so.
#include "../support/errorof.h"
#include "../support/testappdir.h"
#include "app/ui/writewaitnotice.h"
#include "data/connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

class TestWriteWaitNotice : public QObject {
    Q_OBJECT
private slots:
    void cancelEndsTheWait() {
        if (TestAppDir::onPostgres())
            QSKIP("the server makes writers wait itself");
        installWriteWaitNotice();
        TestAppDir dir;
        data::Connection().open(); // makes the file and its tables
        {
            QSqlDatabase holder =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            holder.setDatabaseName(dir.file("Pellorin.db"));
            QVERIFY(holder.open());
            QSqlQuery hold(holder);
            QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));

            // Served from inside the wait: the notice is up by then, and cancelling it ends the wait.
            qint64 shownAfter = -1;
            QElapsedTimer waiting;
            QTimer::singleShot(2600, [&] {
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (auto* notice = qobject_cast<QProgressDialog*>(widget);
                        notice && notice->objectName() == QLatin1String("WriteWaitNotice") &&
                        notice->isVisible()) {
                        shownAfter = waiting.elapsed();
                        notice->cancel();
                    }
            });
            waiting.start();
            const QString message = errorOf([] {
                data::Connection writer;
                writer.open();
                writer.beginTransaction();
            });
            QVERIFY2(shownAfter >= 2000, qPrintable(QString::number(shownAfter)));
            QVERIFY2(message.contains(QLatin1String("wait for another program's write")),
                     qPrintable(message));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }
};

QTEST_MAIN(TestWriteWaitNotice)
#include "tst_writewaitnotice.moc"
