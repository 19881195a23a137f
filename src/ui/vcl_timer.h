#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

// A timer with the semantics the handlers rely on: enabling a running timer changes nothing,
// only stop-then-start restarts the period.
class VclTimer : public QObject {
    Q_OBJECT
public:
    explicit VclTimer(std::chrono::milliseconds interval, QObject* parent = nullptr);

    void setOnTimer(std::function<void()> handler);
    void setEnabled(bool enabled);
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }
    [[nodiscard]] bool isEnabled() const;
    void setInterval(std::chrono::milliseconds interval);
    [[nodiscard]] std::chrono::milliseconds interval() const;

private:
    QTimer timer_;
    std::function<void()> onTimer_;
};
