#pragma once

#include <QDialog>

class HelperView;
class OnlineWindowForm;

// The whole online window, where the program cannot hold the page inside its own: the
// program's form around the page. The program drives it: its buttons are reported, not acted
// on here; closing it from the title bar hides it and the helper stays.
class HelperWindow final : public QDialog {
public:
    HelperWindow();

    [[nodiscard]] HelperView& view() { return *page; }
    void present();
    void setAddress(const QString& address);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OnlineWindowForm* form; // owned by this window
    HelperView* page;       // owned by its Qt parent
    bool shownReported = false;
};
