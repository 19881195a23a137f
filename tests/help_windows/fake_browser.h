#pragma once

#include "navegador.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <stdexcept>
#include <vector>

// Records what the window asks of its browser; can refuse like a failing control.
struct BrowserLog {
    struct Call {
        QString operation; // "navigate", "stop", "show" or "hide"
        QString address;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
    int created = 0;
    QWidget* lastWidget = nullptr;
    QString refusal; // when set, every operation throws this text
    // Shows the whole window itself, with these texts; presses come back through the handler.
    bool ownWindow = false;
    QString title;
    QString address;
    Browser::WindowHandler handler;

    [[nodiscard]] std::vector<QString> navigations() const {
        std::vector<QString> addresses;
        for (const Call& call : calls)
            if (call.operation == "navigate")
                addresses.push_back(call.address);
        return addresses;
    }
    [[nodiscard]] long stops() const {
        long count = 0;
        for (const Call& call : calls)
            count += call.operation == "stop" ? 1 : 0;
        return count;
    }
};

class FakeBrowser final : public Browser {
public:
    FakeBrowser(BrowserLog& journal, QWidget* parent) : log(journal), view(new QWidget(parent)) {
        log.lastWidget = view;
    }
    void navigate(const QString& address) override { record("navigate", address); }
    void stop() override { record("stop", {}); }
    [[nodiscard]] QWidget* widget() override { return log.ownWindow ? nullptr : view; }
    void showWindow() override { record("show", {}); }
    void hideWindow() override { log.calls.push_back({"hide", {}}); }
    void setWindowTexts(const QString& title, const QString& address) override {
        log.title = title;
        log.address = address;
    }
    void setWindowHandler(WindowHandler handler) override { log.handler = std::move(handler); }

private:
    void record(const QString& operation, const QString& address) {
        if (!log.refusal.isEmpty())
            throw std::runtime_error(log.refusal.toStdString());
        log.calls.push_back({operation, address});
    }

    BrowserLog& log;
    QWidget* view; // owned by its Qt parent
};

[[nodiscard]] inline BrowserFactory fakeBrowserFactory(BrowserLog& log) {
    return [&log](QWidget* parent) -> std::unique_ptr<Browser> {
        ++log.created;
        return std::make_unique<FakeBrowser>(log, parent);
    };
}
