#include "port_dialog.h"

#include "control_adapters.h"
#include "dialogs.h"
#include "plain_text.h"
#include "ports/diagnosis.h"
#include "ui_port_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>

using quillmark::ports::PortEntry;

namespace {

constexpr int kValueRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kChoiceWidth = 32;  // characters; the list shows whole names when open
constexpr int kDeviceWidth = 230; // pixels; long names are shortened in the middle
constexpr int kStateWidth = 200;  // pixels; the tooltip has the whole state

// Fixed columns: a longer state after "Aplicar" must not widen the dialog.
void setElided(QLabel* label, const QString& text, int width) {
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, width));
    label->setToolTip(plainToolTip(text));
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QString portName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

void addChoice(QComboBox* box, const QString& text, const QString& value, PortEntry::Kind kind) {
    box->addItem(text, value);
    box->setItemData(box->count() - 1, static_cast<int>(kind), kKindRole);
}

PortEntry::Kind kindAt(const QComboBox* box, int index) {
    return static_cast<PortEntry::Kind>(box->itemData(index, kKindRole).toInt());
}

// The item standing for (kind, value), or -1.
int findChoice(const QComboBox* box, PortEntry::Kind kind, const QString& value) {
    for (int i = 0; i < box->count(); ++i)
        if (kindAt(box, i) == kind && box->itemData(i, kValueRole).toString() == value)
            return i;
    return -1;
}

} // namespace

PortDialog::PortDialog(std::filesystem::path configDir, quillmark::ports::TtyEnumerator& devices,
                       Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PortDialog>()), configDir_(std::move(configDir)),
      enumerator_(devices), dialogs_(dialogs) {
    setFont(dialogFont(*this));
    ui->setupUi(this);
    setButtonTexts();
    buildRows();
    connectControls();
    refresh();
}

PortDialog::~PortDialog() = default;

void PortDialog::setButtonTexts() {
    ui->Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Aceptar"));
    ui->Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    ui->Buttons->button(QDialogButtonBox::Apply)->setText(QStringLiteral("A&plicar"));
}

void PortDialog::buildRows() {
    QWidget* previous = nullptr;
    for (int n = 1; n <= kPorts; ++n) {
        Row& r = row(n);
        r.name = new QLabel(QStringLiteral("COM&%1").arg(n), this);
        r.device = new QLabel(this);
        r.device->setTextInteractionFlags(Qt::TextSelectableByMouse);
        r.device->setMinimumWidth(kDeviceWidth);
        showPlainText(r.device);
        r.state = new QLabel(this);
        r.state->setMinimumWidth(kStateWidth);
        showPlainText(r.state);
        r.choice = new QComboBox(this);
        r.choice->setObjectName(QStringLiteral("Choice%1").arg(n));
        r.choice->setAccessibleName(QStringLiteral("Usar para ") + portName(n));
        r.choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        r.choice->setMinimumContentsLength(kChoiceWidth);
        r.choice->view()->setTextElideMode(Qt::ElideNone);
        r.name->setBuddy(r.choice);
        r.network = new QPushButton(QStringLiteral("Red..."), this);
        r.network->setObjectName(QStringLiteral("Network%1").arg(n));
        r.network->setAccessibleName(QStringLiteral("Red para ") + portName(n));
        r.network->setAutoDefault(false);
        ui->Rows->addWidget(r.name, n, 0);
        ui->Rows->addWidget(r.device, n, 1);
        ui->Rows->addWidget(r.state, n, 2);
        ui->Rows->addWidget(r.choice, n, 3);
        ui->Rows->addWidget(r.network, n, 4);
        // Row by row, before the buttons at the bottom.
        if (previous != nullptr)
            setTabOrder(previous, r.choice);
        setTabOrder(r.choice, r.network);
        previous = r.network;
    }
    setTabOrder(previous, ui->Refresh);
    setTabOrder(ui->Refresh, ui->Buttons);
    row(1).choice->setFocus();
}

void PortDialog::connectControls() {
    for (int n = 1; n <= kPorts; ++n) {
        connect(row(n).network, &QPushButton::clicked, this, [this, n] { askEndpoint(n); });
        QComboBox* box = row(n).choice;
        connect(box, &QComboBox::currentIndexChanged, this, [this, box] { showChoiceInFull(box); });
    }
    connect(ui->Refresh, &QPushButton::clicked, this, &PortDialog::refresh);
    connect(ui->Buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            [this] { apply(); });
    connect(ui->Buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
    connect(ui->Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PortDialog::setProcRoot(std::filesystem::path root) {
    procRoot_ = std::move(root);
    refresh();
}

void PortDialog::refresh() {
    try {
        devices_ = quillmark::ports::discoverSerialDevices(enumerator_);
        devicesKnown_ = true;
    } catch (const std::exception&) {
        // Without udev the entries and their states still show.
        devices_.clear();
        devicesKnown_ = false;
    }
    std::vector<std::string> nodes;
    for (int n = 1; n <= kPorts; ++n) {
        Row& r = row(n);
        r.entry = quillmark::ports::readPortEntry(configDir_, n);
        std::error_code ec;
        if (const auto node = std::filesystem::canonical(probedPath(r), ec); !ec)
            nodes.push_back(node.string());
    }
    // One walk of /proc serves every row.
    context_ = {quillmark::ports::ProcTable(procRoot_), devices_, devicesKnown_, 0};
    context_.proc.takeSnapshot(nodes);
    for (int n = 1; n <= kPorts; ++n) {
        fillChoice(row(n), n);
        showState(row(n), n);
    }
}

std::string PortDialog::probedPath(const Row& r) {
    return r.entry.kind == PortEntry::Kind::Default ? r.entry.target : r.entry.path.string();
}

void PortDialog::fillChoice(Row& r, int n) {
    QComboBox* box = r.choice;
    box->clear();
    addChoice(box, QStringLiteral("predeterminado (%1)").arg(q(quillmark::ports::defaultDevice(n))),
              QString(), PortEntry::Kind::Default);
    for (const auto& device : devices_)
        addChoice(box, q(device.preferredName()) + QStringLiteral(" (") + q(device.label()) + ')',
                  q(device.preferredName()), PortEntry::Kind::Link);
    const QString target = q(r.entry.target);
    switch (r.entry.kind) {
    case PortEntry::Kind::Default:
        break;
    case PortEntry::Kind::Link:
        // The entry as written, even when it names a discovered device another way.
        if (findChoice(box, PortEntry::Kind::Link, target) < 0)
            addChoice(box, target, target, PortEntry::Kind::Link);
        break;
    case PortEntry::Kind::Network:
        addChoice(box, QStringLiteral("red: ") + target, target, PortEntry::Kind::Network);
        break;
    case PortEntry::Kind::Other:
        addChoice(box, target, target, PortEntry::Kind::Other);
        break;
    }
    const QString value = r.entry.kind == PortEntry::Kind::Default ? QString() : target;
    box->setCurrentIndex(std::max(findChoice(box, r.entry.kind, value), 0));
}

void PortDialog::showChoiceInFull(QComboBox* box) {
    box->setToolTip(plainToolTip(box->currentText()));
}

void PortDialog::showState(Row& r, int n) {
    const QString target = q(r.entry.target);
    setElided(r.device, target, kDeviceWidth);
    r.device->setAccessibleName(QStringLiteral("Dispositivo de %1: %2").arg(portName(n), target));
    QString state;
    QString advice;
    if (r.entry.kind == PortEntry::Kind::Network) {
        state = QStringLiteral("red: ") + target;
    } else {
        const auto diagnosis = quillmark::ports::probePort(probedPath(r), context_);
        state = q(quillmark::ports::stateText(diagnosis));
        advice = q(quillmark::ports::explain(diagnosis, portName(n).toStdString()));
        if (diagnosis.device && quillmark::ports::hasTwin(devices_, *diagnosis.device)) {
            state += QStringLiteral(", sin reconexión");
            advice +=
                QStringLiteral("%1Hay otro adaptador igual (mismo fabricante, modelo y número "
                               "de serie): si este se desconecta, %2 no se vuelve a abrir "
                               "solo, para no escribir en otro equipo.")
                    .arg(advice.isEmpty() ? QString() : QStringLiteral("\n"), portName(n));
        }
    }
    setElided(r.state, state, kStateWidth);
    if (!advice.isEmpty())
        r.state->setToolTip(plainToolTip(state + QStringLiteral("\n") + advice));
    r.state->setAccessibleName(QStringLiteral("Estado de %1: %2").arg(portName(n), state));
    r.state->setAccessibleDescription(advice);
}

bool PortDialog::differs(const Row& r) const {
    const int index = r.choice->currentIndex();
    const PortEntry::Kind kind = kindAt(r.choice, index);
    if (kind != r.entry.kind)
        return true;
    return kind != PortEntry::Kind::Default &&
           r.choice->itemData(index, kValueRole).toString() != q(r.entry.target);
}

void PortDialog::write(int n, const Row& r) {
    const int index = r.choice->currentIndex();
    const std::string value = r.choice->itemData(index, kValueRole).toString().toStdString();
    switch (kindAt(r.choice, index)) {
    case PortEntry::Kind::Default:
        quillmark::ports::resetPort(configDir_, n);
        break;
    case PortEntry::Kind::Link:
        quillmark::ports::linkPort(configDir_, n, value);
        break;
    case PortEntry::Kind::Network:
        // Only valid endpoints ever become a choice.
        quillmark::ports::setNetworkPort(configDir_, n, *quillmark::ports::parseEndpoint(value));
        break;
    case PortEntry::Kind::Other:
        break; // left as it is
    }
}

bool PortDialog::apply() {
    std::vector<int> changed;
    bool allWritten = true;
    for (int n = 1; n <= kPorts; ++n) {
        if (!differs(row(n)))
            continue;
        try {
            write(n, row(n));
            changed.push_back(n);
        } catch (const quillmark::ports::PortEntryError& e) {
            dialogs_.errorMessage(this, QString::fromUtf8(e.what()));
            allWritten = false;
        }
    }
    if (!changed.empty() && applied_)
        applied_(changed);
    refresh(); // after the reopen: the port shows as in use
    return allWritten;
}

void PortDialog::setNetworkChoice(Row& r, const QString& url) {
    for (int i = r.choice->count() - 1; i >= 0; --i)
        if (kindAt(r.choice, i) == PortEntry::Kind::Network)
            r.choice->removeItem(i);
    addChoice(r.choice, QStringLiteral("red: ") + url, url, PortEntry::Kind::Network);
    r.choice->setCurrentIndex(r.choice->count() - 1);
}

void PortDialog::askEndpoint(int n) {
    Row& r = row(n);
    QString text = kindAt(r.choice, r.choice->currentIndex()) == PortEntry::Kind::Network
                       ? r.choice->currentData(kValueRole).toString()
                       : QString();
    for (;;) {
        const auto answer = prompt_ ? prompt_(n, text) : promptWithInputDialog(n, text);
        if (!answer)
            return;
        const auto parsed = quillmark::remote::parseEndpointText(answer->toStdString());
        if (parsed.endpoint) {
            setNetworkChoice(r, q(parsed.endpoint->text()));
            return;
        }
        dialogs_.errorMessage(this, q(parsed.problem));
        text = *answer;
    }
}

std::optional<QString> PortDialog::promptWithInputDialog(int n, const QString& current) {
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, QStringLiteral("Red"),
        QStringLiteral("Servidor de puerto serie para %1 (tcp://HOST:PUERTO o "
                       "rfc2217://HOST:PUERTO):")
            .arg(portName(n)),
        QLineEdit::Normal, current.isEmpty() ? QStringLiteral("rfc2217://") : current, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QComboBox* PortDialog::chooser(int n) const {
    return row(n).choice;
}

QLabel* PortDialog::deviceLabel(int n) const {
    return row(n).device;
}

QLabel* PortDialog::stateLabel(int n) const {
    return row(n).state;
}

QPushButton* PortDialog::networkButton(int n) const {
    return row(n).network;
}
