#include "station_comparison.h"

#include "station_diff.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

StationComparison::StationComparison(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("StationComparison"));
    setWindowTitle(QStringLiteral("Comparar con el equipo"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setTextFormat(Qt::PlainText);
    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("differences"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Campo"), QStringLiteral("En el equipo"), QStringLiteral("En edición")});
    table_->setAccessibleName(QStringLiteral("Diferencias"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(640, 420);
}

void StationComparison::compare(const Image& device, const Image& edited) {
    const auto differences = quillmark::cli::differingFields(device, edited);
    table_->setRowCount(static_cast<int>(differences.size()));
    const auto text = [](const nlohmann::ordered_json& value, bool present) {
        return QString::fromStdString(present ? value.dump() : std::string("(absent)"));
    };
    int row = 0;
    for (const auto& d : differences) {
        table_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(d.field)));
        table_->setItem(row, 1, new QTableWidgetItem(text(d.a, d.inA)));
        table_->setItem(row, 2, new QTableWidgetItem(text(d.b, d.inB)));
        ++row;
    }
    table_->setVisible(!differences.empty());
    summary_->setText(differences.empty()
                          ? QStringLiteral("Sin diferencias")
                          : QStringLiteral("%1 campos difieren").arg(differences.size()));
}
