#pragma once
// frmZephrane: the main window. It holds the controls and translates between them and the
// session's commands; everything it shows comes from the session's view model.

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/session.h"
#include "sections/section_plan.h"

namespace zephrane::gui {

class CasmGrid;
class ChordMuteWindow;
class EffectsWindow;
class InfoWindow;
class PreviewBar;
class SectionMap;
class SetupWindow;

// The services a desktop session needs besides the window itself.
struct ShellServices {
    MessageService& messages;
    FileDialogService& fileDialogs;
    ProcessService& processes;
    SettingsStore& settingsStore;
    PathService& paths;
};

class MainWindow : public QMainWindow, public WindowService {
    Q_OBJECT

  public:
    explicit MainWindow(ShellServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& GetSession() { return session_; }
    // Start-up: settings, recent files, effect lists, then the window's controls.
    void StartUp();

    // The place and size the window was left in, or a size that fits the screen it opens on.
    void PlaceOnScreen();

    // Recomputes every control from the session.
    void UpdateControls();

    void ShowMainWindow(const MainWindowView& view) override;
    bool ShowDocument(const DocumentRequest& request) override;

    EffectsWindow* Effects() const { return effects_; }
    ChordMuteWindow* ChordMute() const { return chordMute_; }
    SetupWindow* Setup() const { return setup_; }
    InfoWindow* Info() const { return info_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildMenu();
    void BuildEditMenu();
    // "Remove section", offered by a right click on a section button or its bar on the map.
    void BuildSectionMenu();
    void ShowSectionMenu(const std::string& key, const QPoint& globalPos);
    // "Accept" and "Drop", offered by a right click on a proposed section on the map.
    void BuildProposalMenu();
    void PressSection(std::string_view key);
    void OfferChordConversions(const SectionPlan& marked);
    void SuggestSections();
    // Marks the proposed sections `keys` (all when empty) as one step of the edit history.
    void AcceptProposals(const std::vector<std::string>& keys);
    void BuildCommandToolbar();
    void BuildSectionToolbar();
    QWidget* BuildFields();
    QWidget* BuildCasmArea();
    void UpdateRecentFiles();
    void ShowBusyCursor(bool busy);
    void SetTabOrder();
    // Runs a command and shows what it left; `action` names it on the status line.
    template <typename Command>
    void Run(std::string_view action, Command&& command);
    // Runs an editing command named `what` as a step of the edit history.
    template <typename Command>
    void Edit(std::string_view what, Command&& command);

    Platform platform_;
    Session session_;
    QToolBar* commands_ = nullptr;
    QToolBar* sections_ = nullptr;
    std::array<QAction*, kSectionSlotCount> sectionButtons_{};
    QMenu* recentMenu_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    QMenu* sectionMenu_ = nullptr;
    std::string sectionMenuKey_;  // the section the menu was opened on
    QMenu* proposalMenu_ = nullptr;
    std::string proposalMenuKey_;  // the proposed section the menu was opened on
    QAction* acceptAll_ = nullptr;
    std::array<QAction*, 5> optionMarks_{};
    QLineEdit* fileName_ = nullptr;
    QLineEdit* styleName_ = nullptr;
    QLineEdit* copyright_ = nullptr;
    QLineEdit* tempo_ = nullptr;
    QLineEdit* timeSignature_ = nullptr;
    QLineEdit* key_ = nullptr;
    QLabel* measures_ = nullptr;
    QLabel* waiting_ = nullptr;
    SectionMap* map_ = nullptr;
    PreviewBar* preview_ = nullptr;
    QTimer* programWatch_ = nullptr;  // polls the programs started beside the window
    CasmGrid* grid_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* autoSet_ = nullptr;
    QRadioButton* makeCasm_ = nullptr;
    QRadioButton* useStyleCasm_ = nullptr;
    ChordMuteWindow* chordMute_ = nullptr;
    EffectsWindow* effects_ = nullptr;
    SetupWindow* setup_ = nullptr;
    InfoWindow* info_ = nullptr;
    bool busyCursorShown_ = false;
};

}  // namespace zephrane::gui
