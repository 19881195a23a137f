// Shell services and control adapters: the error-box text rule, the timer semantics, and the
// events the adapted controls raise.

#include "control_adapters.h"
#include "shell.h"
#include "vcl_timer.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void standardErrorText_data();
    void standardErrorText();

    void messageBoxes_data();
    void messageBoxes();
    void stationFileDialogs_data();
    void stationFileDialogs();

    void timerEnablingRunningTimerKeepsPeriod();
    void timerStopThenStartRestartsPeriod();
    void timerRunsHandlerAndStops();

    void memoStoredLength_data();
    void memoStoredLength();
    void memoRefusesInputBeyondLimit_data();
    void memoRefusesInputBeyondLimit();
    void memoAcceptsLongerTextFromProgramAndLetsItShrink();

    void notebookAnnouncesChangeBeforeSwitch();
    void notebookSamePageAnnouncesNothing();
    void dropDownAnnouncedBeforePopup();
    void editAnnouncesClicks();
};

void TestShell::standardErrorText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "abc"
                            << "abc.";
    QTest::newRow("digit") << "I/O error 13"
                           << "I/O error 13.";
    QTest::newRow("full stop") << "x."
                               << "x.";
    QTest::newRow("closing parenthesis") << "(x)"
                                         << "(x)";
    QTest::newRow("letter then parenthesis") << "a)"
                                             << "a)";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("slash is above full stop") << "a/"
                                              << "a/.";
    QTest::newRow("hyphen is below full stop") << "a-"
                                               << "a-";
    QTest::newRow("blank") << "a "
                           << "a ";
    QTest::newRow("quote") << "'3\r\n' is not a valid integer value"
                           << "'3\r\n' is not a valid integer value.";
    QTest::newRow("accented letter")
        << QString::fromUtf8("Comunicación") << QString::fromUtf8("Comunicación.");
}

void TestShell::standardErrorText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(::standardErrorText(message), shown);
}

namespace {

struct BoxSeen {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Looks at the modal box once it is up, then presses `key` in it.
void pressInNextBox(BoxSeen& seen, Qt::Key key) {
    QTimer::singleShot(0, [&seen, key] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            seen.buttons << b->text();
        seen.buttons.sort();
        QTest::keyClick(box, key);
    });
}

} // namespace

void TestShell::messageBoxes_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("answer");
    const QStringList yesNo{"&No", "&Yes"};
    const QStringList ok{"OK"};
    QTest::newRow("question, Enter") << "question" << int(Qt::Key_Return) << "Information"
                                     << int(QMessageBox::Information) << yesNo << "Yes";
    QTest::newRow("question, Escape") << "question" << int(Qt::Key_Escape) << "Information"
                                      << int(QMessageBox::Information) << yesNo << "No";
    QTest::newRow("error, Escape")
        << "error" << int(Qt::Key_Escape) << "Error" << int(QMessageBox::Critical) << ok << "";
    QTest::newRow("plain, Enter") << "plain" << int(Qt::Key_Return) << "Quillmark 2.4"
                                  << int(QMessageBox::NoIcon) << ok << "";
    QTest::newRow("standard error, Enter") << "standard" << int(Qt::Key_Return) << "Quillmark 2.4"
                                           << int(QMessageBox::Critical) << ok << "";
}

void TestShell::messageBoxes() {
    QFETCH(QString, kind);
    QFETCH(int, key);
    QFETCH(QString, caption);
    QFETCH(int, icon);
    QFETCH(QStringList, buttons);
    QFETCH(QString, answer);
    QtDialogs dialogs;
    BoxSeen seen;
    pressInNextBox(seen, static_cast<Qt::Key>(key));
    const QString text = QString::fromUtf8("Texto del aviso");
    QString got;
    if (kind == "question")
        got = dialogs.question(nullptr, text) == Dialogs::Answer::Yes ? "Yes" : "No";
    else if (kind == "error")
        dialogs.errorMessage(nullptr, text);
    else if (kind == "plain")
        dialogs.plainMessage(nullptr, text);
    else
        dialogs.standardError(nullptr, text);
    QCOMPARE(seen.caption, caption);
    QCOMPARE(seen.text, text);
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(seen.buttons, buttons);
    QCOMPARE(got, answer);
}

void TestShell::stationFileDialogs_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("open") << false;
    QTest::newRow("save") << true;
}

void TestShell::stationFileDialogs() {
    QFETCH(bool, save);
    QtDialogs dialogs;
    QStringList filters;
    QString suffix;
    bool noOverwriteQuestion = false;
    bool anyFile = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        noOverwriteQuestion = dialog->testOption(QFileDialog::DontConfirmOverwrite);
        anyFile = dialog->fileMode() == QFileDialog::AnyFile;
        dialog->reject();
    });
    const auto chosen = save ? dialogs.saveStationFile(nullptr) : dialogs.openStationFile(nullptr);
    QCOMPARE(chosen, std::nullopt);
    QCOMPARE(filters, QStringList({"Archivo RDS (*.rds)", "Estación JSON (*.json)"}));
    QCOMPARE(suffix, QString("rds"));
    QVERIFY(noOverwriteQuestion);
    QVERIFY(anyFile);
}

namespace {
// Milliseconds from `start` until the timer's handler runs once.
qint64 firstExpiry(VclTimer& timer, const QElapsedTimer& start) {
    qint64 at = -1;
    timer.setOnTimer([&] {
        if (at < 0)
            at = start.elapsed();
        timer.stop();
    });
    (void)QTest::qWaitFor([&] { return at >= 0; }, 5000);
    return at;
}
} // namespace

// Times are taken from the moment the timer is enabled again; a restarted period could not
// end before 950 ms from then (coarse timers fire up to 5 % early).
void TestShell::timerEnablingRunningTimerKeepsPeriod() {
    VclTimer timer(1000ms);
    timer.start();
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    timer.setEnabled(true); // already running: the period goes on
    const qint64 at = firstExpiry(timer, clock);
    QVERIFY2(at >= 0 && at < 900, qPrintable(QString::number(at)));
}

void TestShell::timerStopThenStartRestartsPeriod() {
    VclTimer timer(1000ms);
    timer.start();
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    timer.stop();
    timer.start();
    const qint64 at = firstExpiry(timer, clock);
    QVERIFY2(at >= 950, qPrintable(QString::number(at)));
}

void TestShell::timerRunsHandlerAndStops() {
    VclTimer timer(20ms);
    QVERIFY(!timer.isEnabled());
    QCOMPARE(timer.interval(), 20ms);
    int runs = 0;
    timer.setOnTimer([&] { ++runs; });
    timer.start();
    QVERIFY(timer.isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(runs >= 2, 2000);
    timer.stop();
    QVERIFY(!timer.isEnabled());
    const int after = runs;
    QTest::qWait(100);
    QCOMPARE(runs, after);
}

void TestShell::memoStoredLength_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("plain") << "abc" << 3;
    QTest::newRow("line break counts two") << "a\nb" << 4;
    QTest::newRow("two breaks") << "\n\n" << 4;
}

void TestShell::memoStoredLength() {
    QFETCH(QString, text);
    QFETCH(int, length);
    QCOMPARE(MemoEdit::storedLength(text), length);
}

void TestShell::memoRefusesInputBeyondLimit_data() {
    QTest::addColumn<QString>("prefill");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    const QString s63(63, QLatin1Char('x'));
    const QString s62(62, QLatin1Char('x'));
    QTest::newRow("64th character accepted") << s63 << "y" << s63 + "y";
    QTest::newRow("65th character refused") << s63 + "y"
                                            << "z" << s63 + "y";
    QTest::newRow("break refused at 63") << s63 << "\n" << s63;
    QTest::newRow("break accepted at 62") << s62 << "\n" << s62 + "\n";
}

void TestShell::memoRefusesInputBeyondLimit() {
    QFETCH(QString, prefill);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    MemoEdit memo;
    memo.setMaxLength(64);
    memo.setStoredText(prefill);
    memo.moveCursor(QTextCursor::End);
    if (typed == "\n")
        QTest::keyClick(&memo, Qt::Key_Return);
    else
        QTest::keyClicks(&memo, typed);
    QCOMPARE(memo.toPlainText(), expected);
}

void TestShell::memoAcceptsLongerTextFromProgramAndLetsItShrink() {
    MemoEdit memo;
    memo.setMaxLength(4);
    memo.setStoredText("a\nb\nc"); // 7 stored characters
    QCOMPARE(memo.toPlainText(), QString("a\nb\nc"));
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, Qt::Key_Backspace);
    QCOMPARE(memo.toPlainText(), QString("a\nb\n"));
    QTest::keyClicks(&memo, "z");
    QCOMPARE(memo.toPlainText(), QString("a\nb\n"));
}

void TestShell::notebookAnnouncesChangeBeforeSwitch() {
    Notebook book;
    auto* first = new QWidget;
    auto* second = new QWidget;
    book.addTab(first, "A");
    book.addTab(second, "B");
    QWidget* shownDuringChange = nullptr;
    int announced = -1;
    connect(&book, &Notebook::changing, &book, [&](int page) {
        announced = page;
        shownDuringChange = book.currentWidget();
    });
    book.setCurrentIndex(1);
    QCOMPARE(announced, 1);
    QCOMPARE(shownDuringChange, first);
    QCOMPARE(book.currentWidget(), second);
}

void TestShell::notebookSamePageAnnouncesNothing() {
    Notebook book;
    book.addTab(new QWidget, "A");
    book.addTab(new QWidget, "B");
    QSignalSpy spy(&book, &Notebook::changing);
    book.setCurrentIndex(0);
    QCOMPARE(spy.count(), 0);
    book.setCurrentIndex(1);
    QCOMPARE(spy.count(), 1);
}

void TestShell::dropDownAnnouncedBeforePopup() {
    DropDownComboBox list;
    list.addItems({"1", "2"});
    list.setCurrentIndex(0);
    list.show();
    bool popupVisibleAtAnnounce = true;
    connect(&list, &DropDownComboBox::dropDown, &list,
            [&] { popupVisibleAtAnnounce = list.view()->isVisible(); });
    QSignalSpy spy(&list, &DropDownComboBox::dropDown);
    list.showPopup();
    QCOMPARE(spy.count(), 1);
    QVERIFY(!popupVisibleAtAnnounce);
    list.hidePopup();
}

void TestShell::editAnnouncesClicks() {
    ClickLineEdit edit;
    edit.show();
    QSignalSpy spy(&edit, &ClickLineEdit::clicked);
    QTest::mouseClick(&edit, Qt::LeftButton);
    QTest::mouseClick(&edit, Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
    QTest::keyClicks(&edit, "a");
    QCOMPARE(spy.count(), 2);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
