#pragma once
// frmEffects: the XG reverb, chorus and variation effect of the style's set-up measure. A field
// left empty sends nothing, so the instrument keeps its own default.

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

#include "app/session.h"

namespace zephrane::gui {

class EffectsWindow : public QDialog {
    Q_OBJECT

  public:
    EffectsWindow(Session& session, QWidget* parent = nullptr);

    // Shows the settings as the session holds them (after a load, for instance).
    void UpdateControls();

  signals:
    // A setting's change went into the session (and the edit history).
    void Edited();

  private:
    // Runs an editing command as the step "Effects" of the edit history.
    template <typename Command>
    void Edit(Command&& command);
    QSpinBox* NumberBox(const char* name, std::string EffectSettings::*field, int maximum);
    QComboBox* TypeList(const char* name, int EffectSettings::*field);
    void FillList(QComboBox* list, const std::vector<EffectListEntry>& entries, int position);
    void SelectConnection(VariationConnection connection);
    void ApplyLayout();

    Session& session_;
    QComboBox* reverb_ = nullptr;
    QComboBox* chorus_ = nullptr;
    QComboBox* variation_ = nullptr;
    QSpinBox* reverbReturn_ = nullptr;
    QSpinBox* chorusReturn_ = nullptr;
    QSpinBox* insertionPart_ = nullptr;
    QSpinBox* variationReturn_ = nullptr;
    QSpinBox* pan_ = nullptr;
    QSpinBox* sendToReverb_ = nullptr;
    QSpinBox* sendToChorus_ = nullptr;
    QRadioButton* system_ = nullptr;
    QRadioButton* insertion_ = nullptr;
    QGroupBox* insertionFrame_ = nullptr;
    QWidget* systemFields_ = nullptr;
};

}  // namespace zephrane::gui
