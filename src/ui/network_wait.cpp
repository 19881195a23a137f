#include "network_wait.h"

#include "plain_text.h"

#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <thread>

namespace {

// "Conectando con HOST:PORT..." with "Cancelar", modal, until the work has ended.
class ConnectingBox : public QDialog {
public:
    ConnectingBox(QWidget* parent, const QString& address, const std::function<void()>& cancel)
        : QDialog(parent) {
        setWindowTitle(QStringLiteral("Conectando"));
        setWindowModality(Qt::ApplicationModal);
        auto* text = new QLabel(QStringLiteral("Conectando con %1...").arg(address), this);
        showPlainText(text);
        auto* button = new QPushButton(QStringLiteral("Cancelar"), this);
        button->setObjectName(QStringLiteral("CancelConnect"));
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(button);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addLayout(buttons);
        connect(button, &QPushButton::clicked, this, [button, cancel] {
            button->setEnabled(false);
            cancel();
        });
    }

    // Escape and the window's close button cancel too; the box goes when the work ended.
    void reject() override {
        if (auto* button = findChild<QPushButton*>(); button != nullptr && button->isEnabled())
            button->click();
    }
};

} // namespace

void waitShowingProgress(QWidget* parent, const std::string& address,
                         const std::function<void()>& work, const std::function<void()>& cancel,
                         std::chrono::milliseconds showAfter) {
    QEventLoop loop;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        work();
        finished = true;
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, &loop, &QEventLoop::quit);
    later.start(showAfter);
    // No click may start something else meanwhile; it is handled once the work is over.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        ConnectingBox box(parent, QString::fromStdString(address), cancel);
        box.show();
        while (!finished)
            loop.exec();
    }
    worker.join();
}

NetworkWaitScope::NetworkWaitScope(QWidget* window)
    : QObject(window),
      scope_([window](const std::string& address, const std::function<void()>& work,
                      const std::function<void()>& cancel) {
          waitShowingProgress(window, address, work, cancel, kShowAfter);
      }) {}
