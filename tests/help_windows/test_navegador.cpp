#include "fake_browser.h"
#include "navegador.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

Q_DECLARE_METATYPE(BrowserLog::Call)

class TestNavegador : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void initialCaptionAndNoBrowserYet();
    void browserCreatedOnlyAtFirstOpening();
    void positions_data();
    void positions();
    void buttonTexts_data();
    void buttonTexts();
    void tabOrder();
    void normalFrameWithTitleBarButtons();
    void browserFollowsWindowSize_data();
    void browserFollowsWindowSize();
    void everyOpeningShowsHome_data();
    void everyOpeningShowsHome();
    void reactivationIsNoOpening();
    void goToUsesTextAsTyped_data();
    void goToUsesTextAsTyped();
    void homeKeepsCaption();
    void enterInFieldDoesNotNavigate_data();
    void enterInFieldDoesNotNavigate();
    void escapeDoesNotClose();
    void stopStopsLoading();
    void exitHidesSameWindow();
    void closeBoxHides();
    void modalDisplayEndsWithExit();
    void refusalIsReported_data();
    void refusalIsReported();
    void worksWithoutBrowser();
    void browserWindowButtons_data();
    void browserWindowButtons();
    void browserWindowReopens_data();
    void browserWindowReopens();

private:
    void open();
    void click(const char* button);
    void typeAddress(const QString& text);
    [[nodiscard]] QLineEdit* field() const;

    BrowserLog log;
    QStringList reported;
    std::unique_ptr<TForm3> form;
};

void TestNavegador::init() {
    log = {};
    reported.clear();
    form = std::make_unique<TForm3>(nullptr, fakeBrowserFactory(log));
    form->setFailureReporter([this](const QString& message) { reported << message; });
}

void TestNavegador::cleanup() {
    form.reset();
}

void TestNavegador::open() {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestNavegador::click(const char* button) {
    auto* found = form->findChild<QPushButton*>(button);
    QVERIFY(found != nullptr);
    QTest::mouseClick(found, Qt::LeftButton);
}

QLineEdit* TestNavegador::field() const {
    return form->findChild<QLineEdit*>("Edit1");
}

void TestNavegador::typeAddress(const QString& text) {
    field()->clear();
    // Key clicks only know ASCII; other text arrives as an input-method commit would.
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii)
        QTest::keyClicks(field(), text);
    else
        field()->insert(text);
    QCOMPARE(field()->text(), text);
}

void TestNavegador::initialCaptionAndNoBrowserYet() {
    QCOMPARE(TForm3::HomeAddress, QString("www.tarvenor.com"));
    QCOMPARE(form->windowTitle(), TForm3::HomeAddress);
    QCOMPARE(log.created, 0);
    QVERIFY(log.calls.empty());
    QVERIFY(!form->windowIcon().isNull());
    QVERIFY(form->minimumSize() != form->maximumSize()); // resizable
}

void TestNavegador::browserCreatedOnlyAtFirstOpening() {
    open();
    QCOMPARE(log.created, 1);
    form->hide();
    open();
    QCOMPARE(log.created, 1);
    auto* placeholder = form->findChild<QWidget*>("WebBrowser1");
    QVERIFY(log.lastWidget != nullptr);
    QCOMPARE(log.lastWidget->parentWidget(), placeholder);
    QCOMPARE(log.lastWidget->geometry(), placeholder->rect());
}

void TestNavegador::positions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("WebBrowser1") << "WebBrowser1" << QRect(0, 96, 750, 538);
    QTest::newRow("Edit1") << "Edit1" << QRect(136, 64, 441, 21);
    QTest::newRow("Button3") << "Button3" << QRect(0, 62, 49, 25);
    QTest::newRow("Button4") << "Button4" << QRect(48, 62, 49, 25);
    QTest::newRow("Button5") << "Button5" << QRect(640, 62, 49, 25);
    QTest::newRow("Button1") << "Button1" << QRect(584, 62, 49, 25);
    QTest::newRow("ProgramIcon") << "ProgramIcon" << QRect(2, 0, 200, 55);
}

void TestNavegador::positions() {
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    const QWidget* widget = form->findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->geometry(), expected);
    QCOMPARE(form->size(), QSize(750, 634));
}

void TestNavegador::buttonTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("stop") << "Button3"
                          << "X";
    QTest::newRow("home") << "Button4"
                          << "Inicio";
    QTest::newRow("exit") << "Button5"
                          << "Salir";
    QTest::newRow("go") << "Button1"
                        << "Ir a...";
}

void TestNavegador::buttonTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    const auto* button = form->findChild<QPushButton*>(name);
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), text);
    QVERIFY(!button->isDefault());
    QVERIFY(!button->autoDefault());
    const auto* url = form->findChild<QLabel*>("Label1");
    QCOMPARE(url->text(), QString("URL:"));
    QCOMPARE(url->pos(), QPoint(104, 68));
}

void TestNavegador::tabOrder() {
    open();
    QWidget* expected[] = {log.lastWidget,
                           field(),
                           form->findChild<QPushButton*>("Button3"),
                           form->findChild<QPushButton*>("Button4"),
                           form->findChild<QPushButton*>("Button5"),
                           form->findChild<QPushButton*>("Button1")};
    for (std::size_t i = 0; i + 1 < std::size(expected); ++i) {
        QWidget* next = expected[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus && next != expected[i + 1])
            next = next->nextInFocusChain();
        QCOMPARE(next, expected[i + 1]);
    }
}

void TestNavegador::normalFrameWithTitleBarButtons() {
    QCOMPARE(form->windowType(), Qt::Window);
    const Qt::WindowFlags flags = form->windowFlags();
    for (const Qt::WindowType button :
         {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint})
        QVERIFY(flags.testFlag(button));
}

void TestNavegador::browserFollowsWindowSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger") << QSize(1000, 700);
    QTest::newRow("smaller") << QSize(700, 300);
    QTest::newRow("as designed") << QSize(750, 634);
}

void TestNavegador::browserFollowsWindowSize() {
    QFETCH(QSize, size);
    open();
    form->resize(size);
    auto* placeholder = form->findChild<QWidget*>("WebBrowser1");
    QTRY_COMPARE(placeholder->geometry(), QRect(0, 96, size.width(), size.height() - 96));
    QTRY_COMPARE(log.lastWidget->geometry(), placeholder->rect());
    QCOMPARE(form->findChild<QWidget*>("Button5")->geometry(), QRect(640, 62, 49, 25));
}

void TestNavegador::everyOpeningShowsHome_data() {
    QTest::addColumn<QString>("visited");
    QTest::newRow("host") << "www.example.org";
    QTest::newRow("empty") << "";
    QTest::newRow("with scheme") << "https://example.org/a?b=c";
}

// Whatever was shown when the window closed, it reopens on the home page; the caption
// keeps the last address given with "Ir a...".
void TestNavegador::everyOpeningShowsHome() {
    QFETCH(QString, visited);
    open();
    typeAddress(visited);
    click("Button1");
    click("Button5");
    QVERIFY(form->isHidden());
    typeAddress("left over");
    open();
    QCOMPARE(field()->text(), TForm3::HomeAddress);
    const std::vector<QString> expected{TForm3::HomeAddress, visited, TForm3::HomeAddress};
    QCOMPARE(log.navigations(), expected);
    QCOMPARE(form->windowTitle(), visited);
}

// Qt activates the window again when a message box over it closes; that is no opening.
void TestNavegador::reactivationIsNoOpening() {
    open();
    typeAddress("typed.example");
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(form.get(), &deactivate);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form.get(), &activate);
    form->activateWindow();
    QCoreApplication::processEvents();
    QCOMPARE(log.navigations().size(), std::size_t(1));
    QCOMPARE(field()->text(), QString("typed.example"));
}

void TestNavegador::goToUsesTextAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("bare host") << "www.example.com";
    QTest::newRow("empty") << "";
    QTest::newRow("spaces kept") << "  padded.example  ";
    QTest::newRow("full url") << "ftp://files.example/a b?x=1#top";
    QTest::newRow("not an address") << "hola mundo";
    QTest::newRow("non-ascii") << "ñandú.example/café";
}

void TestNavegador::goToUsesTextAsTyped() {
    QFETCH(QString, typed);
    open();
    typeAddress(typed);
    click("Button1");
    QCOMPARE(log.navigations().back(), typed);
    QCOMPARE(form->windowTitle(), typed);
    QCOMPARE(field()->text(), typed);
    QVERIFY(reported.isEmpty());
}

void TestNavegador::homeKeepsCaption() {
    open();
    typeAddress("elsewhere.example");
    click("Button1");
    typeAddress("something else");
    click("Button4");
    QCOMPARE(log.navigations().back(), TForm3::HomeAddress);
    QCOMPARE(field()->text(), TForm3::HomeAddress);
    QCOMPARE(form->windowTitle(), QString("elsewhere.example"));
    QCOMPARE(log.navigations().size(), std::size_t(3));
}

void TestNavegador::enterInFieldDoesNotNavigate_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestNavegador::enterInFieldDoesNotNavigate() {
    QFETCH(int, key);
    open();
    form->activateWindow();
    field()->setFocus();
    typeAddress("typed.example");
    QTest::keyClick(field(), Qt::Key(key));
    // Also after a button had the focus: focus must not make it the default button.
    click("Button3");
    field()->setFocus();
    QTest::keyClick(field(), Qt::Key(key));
    QCOMPARE(log.navigations().size(), std::size_t(1));
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowTitle(), TForm3::HomeAddress);
}

void TestNavegador::escapeDoesNotClose() {
    open();
    QTest::keyClick(field(), Qt::Key_Escape);
    QVERIFY(form->isVisible());
}

void TestNavegador::stopStopsLoading() {
    open();
    click("Button3");
    QCOMPARE(log.stops(), 1L);
    QCOMPARE(log.calls.back(), (BrowserLog::Call{"stop", {}}));
    QCOMPARE(field()->text(), TForm3::HomeAddress);
}

void TestNavegador::exitHidesSameWindow() {
    QVERIFY(!form->testAttribute(Qt::WA_DeleteOnClose));
    QPointer<TForm3> watched(form.get());
    open();
    click("Button5");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!watched.isNull());
    QVERIFY(watched->isHidden());
    open();
    QVERIFY(watched->isVisible());
}

void TestNavegador::closeBoxHides() {
    open();
    QVERIFY(form->close());
    QVERIFY(form->isHidden());
    QCOMPARE(log.created, 1);
}

// The program shows the window with exec(); "Salir" must end that loop.
void TestNavegador::modalDisplayEndsWithExit() {
    QStringList fieldAtOpening;
    QTimer::singleShot(0, form.get(), [&] {
        fieldAtOpening << field()->text();
        click("Button5");
    });
    form->exec();
    QVERIFY(form->isHidden());
    QCOMPARE(fieldAtOpening, QStringList{TForm3::HomeAddress});
    QCOMPARE(log.navigations().size(), std::size_t(1));
}

void TestNavegador::refusalIsReported_data() {
    QTest::addColumn<QString>("button"); // empty: the opening itself
    QTest::newRow("opening") << "";
    QTest::newRow("go") << "Button1";
    QTest::newRow("stop") << "Button3";
    QTest::newRow("home") << "Button4";
}

// A control that refuses an operation outright: the failure is shown, the window stays.
void TestNavegador::refusalIsReported() {
    QFETCH(QString, button);
    if (!button.isEmpty()) {
        open();
        typeAddress("refused.example");
    }
    log.refusal = "The control refused the operation";
    if (button.isEmpty())
        open();
    else
        click(qPrintable(button));
    QCOMPARE(reported, QStringList{"The control refused the operation"});
    QVERIFY(form->isVisible());
    // The handler ends where the control failed: "Ir a..." leaves the caption as it was.
    QCOMPARE(form->windowTitle(), TForm3::HomeAddress);
}

void TestNavegador::worksWithoutBrowser() {
    TForm3 bare(nullptr, [](QWidget*) { return std::unique_ptr<Browser>(); });
    bare.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bare));
    auto* edit = bare.findChild<QLineEdit*>("Edit1");
    QCOMPARE(edit->text(), TForm3::HomeAddress);
    edit->setText("x.example");
    QTest::mouseClick(bare.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    QTest::mouseClick(bare.findChild<QPushButton*>("Button3"), Qt::LeftButton);
    QCOMPARE(bare.windowTitle(), QString("x.example"));
}

void TestNavegador::browserWindowButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<BrowserLog::Call>("call");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("address");
    const QString home = TForm3::HomeAddress;
    const QString typed = " typed.example ";
    QTest::newRow("Ir a...") << "Button1" << BrowserLog::Call{"navigate", typed} << typed << typed;
    QTest::newRow("Inicio") << "Button4" << BrowserLog::Call{"navigate", home} << home << home;
    QTest::newRow("X") << "Button3" << BrowserLog::Call{"stop", {}} << home << typed;
    QTest::newRow("Salir") << "Button5" << BrowserLog::Call{"hide", {}} << home << typed;
}

// Where the browser shows the whole window itself, ours stays hidden and the opening returns
// at once. A press there runs our handler with the address typed there, and the window shows
// the texts that result.
void TestNavegador::browserWindowButtons() {
    QFETCH(QString, button);
    QFETCH(BrowserLog::Call, call);
    QFETCH(QString, title);
    QFETCH(QString, address);
    log.ownWindow = true;
    form->openWindow();
    const std::vector<BrowserLog::Call> opening{{"navigate", TForm3::HomeAddress}, {"show", {}}};
    QCOMPARE(log.calls, opening);
    QCOMPARE(log.address, TForm3::HomeAddress);
    log.handler(button, " typed.example ");
    QCOMPARE(log.calls.size(), std::size_t(3));
    QCOMPARE(log.calls.back(), call);
    QCOMPARE(log.title, title);
    QCOMPARE(log.address, address);
    QVERIFY(form->isHidden());
}

void TestNavegador::browserWindowReopens_data() {
    QTest::addColumn<QString>("closing"); // a button, none for its close box, "-" still open
    QTest::newRow("still open") << "-";
    QTest::newRow("Salir") << "Button5";
    QTest::newRow("close box or ended") << "";
}

// The command raises an open window where it is; a closed one opens on the home page again.
// A closed window's late presses change nothing.
void TestNavegador::browserWindowReopens() {
    QFETCH(QString, closing);
    const bool open = closing == "-";
    log.ownWindow = true;
    form->openWindow();
    log.handler("Button1", "elsewhere.example");
    if (!open)
        log.handler(closing, {});
    log.handler("Button1", "late.example");
    form->openWindow();
    QCOMPARE(log.calls.back(), (BrowserLog::Call{"show", {}}));
    const QString shown = open ? "late.example" : TForm3::HomeAddress;
    QCOMPARE(log.navigations().back(), shown);
    QCOMPARE(log.navigations().size(), std::size_t(3)); // nothing from a closed window
    QCOMPARE(log.address, shown);
}

QTEST_MAIN(TestNavegador)
#include "test_navegador.moc"
