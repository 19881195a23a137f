// What the window's quicker start-up must keep: every control in the 8-point dialog font,
// drop-downs included once they are built at their first opening, frequency lists that
// share their items but not their pick or enabled state, and the adapter behind the port
// looked up once the window is drawn.

#include "window_fixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>

class TestStartupForm : public QObject {
    Q_OBJECT
private slots:
    void everyControlHasTheDialogFont() {
        Window w;
        const int dialogSize = w.form().font().pointSize();
        QCOMPARE(dialogSize, 8);
        const auto controls = w.form().findChildren<QWidget*>();
        QVERIFY(controls.size() > 100);
        for (const QWidget* control : controls)
            // Menus are windows of their own, in the toolkit's menu font.
            if (!control->isWindow())
                QVERIFY2(control->font().pointSize() == dialogSize,
                         qPrintable(control->objectName() + " has another font"));
    }

    void dropDownBuiltLaterHasTheDialogFont_data() {
        QTest::addColumn<QString>("list");
        QTest::newRow("on the first page") << "Country";
        QTest::newRow("frequency list") << "AF7";
        QTest::newRow("outside the notebook") << "Portserie";
    }
    void dropDownBuiltLaterHasTheDialogFont() {
        QFETCH(QString, list);
        Window w;
        auto* box = w.control<QComboBox>(qPrintable(list));
        QVERIFY(box != nullptr);
        QCOMPARE(box->view()->font().pointSize(), 8);
        QCOMPARE(box->view()->window()->font().pointSize(), 8);
        QCOMPARE(box->view()->model()->rowCount(), box->count());
    }

    void frequencyListsKeepTheirOwnState() {
        Window w;
        auto* first = w.control<QComboBox>("AF1");
        auto* last = w.control<QComboBox>("AF15");
        QCOMPARE(first->count(), 205);
        QCOMPARE(last->count(), 205);
        first->setEnabled(true);
        last->setEnabled(false);
        first->setCurrentIndex(11);
        last->setCurrentIndex(204);
        QCOMPARE(first->currentIndex(), 11);
        QCOMPARE(last->currentIndex(), 204);
        QVERIFY(first->isEnabled());
        QVERIFY(!last->isEnabled());
        QCOMPARE(first->itemText(204), last->currentText());
        last->setCurrentIndex(0);
        QCOMPARE(last->currentText(), QString("None"));
        QCOMPARE(first->currentIndex(), 11);
    }

    void adapterLookedUpAfterStartUp_data() {
        QTest::addColumn<bool>("shown");
        QTest::newRow("once the window is drawn") << true;
        QTest::newRow("a window never drawn, later") << false;
    }
    void adapterLookedUpAfterStartUp() {
        QFETCH(bool, shown);
        Window w;
        PortReconnect& reconnect = w.form().portReconnect();
        QCOMPARE(reconnect.notReopenedBecause(), std::string());
        reconnect.setDeviceList([] { return std::vector<quillmark::ports::SerialDevice>{}; });
        if (shown)
            w.form().show();
        QTRY_COMPARE_WITH_TIMEOUT(reconnect.notReopenedBecause(),
                                  std::string("udev no conoce el adaptador"), 5000);
    }
};

QTEST_MAIN(TestStartupForm)
#include "tst_startup_form.moc"
