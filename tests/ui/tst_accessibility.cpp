// The main window as an assistive technology sees it: through the accessibility interfaces
// only, controls found by their captions, indicator states read as words.

#include "window_fixture.h"

#include "serial/comport.h"
#include "vcl_timer.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPushButton>
#include <QTest>

#include <chrono>

using namespace std::chrono_literals;

namespace {

QAccessibleInterface* findByName(QAccessibleInterface* root, QAccessible::Role role,
                                 const QString& name) {
    if (root == nullptr)
        return nullptr;
    if (root->role() == role && root->text(QAccessible::Name) == name)
        return root;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* found = findByName(root->child(i), role, name))
            return found;
    return nullptr;
}

// The control a caption labels, through the caption's labelled relation.
QAccessibleInterface* labelledBy(TForm1& form, const QString& caption) {
    QAccessibleInterface* label =
        findByName(QAccessible::queryAccessibleInterface(&form), QAccessible::StaticText, caption);
    if (label == nullptr)
        return nullptr;
    const auto targets = label->relations(QAccessible::Labelled);
    return targets.size() == 1 ? targets.first().first : nullptr;
}

QString stateOf(TForm1& form, const QString& caption) {
    QAccessibleInterface* indicator = labelledBy(form, caption);
    return indicator ? indicator->text(QAccessible::Description) : QStringLiteral("(not found)");
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void everyControlFoundByItsCaption_data();
    void everyControlFoundByItsCaption();
    void statusInWords_data();
    void statusInWords();
    void lineIndicatorsInWords();
    void pressingAMenuCommandReturnsAtOnce();
};

void TestAccessibility::everyControlFoundByItsCaption_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Country") << QString::fromUtf8("País") << "Country"
                             << "E - Spain, Canarias, Roumania, Sweden";
    QTest::newRow("Coverage") << "Cobertura"
                              << "Coverage"
                              << "0 - Local";
    QTest::newRow("Mat1") << QString::fromUtf8("Número Identificación") << "Mat1"
                          << "00";
    QTest::newRow("PS") << "PS - Programm Service"
                        << "PS" << QString(8, ' ');
    QTest::newRow("PSBox") << QString::fromUtf8("Número de PS") << "PSBox"
                           << "1";
    QTest::newRow("PTYBox") << "PTY - Tipo de Programa"
                            << "PTYBox"
                            << "0 - None";
    QTest::newRow("MS") << "MS - Programas Hablados/Musicales"
                        << "MS"
                        << "0 - Speech";
    QTest::newRow("NumAF") << "Numero AF"
                           << "NumAF"
                           << "None";
    for (int k = 1; k <= 15; ++k)
        QTest::addRow("AF%d", k) << QString("AF%1").arg(k) << QString("AF%1").arg(k) << "None";
    QTest::newRow("RTEdit") << "RT - RadioText"
                            << "RTEdit" << QString(64, ' ');
    QTest::newRow("NumPant") << "Secuencia de Pantallas "
                             << "NumPant"
                             << "1";
    QTest::newRow("Timing") << QString::fromUtf8("Temporización Secuencia") << "Timing"
                            << "4 seg.";
    QTest::newRow("Portserie") << "Puerto Serie"
                               << "Portserie"
                               << "COM1";
}

void TestAccessibility::everyControlFoundByItsCaption() {
    QFETCH(QString, caption);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    Window w;
    QAccessibleInterface* found = labelledBy(w.form(), caption);
    QVERIFY2(found != nullptr, qPrintable(caption));
    QCOMPARE(found->object()->objectName(), control);
    // The relation runs both ways, and the control reads its value.
    const auto labels = found->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->text(QAccessible::Name), caption);
    const QString value = found->valueInterface()
                              ? found->valueInterface()->currentValue().toString()
                              : found->text(QAccessible::Value);
    QCOMPARE(value, shown);
}

void TestAccessibility::statusInWords_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("state");
    QTest::newRow("correct") << QByteArray("\xAA", 1) << "Correcto";
    QTest::newRow("failed") << QByteArray("\x00", 1) << "Fallo";
}

void TestAccessibility::statusInWords() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, state);
    Window w;
    QCOMPARE(stateOf(w.form(), "Status"), QString("En reposo"));
    w.form().timer2().setInterval(400ms); // the hold of the answer's colour
    w.dialogs().queueAnswer(Dialogs::Answer::Yes);
    w.control<QPushButton>("EnviaPI")->click();
    QCOMPARE(stateOf(w.form(), "Status"), QString("Esperando respuesta"));
    (void)w.pty().readAvailable(200ms);
    w.pty().write(answer);
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(w.form(), "Status"), state, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(w.form(), "Status"), QString("En reposo"), 3000);
}

void TestAccessibility::lineIndicatorsInWords() {
    Window w;
    QCOMPARE(stateOf(w.form(), "Tx"), QString("En reposo"));
    QCOMPARE(stateOf(w.form(), "Rx"), QString("En reposo"));
    w.pty().write(QByteArray("\x55", 1));
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(w.form(), "Rx"), QString("Recibiendo"), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(w.form(), "Rx"), QString("En reposo"), 2000);
    w.form().port().WriteByte(0x55);
    QCOMPARE(stateOf(w.form(), "Tx"), QString("Transmitiendo"));
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(w.form(), "Tx"), QString("En reposo"), 2000);
}

// A client's "press" returns before the command's question is asked.
void TestAccessibility::pressingAMenuCommandReturnsAtOnce() {
    Window w;
    QAccessibleInterface* item = findByName(QAccessible::queryAccessibleInterface(&w.form()),
                                            QAccessible::MenuItem, "Programar Equipo Completo");
    QVERIFY(item != nullptr && item->actionInterface() != nullptr);
    w.dialogs().queueAnswer(Dialogs::Answer::No);
    item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
    QTRY_COMPARE(w.dialogs().count(ScriptedDialogs::Kind::Question), 1);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
