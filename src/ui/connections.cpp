#include "principal.h"

#include "control_adapters.h"
#include "port_reconnect.h"
#include "serial/comport.h"
#include "ui_principal.h"
#include "vcl_timer.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

// Every tie between a control, menu item, timer or serial event and its handler, in one
// place. Each handler runs through the guard.

template <typename Sender, typename Signal>
void TForm1::tie(Sender* sender, Signal signal, void (TForm1::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
}

// A menu command runs from the event loop once the call that chose it has returned: a
// command that asks a question would otherwise hold that caller (an accessibility client's
// "press" gets no reply while the box is open).
void TForm1::tieMenu(QAction* item, void (TForm1::*handler)()) {
    connect(
        item, &QAction::triggered, this,
        [this, handler] { guarded([this, handler] { (this->*handler)(); }); },
        Qt::QueuedConnection);
}

// A check box reports changes from code too; the display routines suppress those.
void TForm1::tieCheckBox(QCheckBox* box, void (TForm1::*handler)()) {
    connect(box, &QCheckBox::toggled, this, [this, handler] {
        if (!updatingControls)
            guarded([this, handler] { (this->*handler)(); });
    });
}

void TForm1::connectControls() {
    tieEditors();
    tieButtons();
    tieMenus();
    tie(ui->Portserie, &QComboBox::activated, &TForm1::PortserieChange);
    Timer1->setOnTimer([this] { guarded([this] { Timer1Timer(); }); });
    Timer2->setOnTimer([this] { guarded([this] { Timer2Timer(); }); });
    Timer3->setOnTimer([this] { guarded([this] { Timer3Timer(); }); });
    ReplyTimer->setOnTimer([this] { guarded([this] { ReplyTimerTimer(); }); });
    Comm1->SetOnRxChar(
        TNotifyEvent(this, 1, [this](QObject*) { guarded([this] { Comm1RxChar(); }); }));
    connect(Comm1, &TComPort::HungUp, this, [this] { guarded([this] { Comm1HungUp(); }); });
    connect(Comm1, &TComPort::HungUp, Reconnect, &PortReconnect::portHungUp);
}

void TForm1::tieEditors() {
    const auto picked = &QComboBox::activated;
    tie(ui->Country, picked, &TForm1::CountryChange);
    tie(ui->Coverage, picked, &TForm1::CountryChange);
    tie(ui->Mat1, picked, &TForm1::Mat1Change);
    tie(ui->FramePI, picked, &TForm1::FramePIChange);
    tie(ui->PS, &ClickLineEdit::clicked, &TForm1::PSClick);
    for (DropDownComboBox* list : {ui->PSBox, ui->FramePS}) {
        tie(list, picked, &TForm1::PSBoxChange);
        tie(list, &DropDownComboBox::dropDown, &TForm1::PSBoxDropDown);
    }
    tie(ui->PTYBox, picked, &TForm1::PTYBoxChange);
    tie(ui->MS, picked, &TForm1::PTYBoxChange);
    tieCheckBox(ui->TPBox, &TForm1::PTYBoxChange);
    tie(ui->FramePTY, picked, &TForm1::FramePTYChange);
    tie(ui->NumAF, picked, &TForm1::NumAFChange);
    for (QComboBox* list : afLists())
        tie(list, picked, &TForm1::AF1Change);
    tie(ui->AFSelectFrame, picked, &TForm1::AFSelectFrameChange);
    tie(ui->NumPant, picked, &TForm1::NumPantChange);
    tie(ui->Timing, picked, &TForm1::NumPantChange);
    tieCheckBox(ui->RTBox, &TForm1::NumPantChange);
    tie(ui->FrameConf, picked, &TForm1::FrameConfChange);
    // Only the operator's changes count: display routines set the fields quietly.
    connect(ui->PS, &QLineEdit::textChanged, this, [this] { psField.edited |= !updatingControls; });
    connect(ui->RTEdit, &QPlainTextEdit::textChanged, this,
            [this] { rtField.edited |= !updatingControls; });
    connect(ui->Planes, &Notebook::changing, this,
            [this](int page) { guarded([this, page] { PlanesChange(page); }); });
}

void TForm1::tieButtons() {
    const auto click = &QPushButton::clicked;
    tie(ui->EnviaPI, click, &TForm1::SendPIClick);
    tie(ui->ReadPI, click, &TForm1::ReadPIClick);
    tie(ui->EnviaPS, click, &TForm1::SendPSClick);
    tie(ui->ReadPS, click, &TForm1::ReadPSClick);
    tie(ui->Button1, click, &TForm1::Button1Click);
    tie(ui->EnviaPTY, click, &TForm1::SendPtyClick);
    tie(ui->ReadPTY, click, &TForm1::ReadPTYClick);
    tie(ui->EnviaAF, click, &TForm1::SendAFClick);
    tie(ui->ReadAF, click, &TForm1::ReadAFClick);
    tie(ui->EnviaRT1, click, &TForm1::SendRTClick);
    tie(ui->ReadRT, click, &TForm1::ReadEditClick);
    tie(ui->Button2, click, &TForm1::Button2Click);
    tie(ui->EnviaCONF, click, &TForm1::SendConfClick);
    tie(ui->ReadConf, click, &TForm1::ReadConfClick);
    tie(ui->Button7, click, &TForm1::Button7Click);
}

void TForm1::tieMenus() {
    tieMenu(ui->Abrir1, &TForm1::Abrir1Click);
    tieMenu(ui->Guardar1, &TForm1::Guardar1Click);
    tieMenu(ui->Salir1, &TForm1::Salir1Click);
    tieMenu(ui->LeerEquipo1, &TForm1::LeerEquipo1Click);
    tieMenu(ui->InicializarProgramacin1, &TForm1::InicializarProgramacin1Click);
    tieMenu(ui->BorrarMemoriaEquipo1, &TForm1::BorrarMemoriaEquipo1Click);
    tieMenu(ui->Grabartodoelequipo1, &TForm1::Grabartodoelequipo1Click);
    tieMenu(ui->MonitordeLnea1, &TForm1::MonitordeLnea1Click);
    tieMenu(ui->PuertosSerie1, &TForm1::PuertosSerie1Click);
    tieMenu(ui->InformacinenLnea1, &TForm1::InformacinenLnea1Click);
    tieMenu(ui->Acercade1, &TForm1::Acercade1Click);
}
