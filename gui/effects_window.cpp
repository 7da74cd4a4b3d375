#include "gui/effects_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/edit_history.h"
#include "app/effect_commands.h"

namespace zephrane::gui {
namespace {

constexpr int kEmpty = -1;  // the spin boxes show -1 as an empty box: not set

void ShowNumber(QSpinBox* box, const std::string& text) {
    const QSignalBlocker blocker(box);
    bool isNumber = false;
    const int value = QString::fromStdString(text).trimmed().toInt(&isNumber);
    box->setValue(isNumber ? value : kEmpty);
}

}  // namespace

EffectsWindow::EffectsWindow(Session& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    setObjectName("frmEffects");
    setWindowTitle("Effects");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel("XG default values are shown in [ ]. Enter only to change.", this));

    auto* top = new QFormLayout;
    reverb_ = TypeList("cboReverb", &EffectSettings::reverb);
    top->addRow("Reverb", reverb_);
    reverbReturn_ = NumberBox("txtRevRet", &EffectSettings::reverbReturn, 127);
    top->addRow("Reverb Return (64)", reverbReturn_);
    chorus_ = TypeList("cboChorus", &EffectSettings::chorus);
    top->addRow("Chorus", chorus_);
    chorusReturn_ = NumberBox("txtChoRet", &EffectSettings::chorusReturn, 127);
    top->addRow("Chorus Return (64)", chorusReturn_);
    layout->addLayout(top);

    auto* variationBox = new QGroupBox("Variation DSP Effect", this);
    auto* variationLayout = new QVBoxLayout(variationBox);
    auto* connection = new QHBoxLayout;
    system_ = new QRadioButton("System", variationBox);
    system_->setObjectName("VarType1_0");
    insertion_ = new QRadioButton("Insertion", variationBox);
    insertion_->setObjectName("VarType1_1");
    connection->addWidget(system_);
    connection->addWidget(insertion_);
    variationLayout->addLayout(connection);
    connect(system_, &QRadioButton::clicked, this,
            [this] { SelectConnection(VariationConnection::System); });
    connect(insertion_, &QRadioButton::clicked, this,
            [this] { SelectConnection(VariationConnection::Insertion); });

    auto* type = new QFormLayout;
    variation_ = TypeList("cboEffect", &EffectSettings::variation);
    type->addRow("Effect Type", variation_);
    variationLayout->addLayout(type);

    insertionFrame_ = new QGroupBox("Insertion Part", variationBox);
    auto* insertionLayout = new QHBoxLayout(insertionFrame_);
    insertionPart_ = NumberBox("TxtInsPart", &EffectSettings::insertionPart, 32);
    insertionLayout->addWidget(insertionPart_);
    variationLayout->addWidget(insertionFrame_);

    systemFields_ = new QWidget(variationBox);
    auto* systemLayout = new QFormLayout(systemFields_);
    systemLayout->setContentsMargins(0, 0, 0, 0);
    variationReturn_ = NumberBox("txtReturnAmt", &EffectSettings::variationReturn, 127);
    systemLayout->addRow("Variation Return (64)", variationReturn_);
    pan_ = NumberBox("txtPan", &EffectSettings::pan, 127);
    systemLayout->addRow("Pan (64)", pan_);
    sendToReverb_ = NumberBox("txtReverb", &EffectSettings::sendToReverb, 127);
    systemLayout->addRow("Send to Reverb (0)", sendToReverb_);
    sendToChorus_ = NumberBox("txtChorus", &EffectSettings::sendToChorus, 127);
    systemLayout->addRow("Send to Chorus (0)", sendToChorus_);
    variationLayout->addWidget(systemFields_);
    layout->addWidget(variationBox);

    layout->addWidget(
        new QLabel("An \"*\" identifies an effect that is included on all XG instruments.", this));
    auto* close = new QPushButton("Close", this);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    layout->addWidget(close, 0, Qt::AlignRight);
    UpdateControls();
}

template <typename Command>
void EffectsWindow::Edit(Command&& command) {
    RecordEdit(session_, "Effects", std::forward<Command>(command));
    emit Edited();
}

QSpinBox* EffectsWindow::NumberBox(const char* name, std::string EffectSettings::*field,
                                   int maximum) {
    auto* box = new QSpinBox(this);
    box->setObjectName(name);
    box->setRange(kEmpty, maximum);
    box->setSpecialValueText(" ");
    connect(box, &QSpinBox::valueChanged, this, [this, field](int value) {
        Edit([&] {
            return SetEffectValue(session_, field, value == kEmpty ? "" : std::to_string(value));
        });
    });
    return box;
}

QComboBox* EffectsWindow::TypeList(const char* name, int EffectSettings::*field) {
    auto* list = new QComboBox(this);
    list->setObjectName(name);
    connect(list, &QComboBox::activated, this, [this, field](int position) {
        Edit([&] { return ChooseEffectType(session_, field, position); });
    });
    return list;
}

void EffectsWindow::FillList(QComboBox* list, const std::vector<EffectListEntry>& entries,
                             int position) {
    const QSignalBlocker blocker(list);
    list->clear();
    for (const EffectListEntry& entry : entries)
        list->addItem(QString::fromStdString(entry.name));
    list->setCurrentIndex(position);
}

void EffectsWindow::SelectConnection(VariationConnection connection) {
    if (connection != session_.effects.connection) {
        Edit([&] { return ChangeVariationConnection(session_, connection); });
    }
    UpdateControls();
}

void EffectsWindow::ApplyLayout() {
    const bool insertion = session_.effects.connection == VariationConnection::Insertion;
    insertionFrame_->setVisible(insertion);
    systemFields_->setVisible(!insertion);
}

void EffectsWindow::UpdateControls() {
    const EffectSettings& effects = session_.effects;
    const EffectLists& lists = session_.effectLists;
    FillList(reverb_, lists.reverb, effects.reverb);
    FillList(chorus_, lists.chorus, effects.chorus);
    FillList(variation_, lists.Variation(effects.connection), effects.variation);
    ShowNumber(reverbReturn_, effects.reverbReturn);
    ShowNumber(chorusReturn_, effects.chorusReturn);
    ShowNumber(insertionPart_, effects.insertionPart);
    ShowNumber(variationReturn_, effects.variationReturn);
    ShowNumber(pan_, effects.pan);
    ShowNumber(sendToReverb_, effects.sendToReverb);
    ShowNumber(sendToChorus_, effects.sendToChorus);
    system_->setChecked(effects.connection == VariationConnection::System);
    insertion_->setChecked(effects.connection == VariationConnection::Insertion);
    ApplyLayout();
}

}  // namespace zephrane::gui
