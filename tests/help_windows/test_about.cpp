#include "about.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void captionAndSize();
    void noTitleBarButtons();
    void texts_data();
    void texts();
    void positions_data();
    void positions();
    void versionStaysCentred();
    void labelsShowTheirWholeText();
    void logoIsShown();
    void enterPressesOk_data();
    void enterPressesOk();
    void escapeDoesNotClose();
    void okHidesWithoutDestroying();
    void modalDisplayEndsWithOk();
    void shownTwiceIdentical();

private:
    [[nodiscard]] QLabel* label(const char* name) const;
    std::unique_ptr<TAboutBox> box;
};

void TestAbout::init() {
    box = std::make_unique<TAboutBox>();
}
void TestAbout::cleanup() {
    box.reset();
}

QLabel* TestAbout::label(const char* name) const {
    return box->findChild<QLabel*>(name);
}

void TestAbout::captionAndSize() {
    QCOMPARE(box->windowTitle(), QString("About"));
    QCOMPARE(box->size(), QSize(204, 185));
    QCOMPARE(box->minimumSize(), box->maximumSize());
}

void TestAbout::noTitleBarButtons() {
    const Qt::WindowFlags flags = box->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
}

void TestAbout::texts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("product") << "ProductName"
                             << "Tarvenor Quillmark";
    QTest::newRow("version") << "Label2"
                             << "Versión 2.4";
    QTest::newRow("rights") << "Copyright"
                            << "Copyright © 2026 Tarvenor";
    QTest::newRow("web") << "Label1"
                         << "www.tarvenor.com";
    QTest::newRow("e-mail") << "Comments"
                            << "info@tarvenor.com";
}

void TestAbout::texts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    const QLabel* found = label(qPrintable(name));
    QVERIFY(found != nullptr);
    QCOMPARE(found->text(), text);
    QVERIFY(found->isVisibleTo(box.get()));
    auto* ok = box->findChild<QPushButton*>("OKButton");
    QVERIFY(ok != nullptr);
    QCOMPARE(ok->text(), QString("OK"));
}

// Fixed members sit exactly where the form puts them; auto-sized labels at their corner.
void TestAbout::positions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<bool>("fixedSize");
    QTest::newRow("Panel1") << "Panel1" << QRect(0, 0, 204, 153) << true;
    QTest::newRow("ProgramIcon") << "ProgramIcon" << QRect(2, 2, 200, 55) << true;
    QTest::newRow("ProductName") << "ProductName" << QRect(46, 63, 0, 0) << false;
    QTest::newRow("rights") << "Copyright" << QRect(12, 101, 0, 0) << false;
    QTest::newRow("Label1") << "Label1" << QRect(30, 119, 143, 0) << false;
    QTest::newRow("Comments") << "Comments" << QRect(30, 138, 143, 0) << false;
    QTest::newRow("OKButton") << "OKButton" << QRect(63, 161, 75, 24) << true;
}

void TestAbout::positions() {
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    QFETCH(bool, fixedSize);
    const QWidget* widget = box->findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->pos(), expected.topLeft());
    if (fixedSize)
        QCOMPARE(widget->size(), expected.size());
    else if (expected.width() > 0)
        QCOMPARE(widget->width(), expected.width());
}

// The version line is centred on the 53-pixel box at 74: a wider text grows both ways.
void TestAbout::versionStaysCentred() {
    const QLabel* version = label("Label2");
    QVERIFY(version->alignment().testFlag(Qt::AlignHCenter));
    QCOMPARE(version->y(), 78);
    QVERIFY(version->width() >= 53);
    QVERIFY(qAbs(version->geometry().center().x() - (74 + 53 / 2)) <= 1);
}

void TestAbout::labelsShowTheirWholeText() {
    const QWidget* panel = box->findChild<QFrame*>("Panel1");
    int previousBottom = 0;
    for (const char* name :
         {"ProgramIcon", "ProductName", "Label2", "Copyright", "Label1", "Comments"}) {
        const QLabel* line = label(name);
        QVERIFY2(panel->rect().contains(line->geometry()), name);
        QVERIFY2(line->y() >= previousBottom, name); // top-to-bottom order, no overlap
        previousBottom = line->geometry().bottom();
        if (line->pixmap().isNull()) {
            const QSize needed = line->wordWrap()
                                     ? QSize(line->width(), line->heightForWidth(line->width()))
                                     : line->sizeHint();
            QVERIFY2(line->width() >= needed.width(), name);
            QVERIFY2(line->height() >= needed.height(), name);
        }
    }
}

void TestAbout::logoIsShown() {
    const QLabel* icon = label("ProgramIcon");
    QVERIFY(!icon->pixmap().isNull());
    QVERIFY(icon->hasScaledContents());
    QCOMPARE(icon->pixmap().size(), QSize(200, 55));
}

void TestAbout::enterPressesOk_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestAbout::enterPressesOk() {
    QFETCH(int, key);
    box->open();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QTest::keyClick(box.get(), Qt::Key(key));
    QVERIFY(!box->isVisible());
    QCOMPARE(box->result(), int(QDialog::Accepted));
}

void TestAbout::escapeDoesNotClose() {
    box->open();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QTest::keyClick(box.get(), Qt::Key_Escape);
    QVERIFY(box->isVisible());
    QTest::keyClick(box->findChild<QPushButton*>("OKButton"), Qt::Key_Escape);
    QVERIFY(box->isVisible());
}

void TestAbout::okHidesWithoutDestroying() {
    QVERIFY(!box->testAttribute(Qt::WA_DeleteOnClose));
    QPointer<TAboutBox> watched(box.get());
    box->open();
    QTest::mouseClick(box->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!watched.isNull());
    QVERIFY(watched->isHidden());
}

// The program shows the box with exec(); Escape inside that loop must not end it.
void TestAbout::modalDisplayEndsWithOk() {
    bool stillOpenAfterEscape = false;
    QTimer::singleShot(0, box.get(), [&] {
        QTest::keyClick(box.get(), Qt::Key_Escape);
        stillOpenAfterEscape = box->isVisible();
        QTest::mouseClick(box->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    });
    QCOMPARE(box->exec(), int(QDialog::Accepted));
    QVERIFY(stillOpenAfterEscape);
}

void TestAbout::shownTwiceIdentical() {
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    const QImage first = box->grab().toImage();
    box->accept();
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    const QImage second = box->grab().toImage();
    QCOMPARE(second, first);
    QCOMPARE(box->size(), QSize(204, 185));
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
