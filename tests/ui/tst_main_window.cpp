// The main window after start-up: state, item lists, layout, names, menus and the shell
// commands.

#include "window_fixture.h"

#include "about.h"
#include "serial/comport.h"
#include "vcl_timer.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {
const QString kSpaces8(8, QLatin1Char(' '));
const QString kSpaces64(64, QLatin1Char(' '));
const QStringList kFrameSelectors = {"FramePI", "FramePS", "FramePTY", "AFSelectFrame",
                                     "FrameConf"};

QString shownText(QWidget* control) {
    if (auto* list = qobject_cast<QComboBox*>(control))
        return list->currentText();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(control))
        return memo->toPlainText();
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return box->isChecked() ? "checked" : "clear";
    return {};
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void stateAfterStartup();
    void defaultsOnEveryPage_data();
    void defaultsOnEveryPage();
    void deviceMapAfterStartup();
    void itemLists_data();
    void itemLists();
    void dropDownShowsItsRows_data() { itemLists_data(); }
    void dropDownShowsItsRows();
    void afItemsAroundHundred();
    void placement_data();
    void placement();
    void centredWithMenuBarAndFrame();
    void everyClickIntoPsRunsItsHandler();
    void menuCommandRunsAfterTheChoiceReturns();
    void names_data();
    void names();
    void menus();
    void eraseItemNeverOffered();
    void hiddenButtonsAndRtPage();
    void tabOrderOnPiPage();
    void indicatorsFollowTheLine();
    void closeReleasesPortFirst();
    void exitLeavesPortToTheWindow();
    void aboutShowsTheSameWindowAgain();
    void helpCommandsWithoutWindowsDoNothing();
};

void TestMainWindow::stateAfterStartup() {
    Window w;
    QCOMPARE(w.form().windowTitle(), QString("Tarvenor Quillmark 2.4"));
    QCOMPARE(w.control<QTabWidget>("Planes")->currentIndex(), 0);
    for (const QString& name : kFrameSelectors)
        QCOMPARE(w.control<QComboBox>(qPrintable(name))->currentText(), QString("Frame 1"));
    QCOMPARE(w.control<QComboBox>("PSBox")->currentText(), QString("1"));
    QVERIFY(!w.form().timer1().isEnabled());
    QVERIFY(!w.form().timer2().isEnabled());
    QVERIFY(!w.form().timer3().isEnabled());
    QCOMPARE(w.form().timer1().interval(), std::chrono::milliseconds(5000));
    QCOMPARE(w.form().timer2().interval(), std::chrono::milliseconds(5000));
    QCOMPARE(w.form().timer3().interval(), std::chrono::milliseconds(2000));
    QVERIFY(w.form().port().Active());
    QCOMPARE(w.form().port().BaudRate(), br2400);
    QCOMPARE(w.form().port().DataBits(), db8);
    QCOMPARE(w.form().port().Parity(), paNone);
    QCOMPARE(w.form().port().StopBits(), sb1);
    QCOMPARE(w.form().port().Timeouts().ReadConstant(), std::chrono::milliseconds(1000));
    QCOMPARE(w.form().statusColour(), TForm1::clGreen);
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
}

void TestMainWindow::defaultsOnEveryPage_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Country") << "Country"
                             << "E - Spain, Canarias, Roumania, Sweden" << true;
    QTest::newRow("Coverage") << "Coverage"
                              << "0 - Local" << true;
    QTest::newRow("Mat1") << "Mat1"
                          << "00" << true;
    QTest::newRow("PS") << "PS" << kSpaces8 << true;
    QTest::newRow("PTYBox") << "PTYBox"
                            << "0 - None" << true;
    QTest::newRow("MS") << "MS"
                        << "0 - Speech" << true;
    QTest::newRow("TPBox") << "TPBox"
                           << "clear" << true;
    QTest::newRow("NumAF") << "NumAF"
                           << "None" << true;
    for (int k = 1; k <= 15; ++k)
        QTest::addRow("AF%d", k) << QString("AF%1").arg(k) << "None" << false;
    QTest::newRow("RTEdit") << "RTEdit" << kSpaces64 << true;
    QTest::newRow("NumPant") << "NumPant"
                             << "1" << true;
    QTest::newRow("RTBox") << "RTBox"
                           << "clear" << true;
    QTest::newRow("Timing") << "Timing"
                            << "4 seg." << true;
    QTest::newRow("Portserie") << "Portserie"
                               << "COM1" << true;
}

void TestMainWindow::defaultsOnEveryPage() {
    QFETCH(QString, control);
    QFETCH(QString, shown);
    QFETCH(bool, enabled);
    Window w;
    auto* widget = w.control<QWidget>(qPrintable(control));
    QCOMPARE(shownText(widget), shown);
    QCOMPARE(widget->isEnabled(), enabled);
}

void TestMainWindow::deviceMapAfterStartup() {
    Window w;
    const auto map = w.deviceMap();
    QCOMPARE(map[0], 0xE0);
    QCOMPARE(map[4], 0xE0);
    for (int a : {1, 2, 3, 5, 6, 7})
        QCOMPARE(map[a], 0);
    QCOMPARE(map[8], 0xE0);
    QCOMPARE(map[24], 0xE0);
    for (int a = 40; a <= 251; ++a)
        QVERIFY2(map[a] == 0x20, qPrintable(QString("address %1").arg(a)));
    QCOMPARE(map[252], 1);
    QCOMPARE(map[253], 0x30);
    QCOMPARE(map[254], 1);
    QCOMPARE(map[255], 0x30);
}

void TestMainWindow::itemLists_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("rows");
    QTest::newRow("Country") << "Country" << 15 << "1 - Greece, Morocco"
                             << "F - Egypt, France, Norway" << 16;
    QTest::newRow("Coverage") << "Coverage" << 16 << "0 - Local"
                              << "F - Regional 12" << 16;
    QTest::newRow("Mat1") << "Mat1" << 256 << "00"
                          << "FF" << 16;
    QTest::newRow("PSBox") << "PSBox" << 8 << "1"
                           << "8" << 16;
    QTest::newRow("PTYBox") << "PTYBox" << 16 << "0 - None"
                            << "15 - Other Music" << 16;
    QTest::newRow("MS") << "MS" << 2 << "0 - Speech"
                        << "1 - Music" << 2;
    QTest::newRow("NumAF") << "NumAF" << 16 << "None"
                           << "15" << 16;
    for (int k = 1; k <= 15; ++k)
        QTest::addRow("AF%d", k) << QString("AF%1").arg(k) << 205 << "None"
                                 << "107.9" << 10;
    QTest::newRow("NumPant") << "NumPant" << 8 << "1"
                             << "8" << 8;
    QTest::newRow("Timing") << "Timing" << 5 << "4 seg."
                            << "12 seg." << 8;
    for (const QString& name : kFrameSelectors)
        QTest::addRow("%s", qPrintable(name)) << name << 2 << "Frame 1"
                                              << "Frame 2" << 8;
    QTest::newRow("Portserie") << "Portserie" << 8 << "COM1"
                               << "COM8" << 8;
}

void TestMainWindow::itemLists() {
    QFETCH(QString, list);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, rows);
    Window w;
    auto* box = w.control<QComboBox>(qPrintable(list));
    QCOMPARE(box->count(), count);
    QCOMPARE(box->itemText(0), first);
    QCOMPARE(box->itemText(count - 1), last);
    QCOMPARE(box->maxVisibleItems(), rows);
    QVERIFY(!box->isEditable());
}

// The rows the open drop-down really shows, each at its whole height (long items may be
// cut at the right).
static int visibleRows(QComboBox& box) {
    const QAbstractItemView* view = box.view();
    const QRect area = view->viewport()->rect();
    int rows = 0;
    for (int row = 0; row < box.count(); ++row) {
        const QRect cell = view->visualRect(view->model()->index(row, box.modelColumn()));
        if (cell.top() >= area.top() && cell.bottom() <= area.bottom())
            ++rows;
    }
    return rows;
}

void TestMainWindow::dropDownShowsItsRows() {
    QFETCH(QString, list);
    QFETCH(int, count);
    QFETCH(int, rows);
    Window w;
    w.form().show();
    auto* page = w.control<QComboBox>(qPrintable(list))->parentWidget();
    if (auto* planes = w.control<QTabWidget>("Planes"); planes->indexOf(page) >= 0)
        planes->setCurrentWidget(page);
    auto* box = w.control<QComboBox>(qPrintable(list));
    box->setEnabled(true);
    box->showPopup();
    QTRY_VERIFY(box->view()->isVisible());
    QCOMPARE(visibleRows(*box), std::min(count, rows));
    box->hidePopup();
}

void TestMainWindow::afItemsAroundHundred() {
    Window w;
    auto* af = w.control<QComboBox>("AF7");
    QCOMPARE(af->itemText(1), QString("87.6"));
    QCOMPARE(af->itemText(124), QString("99.9"));
    QCOMPARE(af->itemText(125), QString("100.0"));
    QCOMPARE(af->itemText(204), QString("107.9"));
    auto* mat = w.control<QComboBox>("Mat1");
    QCOMPARE(mat->itemText(10), QString("0A"));
    QCOMPARE(mat->itemText(16), QString("10"));
}

void TestMainWindow::placement_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Image2") << "Image2" << QRect(7, 8, 200, 55);
    QTest::newRow("Image1") << "Image1" << QRect(351, 8, 55, 55);
    QTest::newRow("Planes") << "Planes" << QRect(0, 66, 417, 247);
    QTest::newRow("Panel2") << "Panel2" << QRect(0, 317, 281, 56);
    QTest::newRow("Panel1") << "Panel1" << QRect(288, 317, 129, 56);
    QTest::newRow("Button7") << "Button7" << QRect(30, 16, 75, 25);
    QTest::newRow("Panel3") << "Panel3" << QRect(16, 32, 41, 17);
    QTest::newRow("Panel4") << "Panel4" << QRect(64, 32, 41, 17);
    QTest::newRow("Panel5") << "Panel5" << QRect(128, 32, 41, 17);
    QTest::newRow("Portserie") << "Portserie" << QRect(200, 28, 65, 21);
    QTest::newRow("Country") << "Country" << QRect(47, 58, 258, 21);
    QTest::newRow("PS") << "PS" << QRect(24, 73, 121, 21);
    QTest::newRow("TPBox") << "TPBox" << QRect(24, 107, 145, 17);
    QTest::newRow("RTEdit") << "RTEdit" << QRect(48, 56, 257, 81);
    QTest::newRow("RTBox") << "RTBox" << QRect(216, 80, 113, 17);
    QTest::newRow("NumAF") << "NumAF" << QRect(8, 28, 65, 21);
    QTest::newRow("AF3") << "AF3" << QRect(8, 148, 65, 21);
    QTest::newRow("AF4") << "AF4" << QRect(88, 28, 65, 21);
    QTest::newRow("AF15") << "AF15" << QRect(248, 148, 65, 21);
    QTest::newRow("AFSelectFrame") << "AFSelectFrame" << QRect(8, 186, 89, 21);
    QTest::newRow("FrameConf") << "FrameConf" << QRect(216, 146, 89, 21);
    QTest::newRow("ReadPI") << "ReadPI" << QRect(320, 112, 75, 25);
    QTest::newRow("EnviaCONF") << "EnviaCONF" << QRect(320, 144, 75, 25);
}

void TestMainWindow::placement() {
    QFETCH(QString, control);
    QFETCH(QRect, geometry);
    Window w;
    w.form().show();
    const QRect actual = w.control<QWidget>(qPrintable(control))->geometry();
    if (qobject_cast<QCheckBox*>(w.control<QWidget>(qPrintable(control)))) {
        // Check boxes widen to show their whole caption in the font at hand.
        QCOMPARE(actual.topLeft(), geometry.topLeft());
        QCOMPARE(actual.height(), geometry.height());
        QVERIFY(actual.width() >= geometry.width());
    } else {
        QCOMPARE(actual, geometry);
    }
    // The client area below the menu bar holds exactly the controls.
    QCOMPARE(w.form().centralWidget()->size(), QSize(417, 373));
    QCOMPARE(w.form().width(), 417);
    QCOMPARE(w.form().height(), 373 + w.form().menuBar()->height());
}

void TestMainWindow::centredWithMenuBarAndFrame() {
    Window w;
    w.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form()));
    const QRect screen = w.form().screen()->availableGeometry();
    const QRect frame = w.form().frameGeometry();
    QVERIFY(frame.height() > 373 + w.form().menuBar()->height() - 1);
    QVERIFY2(qAbs(frame.center().x() - screen.center().x()) <= 1 &&
                 qAbs(frame.center().y() - screen.center().y()) <= 1,
             qPrintable(QString("frame centre %1,%2, screen centre %3,%4")
                            .arg(frame.center().x())
                            .arg(frame.center().y())
                            .arg(screen.center().x())
                            .arg(screen.center().y())));
}

// The second click of a double click is a click too: the field is cleared again.
void TestMainWindow::everyClickIntoPsRunsItsHandler() {
    Window w;
    w.form().show();
    w.control<QTabWidget>("Planes")->setCurrentIndex(1);
    auto* ps = w.control<QLineEdit>("PS");
    ps->setText("RADIO 1");
    QTest::mouseClick(ps, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(ps->text(), QString());
    QTest::keyClicks(ps, "POP");
    QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(10, 10),
                       ps->mapToGlobal(QPointF(10, 10)), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(ps, &second);
    QCOMPARE(ps->text(), QString());
    QVERIFY(!ps->hasSelectedText());
}

// A command that asks a question does not hold the caller that chose it.
void TestMainWindow::menuCommandRunsAfterTheChoiceReturns() {
    Window w;
    w.dialogs().queueAnswer(Dialogs::Answer::No);
    w.control<QAction>("Grabartodoelequipo1")->trigger();
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
    QTRY_COMPARE(w.dialogs().count(ScriptedDialogs::Kind::Question), 1);
    QVERIFY(w.dialogs().allAnswersUsed());
}

void TestMainWindow::names_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("accessibleName");
    QTest::newRow("Country") << "Country" << QString::fromUtf8("País");
    QTest::newRow("Mat1") << "Mat1" << QString::fromUtf8("Número Identificación");
    QTest::newRow("PS") << "PS"
                        << "PS - Programm Service";
    QTest::newRow("PSBox") << "PSBox" << QString::fromUtf8("Número de PS");
    QTest::newRow("TPBox") << "TPBox" << QString::fromUtf8("TP - Programa de Tráfico");
    QTest::newRow("MS") << "MS"
                        << "MS - Programas Hablados/Musicales";
    QTest::newRow("NumAF") << "NumAF"
                           << "Numero AF";
    QTest::newRow("AF12") << "AF12"
                          << "AF12";
    QTest::newRow("RTEdit") << "RTEdit"
                            << "RT - RadioText";
    QTest::newRow("NumPant") << "NumPant"
                             << "Secuencia de Pantallas";
    QTest::newRow("Timing") << "Timing" << QString::fromUtf8("Temporización Secuencia");
    for (const QString& name : kFrameSelectors)
        QTest::addRow("%s", qPrintable(name)) << name << "Frame";
    QTest::newRow("Panel3") << "Panel3"
                            << "Tx";
    QTest::newRow("Panel4") << "Panel4"
                            << "Rx";
    QTest::newRow("Panel5") << "Panel5"
                            << "Status";
    QTest::newRow("Portserie") << "Portserie"
                               << "Puerto Serie";
    QTest::newRow("EnviaAF") << "EnviaAF"
                             << "Enviar";
    QTest::newRow("ReadRT") << "ReadRT"
                            << "Leer";
    QTest::newRow("Button7") << "Button7"
                             << "Cerrar";
}

void TestMainWindow::names() {
    QFETCH(QString, control);
    QFETCH(QString, accessibleName);
    Window w;
    QCOMPARE(w.control<QWidget>(qPrintable(control))->accessibleName(), accessibleName);
}

void TestMainWindow::menus() {
    Window w;
    const QList<QPair<QString, QStringList>> expected = {
        {"Archivo", {"Abrir", "Guardar", "Salir"}},
        {"Acciones",
         {"Leer Equipo", QString::fromUtf8("Inicializar Programación"),
          "Programar Equipo Completo", QString::fromUtf8("Monitor de línea"),
          "Puertos serie...", "Vista de receptor", "Comparar con el equipo"}},
        {"Ayuda", {QString::fromUtf8("Información en línea"), "Acerca de..."}},
    };
    const auto menus = w.form().menuBar()->actions();
    QCOMPARE(menus.size(), expected.size());
    for (int m = 0; m < menus.size(); ++m) {
        QCOMPARE(menus[m]->text(), expected[m].first);
        QStringList shown;
        for (QAction* item : menus[m]->menu()->actions()) {
            QVERIFY2(item->shortcut().isEmpty(), qPrintable(item->text()));
            QVERIFY(!item->text().contains('&'));
            if (item->isVisible())
                shown << item->text();
        }
        QCOMPARE(shown, expected[m].second);
    }
}

void TestMainWindow::eraseItemNeverOffered() {
    Window w;
    auto* erase = w.control<QAction>("BorrarMemoriaEquipo1");
    QCOMPARE(erase->text(), QString("Borrar Memoria Equipo"));
    QVERIFY(!erase->isVisible());
    w.trigger("InicializarProgramacin1");
    w.dialogs().queueOpenFile(std::nullopt);
    w.trigger("Abrir1");
    w.form().show();
    QVERIFY(!erase->isVisible());
}

void TestMainWindow::hiddenButtonsAndRtPage() {
    Window w;
    w.form().show();
    auto* planes = w.control<QTabWidget>("Planes");
    planes->setCurrentIndex(1);
    QVERIFY(!w.control<QPushButton>("Button1")->isVisible());
    planes->setCurrentIndex(4);
    QVERIFY(!w.control<QPushButton>("Button2")->isVisible());
    QVERIFY(w.control<QPushButton>("EnviaRT1")->isVisible());
    QCOMPARE(planes->widget(4)->findChildren<QComboBox*>().size(), 0);
    QStringList tabs;
    for (int i = 0; i < planes->count(); ++i)
        tabs << planes->tabText(i);
    QCOMPARE(tabs, QStringList({"PI", "PS", "PTY", "AF", "RT", "CONFIG"}));
}

void TestMainWindow::tabOrderOnPiPage() {
    Window w;
    QStringList order;
    QWidget* widget = w.control<QWidget>("Country");
    while (order.size() < 6) {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(order, QStringList({"Country", "Coverage", "Mat1", "EnviaPI", "FramePI", "ReadPI"}));
}

void TestMainWindow::indicatorsFollowTheLine() {
    Window w;
    auto colour = [&](const char* panel) {
        return w.control<QWidget>(panel)->palette().color(QPalette::Window);
    };
    QCOMPARE(colour("Panel3"), TForm1::clGreen);
    QCOMPARE(colour("Panel4"), TForm1::clGreen);
    // Rx lights although the window's own received-character handler is on the same event.
    w.pty().write(QByteArray("\x55", 1));
    QTRY_COMPARE_WITH_TIMEOUT(colour("Panel4"), TForm1::clLime, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(colour("Panel4"), TForm1::clGreen, 2000);
    w.form().port().WriteByte(0x55);
    QTRY_COMPARE_WITH_TIMEOUT(colour("Panel3"), TForm1::clLime, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(colour("Panel3"), TForm1::clGreen, 2000);
}

void TestMainWindow::closeReleasesPortFirst() {
    Window w;
    w.form().show();
    QVERIFY(w.form().port().Active());
    w.control<QPushButton>("Button7")->click();
    QVERIFY(!w.form().port().Active());
    QVERIFY(!w.form().isVisible());
}

void TestMainWindow::exitLeavesPortToTheWindow() {
    Window w;
    w.form().show();
    w.trigger("Salir1");
    QVERIFY(!w.form().isVisible());
    QVERIFY(w.form().port().Active());
    // The close box behaves the same: nothing asked, never refused.
    w.form().show();
    QVERIFY(w.form().close());
    QVERIFY(w.form().port().Active());
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
}

void TestMainWindow::aboutShowsTheSameWindowAgain() {
    Window w;
    TAboutBox about(&w.form());
    w.form().setSecondaryWindows(&about, nullptr);
    int opened = 0;
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, &about, [&] {
            opened += about.isVisible() ? 1 : 0;
            about.reject();
        });
        w.trigger("Acercade1");
        QVERIFY(!about.isVisible());
    }
    QCOMPARE(opened, 2);
}

void TestMainWindow::helpCommandsWithoutWindowsDoNothing() {
    Window w;
    w.trigger("Acercade1");
    w.trigger("InformacinenLnea1");
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
