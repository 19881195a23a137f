#pragma once

#include "dialogs.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

// Answers every box from a queue prepared by the test and records what was shown.
// A box that asks for an answer nobody queued fails the running test (and answers No /
// cancels), so a forgotten answer never hangs.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Question, Error, Plain, StandardError, OpenFile, SaveFile };
    struct Shown {
        Kind kind;
        QString text; // empty for the file dialogs
    };

    void queueAnswer(Answer answer) { answers_.push_back(answer); }
    // nullopt: the operator cancels the dialog.
    void queueOpenFile(const std::optional<QString>& path) {
        openFiles_.push_back(path.value_or(QString()));
    }
    void queueSaveFile(const std::optional<QString>& path) {
        saveFiles_.push_back(path.value_or(QString()));
    }
    // Runs while a box is "open", e.g. to let timers or serial events run meanwhile.
    void setWhileShown(std::function<void(const Shown&)> hook) { whileShown_ = std::move(hook); }

    [[nodiscard]] const std::vector<Shown>& shown() const { return shown_; }
    [[nodiscard]] QStringList texts(Kind kind) const;
    [[nodiscard]] int count(Kind kind) const;
    [[nodiscard]] bool allAnswersUsed() const;
    void clearShown() { shown_.clear(); }

    Answer question(QWidget* parent, const QString& text) override;
    void errorMessage(QWidget* parent, const QString& text) override;
    void plainMessage(QWidget* parent, const QString& text) override;
    void standardError(QWidget* parent, const QString& text) override;
    std::optional<QString> openStationFile(QWidget* parent) override;
    std::optional<QString> saveStationFile(QWidget* parent) override;

private:
    void record(Kind kind, const QString& text);
    std::optional<QString> takeFile(std::deque<QString>& queue, Kind kind);

    std::deque<Answer> answers_;
    std::deque<QString> openFiles_; // a null string stands for a cancelled dialog
    std::deque<QString> saveFiles_;
    std::vector<Shown> shown_;
    std::function<void(const Shown&)> whileShown_;
};
