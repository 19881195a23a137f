#pragma once

#include <QString>

#include <optional>

class QWidget;

// Every message box and file dialog goes through here, so tests can answer them.
class Dialogs {
public:
    enum class Answer { Yes, No, Ok };
    virtual ~Dialogs() = default;

    // Information kind: caption "Information", Yes and No.
    virtual Answer question(QWidget* parent, const QString& text) = 0;
    // Error kind: caption "Error", stop icon, OK.
    virtual void errorMessage(QWidget* parent, const QString& text) = 0;
    // Plain kind: caption "Quillmark 2.4", no icon, OK.
    virtual void plainMessage(QWidget* parent, const QString& text) = 0;
    // The standard error box: caption "Quillmark 2.4", error icon, OK; text as given.
    virtual void standardError(QWidget* parent, const QString& text) = 0;

    // Station-file dialogs ("Archivo RDS (*.rds)", the default, and the JSON form); nullopt
    // when cancelled.
    virtual std::optional<QString> openStationFile(QWidget* parent) = 0;
    virtual std::optional<QString> saveStationFile(QWidget* parent) = 0;
};
