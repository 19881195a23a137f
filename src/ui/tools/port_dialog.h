#pragma once

// "Puertos serie...": what each of COM1..COM8 reaches now, its state, and a choice among
// the discovered devices, the default device or a network endpoint. Applying rewrites the
// COMn entries of the config folder.

#include "ports/diagnosis.h"
#include "ports/port_entries.h"
#include "ports/serial_devices.h"

#include <QDialog>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Dialogs;
class QComboBox;
class QLabel;
class QPushButton;
namespace Ui {
class PortDialog;
}

class PortDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPorts = 8;
    // Asks for the endpoint of COMn, starting from `current`; nullopt when cancelled.
    using EndpointPrompt = std::function<std::optional<QString>(int n, const QString& current)>;
    // Runs after Apply changed entries, with their port numbers.
    using AppliedHandler = std::function<void(const std::vector<int>& changed)>;

    // The enumerator and the dialogs must outlive the dialog.
    PortDialog(std::filesystem::path configDir, quillmark::ports::TtyEnumerator& devices,
               Dialogs& dialogs, QWidget* parent = nullptr);
    ~PortDialog() override;

    void setEndpointPrompt(EndpointPrompt prompt) { prompt_ = std::move(prompt); }
    void setAppliedHandler(AppliedHandler handler) { applied_ = std::move(handler); }
    // Where the holders of a device are looked up (tests hand in a tree of their own).
    void setProcRoot(std::filesystem::path root);

    // Reads the entries, the devices and their states again; the choices follow the entries.
    void refresh();
    // Writes every row whose choice differs from its entry. False when one could not be
    // written (the error box told why); the others are written all the same.
    bool apply();
    // "Red..." of COMn.
    void askEndpoint(int n);

    // Row controls of COMn (n = 1..8), for tests.
    [[nodiscard]] QComboBox* chooser(int n) const;
    [[nodiscard]] QLabel* deviceLabel(int n) const;
    [[nodiscard]] QLabel* stateLabel(int n) const;
    [[nodiscard]] QPushButton* networkButton(int n) const;

private:
    struct Row {
        QLabel* name = nullptr;
        QLabel* device = nullptr;
        QLabel* state = nullptr;
        QComboBox* choice = nullptr;
        QPushButton* network = nullptr;
        quillmark::ports::PortEntry entry;
    };

    void buildRows();
    void connectControls();
    void setButtonTexts();
    void fillChoice(Row& row, int n);
    void showChoiceInFull(QComboBox* box);
    void showState(Row& row, int n);
    // The path whose device a row's state describes.
    [[nodiscard]] static std::string probedPath(const Row& row);
    [[nodiscard]] bool differs(const Row& row) const;
    void write(int n, const Row& row);
    void setNetworkChoice(Row& row, const QString& url);
    [[nodiscard]] std::optional<QString> promptWithInputDialog(int n, const QString& current);
    [[nodiscard]] Row& row(int n) { return rows_.at(static_cast<std::size_t>(n - 1)); }
    [[nodiscard]] const Row& row(int n) const { return rows_.at(static_cast<std::size_t>(n - 1)); }

    std::unique_ptr<Ui::PortDialog> ui;
    std::filesystem::path configDir_;
    quillmark::ports::TtyEnumerator& enumerator_;
    Dialogs& dialogs_;
    std::filesystem::path procRoot_ = "/proc";
    std::vector<quillmark::ports::SerialDevice> devices_;
    bool devicesKnown_ = false;
    quillmark::ports::DiagnosisContext context_; // of the last refresh
    std::array<Row, kPorts> rows_;
    EndpointPrompt prompt_;
    AppliedHandler applied_;
};
