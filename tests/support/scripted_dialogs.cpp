#include "scripted_dialogs.h"

#include <QTest>

#include <algorithm>

QStringList ScriptedDialogs::texts(Kind kind) const {
    QStringList out;
    for (const auto& s : shown_)
        if (s.kind == kind)
            out << s.text;
    return out;
}

int ScriptedDialogs::count(Kind kind) const {
    return static_cast<int>(std::count_if(shown_.begin(), shown_.end(),
                                          [kind](const Shown& s) { return s.kind == kind; }));
}

bool ScriptedDialogs::allAnswersUsed() const {
    return answers_.empty() && openFiles_.empty() && saveFiles_.empty();
}

void ScriptedDialogs::record(Kind kind, const QString& text) {
    shown_.push_back({kind, text});
    if (whileShown_)
        whileShown_(shown_.back());
}

Dialogs::Answer ScriptedDialogs::question(QWidget*, const QString& text) {
    record(Kind::Question, text);
    if (answers_.empty()) {
        QTest::qFail(qPrintable("unexpected question: " + text), __FILE__, __LINE__);
        return Answer::No;
    }
    const Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

void ScriptedDialogs::errorMessage(QWidget*, const QString& text) {
    record(Kind::Error, text);
}
void ScriptedDialogs::plainMessage(QWidget*, const QString& text) {
    record(Kind::Plain, text);
}
void ScriptedDialogs::standardError(QWidget*, const QString& text) {
    record(Kind::StandardError, text);
}

std::optional<QString> ScriptedDialogs::takeFile(std::deque<QString>& queue, Kind kind) {
    record(kind, {});
    if (queue.empty()) {
        QTest::qFail("unexpected file dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    const QString path = queue.front();
    queue.pop_front();
    if (path.isNull())
        return std::nullopt;
    return path;
}

std::optional<QString> ScriptedDialogs::openStationFile(QWidget*) {
    return takeFile(openFiles_, Kind::OpenFile);
}

std::optional<QString> ScriptedDialogs::saveStationFile(QWidget*) {
    return takeFile(saveFiles_, Kind::SaveFile);
}
