#include "browser_process.h"
#include "navegador.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <memory>

// The online window with the real helper on a real X server: the keyboard goes into the
// embedded page and out again with Tab and Shift+Tab, and only the control that gets the keys
// shows the focus. Keys are typed through the X server (xdotool), as a person would.
class TestPageKeyboard : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void tabOrderRunsThroughThePage();
    void clickIntoThePageTakesTheKeyboard();

private:
    [[nodiscard]] static xcb_window_t inputFocus();
    [[nodiscard]] bool pageHasKeyboard() const;
    [[nodiscard]] bool windowHasKeyboard() const;
    static void press(const char* keys);
    [[nodiscard]] QWidget* pageStop() const;
    template <typename T> [[nodiscard]] T* control(const char* name) const {
        return form->findChild<T*>(name);
    }

    std::unique_ptr<TForm3> form;
};

void TestPageKeyboard::initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("Needs an X server");
    qputenv("QUILLMARK_BROWSER", QUILLMARK_BROWSER_PROGRAM);
    form = std::make_unique<TForm3>(nullptr, [](QWidget* parent) -> std::unique_ptr<Browser> {
        return std::make_unique<ProcessBrowser>(parent, std::chrono::seconds(60));
    });
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QTRY_VERIFY_WITH_TIMEOUT(pageStop() != nullptr, 30000);
    control<QLineEdit>("Edit1")->setText(
        "data:text/html,<a href='uno'>uno</a> <a href='dos'>dos</a>");
    control<QPushButton>("Button1")->click();
    QTest::qWait(3000); // the page loads; nothing tells the window when
    control<QLineEdit>("Edit1")->setFocus();
    QTRY_VERIFY(windowHasKeyboard());
}

void TestPageKeyboard::cleanupTestCase() {
    form.reset();
}

xcb_window_t TestPageKeyboard::inputFocus() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const xcb_window_t focus = reply ? reply->focus : XCB_NONE;
    std::free(reply);
    return focus;
}

QWidget* TestPageKeyboard::pageStop() const {
    for (QWidget* widget : form->findChildren<QWidget*>())
        if (widget->inherits("QWindowContainer"))
            return widget;
    return nullptr;
}

bool TestPageKeyboard::pageHasKeyboard() const {
    const QWidget* stop = pageStop();
    return stop != nullptr && form->focusWidget() == stop && inputFocus() != form->winId() &&
           inputFocus() != XCB_NONE;
}

bool TestPageKeyboard::windowHasKeyboard() const {
    return inputFocus() == form->winId();
}

void TestPageKeyboard::press(const char* keys) {
    QProcess::execute("xdotool", {"key", "--clearmodifiers", QString::fromLatin1(keys)});
    QTest::qWait(300);
}

// Shift+Tab from the address field enters the page at its last link, two more leave it for
// "Ir a..."; Tab enters it at its first link, two more reach the address field. The pointer
// rests over the page throughout: the keys still go where the focus is.
void TestPageKeyboard::tabOrderRunsThroughThePage() {
    const QPoint overPage = pageStop()->mapToGlobal(pageStop()->rect().center());
    QProcess::execute("xdotool",
                      {"mousemove", QString::number(overPage.x()), QString::number(overPage.y())});
    press("shift+Tab");
    QTRY_VERIFY(pageHasKeyboard());
    press("shift+Tab");
    QVERIFY(pageHasKeyboard());
    press("shift+Tab");
    QTRY_COMPARE(form->focusWidget(), control<QWidget>("Button1"));
    QTRY_VERIFY(windowHasKeyboard());
    press("Tab");
    QTRY_VERIFY(pageHasKeyboard());
    press("Tab");
    QVERIFY(pageHasKeyboard());
    press("Tab");
    QTRY_COMPARE(form->focusWidget(), control<QWidget>("Edit1"));
    QTRY_VERIFY(windowHasKeyboard());
    press("End");
    press("z");
    QTRY_VERIFY(control<QLineEdit>("Edit1")->text().endsWith('z'));
}

// The address field no longer shows the focus once a click has given the page the keyboard.
void TestPageKeyboard::clickIntoThePageTakesTheKeyboard() {
    auto* field = control<QLineEdit>("Edit1");
    field->setFocus();
    QTRY_VERIFY(windowHasKeyboard());
    const QPoint corner = pageStop()->mapToGlobal(QPoint(5, pageStop()->height() - 5));
    QProcess::execute("xdotool", {"mousemove", QString::number(corner.x()),
                                  QString::number(corner.y()), "click", "1"});
    QTRY_VERIFY(pageHasKeyboard());
    QVERIFY(!field->hasFocus());
    // A click into the address field takes the keyboard back.
    const QPoint inField = field->mapToGlobal(field->rect().center());
    QProcess::execute("xdotool", {"mousemove", QString::number(inField.x()),
                                  QString::number(inField.y()), "click", "1"});
    QTRY_VERIFY(windowHasKeyboard());
    QTRY_VERIFY(field->hasFocus());
}

QTEST_MAIN(TestPageKeyboard)
#include "test_page_keyboard.moc"
