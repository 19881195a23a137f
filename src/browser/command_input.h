#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

// Lines arriving on a file descriptor (the helper's stdin), and its end: the program that
// started the helper has closed the pipe or has died.
class CommandInput : public QObject {
    Q_OBJECT
public:
    explicit CommandInput(int fd, QObject* parent = nullptr);

signals:
    void lineReceived(const QByteArray& line);
    void closed();

private:
    void readAvailable();

    int fd;
    QSocketNotifier notifier;
    QByteArray pending;
};

// Ends the event loop on SIGTERM, so that the web engine shuts down in order.
void quitOnTermination();
