#include "encoder_session.h"

#include "vcl_timer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QTest>

using namespace std::chrono_literals;

const std::array<const char*, 12> kSendReadButtons{"EnviaPI",  "ReadPI",  "EnviaPS",   "ReadPS",
                                                   "EnviaPTY", "ReadPTY", "EnviaAF",   "ReadAF",
                                                   "EnviaRT1", "ReadRT",  "EnviaCONF", "ReadConf"};

EncoderSession::EncoderSession(SessionOptions options) {
    quillmark::sim::PtyEncoderOptions encoderOptions;
    encoderOptions.paced = options.paced;
    encoderOptions.memory = options.memory;
    encoder_ = std::make_unique<quillmark::sim::PtyEncoder>(encoderOptions);
    encoder_->start();
    const QByteArray fromEnvironment = qgetenv("QUILLMARK_TEST_BRIDGE");
    if (!options.bridge && !fromEnvironment.isEmpty())
        options.bridge = fromEnvironment == "tcp" ? SessionOptions::Bridge::RawTcp
                                                  : SessionOptions::Bridge::Rfc2217;
    if (options.bridge) {
        bridge_ = std::make_unique<quillmark::testing::Ser2NetServer>(encoder_->slavePath(),
                                                                      *options.bridge);
        bridge_->start();
        bridge_->writeEntry(config_.configDir().toStdString(), "COM1");
    } else {
        encoder_->linkAs(config_.configDir().toStdString(), "COM1");
    }
    form_ = std::make_unique<TForm1>(dialogs_);
    form_->FormCreate();
    form_->timer1().setInterval(options.timer1);
    form_->timer2().setInterval(options.timer2);
    form_->timer3().setInterval(options.timer3);
}

EncoderSession::~EncoderSession() {
    // The window (and its port) goes before the encoder behind it.
    form_.reset();
    bridge_.reset();
    encoder_.reset();
}

void EncoderSession::click(const char* buttonName) {
    control<QPushButton>(buttonName)->click();
}

void EncoderSession::select(const char* listName, int index) {
    control<QComboBox>(listName)->setCurrentIndex(index);
}

void EncoderSession::trigger(const char* actionName) {
    control<QAction>(actionName)->trigger();
    // A menu command runs from the event loop once the choice has returned.
    QCoreApplication::sendPostedEvents(form_.get(), QEvent::MetaCall);
}

bool EncoderSession::buttonsUnlocked() const {
    for (const char* name : kSendReadButtons)
        if (!control<QPushButton>(name)->isEnabled())
            return false;
    return true;
}

bool EncoderSession::buttonsLocked() const {
    for (const char* name : kSendReadButtons)
        if (control<QPushButton>(name)->isEnabled())
            return false;
    return true;
}

bool EncoderSession::idle() const {
    return form_->sendState() == 0 && form_->readState() == 0 && buttonsUnlocked();
}

bool EncoderSession::waitIdle(std::chrono::milliseconds timeout) {
    return waitFor([this] { return idle(); }, timeout);
}

bool EncoderSession::waitFor(const std::function<bool()>& condition,
                             std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

void EncoderSession::settle(std::chrono::milliseconds time) {
    QTest::qWait(static_cast<int>(time.count()));
}

std::vector<Bytes> EncoderSession::frames() const {
    std::vector<Bytes> out;
    for (const auto& event : encoder_->log())
        out.push_back(event.frame);
    return out;
}

Memory EncoderSession::deviceMap() const {
    Memory m{};
    const auto map = form_->stationImage().DeviceMap();
    std::copy(map.begin(), map.end(), m.begin());
    return m;
}

Bytes slice(const Memory& m, int address, int length) {
    return Bytes(m.begin() + address, m.begin() + address + length);
}

Bytes bytesOf(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

std::uint8_t xorOf(const Bytes& bytes, std::size_t count) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < count && i < bytes.size(); ++i)
        x ^= bytes[i];
    return x;
}

QString hex(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()))
        .toHex(' ')
        .toUpper();
}
