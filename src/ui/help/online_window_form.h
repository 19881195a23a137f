#pragma once

#include <QObject>

#include <memory>

class QDialog;

namespace Ui {
class TForm3;
}

// The online-information window's form: the program shows it, and so does the browser helper
// where the program cannot hold the helper's page inside its own window.
class OnlineWindowForm final : public QObject {
public:
    explicit OnlineWindowForm(QDialog& window);
    ~OnlineWindowForm() override;
    OnlineWindowForm(const OnlineWindowForm&) = delete;
    OnlineWindowForm& operator=(const OnlineWindowForm&) = delete;

    [[nodiscard]] Ui::TForm3& controls() { return *ui; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDialog& window;
    std::unique_ptr<Ui::TForm3> ui;
};
