#include "gui/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/main_commands.h"
#include "app/play_commands.h"
#include "app/recent_files.h"
#include "app/section_commands.h"
#include "app/settings_files.h"
#include "app/song_commands.h"
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
    connect(chordMute_, &ChordMuteWindow::Closed, this, &MainWindow::UpdateControls);
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
    effects_->UpdateControls();
    UpdateControls();
}

template <typename Command>
void MainWindow::Run(Command&& command) {
    if (session_.view.waitingForSequencer) return;  // the sequencer is editing the working file
    command();
    UpdateControls();
}

void MainWindow::BuildMenu() {
    QMenu* file = menuBar()->addMenu("   &File");
    file->setObjectName("mnuFile");
    QAction* open = file->addAction("&Open File");
    open->setObjectName("mnuOpen");
    connect(open, &QAction::triggered, this,
            [this] { Run([this] { OpenFileCommand(session_); }); });
    recentMenu_ = file->addMenu("Recent Files");
    recentMenu_->setObjectName("mnuMRU");
    QAction* convertTypeOne = file->addAction("Convert Type 1 MIDI...");
    convertTypeOne->setObjectName("mnuConvertType1");
    connect(convertTypeOne, &QAction::triggered, this,
            [this] { Run([this] { ConvertTypeOneMidi(session_); }); });
    QAction* close = file->addAction("&Close Program");
    close->setObjectName("mnuClose");
    connect(close, &QAction::triggered, this, &QWidget::close);
    file->addSeparator();
    QMenu* save = file->addMenu("Save ");
    QAction* saveMidi = save->addAction("&Working Midi File");
    saveMidi->setObjectName("mnuSaveMidi");
    connect(saveMidi, &QAction::triggered, this,
            [this] { Run([this] { SaveWorkingMidiFile(session_); }); });
    QAction* saveStyle = save->addAction("&Style File");
    saveStyle->setObjectName("mnuSaveStyle");
    connect(saveStyle, &QAction::triggered, this,
            [this] { Run([this] { SaveStyle(session_, StyleCommandSource::MenuItem); }); });
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
    connect(exit, &QAction::triggered, this, &QWidget::close);
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
        std::function<void()> command;
    };
    const Button buttons[] = {
        {"Open File    ", "Open", "Open midi or style file", [this] { OpenFileCommand(session_); }},
        {"To Sequencer  ", "All", "Edit file in sequencer", [this] { ToSequencer(session_); }},
        {"Save Style    ", "SaveStyle", "Make a style and save it",
         [this] { SaveStyle(session_, StyleCommandSource::ToolbarButton); }},
        {"Play Style", "PlayStyle", "Play last style saved or opened.",
         [this] { PlayStyle(session_); }},
        {"Style from BB", "BBmidi", "Make style from special BB midis  ",
         [this] { StyleFromBb(session_); }},
        {"Quick Start", "Quick", "Overview on making styles", [this] { ShowQuickStart(session_); }},
    };
    for (const Button& button : buttons) {
        QAction* action = commands_->addAction(button.caption);
        action->setObjectName(button.key);
        action->setToolTip(button.toolTip);
        connect(action, &QAction::triggered, this,
                [this, command = button.command] { Run(command); });
        if (std::string_view(button.key) == "All") {
            // "Convert Notes" follows "To Sequencer", with its two items in a drop-down menu.
            auto* convert = new QToolButton(commands_);
            convert->setObjectName(kConvertButtonKey);
            convert->setText(kConvertButtonCaption);
            convert->setPopupMode(QToolButton::InstantPopup);
            auto* menu = new QMenu(convert);
            for (const ConvertMenuItem& item : kConvertMenuItems) {
                QAction* entry = menu->addAction(Text(item.text));
                entry->setObjectName(Text(item.key));
                connect(entry, &QAction::triggered, this, [this, which = item.item] {
                    Run([this, which] { ConvertNotes(session_, which); });
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
    sections_->setStyleSheet(
        "QToolButton:checked { background: #eba03c; border: 1px solid #9a6010; "
        "border-radius: 3px; }");
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
        connect(button, &QAction::triggered, this, [this, key = row->key] {
            Run([this, key] { PressSectionButton(session_, key); });
        });
    }
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
        Run([this] { LeaveStyleNameBox(session_, styleName_->text().toStdString()); });
    });
    connect(copyright_, &QLineEdit::editingFinished, this, [this] {
        Run([this] { LeaveCopyrightBox(session_, copyright_->text().toStdString()); });
    });
    return box;
}

QWidget* MainWindow::BuildCasmArea() {
    auto* box = new QGroupBox("CASM  (Zephrane's is common to all Sections)", this);
    auto* layout = new QVBoxLayout(box);
    grid_ = new CasmGrid(session_, box);
    auto* scroll = new QScrollArea(box);
    scroll->setWidget(grid_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll, 1);
    connect(grid_, &CasmGrid::ChordMuteRequested, chordMute_, &ChordMuteWindow::Open);

    auto* row = new QHBoxLayout;
    auto* clear = new QPushButton("Clear CASM", box);
    clear->setObjectName("cmdClearCasm");
    clear->setToolTip("Clears CASM display");
    auto* autoSet = new QPushButton("Auto CASM Set", box);
    autoSet->setObjectName("cmdAutoCasm");
    autoSet->setToolTip("Uses file data to guess at CASM settings");
    connect(clear, &QPushButton::clicked, this,
            [this] { Run([this] { ClearCasmSet(session_); }); });
    connect(autoSet, &QPushButton::clicked, this,
            [this] { Run([this] { AutoSetCasm(session_); }); });
    makeCasm_ = new QRadioButton("Make Casm", box);
    makeCasm_->setObjectName("OptmakeCasm");
    makeCasm_->setToolTip("Create a new CASM");
    useStyleCasm_ = new QRadioButton("Use Style's Casm", box);
    useStyleCasm_->setObjectName("OptOrigCasm");
    useStyleCasm_->setToolTip("Use CASM built into style");
    connect(makeCasm_, &QRadioButton::clicked, this,
            [this] { Run([this] { ChooseCasmSource(session_, CasmSource::MakeCasm); }); });
    connect(useStyleCasm_, &QRadioButton::clicked, this,
            [this] { Run([this] { ChooseCasmSource(session_, CasmSource::StylesCasm); }); });
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
        connect(entry, &QAction::triggered, this,
                [this, i] { Run([this, i] { OpenRecentFile(session_, static_cast<int>(i)); }); });
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
    commands_->setEnabled(!view.waitingForSequencer);
    sections_->setEnabled(!view.waitingForSequencer);
    menuBar()->setEnabled(!view.waitingForSequencer);
    centralWidget()->setEnabled(!view.waitingForSequencer);
    grid_->UpdateControls();
    chordMute_->CloseIfItsSongIsGone();
    UpdateRecentFiles();
    map_->update();
    preview_->UpdateControls();
    if (view.programsRunning != programWatch_->isActive()) {
        view.programsRunning ? programWatch_->start() : programWatch_->stop();
    }
}

void MainWindow::ShowMainWindow(const MainWindowView&) {
    UpdateControls();
    effects_->UpdateControls();
}

bool MainWindow::ShowDocument(const DocumentRequest& request) {
    return info_->Show(request);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    SaveRecentFiles(session_);
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
    Run([this, &path] { OpenFileByPath(session_, path); });
}

}  // namespace zephrane::gui
