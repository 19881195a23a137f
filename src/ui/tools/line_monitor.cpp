#include "line_monitor.h"

#include "line_monitor_save.h"
#include "serial/comport.h"
#include "ui_line_monitor.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHideEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;
using quillmark::LineClock;

namespace {

std::optional<QString> askSaveFile(QWidget* parent) {
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Guardar monitor de línea"),
                                                QString(), QStringLiteral("Texto (*.txt)"));
    if (path.isEmpty())
        return std::nullopt;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    return path;
}

} // namespace

LineMonitor::LineMonitor(TComPort& port, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::LineMonitor>()), port_(&port),
      chooseSaveFile_(askSaveFile) {
    ui->setupUi(this);
    ui->rows->setModel(&model_);
    setUpTable();
    ticker_.setInterval(250ms);
    // A view update per announcement would cost the UI thread more than the decoding does.
    batcher_.setSingleShot(true);
    batcher_.setInterval(40ms);
    connectControls();
    updateStatus();
}

LineMonitor::~LineMonitor() {
    if (port_ && port_->lineObserver() == &tap_)
        port_->SetLineObserver(nullptr);
}

void LineMonitor::setUpTable() {
    QTableView* view = ui->rows;
    // Fixed row heights: a full ring scrolls and trims without measuring any row.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    const std::array<int, LineMonitorModel::ColumnCount - 1> widths{80, 75, 220, 240, 125};
    for (int c = 0; c < int(widths.size()); ++c)
        view->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    auto* copy = new QAction(QStringLiteral("Copiar"), view);
    copy->setObjectName(QStringLiteral("copyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    view->addAction(copy);
    connect(copy, &QAction::triggered, this, &LineMonitor::copySelectedRows);
}

void LineMonitor::connectControls() {
    connect(&tap_, &quillmark::serial::LineTap::bytesReady, this, [this] {
        if (!batcher_.isActive())
            batcher_.start();
    });
    connect(&batcher_, &QTimer::timeout, this, &LineMonitor::takeBytes);
    connect(&ticker_, &QTimer::timeout, this, &LineMonitor::tick);
    connect(ui->pauseButton, &QPushButton::toggled, this, &LineMonitor::setPaused);
    connect(ui->clearButton, &QPushButton::clicked, this, &LineMonitor::clearRows);
    connect(ui->copyButton, &QPushButton::clicked, this, &LineMonitor::copySelectedRows);
    connect(ui->saveButton, &QPushButton::clicked, this, &LineMonitor::saveClicked);
}

bool LineMonitor::capturing() const {
    return port_ && port_->lineObserver() == &tap_;
}

void LineMonitor::showEvent(QShowEvent* event) {
    if (!placed_ && !event->spontaneous()) {
        placed_ = true;
        placeOverOwner();
    }
    QWidget::showEvent(event);
    attach();
}

// Centred over the main window, and never larger than the screen it opens on.
void LineMonitor::placeOverOwner() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame is not known before the first show: leave room for a typical one.
    const QSize frame(16, 40);
    resize(size().boundedTo(available.size() - frame));
    QRect placed(QPoint(), size() + frame);
    placed.moveCenter(owner ? owner->frameGeometry().center() : available.center());
    placed.moveLeft(std::clamp(placed.left(), available.left(),
                               std::max(available.left(), available.right() - placed.width())));
    placed.moveTop(std::clamp(placed.top(), available.top(),
                              std::max(available.top(), available.bottom() - placed.height())));
    move(placed.topLeft());
}

void LineMonitor::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Minimising keeps the capture; closing the window ends it.
    if (!event->spontaneous())
        detach();
}

void LineMonitor::attach() {
    if (!port_ || capturing())
        return;
    decoder_ = quillmark::LineDecoder{};
    port_->SetLineObserver(&tap_);
    updateStatus();
}

void LineMonitor::detach() {
    if (!capturing())
        return;
    port_->SetLineObserver(nullptr);
    takeBytes();
    decoder_.finish(decoded_);
    ticker_.stop();
    deliver();
    updateStatus();
}

void LineMonitor::takeBytes() {
    tap_.take(batch_);
    dropped_ += batch_.dropped;
    std::size_t offset = 0;
    for (const auto& chunk : batch_.chunks) {
        decoder_.feed(chunk.direction, chunk.when,
                      std::span(batch_.bytes).subspan(offset, chunk.length), decoded_);
        offset += chunk.length;
    }
    deliver();
    if (decoder_.pending() && capturing())
        ticker_.start();
}

void LineMonitor::tick() {
    // Bytes the tap holds moved before now: the clock must not pass them unread.
    const auto now = LineClock::now();
    takeBytes();
    decoder_.advanceTo(now, decoded_);
    deliver();
    if (!decoder_.pending())
        ticker_.stop();
}

void LineMonitor::deliver() {
    if (decoded_.empty())
        return;
    if (paused_) {
        std::move(decoded_.begin(), decoded_.end(), std::back_inserter(held_));
        decoded_.clear();
        while (held_.size() > static_cast<std::size_t>(model_.capacity()))
            held_.pop_front();
    } else {
        QScrollBar* bar = ui->rows->verticalScrollBar();
        const bool following = bar->value() == bar->maximum();
        model_.append(decoded_);
        if (following)
            ui->rows->scrollToBottom();
    }
    updateStatus();
}

void LineMonitor::setPaused(bool paused) {
    if (paused == paused_)
        return;
    paused_ = paused;
    if (ui->pauseButton->isChecked() != paused)
        ui->pauseButton->setChecked(paused);
    if (!paused) {
        decoded_.assign(std::make_move_iterator(held_.begin()),
                        std::make_move_iterator(held_.end()));
        held_.clear();
        deliver();
    }
    updateStatus();
}

void LineMonitor::clearRows() {
    held_.clear();
    model_.clear();
    dropped_ = 0;
    updateStatus();
}

void LineMonitor::copySelectedRows() {
    QModelIndexList selected = ui->rows->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& index : selected)
        text += model_.lineText(index.row()) + QLatin1Char('\n');
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void LineMonitor::saveRows(const QString& path) {
    if (saving_)
        return;
    LineLog log;
    log.portName = port_ ? QString::fromStdString(port_->DeviceName()) : QString();
    log.items = model_.rows();
    log.origin = model_.origin().value_or(LineClock::now());
    log.firstRowAt = clockTimeOf(log.origin);
    log.savedAt = QDateTime::currentDateTime();
    saving_ = true;
    ui->saveButton->setEnabled(false);
    // Formatting 100,000 rows takes long enough to freeze the window.
    QPointer<LineMonitor> self(this);
    std::thread([self, path, log = std::move(log)] {
        QString error;
        if (!writeLineLog(path, log, error) && error.isEmpty())
            error = QStringLiteral("?");
        QMetaObject::invokeMethod(qApp, [self, path, error] {
            if (self)
                self->saveDone(path, error);
        });
    }).detach();
}

void LineMonitor::saveDone(const QString& path, const QString& error) {
    saving_ = false;
    ui->saveButton->setEnabled(true);
    if (!error.isEmpty())
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("No se ha podido guardar %1:\n%2").arg(path, error));
    emit saveFinished(path, error);
}

void LineMonitor::saveClicked() {
    const std::optional<QString> path = chooseSaveFile_(this);
    if (path)
        saveRows(*path);
}

void LineMonitor::updateStatus() {
    QString text;
    if (!capturing())
        text = QStringLiteral("Sin captura");
    else if (paused_)
        text = QStringLiteral("En pausa: %1 filas nuevas esperan").arg(held_.size());
    else
        text = QStringLiteral("Capturando");
    text += QStringLiteral(" · %1 filas").arg(model_.rowCount());
    if (dropped_ > 0)
        text += QStringLiteral(" · %1 bytes no registrados").arg(dropped_);
    ui->statusLabel->setText(text);
}
