#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/edit_history.h"
#include "app/main_commands.h"
#include "app/play_commands.h"
#include "app/recent_files.h"
#include "app/section_chord_commands.h"
#include "app/section_commands.h"
#include "app/settings_files.h"
#include "app/song_commands.h"
#include "app/status_line.h"
#include "app/text_boxes.h"
#include "gui/casm_grid.h"
#include "gui/chord_mute_window.h"
#include "gui/effects_window.h"
#include "gui/preview_bar.h"
#include "gui/section_map.h"
#include "gui/small_windows.h"

namespace zephrane::gui {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QLineEdit* Field(QWidget* parent, const char* name, bool readOnly) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(readOnly);
    if (readOnly) field->setFocusPolicy(Qt::NoFocus);  // nothing to type there: no Tab stop
    return field;
}

}  // namespace

MainWindow::MainWindow(ShellServices services, QWidget* parent)
    : QMainWindow(parent),
      platform_{services.messages,  services.fileDialogs,   *this,
                services.processes, services.settingsStore, services.paths},
      session_(platform_) {
    setObjectName("frmZephrane");
    setWindowTitle(kProgramTitle);
    setAcceptDrops(true);
    chordMute_ = new ChordMuteWindow(session_, this);
    effects_ = new EffectsWindow(session_, this);
    setup_ = new SetupWindow(session_, this);
    info_ = new InfoWindow(this);
    BuildMenu();
    BuildEditMenu();
    BuildCommandToolbar();
    addToolBarBreak();
    BuildSectionToolbar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(BuildFields());
    map_ = new SectionMap(session_, central);
    layout->addWidget(map_);
    preview_ = new PreviewBar(session_, central);
    layout->addWidget(preview_);
    layout->addWidget(BuildCasmArea(), 1);
    setCentralWidget(central);
    BuildSectionMenu();
    BuildProposalMenu();
    connect(chordMute_, &ChordMuteWindow::Closed, this, &MainWindow::UpdateControls);
    statusBar()->setObjectName("statusBar");
    SetTabOrder();
    connect(grid_, &CasmGrid::Edited, this, &MainWindow::UpdateControls);
    connect(effects_, &EffectsWindow::Edited, this, &MainWindow::UpdateControls);
    connect(preview_, &PreviewBar::CommandRan, this, &MainWindow::UpdateControls);
    programWatch_ = new QTimer(this);
    programWatch_->setInterval(250);
    // Redrawn only when a program ended: a redraw every poll would close an open menu.
    connect(programWatch_, &QTimer::timeout, this, [this] {
        if (!session_.view.waitingForSequencer && CheckStartedPrograms(session_)) UpdateControls();
    });
    UpdateControls();
}

MainWindow::~MainWindow() = default;

void MainWindow::StartUp() {
    zephrane::StartUp(session_);
    grid_->RestoreColumnWidths(ReadWindowLayout(session_, WindowLayoutItem::CasmColumns));
    effects_->UpdateControls();
    UpdateControls();
}

template <typename Command>
void MainWindow::Run(std::string_view action, Command&& command) {
    // While the sequencer edits the working file every command is closed; the update also puts
    // back a button that Qt toggled on a refused click.
    if (!session_.view.waitingForSequencer) NoteOutcome(session_, action, command());
    UpdateControls();
}

template <typename Command>
void MainWindow::Edit(std::string_view what, Command&& command) {
    Run(what, [&] { return RecordEdit(session_, what, std::forward<Command>(command)); });
}

void MainWindow::BuildMenu() {
    QMenu* file = menuBar()->addMenu("   &File");
    file->setObjectName("mnuFile");
    QAction* open = file->addAction("&Open File");
    open->setObjectName("mnuOpen");
    open->setShortcut(QKeySequence("Ctrl+O"));
    connect(open, &QAction::triggered, this,
            [this] { Run("Open File", [this] { return OpenFileCommand(session_); }); });
    recentMenu_ = file->addMenu("Recent Files");
    recentMenu_->setObjectName("mnuMRU");
    QAction* convertTypeOne = file->addAction("Convert Type 1 MIDI...");
    convertTypeOne->setObjectName("mnuConvertType1");
    connect(convertTypeOne, &QAction::triggered, this, [this] {
        Run("Convert Type 1 MIDI", [this] { return ConvertTypeOneMidi(session_); });
    });
    QAction* close = file->addAction("&Close Program");
    close->setObjectName("mnuClose");
    connect(close, &QAction::triggered, this, &QWidget::close);
    file->addSeparator();
    QMenu* save = file->addMenu("Save ");
    QAction* saveMidi = save->addAction("&Working Midi File");
    saveMidi->setObjectName("mnuSaveMidi");
    connect(saveMidi, &QAction::triggered, this,
            [this] { Run("Working Midi File", [this] { return SaveWorkingMidiFile(session_); }); });
    QAction* saveStyle = save->addAction("&Style File");
    saveStyle->setObjectName("mnuSaveStyle");
    saveStyle->setShortcut(QKeySequence("Ctrl+S"));
    connect(saveStyle, &QAction::triggered, this, [this] {
        Run("Save Style", [this] { return SaveStyle(session_, StyleCommandSource::MenuItem); });
    });
    file->addSeparator();
    QAction* setup = file->addAction("     Setu&p ");
    setup->setObjectName("mnuSetup");
    connect(setup, &QAction::triggered, setup_, &SetupWindow::Open);
    QAction* effects = file->addAction("     &Effects");
    effects->setObjectName("mnuEffects");
    connect(effects, &QAction::triggered, this, [this] {
        effects_->UpdateControls();
        effects_->show();
        effects_->raise();
    });
    QMenu* options = file->addMenu("     &Options");
    options->setObjectName("mnuOptions");
    const std::pair<const char*, OptionMark> marks[] = {
        {"Specify Panel (bank 112) voices", OptionMark::PanelVoices},
        {"Use 8 measures for BB styles", OptionMark::EightMeasureBbMains},
        {"Convert7th by adding a B", OptionMark::ConvertSeventhAddB},
        {"Include XG System On", OptionMark::XgSystemOn},
        {"Allow Multiple Tempos", OptionMark::MultipleTempos}};
    for (size_t i = 0; i < std::size(marks); ++i) {
        optionMarks_[i] = options->addAction(marks[i].first);
        optionMarks_[i]->setCheckable(true);
        connect(optionMarks_[i], &QAction::triggered, this, [this, mark = marks[i].second] {
            ToggleOptionMark(session_, mark);
            UpdateControls();
        });
    }
    QAction* help = file->addAction("    Mauual/&Help");
    help->setObjectName("mnuHelp");
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, [this] { ShowHelp(session_); });
    QAction* about = file->addAction("     &About");
    about->setObjectName("mnuAbout");
    connect(about, &QAction::triggered, this, [this] {
        auto* window = new AboutWindow(session_, this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    QAction* exit = file->addAction("     E&xit");
    exit->setObjectName("mnuExit");
    exit->setShortcut(QKeySequence("Ctrl+Q"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::BuildEditMenu() {
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("mnuEdit");
    undo_ = edit->addAction("Undo");
    undo_->setObjectName("mnuUndo");
    undo_->setShortcut(QKeySequence::Undo);
    connect(undo_, &QAction::triggered, this, [this] {
        const std::string step = session_.view.undoCaption;  // the view changes with the undo
        Run(step, [this] { return Undo(session_); });
    });
    redo_ = edit->addAction("Redo");
    redo_->setObjectName("mnuRedo");
    redo_->setShortcut(QKeySequence("Ctrl+Shift+Z"));
    connect(redo_, &QAction::triggered, this, [this] {
        const std::string step = session_.view.redoCaption;
        Run(step, [this] { return Redo(session_); });
    });
    edit->addSeparator();
    QAction* suggest = edit->addAction("Suggest Sections");
    suggest->setObjectName("mnuSuggestSections");
    connect(suggest, &QAction::triggered, this, [this] { SuggestSections(); });
    acceptAll_ = edit->addAction("Accept Suggested Sections");
    acceptAll_->setObjectName("mnuAcceptSuggestedSections");
    connect(acceptAll_, &QAction::triggered, this, [this] { AcceptProposals({}); });
}

void MainWindow::BuildSectionMenu() {
    sectionMenu_ = new QMenu(this);
    sectionMenu_->setObjectName("mnuSection");
    QAction* remove = sectionMenu_->addAction("Remove section");
    remove->setObjectName("mnuRemoveSection");
    connect(remove, &QAction::triggered, this, [this] {
        Edit("Remove section", [this] { return RemoveSection(session_, sectionMenuKey_); });
    });
    for (const SectionRow& row : kSectionTable) {
        QWidget* button = sections_->widgetForAction(sectionButtons_[row.slot]);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button, key = std::string(row.key)](const QPoint& at) {
                    ShowSectionMenu(key, button->mapToGlobal(at));
                });
    }
    connect(map_, &SectionMap::SectionMenuRequested, this, &MainWindow::ShowSectionMenu);
}

void MainWindow::BuildProposalMenu() {
    proposalMenu_ = new QMenu(this);
    proposalMenu_->setObjectName("mnuProposal");
    QAction* accept = proposalMenu_->addAction("Accept");
    accept->setObjectName("mnuAcceptProposal");
    connect(accept, &QAction::triggered, this, [this] { AcceptProposals({proposalMenuKey_}); });
    QAction* drop = proposalMenu_->addAction("Drop");
    drop->setObjectName("mnuDropProposal");
    connect(drop, &QAction::triggered, this, [this] {
        Run("Drop " + proposalMenuKey_,
            [this] { return DropProposedSection(session_, proposalMenuKey_); });
    });
    connect(map_, &SectionMap::ProposalMenuRequested, this,
            [this](const std::string& key, const QPoint& globalPos) {
                proposalMenuKey_ = key;
                proposalMenu_->popup(globalPos);
            });
}

void MainWindow::ShowSectionMenu(const std::string& key, const QPoint& globalPos) {
    const SectionRow* row = SectionByKey(key);
    if (row == nullptr || !session_.view.sectionPressed[row->slot]) return;
    sectionMenuKey_ = key;
    sectionMenu_->popup(globalPos);
}

void MainWindow::BuildCommandToolbar() {
    commands_ = addToolBar("Toolbar1");
    commands_->setObjectName("Toolbar1");
    commands_->setMovable(false);
    commands_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    struct Button {
        const char* caption;
        const char* key;
        const char* toolTip;
        const char* action;  // as the status line names it
        std::function<CommandResult()> command;
    };
    const Button buttons[] = {
        {"Open File    ", "Open", "Open midi or style file", "Open File",
         [this] { return OpenFileCommand(session_); }},
        {"To Sequencer  ", "All", "Edit file in sequencer", "To Sequencer",
         [this] {
             return RecordEdit(session_, "To Sequencer", [this] { return ToSequencer(session_); });
         }},
        {"Save Style    ", "SaveStyle", "Make a style and save it", "Save Style",
         [this] { return SaveStyle(session_, StyleCommandSource::ToolbarButton); }},
        {"Play Style", "PlayStyle", "Play last style saved or opened.", "Play Style",
         [this] { return PlayStyle(session_); }},
        {"Style from BB", "BBmidi", "Make style from special BB midis  ", "Style from BB",
         [this] { return StyleFromBb(session_); }},
        {"Quick Start", "Quick", "Overview on making styles", "Quick Start",
         [this] { return ShowQuickStart(session_); }},
    };
    for (const Button& button : buttons) {
        QAction* action = commands_->addAction(button.caption);
        action->setObjectName(button.key);
        action->setToolTip(button.toolTip);
        connect(action, &QAction::triggered, this,
                [this, name = button.action, command = button.command] { Run(name, command); });
        commands_->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
        if (std::string_view(button.key) == "All") {
            // "Convert Notes" follows "To Sequencer", with its two items in a drop-down menu.
            auto* convert = new QToolButton(commands_);
            convert->setObjectName(kConvertButtonKey);
            convert->setText(kConvertButtonCaption);
            convert->setPopupMode(QToolButton::InstantPopup);
            convert->setFocusPolicy(Qt::TabFocus);
            auto* menu = new QMenu(convert);
            for (const ConvertMenuItem& item : kConvertMenuItems) {
                QAction* entry = menu->addAction(Text(item.text));
                entry->setObjectName(Text(item.key));
                connect(entry, &QAction::triggered, this, [this, which = item.item] {
                    Edit("Convert Notes", [this, which] { return ConvertNotes(session_, which); });
                });
            }
            convert->setMenu(menu);
            commands_->addWidget(convert);
        }
    }
}

void MainWindow::BuildSectionToolbar() {
    sections_ = addToolBar("Toolbar2");
    sections_->setObjectName("Toolbar2");
    sections_->setMovable(false);
    // A marked section's button stays down, in the colour the section map gives marked sections.
    // Both states draw the same border and padding, so that pressing a button never widens it
    // and shifts the buttons after it under the mouse.
    sections_->setStyleSheet(
        "QToolButton { border: 1px solid transparent; border-radius: 3px; padding: 2px 4px; }"
        "QToolButton:hover { border-color: palette(mid); }"
        "QToolButton:focus { border-color: palette(highlight); }"
        "QToolButton:checked { background: #eba03c; color: black; border-color: #9a6010; }");
    // The buttons stand in slot order; a gap separates the groups (mains, intros, endings, fills).
    std::vector<const SectionRow*> bySlot;
    for (const SectionRow& row : kSectionTable)
        bySlot.push_back(&row);
    std::sort(bySlot.begin(), bySlot.end(),
              [](const SectionRow* a, const SectionRow* b) { return a->slot < b->slot; });
    int previousSlot = bySlot.front()->slot;
    for (const SectionRow* row : bySlot) {
        if (row->slot > previousSlot + 1) sections_->addSeparator();
        previousSlot = row->slot;
        QAction* button = sections_->addAction(Text(row->key));
        button->setObjectName(Text(row->key));
        button->setToolTip("Add " + Text(row->name) + " Marker");
        button->setCheckable(true);
        sectionButtons_[row->slot] = button;
        connect(button, &QAction::triggered, this, [this, key = row->key] { PressSection(key); });
        sections_->widgetForAction(button)->setFocusPolicy(Qt::TabFocus);
    }
}

// A section button: with measures selected on the map, the section is marked on them instead of
// its fixed place, and the selection has served.
void MainWindow::PressSection(std::string_view key) {
    const std::optional<std::pair<int, int>> selection = map_->Selection();
    if (!selection) {
        Edit(key, [this, key] { return PressSectionButton(session_, key); });
        return;
    }
    SectionPlan plan;
    plan.sections.push_back({std::string(key), selection->first, selection->second, "", 1.0, ""});
    bool marked = false;
    Edit(key, [&] {
        const CommandResult result = MarkSections(session_, plan);
        marked = static_cast<bool>(result);
        return result;
    });
    if (!marked) return;
    map_->ClearSelection();
    OfferChordConversions(plan);
}

// A section played over several chords: the user says whether to write it over one.
void MainWindow::OfferChordConversions(const SectionPlan& marked) {
    const std::vector<SectionChordChanges> changing = SectionsChangingChord(session_, marked);
    if (changing.empty()) return;
    Edit(kConvertSectionChordsCaption,
         [&] { return zephrane::OfferChordConversions(session_, changing); });
}

// "Suggest Sections": the proposals go on the map, where each is accepted, moved or dropped.
void MainWindow::SuggestSections() {
    Run("Suggest Sections", [this] { return ProposeSections(session_); });
}

// Accepted proposals are marked; each section then played over several chords is offered for
// conversion.
void MainWindow::AcceptProposals(const std::vector<std::string>& keys) {
    SectionPlan marked;
    const std::string what =
        keys.size() == 1 ? "Accept " + keys.front() : "Accept Suggested Sections";
    Edit(what, [&] { return AcceptProposedSections(session_, keys, marked); });
    if (!marked.sections.empty()) OfferChordConversions(marked);
}

QWidget* MainWindow::BuildFields() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    fileName_ = Field(box, "txtFileName", true);
    styleName_ = Field(box, "txtStylename", false);
    copyright_ = Field(box, "txtCopyright", false);
    tempo_ = Field(box, "txttempo", true);
    timeSignature_ = Field(box, "txtTimeSig", true);
    key_ = Field(box, "txtKey", true);
    for (QLineEdit* small : {tempo_, timeSignature_, key_})
        small->setMaximumWidth(110);
    measures_ = new QLabel(box);
    measures_->setObjectName("lblMaxMeaures");
    waiting_ = new QLabel("Waiting for the sequencer to close...", box);
    waiting_->setStyleSheet("color: #a05000; font-weight: bold;");
    grid->addWidget(new QLabel("File", box), 0, 0);
    grid->addWidget(fileName_, 0, 1);
    grid->addWidget(new QLabel("Tempo", box), 0, 2);
    grid->addWidget(tempo_, 0, 3);
    grid->addWidget(new QLabel("Time Sig", box), 0, 4);
    grid->addWidget(timeSignature_, 0, 5);
    grid->addWidget(new QLabel("Style Name", box), 1, 0);
    grid->addWidget(styleName_, 1, 1);
    grid->addWidget(new QLabel("Key", box), 1, 2);
    grid->addWidget(key_, 1, 3);
    grid->addWidget(measures_, 1, 4, 1, 2);
    grid->addWidget(new QLabel("Copyright", box), 2, 0);
    grid->addWidget(copyright_, 2, 1);
    grid->addWidget(waiting_, 2, 2, 1, 4);
    grid->setColumnStretch(1, 1);
    // Leaving either box writes its text into the song, edited or not.
    connect(styleName_, &QLineEdit::editingFinished, this, [this] {
        Edit("Style Name",
             [this] { return LeaveStyleNameBox(session_, styleName_->text().toStdString()); });
    });
    connect(copyright_, &QLineEdit::editingFinished, this, [this] {
        Edit("Copyright",
             [this] { return LeaveCopyrightBox(session_, copyright_->text().toStdString()); });
    });
    return box;
}

QWidget* MainWindow::BuildCasmArea() {
    auto* box = new QGroupBox("CASM  (Zephrane's is common to all Sections)", this);
    auto* layout = new QVBoxLayout(box);
    grid_ = new CasmGrid(session_, box);
    layout->addWidget(grid_, 1);
    connect(grid_, &CasmGrid::ChordMuteRequested, chordMute_, &ChordMuteWindow::Open);

    auto* row = new QHBoxLayout;
    auto* clear = clear_ = new QPushButton("Clear CASM", box);
    clear->setObjectName("cmdClearCasm");
    clear->setToolTip("Clears CASM display");
    auto* autoSet = autoSet_ = new QPushButton("Auto CASM Set", box);
    autoSet->setObjectName("cmdAutoCasm");
    autoSet->setToolTip("Uses file data to guess at CASM settings");
    connect(clear, &QPushButton::clicked, this,
            [this] { Edit("Clear CASM", [this] { return ClearCasmSet(session_); }); });
    connect(autoSet, &QPushButton::clicked, this,
            [this] { Edit("Auto CASM Set", [this] { return AutoSetCasm(session_); }); });
    makeCasm_ = new QRadioButton("Make Casm", box);
    makeCasm_->setObjectName("OptmakeCasm");
    makeCasm_->setToolTip("Create a new CASM");
    useStyleCasm_ = new QRadioButton("Use Style's Casm", box);
    useStyleCasm_->setObjectName("OptOrigCasm");
    useStyleCasm_->setToolTip("Use CASM built into style");
    connect(makeCasm_, &QRadioButton::clicked, this, [this] {
        Edit("Make Casm", [this] { return ChooseCasmSource(session_, CasmSource::MakeCasm); });
    });
    connect(useStyleCasm_, &QRadioButton::clicked, this, [this] {
        Edit("Use Style's Casm",
             [this] { return ChooseCasmSource(session_, CasmSource::StylesCasm); });
    });
    row->addWidget(clear);
    row->addWidget(autoSet);
    row->addStretch();
    row->addWidget(makeCasm_);
    row->addWidget(useStyleCasm_);
    layout->addLayout(row);
    return box;
}

void MainWindow::UpdateRecentFiles() {
    recentMenu_->clear();
    const std::vector<std::string>& entries = session_.recentFiles.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        QAction* entry = recentMenu_->addAction(QString::fromStdString(entries[i]));
        connect(entry, &QAction::triggered, this, [this, i] {
            Run("Open Recent File",
                [this, i] { return OpenRecentFile(session_, static_cast<int>(i)); });
        });
    }
    recentMenu_->menuAction()->setVisible(!entries.empty());
}

void MainWindow::UpdateControls() {
    RefreshMainWindowView(session_);
    const MainWindowView& view = session_.view;
    setWindowTitle(QString::fromStdString(view.caption));
    const std::pair<QLineEdit*, const std::string*> fields[] = {
        {fileName_, &view.txtFileName},     {tempo_, &view.txtTempo},
        {timeSignature_, &view.txtTimeSig}, {key_, &view.txtKey},
        {styleName_, &view.txtStyleName},   {copyright_, &view.txtCopyright}};
    for (const auto& [field, text] : fields) {
        if (field->hasFocus() && !field->isReadOnly()) continue;  // the user is typing there
        const QSignalBlocker blocker(field);
        field->setText(QString::fromStdString(*text));
    }
    measures_->setText(QString::fromStdString(view.lblMaxMeasures));
    for (int slot = 0; slot < kSectionSlotCount; ++slot) {
        if (sectionButtons_[slot]) sectionButtons_[slot]->setChecked(view.sectionPressed[slot]);
    }
    const bool marks[] = {session_.settings.panelVoices, session_.settings.eightMeasureBbMains,
                          session_.settings.convertSeventhAddB, session_.settings.xgSystemOn,
                          session_.settings.multipleTempos};
    for (size_t i = 0; i < std::size(marks); ++i)
        optionMarks_[i]->setChecked(marks[i]);
    makeCasm_->setVisible(view.casmOptionsVisible);
    useStyleCasm_->setVisible(view.casmOptionsVisible);
    makeCasm_->setChecked(!session_.useStyleCasm);
    useStyleCasm_->setChecked(session_.useStyleCasm);
    waiting_->setVisible(view.waitingForSequencer);
    statusBar()->showMessage(QString::fromStdString(view.statusLine));
    ShowBusyCursor(view.waitingForSequencer);
    commands_->setEnabled(!view.waitingForSequencer);
    sections_->setEnabled(!view.waitingForSequencer);
    menuBar()->setEnabled(!view.waitingForSequencer);
    centralWidget()->setEnabled(!view.waitingForSequencer);
    // The dialogs beside the window edit the same song: closed too while the sequencer has it.
    for (QWidget* dialog : std::initializer_list<QWidget*>{effects_, chordMute_, setup_})
        dialog->setEnabled(!view.waitingForSequencer);
    acceptAll_->setEnabled(!view.proposedSections.empty());
    undo_->setEnabled(view.canUndo);
    undo_->setText(QString::fromStdString(view.undoCaption));
    redo_->setEnabled(view.canRedo);
    redo_->setText(QString::fromStdString(view.redoCaption));
    grid_->UpdateControls();
    chordMute_->CloseIfItsSongIsGone();
    UpdateRecentFiles();
    map_->update();
    preview_->UpdateControls();
    if (view.programsRunning != programWatch_->isActive()) {
        view.programsRunning ? programWatch_->start() : programWatch_->stop();
    }
}

void MainWindow::ShowBusyCursor(bool busy) {
    if (busy == busyCursorShown_) return;
    busyCursorShown_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MainWindow::PlaceOnScreen() {
    const QByteArray stored = QByteArray::fromBase64(
        QByteArray::fromStdString(ReadWindowLayout(session_, WindowLayoutItem::Geometry)));
    if (!stored.isEmpty() && restoreGeometry(stored)) return;
    // First start: the usual size, made smaller when the screen is, so that nothing of the window
    // lies off a small or highly scaled screen.
    const QRect available = screen()->availableGeometry();
    const QSize fitting = QSize(1280, 800).boundedTo(available.size() * 0.95);
    resize(fitting);
    move(available.center() - QPoint(fitting.width() / 2, fitting.height() / 2));
}

void MainWindow::SetTabOrder() {
    // Commands first, then the sections, the two texts, the grid and its buttons: the order in
    // which a style is made.
    QList<QWidget*> chain;
    for (QAction* action : commands_->actions()) {
        if (QWidget* widget = commands_->widgetForAction(action)) chain << widget;
    }
    for (QAction* action : sections_->actions()) {
        if (QWidget* widget = sections_->widgetForAction(action); widget && !action->isSeparator())
            chain << widget;
    }
    chain << styleName_ << copyright_ << preview_->FocusChain() << grid_->FocusChain() << clear_
          << autoSet_ << makeCasm_ << useStyleCasm_;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void MainWindow::ShowMainWindow(const MainWindowView&) {
    UpdateControls();
    effects_->UpdateControls();
}

bool MainWindow::ShowDocument(const DocumentRequest& request) {
    return info_->Show(request);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!MayClose(session_)) {
        event->ignore();
        UpdateControls();
        return;
    }
    SaveRecentFiles(session_);
    StoreWindowLayout(session_, WindowLayoutItem::Geometry,
                      saveGeometry().toBase64().toStdString());
    StoreWindowLayout(session_, WindowLayoutItem::CasmColumns, grid_->ColumnWidths());
    for (QWidget* window : std::initializer_list<QWidget*>{chordMute_, effects_, setup_, info_}) {
        window->close();
    }
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    const std::string path = urls.first().toLocalFile().toStdString();
    Run("Drop File", [this, &path] { return OpenFileByPath(session_, path); });
}

}  // namespace zephrane::gui
