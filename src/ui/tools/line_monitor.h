#pragma once

// "Monitor de línea": a non-modal window with one row per frame or answer on the line.
// It taps the port only while shown; with the window closed the byte paths carry no observer.

#include "core/line_decoder.h"
#include "line_monitor_model.h"
#include "serial/comport_tap.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class TComPort;
namespace Ui {
class LineMonitor;
}

class LineMonitor : public QWidget {
    Q_OBJECT
public:
    explicit LineMonitor(TComPort& port, QWidget* parent = nullptr);
    ~LineMonitor() override;

    [[nodiscard]] LineMonitorModel& model() { return model_; }
    [[nodiscard]] bool capturing() const;
    [[nodiscard]] bool paused() const { return paused_; }

    // Asks where to save; nullopt when cancelled. Tests answer it without a dialog.
    using SaveFileChooser = std::function<std::optional<QString>(QWidget*)>;
    void setSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }

    void setPaused(bool paused);
    void clearRows();
    void copySelectedRows();
    // Asks where, then writes every row behind a header on a thread of its own; saveFinished
    // follows (a failure also shows a message).
    void saveClicked();
    void saveRows(const QString& path);
    [[nodiscard]] bool saving() const { return saving_; }
    // Decodes what the tap has collected; runs on its own once per batch.
    void takeBytes();
    // Ends replies and waits that time alone decides; runs on its own while one is open.
    void tick();

signals:
    // `error` is empty when the file was written.
    void saveFinished(const QString& path, const QString& error);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void connectControls();
    void setUpTable();
    void attach();
    void detach();
    void deliver();
    void updateStatus();
    void placeOverOwner();
    void saveDone(const QString& path, const QString& error);

    std::unique_ptr<Ui::LineMonitor> ui;
    QPointer<TComPort> port_;
    quillmark::serial::LineTap tap_;
    quillmark::LineDecoder decoder_;
    quillmark::serial::LineBatch batch_;
    std::vector<quillmark::LineItem> decoded_;
    std::deque<quillmark::LineItem> held_; // decoded while paused
    LineMonitorModel model_;
    QTimer ticker_; // ends replies and waits that time alone decides
    QTimer batcher_; // gathers what the tap announces into one update of the view
    std::uint64_t dropped_ = 0;
    bool paused_ = false;
    bool saving_ = false;
    bool placed_ = false;
    SaveFileChooser chooseSaveFile_;
};
