#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <stdexcept>

#include "control_adapters.h"

Window::Window(WindowOptions options) : config_(options.folder) {
    if (options.setting)
        config_.writeSetting(*options.setting);
    if (options.linkCom1)
        config_.linkPort(1, pty_.slavePath());
    form_ = std::make_unique<TForm1>(dialogs_);
    if (options.runFormCreate)
        form_->FormCreate();
}

Window::~Window() {
    form_.reset();
}

void Window::pick(const char* list, int index) {
    auto* box = control<QComboBox>(list);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void Window::dropDownAndPick(const char* list, int index) {
    auto* box = control<DropDownComboBox>(list);
    box->showPopup();
    box->hidePopup();
    pick(list, index);
}

void Window::trigger(const char* action) {
    control<QAction>(action)->trigger();
    // A menu command runs from the event loop once the choice has returned.
    QCoreApplication::sendPostedEvents(form_.get(), QEvent::MetaCall);
}

std::span<const std::uint8_t> Window::device(quillmark::Block block) const {
    return form_->stationImage().device(block);
}

std::array<std::uint8_t, 256> Window::deviceMap() const {
    std::array<std::uint8_t, 256> copy{};
    const auto map = form_->stationImage().DeviceMap();
    std::copy(map.begin(), map.end(), copy.begin());
    return copy;
}

QString Window::writeFile(const QString& name, const QByteArray& bytes) const {
    const QString path = config_.root() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return path;
}

void Window::loadMap(const std::array<std::uint8_t, 256>& map) {
    const QByteArray bytes(reinterpret_cast<const char*>(map.data()),
                           static_cast<qsizetype>(map.size()));
    dialogs_.queueOpenFile(writeFile(QStringLiteral("load.rds"), bytes));
    trigger("Abrir1");
}

std::array<std::uint8_t, 256> patternMap() {
    std::array<std::uint8_t, 256> map{};
    for (std::size_t a = 0; a < map.size(); ++a)
        map[a] = static_cast<std::uint8_t>(a * 7 + 3);
    return map;
}
