#pragma once

#include "principal.h"
#include "scripted_dialogs.h"
#include "temp_config.h"

#include "pty_encoder.h"
#include "ser2net_server.h"

#include <QAction>
#include <QPushButton>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
using Memory = std::array<std::uint8_t, 256>;

struct SessionOptions {
    using Bridge = quillmark::testing::Ser2NetServer::Mode;
    bool paced = false;
    // Through ser2net on loopback, COM1 an endpoint entry. Unset: the environment's
    // QUILLMARK_TEST_BRIDGE (tcp or rfc2217) decides, else COM1 links to the pty.
    std::optional<Bridge> bridge;
    std::optional<Memory> memory;
    std::chrono::milliseconds timer1{400};
    std::chrono::milliseconds timer2{300};
    std::chrono::milliseconds timer3{2000};

    SessionOptions& withMemory(const Memory& m) {
        memory = m;
        return *this;
    }
    SessionOptions& through(Bridge b) {
        bridge = b;
        return *this;
    }
    SessionOptions& withPacing() {
        paced = true;
        return *this;
    }
    SessionOptions& withTimer1(std::chrono::milliseconds t) {
        timer1 = t;
        return *this;
    }
    SessionOptions& withTimer2(std::chrono::milliseconds t) {
        timer2 = t;
        return *this;
    }
    SessionOptions& withTimer3(std::chrono::milliseconds t) {
        timer3 = t;
        return *this;
    }
};

// The main window on a simulated encoder linked as COM1 in a private config folder.
class EncoderSession {
public:
    explicit EncoderSession(SessionOptions options = {});
    ~EncoderSession();
    EncoderSession(const EncoderSession&) = delete;
    EncoderSession& operator=(const EncoderSession&) = delete;

    [[nodiscard]] TForm1& form() { return *form_; }
    [[nodiscard]] quillmark::sim::PtyEncoder& encoder() { return *encoder_; }
    [[nodiscard]] ScriptedDialogs& dialogs() { return dialogs_; }
    // The ser2net in between, or null.
    [[nodiscard]] quillmark::testing::Ser2NetServer* bridge() { return bridge_.get(); }

    template <typename T> [[nodiscard]] T* control(const char* name) const;
    void click(const char* buttonName);
    // Sets a list's selection from code: no change handler runs.
    void select(const char* listName, int index);
    void trigger(const char* actionName);

    // The twelve Enviar/Leer buttons: all enabled, or all disabled.
    [[nodiscard]] bool buttonsUnlocked() const;
    [[nodiscard]] bool buttonsLocked() const;
    // No transaction outstanding and the buttons unlocked.
    [[nodiscard]] bool idle() const;
    [[nodiscard]] bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    [[nodiscard]] bool waitFor(const std::function<bool()>& condition,
                               std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Lets events run for a while (bytes in flight, timers).
    void settle(std::chrono::milliseconds time);

    [[nodiscard]] std::vector<Bytes> frames() const;
    [[nodiscard]] Memory deviceMap() const;
    [[nodiscard]] int shown(ScriptedDialogs::Kind kind) const { return dialogs_.count(kind); }

private:
    TempConfig config_;
    std::unique_ptr<quillmark::sim::PtyEncoder> encoder_;
    std::unique_ptr<quillmark::testing::Ser2NetServer> bridge_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<TForm1> form_;
};

template <typename T> T* EncoderSession::control(const char* name) const {
    auto* found = form_->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

// Bytes of a block as the encoder memory or the map holds them.
[[nodiscard]] Bytes slice(const Memory& m, int address, int length);
[[nodiscard]] Bytes bytesOf(std::initializer_list<int> values);
[[nodiscard]] std::uint8_t xorOf(const Bytes& bytes, std::size_t count);
[[nodiscard]] QString hex(const Bytes& bytes);

// Twelve Enviar/Leer buttons by object name.
extern const std::array<const char*, 12> kSendReadButtons;
