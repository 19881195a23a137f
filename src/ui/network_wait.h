#pragma once

// While a network port connects or waits for its server, the work runs on a thread of its
// own and the window keeps painting; after a moment a modal "Conectando con HOST:PORT..."
// offers "Cancelar". The port's callers see the same results and errors as without it.

#include "serial/serial_platform_net.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <string>

class QWidget;

// Runs `work` on a worker thread and returns once it ended; `cancel` is called when the
// operator cancels. User input waits during the first `showAfter`.
void waitShowingProgress(QWidget* parent, const std::string& address,
                         const std::function<void()>& work, const std::function<void()>& cancel,
                         std::chrono::milliseconds showAfter);

// Installs waitShowingProgress for every network port while it lives (a child of `window`).
class NetworkWaitScope : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kShowAfter{300};
    explicit NetworkWaitScope(QWidget* window);

private:
    quillmark::serial::ScopedNetworkWaiter scope_;
};
