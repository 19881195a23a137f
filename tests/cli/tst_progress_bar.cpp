// The progress bar fits the terminal it is drawn on and is drawn only on one.

#include "progress_bar.h"

#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace quillmark::cli;

class TestProgressBar : public QObject {
    Q_OBJECT
private slots:
    void fitsTheTerminal_data();
    void fitsTheTerminal();
    void nothingWithoutATerminal();
};

void TestProgressBar::fitsTheTerminal_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("last"); // the line at 100 %
    QTest::newRow("wide") << 40 << "Programando [####################] 100%";
    QTest::newRow("narrow pane: no bar") << 20 << "Programando 100%";
    QTest::newRow("narrower than the label") << 8 << "Program";
}

// Drawn on a pseudo-terminal of that width: every line drawn stays short of the last column.
void TestProgressBar::fitsTheTerminal() {
    QFETCH(int, columns);
    QFETCH(QString, last);
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = 24;
    QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
    std::FILE* stream = ::fdopen(slave, "w");
    {
        ProgressBar bar(stream);
        bar.begin("Programando", 320);
        for (int i = 0; i < 320; ++i)
            bar.advance(1);
    }
    std::fclose(stream);
    QByteArray drawn;
    char chunk[4096];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = ::read(master, chunk, sizeof chunk)) > 0;)
        drawn.append(chunk, n);
    ::close(master);
    const QList<QByteArray> lines = drawn.replace("\033[K", "").split('\r');
    QVERIFY(lines.size() > 50);
    for (const QByteArray& line : lines)
        QVERIFY2(line.size() < columns, line.constData());
    QCOMPARE(QString(lines.at(lines.size() - 2)), last);
    QCOMPARE(lines.last(), QByteArray()); // cleared at the end
}

void TestProgressBar::nothingWithoutATerminal() {
    std::FILE* file = std::tmpfile();
    {
        ProgressBar bar(file);
        bar.begin("Leyendo", 10);
        bar.advance(10);
    }
    QCOMPARE(std::ftell(file), 0L);
    std::fclose(file);
}

QTEST_APPLESS_MAIN(TestProgressBar)
#include "tst_progress_bar.moc"
