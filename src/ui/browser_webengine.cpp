#include "browser_webengine.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

#include <stdexcept>
#include <unistd.h>

namespace {

class WebEngineBrowser final : public Browser {
public:
    // The view belongs to its Qt parent; the pointer only notices when it is gone.
    explicit WebEngineBrowser(QWidget* parent) : view(new QWebEngineView(parent)) {}

    // The window passes the address as typed; the engine needs a URL with a scheme.
    void navigate(const QString& address) override {
        checkAlive();
        view->load(QUrl::fromUserInput(address));
    }

    void stop() override {
        checkAlive();
        view->stop();
    }

    [[nodiscard]] QWidget* widget() override { return view; }

private:
    void checkAlive() const {
        if (view.isNull())
            throw std::runtime_error("The browser control is no longer available");
    }

    QPointer<QWebEngineView> view;
};

} // namespace

void prepareWebEngine() {
    // Chromium refuses to run its sandbox as root; the program often runs as root on test
    // machines. An explicit setting by the user wins.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

std::unique_ptr<Browser> createWebEngineBrowser(QWidget* parent) {
    return std::make_unique<WebEngineBrowser>(parent);
}
