#pragma once

#include "find_control.h"
#include "principal.h"
#include "raw_pty.h"
#include "scripted_dialogs.h"
#include "temp_config.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

class QComboBox;

// The main window started in a private config folder, with COM1 linked to a pseudo-terminal
// unless told otherwise.
struct WindowOptions {
    TempConfig::Folder folder = TempConfig::Folder::Created;
    std::optional<QByteArray> setting; // content of configrds.txt before start-up
    bool linkCom1 = true;
    bool runFormCreate = true;
};

class Window {
public:
    explicit Window(WindowOptions options = {});
    ~Window();

    [[nodiscard]] TForm1& form() { return *form_; }
    [[nodiscard]] ScriptedDialogs& dialogs() { return dialogs_; }
    [[nodiscard]] TempConfig& config() { return config_; }
    [[nodiscard]] RawPty& pty() { return pty_; }

    template <typename T> [[nodiscard]] T* control(const char* name) {
        return findControl<T>(form_.get(), name);
    }
    // The operator picks item `index` of a list (its change handler runs).
    void pick(const char* list, int index);
    // The operator opens a list (its drop-down handler runs), then picks an item.
    void dropDownAndPick(const char* list, int index);
    void trigger(const char* action);
    [[nodiscard]] std::span<const std::uint8_t> device(quillmark::Block block) const;
    [[nodiscard]] std::array<std::uint8_t, 256> deviceMap() const;
    // Puts station data in through "Abrir", the way the operator does (refreshes every page).
    void loadMap(const std::array<std::uint8_t, 256>& map);
    [[nodiscard]] QString writeFile(const QString& name, const QByteArray& bytes) const;

private:
    TempConfig config_;
    RawPty pty_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<TForm1> form_;
};

// Station data with a distinct, recognisable value at every address.
[[nodiscard]] std::array<std::uint8_t, 256> patternMap();
