#pragma once

// The main window: editor pages, serial-port bar, menus, and every handler of the station
// data, the device protocol and the port choice. Implementation split by concern:
//   principal.cpp         construction, connections, start-up, shell commands
//   editor_sync.cpp       display routines, change and selector handlers
//   station_commands.cpp  "Abrir", "Guardar", "Inicializar Programación", port choice
//   editor_handlers.cpp   change handlers: the operator's edits into the device map
//   transactions.cpp      Enviar/Leer handlers, the button lock
//   answer_handling.cpp   Comm1RxChar, the timers, how each exchange ended
//   whole_device.cpp      "Leer Equipo", "Programar Equipo Completo", "Borrar Memoria Equipo"
//   port_open.cpp         "Puertos serie...", failed-open explanations, reconnecting
//   connections.cpp       every signal tied to its handler
// The exchange itself (frames, answers, chunks, time-outs) is the engine of src/protocol.
// Tool windows (ports, line monitor, receiver view, comparison) live in tools/, the About
// and online windows in help/.

#include "core/station_image.h"
#include "port_reconnect.h"
#include "protocol/exchange.h"

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

class TComPort;
class TComSignal;
class PortReconnect;
class VclTimer;
class Dialogs;
class TAboutBox;
class TForm3;
class QAction;
class LineMonitor;
class ReceiverPreview;
class StationComparison;
class QCheckBox;
class QComboBox;
class QPushButton;
namespace Ui {
class TForm1;
}
namespace quillmark {
class CommandFrame;
}

class TForm1 : public QMainWindow, private quillmark::protocol::ExchangeHost {
    Q_OBJECT
public:
    // The dialogs object must outlive the window. aboutBox/form3 may be null (tests).
    // The creator runs FormCreate() once, before showing the window.
    explicit TForm1(Dialogs& dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    void setSecondaryWindows(TAboutBox* aboutBox, TForm3* form3);

    // Read-only views for tests and benchmarks.
    [[nodiscard]] const quillmark::StationImage& stationImage() const { return StationImage; }
    [[nodiscard]] std::uint8_t sendState() const { return exchange.SendState(); }
    [[nodiscard]] std::uint8_t readState() const { return exchange.ReadState(); }
    [[nodiscard]] std::uint8_t chunkIndex() const { return exchange.ChunkIndex(); }
    [[nodiscard]] TComPort& port() { return *Comm1; }
    [[nodiscard]] VclTimer& timer1() { return *Timer1; }
    [[nodiscard]] VclTimer& timer2() { return *Timer2; }
    [[nodiscard]] VclTimer& timer3() { return *Timer3; }
    [[nodiscard]] VclTimer& replyTimer() { return *ReplyTimer; }
    [[nodiscard]] QColor statusColour() const;
    [[nodiscard]] const QString& configFilePath() const { return ConfigFilePath; }
    [[nodiscard]] PortReconnect& portReconnect() { return *Reconnect; }

    // Colours of the indicator panels.
    static const QColor clGreen;
    static const QColor clLime;
    static const QColor clRed;

    // --- Start-up and shell (principal.cpp) ---
    void FormCreate();
    void Button7Click();
    void Salir1Click();
    void Acercade1Click();
    void InformacinenLnea1Click();
    void MonitordeLnea1Click();
    void VistadeReceptor1Click();
    void CompararconelEquipo1Click();
    // The device map with the PS and RadioText being typed laid over it, as the next page
    // change stores them; the frame of the page shown (-1 on the RT page, which has none).
    [[nodiscard]] std::array<quillmark::Byte, quillmark::kDeviceMapSize> stationAsEdited() const;
    [[nodiscard]] int editedFrame() const;

    // --- Editor synchronisation (editor_sync.cpp) ---
    void ActualitzaPI();
    void ActualitzaPS();
    void ActualitzaPTY();
    void ActualitzaAF();
    void ActualitzaRT();
    void ActualitzaConf();
    void Actualitzatot();
    void refrescaf();
    void CountryChange();
    void Mat1Change();
    void PTYBoxChange();
    void AF1Change();
    void NumPantChange();
    void NumAFChange();
    void Button1Click();
    void Button2Click();
    void FramePIChange();
    void FramePTYChange();
    void AFSelectFrameChange();
    void FrameConfChange();
    void PSBoxChange();
    void PSBoxDropDown();
    void PlanesChange(int newPage);
    void PSClick();

    // --- Station data commands and port choice (station_commands.cpp) ---
    void iniciaarxiu();
    void InicializarProgramacin1Click();
    void Abrir1Click();
    void Guardar1Click();
    void PortserieChange();

    // --- Ports (port_open.cpp) ---
    void PuertosSerie1Click();
    // The COMn entries with these numbers changed: reopens the port if its own did.
    void portEntriesChanged(const std::vector<int>& changed);

    // --- Device protocol (transactions.cpp, whole_device.cpp) ---
    void SendPIClick();
    void SendPtyClick();
    void SendPSClick();
    void SendAFClick();
    void SendRTClick();
    void SendConfClick();
    void ReadPIClick();
    void ReadPTYClick();
    void ReadPSClick();
    void ReadAFClick();
    void ReadEditClick();
    void ReadConfClick();
    void enviart(const quillmark::CommandFrame& chunk);
    void Enviatotal(const quillmark::CommandFrame& chunk);
    void Comm1RxChar();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void ReplyTimerTimer();
    void Comm1HungUp();
    void desactiva();
    void activa();
    void LeerEquipo1Click();
    void Leerequipo2(const quillmark::CommandFrame& secondHalf);
    void Grabartodoelequipo1Click();
    void BorrarMemoriaEquipo1Click();

    // Runs a handler; an escaping failure is shown in the standard error box.
    template <typename F> void guarded(F&& handler);

signals:
    // After every handler, and as the operator types: the station data may have changed.
    void stationEdited();

private:
    void setStatusColour(const QColor& colour);
    void describeStatus();
    [[nodiscard]] int frameOf(const QComboBox* selector) const;
    void connectControls();
    void reportFailure();

    // Construction and start-up helpers (principal.cpp).
    void fitTextsToLayout();
    void fillGeneratedLists();
    void createSerialLine();
    void createIndicators();
    void createTimers();
    void loadPortSetting();
    void createPortReconnect();
    // Comm1.Active := True; a failure carries what the user can do about it. At start-up the
    // adapter is looked up once the window has been drawn.
    void openPort(PortReconnect::Lookup lookup = PortReconnect::Lookup::now);
    void showPictures();
    template <typename Sender, typename Signal>
    void tie(Sender* sender, Signal signal, void (TForm1::*handler)());
    void tieCheckBox(QCheckBox* box, void (TForm1::*handler)());
    void tieMenu(QAction* item, void (TForm1::*handler)());
    void tieMenus();
    void tieButtons();
    void tieEditors();
    void tiePreview();

    // Editor helpers (editor_sync.cpp).
    [[nodiscard]] std::array<QComboBox*, 15> afLists() const;
    void showPi(std::span<const quillmark::Byte, 2> bytes);
    void showPtyLists(std::span<const quillmark::Byte, 2> bytes);
    void showTp(std::span<const quillmark::Byte, 2> bytes);
    void storePsScreen(int frame, int screen);

    std::unique_ptr<Ui::TForm1> ui;
    Dialogs& dialogs;
    TAboutBox* AboutBox = nullptr;
    TForm3* Form3 = nullptr;
    LineMonitor* Monitor = nullptr;          // made at its first opening; child of the window
    ReceiverPreview* Preview = nullptr;      // likewise
    StationComparison* Comparison = nullptr; // likewise
    // What the whole read under way is for: the map, or a comparison that leaves it alone.
    bool wholeReadCompares = false;

    TComPort* Comm1 = nullptr;          // owned by the window (QObject parent)
    TComSignal* ComSignal1 = nullptr;   // Tx
    TComSignal* ComSignal2 = nullptr;   // Rx
    VclTimer* Timer1 = nullptr;         // answer time-out, 5000 ms
    VclTimer* Timer2 = nullptr;         // status-colour hold, 5000 ms
    VclTimer* Timer3 = nullptr;         // block-read watchdog, 2000 ms
    VclTimer* ReplyTimer = nullptr;     // each further byte of a reply, 1000 ms
    PortReconnect* Reconnect = nullptr; // reopens Comm1 when its device comes back

    quillmark::StationImage StationImage;
    // SendState, ReadState and ChunkIndex live in the engine.
    quillmark::protocol::Exchange exchange{*this};
    QString ConfigFilePath;
    QString Memo1; // buffer of the port setting file
    // The Portserie item shown before the operator's pick: picking it again changes nothing.
    int portShown = 0;

    // Display routines set controls from code; the handlers must not react to that.
    bool updatingControls = false;
    // Between desactiva and activa: a transaction waits for its answer.
    bool buttonsLocked = false;

    // The PS edit and the RadioText memo are stored into the map only once the operator has
    // changed them since they were shown: bytes they cannot show (0x00 and what follows) stay.
    struct TextField {
        bool edited = false;
        // Emptied by a read: its earlier text and state come back if the read fails.
        bool emptiedByRead = false;
        QString before;
        bool editedBefore = false;
    };
    TextField psField;
    TextField rtField;

    // Device protocol helpers (transactions.cpp, answer_handling.cpp, whole_device.cpp).
    void writeFrame(const quillmark::CommandFrame& frame);
    [[nodiscard]] bool confirmWrite(const QString& question);
    void beginRead();
    void emptyFieldForRead(TextField& field);
    void restoreFieldsAfterFailedRead();
    void storeBlock(quillmark::Block block, std::span<const quillmark::Byte> bytes);
    void setSendReadButtonsEnabled(bool enabled);
    void showReply(std::uint8_t readState, std::span<const quillmark::Byte> reply);
    void finishWholeRead(std::span<const quillmark::Byte> image);
    void showComparison(std::span<const quillmark::Byte> image);
    void storeEditedFields();
    void selectFirstPsScreen();
    [[nodiscard]] VclTimer& timerFor(quillmark::protocol::Watch watch) const;

    // The engine's requests (answer_handling.cpp).
    void send(const quillmark::CommandFrame& frame) override;
    void startWatch(quillmark::protocol::Watch watch) override;
    void stopWatch(quillmark::protocol::Watch watch) override;
    void answered(quillmark::Byte answer, bool failedSoFar) override;
    void finished(const quillmark::protocol::Outcome& outcome) override;
};

template <typename F> void TForm1::guarded(F&& handler) {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        reportFailure();
    }
    emit stationEdited();
}
