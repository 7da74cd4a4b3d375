// The real windows, driven as a user would, on the offscreen platform.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/session.h"
#include "app/stub_platform.h"
#include "casm/casm_reader.h"
#include "gui/casm_grid.h"
#include "gui/chord_mute_window.h"
#include "gui/effects_window.h"
#include "gui/main_window.h"
#include "gui/qt_services.h"
#include "gui/rtf_to_html.h"
#include "gui/section_map.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

using namespace zephrane;

namespace {

// Channels 1 (piano), 2 (bass) and 10 (drums) over `measures` 4/4 measures.
test::Bytes BandSong(int measures) {
    test::TrackBuilder track;
    track.TimeSignature(0, 4, 2).Program(0, 1, 0).Program(0, 2, 33);
    for (int m = 0; m < measures; ++m) {
        track.NoteOn(m == 0 ? 0 : 960, 10, 36, 100)
            .NoteOn(0, 1, 60, 90)
            .NoteOn(0, 2, 36, 90)
            .NoteOff(960, 10, 36)
            .NoteOff(0, 1, 60)
            .NoteOff(0, 2, 36);
    }
    track.EndOfTrack(960);
    return test::SongFile(track);
}

// A 20-measure style with every section marker, the sections one measure each from measure 1 on,
// the last running to the end.
test::Bytes StyleOfEverySection() {
    test::TrackBuilder track;
    track.TimeSignature(0, 4, 2).Marker(0, "SFF1").Marker(0, "SInt").Program(0, 1, 0);
    for (int m = 0; m < 20; ++m) {
        uint32_t delta = m == 0 ? 0 : 960;  // from the note-off half a measure before
        if (m >= 1 && m <= 14) {
            track.Marker(delta, std::string(kSectionTable[m - 1].name));
            delta = 0;
        }
        track.NoteOn(delta, 1, 60, 90).NoteOff(960, 1, 60);
    }
    track.EndOfTrack();
    return test::SongFile(track);
}

// A caption as the documents name it: without its access-key marks, a trailing "..." and the
// blanks that pad it.
QString AsDocumentsName(QString caption) {
    caption.remove('&');
    caption.remove("...");
    return caption.simplified();
}

// The plain text of the two help documents, read through the program's own RTF reader.
QString HelpDocumentsText() {
    QString text;
    for (const char* name : {"Zephrane.rtf", "ZephraneQuickStart.rtf"}) {
        QFile file(QString(ZEPHRANE_DATA_DIR) + "/" + name);
        if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", name);
        const QByteArray rtf = file.readAll();
        QString html = QString::fromStdString(RtfToHtml(std::string_view(rtf.data(), rtf.size())));
        html.remove(QRegularExpression("<[^>]*>"));
        html.replace("&nbsp;", " ").replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        text += html + "\n";
    }
    return text.simplified();
}

// Every action of `menu` and of its submenus, the submenus' own titles included.
void AddMenuCaptions(const QMenu* menu, QStringList& captions) {
    captions << menu->title();
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        if (action->menu()) {
            AddMenuCaptions(action->menu(), captions);
        } else {
            captions << action->text();
        }
    }
}

// What a user reads on the main window: the toolbars' buttons with the drop-down items, the
// menus, the CASM grid's headings and choice lists, and the buttons, labels and frames of the
// window and of the dialogs it owns.
QStringList CaptionsOf(gui::MainWindow& window) {
    QStringList captions;
    for (const QToolBar* toolbar : window.findChildren<QToolBar*>()) {
        for (QAction* action : toolbar->actions()) {
            if (action->isSeparator()) continue;
            captions << action->text();
            if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action))) {
                captions << button->text();
                if (button->menu()) AddMenuCaptions(button->menu(), captions);
            }
        }
    }
    for (const QMenuBar* bar : window.findChildren<QMenuBar*>()) {
        for (const QAction* action : bar->actions()) {
            if (action->menu()) {
                AddMenuCaptions(action->menu(), captions);
            } else {
                captions << action->text();
            }
        }
    }
    const auto* grid = window.findChild<gui::CasmGrid*>();
    const auto* layout = static_cast<const QGridLayout*>(grid->layout());
    for (int column = 0; column < layout->columnCount(); ++column) {
        captions << qobject_cast<QLabel*>(layout->itemAtPosition(0, column)->widget())->text();
        if (auto* list = qobject_cast<QComboBox*>(layout->itemAtPosition(1, column)->widget())) {
            for (int item = 0; item < list->count(); ++item)
                captions << list->itemText(item);
        }
    }
    for (const QLabel* label : window.findChildren<QLabel*>())
        captions << label->text();
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        captions << button->text();
    for (const QGroupBox* box : window.findChildren<QGroupBox*>())
        captions << box->title();
    QStringList names;
    for (const QString& caption : captions) {
        const QString name = AsDocumentsName(caption);
        bool isNumber = false;
        name.toInt(&isNumber);
        if (!name.isEmpty() && !isNumber && !names.contains(name)) names << name;
    }
    return names;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void startUpFillsTheListsAndTheRecentFiles();
    void openingASongFillsTheFieldsAndOnlyTheRowsWithNotes();
    void sectionButtonInsertsMarkersAndStaysPressed();
    void shortSongRefusesASectionWithItsMessage();
    void autoCasmSetFillsTheGrid();
    void refusedLimitTextKeepsTheOldNumber();
    void chordMuteStoresMajorAndMinorBytes();
    void secondEditReloadsTheChordMuteWindow();
    void chordMuteWindowClosesWithItsSong();
    void sectionMapShowsTheSectionsOfAnOpenedStyle();
    void effectsWindowSwitchesLayoutAndList();
    void saveStyleWritesWhatTheCommandLineWrites();
    void saveStyleWithoutAFileShowsItsMessage();
    void styleCasmChoiceEndsWithItsStyle();
    void filtersAreWrittenTheQtWay();
    void rtfDocumentsBecomeHtml();
    void helpDocumentsExplainEveryCaption();
    void aboutWindowShowsTheLicence();
    void screenshotOfAWorkingSession();

  private:
    QAction* Action(const char* name) const { return window_->findChild<QAction*>(name); }
    template <typename Widget>
    Widget* Find(const QString& name) const {
        Widget* widget = window_->findChild<Widget*>(name);
        if (!widget) qFatal("no widget %s", qPrintable(name));
        return widget;
    }
    void OpenSong(int measures);
    std::string SaveStyleAs(const char* name);

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<StubPlatform> recorder_;
    std::unique_ptr<gui::MainWindow> window_;
    std::string song_;
};

void MainWindowTest::init() {
    dir_ = std::make_unique<test::TempDir>();
    recorder_ = std::make_unique<StubPlatform>();
    recorder_->programDirectory = ZEPHRANE_DATA_DIR;
    recorder_->settingsDirectory = dir_->Path().string();
    recorder_->workingFilePath = (dir_->Path() / "Zephwork.mid").string();
    StubPlatform& r = *recorder_;
    window_ = std::make_unique<gui::MainWindow>(gui::ShellServices{r, r, r, r, r});
    window_->resize(1280, 800);
    window_->show();
}

void MainWindowTest::cleanup() {
    window_.reset();
    recorder_.reset();
    dir_.reset();
}

void MainWindowTest::OpenSong(int measures) {
    song_ = dir_->Write("band.mid", BandSong(measures));
    recorder_->openAnswers.push_back(song_);
    Action("Open")->trigger();
}

std::string MainWindowTest::SaveStyleAs(const char* name) {
    const std::string path = (dir_->Path() / name).string();
    recorder_->saveAnswers.push_back(path);
    Action("SaveStyle")->trigger();
    return path;
}

void MainWindowTest::startUpFillsTheListsAndTheRecentFiles() {
    recorder_->store["Zephrane/MRUFiles/0"] = "/songs/a.mid";
    recorder_->store["Zephrane/MRUFiles/1"] = "/songs/b.mid";
    window_->StartUp();
    QCOMPARE(Find<QComboBox>("WLCboPart1")->count(), 10);
    QCOMPARE(Find<QComboBox>("WLCboPart1")->itemText(3), QString("Chord 1"));
    QCOMPARE(Find<QComboBox>("WLCboChord16")->count(), 34);
    QCOMPARE(window_->Effects()->findChild<QComboBox*>("cboReverb")->count(), 24);
    QCOMPARE(window_->Effects()->findChild<QComboBox*>("cboEffect")->count(), 102);
    QMenu* recent = window_->findChild<QMenu*>("mnuMRU");
    QCOMPARE(recent->actions().size(), 2);
    QCOMPARE(recent->actions()[0]->text(), QString("/songs/a.mid"));
    QVERIFY(recorder_->messages.empty());
}

void MainWindowTest::openingASongFillsTheFieldsAndOnlyTheRowsWithNotes() {
    window_->StartUp();
    OpenSong(12);
    QCOMPARE(window_->windowTitle(), QString("Zephrane   band.mid"));
    QCOMPARE(Find<QLineEdit>("txtFileName")->text(), QString("band.mid(modified)"));
    QCOMPARE(Find<QLineEdit>("txtTimeSig")->text(), QString(" 4/4"));
    QCOMPARE(Find<QLineEdit>("txttempo")->text(), QString("120"));
    QCOMPARE(Find<QLabel>("lblMaxMeaures")->text(), QString("Measures:  12"));
    QVERIFY(!Find<QComboBox>("WLCboPart1")->isHidden());
    QVERIFY(!Find<QComboBox>("WLCboPart2")->isHidden());
    QVERIFY(Find<QComboBox>("WLCboPart3")->isHidden());
    QVERIFY(!Find<QComboBox>("WLCboPart10")->isHidden());
    // Open File prepares the song: the bass got bank 0/112, a panel voice.
    QCOMPARE(Find<QLineEdit>("WLTxtVoice2")->text(), QString("Bass-Panel"));
    QCOMPARE(Find<QLineEdit>("WLTxtVoice10")->text(), QString("Drum Kit-GM no PC"));
    QVERIFY(recorder_->messages.empty());
}

void MainWindowTest::sectionButtonInsertsMarkersAndStaysPressed() {
    window_->StartUp();
    OpenSong(12);
    Action("Main A")->trigger();
    QVERIFY(Action("Main A")->isChecked());
    QVERIFY(!Action("Main B")->isChecked());
    const Session& session = window_->GetSession();
    std::vector<std::string> markers;
    for (int i = 0; i < session.markers.count; ++i)
        markers.push_back(session.markers.entries[i].text);
    QCOMPARE(markers, (std::vector<std::string>{"SFF1", "SInt", ">Main A", "<Main A"}));
    QCOMPARE(Action("Main A")->toolTip(), QString("Add Main A Marker"));
}

void MainWindowTest::shortSongRefusesASectionWithItsMessage() {
    window_->StartUp();
    OpenSong(5);
    Action("Main A")->trigger();
    QVERIFY(!Action("Main A")->isChecked());
    QCOMPARE(recorder_->messages.size(), size_t{1});
    QVERIFY(recorder_->messages[0].starts_with(
        "To add this part requires a midi of at least 11 measures. GoSequencer"));
}

void MainWindowTest::autoCasmSetFillsTheGrid() {
    window_->StartUp();
    OpenSong(12);
    QTest::mouseClick(Find<QPushButton>("cmdAutoCasm"), Qt::LeftButton);
    QCOMPARE(Find<QComboBox>("WLCboPart1")->currentText(), QString("Chord 1"));
    QCOMPARE(Find<QComboBox>("WLCboPart2")->currentText(), QString("Bass"));
    QCOMPARE(Find<QComboBox>("WLCboPart10")->currentText(), QString("Rhythm"));
    QCOMPARE(Find<QLineEdit>("WLTxtLoLimit2")->text(), QString("E2"));
    QTest::mouseClick(Find<QPushButton>("cmdClearCasm"), Qt::LeftButton);
    QCOMPARE(Find<QComboBox>("WLCboPart1")->currentIndex(), -1);
}

void MainWindowTest::refusedLimitTextKeepsTheOldNumber() {
    window_->StartUp();
    OpenSong(12);
    QTest::mouseClick(Find<QPushButton>("cmdAutoCasm"), Qt::LeftButton);
    QLineEdit* low = Find<QLineEdit>("WLTxtLoLimit2");
    low->setFocus();
    low->selectAll();
    QTest::keyClicks(low, "H3");
    QTest::keyClick(low, Qt::Key_Return);
    QCOMPARE(recorder_->messages.size(), size_t{1});
    QVERIFY(recorder_->messages[0].starts_with("This value must be of the form note name"));
    QCOMPARE(window_->GetSession().casm[1].lowLimit, int16_t{28});
}

void MainWindowTest::chordMuteStoresMajorAndMinorBytes() {
    window_->StartUp();
    OpenSong(12);
    QTest::mouseClick(Find<QPushButton>("cmdChordMute1"), Qt::LeftButton);
    gui::ChordMuteWindow* dialog = window_->ChordMute();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString(" Chord Recognition for Channel  1"));
    const auto click = [dialog](const char* caption) {
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == caption) QTest::mouseClick(button, Qt::LeftButton);
        }
    };
    click("Minor");
    click("OK");
    QVERIFY(!dialog->isVisible());
    QCOMPARE(window_->GetSession().casm[0].chordMute, (ChordMute{0, 0, 6, 255, 0}));
    QTest::mouseClick(Find<QPushButton>("cmdChordMute2"), Qt::LeftButton);
    click("Major");
    click("OK");
    QCOMPARE(window_->GetSession().casm[1].chordMute, (ChordMute{3, 255, 249, 0, 255}));
}

void MainWindowTest::secondEditReloadsTheChordMuteWindow() {
    window_->StartUp();
    OpenSong(12);
    window_->GetSession().casm[1].chordMute = {0, 0, 0, 0, 1};
    QTest::mouseClick(Find<QPushButton>("cmdChordMute1"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("cmdChordMute2"), Qt::LeftButton);
    gui::ChordMuteWindow* dialog = window_->ChordMute();
    QCOMPARE(dialog->windowTitle(), QString(" Chord Recognition for Channel  2"));
    QVERIFY(dialog->findChild<QCheckBox*>("chkChordMute26")->isChecked());  // "Maj": byte 4 bit 0
    QVERIFY(!dialog->findChild<QCheckBox*>("chkChordMute0")->isChecked());
}

// Guards against the window's OK, after File > Open, writing into the new song's channel 1.
void MainWindowTest::chordMuteWindowClosesWithItsSong() {
    window_->StartUp();
    OpenSong(12);
    QTest::mouseClick(Find<QPushButton>("cmdChordMute1"), Qt::LeftButton);
    gui::ChordMuteWindow* dialog = window_->ChordMute();
    dialog->findChild<QCheckBox*>("chkChordMute26")->setChecked(false);
    OpenSong(14);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(window_->GetSession().casm[0].chordMute, (ChordMute{3, 255, 255, 255, 255}));
    QTest::mouseClick(Find<QPushButton>("cmdChordMute1"), Qt::LeftButton);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->findChild<QCheckBox*>("chkChordMute26")->isChecked());
}

// Guards against a map that worked the sections out from the working file's own markers and the
// standard layout: an opened style showed no bars, and the layout's names over its measures.
void MainWindowTest::sectionMapShowsTheSectionsOfAnOpenedStyle() {
    window_->StartUp();
    recorder_->openAnswers.push_back(dir_->Write("every.sty", StyleOfEverySection()));
    Action("Open")->trigger();
    QVERIFY(recorder_->messages.empty());
    for (const SectionRow& row : kSectionTable)
        QVERIFY(Action(std::string(row.key).c_str())->isChecked());
    const SectionPicture picture = window_->findChild<gui::SectionMap*>("sectionMap")->Picture();
    QVERIFY(picture.places.empty());
    QCOMPARE(picture.measuresShown, 20);
    QCOMPARE(picture.marked.size(), kSectionTable.size());
    for (size_t i = 0; i < kSectionTable.size(); ++i) {
        const int first = static_cast<int>(i) + 1;
        const int end = i + 1 < kSectionTable.size() ? first + 1 : 20;
        QCOMPARE(picture.marked[i], (SectionSpan{std::string(kSectionTable[i].key), first, end}));
    }
}

void MainWindowTest::effectsWindowSwitchesLayoutAndList() {
    window_->StartUp();
    gui::EffectsWindow* effects = window_->Effects();
    Action("mnuEffects")->trigger();
    QVERIFY(effects->isVisible());
    QVERIFY(effects->findChild<QGroupBox*>()->isVisible());
    QSpinBox* pan = effects->findChild<QSpinBox*>("txtPan");
    QVERIFY(pan->isVisible());
    effects->findChild<QRadioButton*>("VarType1_1")->click();
    QCOMPARE(effects->findChild<QComboBox*>("cboEffect")->count(), 75);
    QVERIFY(!pan->isVisible());
    QVERIFY(effects->findChild<QSpinBox*>("TxtInsPart")->isVisible());
    QCOMPARE(window_->GetSession().effects.connection, VariationConnection::Insertion);
    effects->findChild<QSpinBox*>("txtRevRet")->setValue(80);
    QCOMPARE(window_->GetSession().effects.reverbReturn, std::string("80"));
}

void MainWindowTest::saveStyleWritesWhatTheCommandLineWrites() {
    window_->StartUp();
    OpenSong(12);
    Action("Main A")->trigger();
    QTest::mouseClick(Find<QPushButton>("cmdAutoCasm"), Qt::LeftButton);
    const std::string fromWindow = (dir_->Path() / "window.sty").string();
    recorder_->saveAnswers.push_back(fromWindow);
    Action("SaveStyle")->trigger();
    QVERIFY(recorder_->messages.empty());

    const std::string fromCli = (dir_->Path() / "cli.sty").string();
    QProcess cli;
    cli.start(ZEPHRANE_CLI_PATH,
              {"style", "--work-dir", QString::fromStdString((dir_->Path() / "cli").string()),
               "--sections", "Main A", "--auto-casm", "-o", QString::fromStdString(fromCli),
               QString::fromStdString(song_)});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(test::ReadFile(fromWindow) == test::ReadFile(fromCli));
    QVERIFY(!test::ReadFile(fromWindow).empty());
}

void MainWindowTest::saveStyleWithoutAFileShowsItsMessage() {
    window_->StartUp();
    Action("SaveStyle")->trigger();
    QCOMPARE(recorder_->messages,
             (std::vector<std::string>{"A file has not yet been opened. Click on Open File to "
                                       "identify the file to use."}));
}

// Guards against "Use Style's Casm" outliving the style it was chosen for: the next song's style
// was written without its CASM chunk, and without a word.
void MainWindowTest::styleCasmChoiceEndsWithItsStyle() {
    window_->StartUp();
    OpenSong(12);
    Action("Main A")->trigger();
    QTest::mouseClick(Find<QPushButton>("cmdAutoCasm"), Qt::LeftButton);
    const std::string style = SaveStyleAs("first.sty");
    recorder_->openAnswers.push_back(style);
    Action("Open")->trigger();
    auto* useStyleCasm = Find<QRadioButton>("OptOrigCasm");
    QVERIFY(useStyleCasm->isVisible());
    QTest::mouseClick(useStyleCasm, Qt::LeftButton);
    QVERIFY(window_->GetSession().useStyleCasm);

    OpenSong(12);
    QVERIFY(!useStyleCasm->isVisible());
    QVERIFY(Find<QRadioButton>("OptmakeCasm")->isChecked());
    QTest::mouseClick(Find<QPushButton>("cmdAutoCasm"), Qt::LeftButton);
    Action("Main A")->trigger();
    const CasmListing listing = ReadCasmListing(ByteImage(test::ReadFile(SaveStyleAs("next.sty"))));
    QVERIFY(recorder_->messages.empty());
    QVERIFY(listing.problems.empty());
    QCOMPARE(listing.chunks.size(), size_t{1});
    QCOMPARE(listing.chunks[0].tag, std::string("CASM"));
}

void MainWindowTest::filtersAreWrittenTheQtWay() {
    QCOMPARE(gui::QtFilter("Style Files(*.sty;*.pcs;*.mid)|*.sty;*.pcs;*.mid|"),
             QString("Style Files (*.sty *.pcs *.mid)"));
    QCOMPARE(gui::QtFilter("Style Files(*.mid)|*.mid|"), QString("Style Files (*.mid)"));
}

void MainWindowTest::rtfDocumentsBecomeHtml() {
    const std::string html = RtfToHtml(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\*\\generator Wordpad;}\\fs22 "
        "{\\b Bold} and {\\i it\\'e9}\\par Line\\u8364?\\par}");
    QVERIFY(html.find("Arial") == std::string::npos);
    QVERIFY(html.find("Wordpad") == std::string::npos);
    QVERIFY(html.find("font-weight:bold;\">Bold</span>") != std::string::npos);
    QVERIFY(html.find("font-style:italic;\">it\xC3\xA9</span>") != std::string::npos);
    QVERIFY(html.find("font-size:11pt;") != std::string::npos);
    QVERIFY(html.find("Line\xE2\x82\xAC</span></p>") !=
            std::string::npos);                               // the "?" fallback skipped
    QCOMPARE(std::count(html.begin(), html.end(), '\n'), 2);  // two paragraphs
}

// Guards against a help document that leaves a button, a menu item, a grid column or one of its
// choices unexplained, or names it otherwise than the window does.
void MainWindowTest::helpDocumentsExplainEveryCaption() {
    window_->StartUp();
    const QStringList captions = CaptionsOf(*window_);
    QVERIFY(captions.contains("Convert Type 1 MIDI"));  // the enumeration reaches the menus
    QVERIFY(captions.contains("Retrigger Rule"));       // and the grid
    QVERIFY(captions.contains("Har. Minor"));           // and its lists
    const QString documents = HelpDocumentsText();
    QStringList missing;
    for (const QString& caption : captions) {
        if (!documents.contains(caption)) missing << caption;
    }
    QVERIFY2(missing.isEmpty(), qPrintable("not in the documents: " + missing.join(" | ")));
}

// The licence line and the full text of the shipped LICENSE behind the About window's button.
void MainWindowTest::aboutWindowShowsTheLicence() {
    Action("mnuAbout")->trigger();
    auto* about = Find<QDialog>("frmAbout");
    auto* line = about->findChild<QLabel*>("lblLicence");
    auto* button = about->findChild<QPushButton*>("cmdLicence");
    QVERIFY(line && button);
    QCOMPARE(line->text(),
             QString("Licensed under the GNU General Public License, version 3 or later"));
    QTest::mouseClick(button, Qt::LeftButton);
    auto* licence = about->findChild<QDialog*>("frmLicence");
    QVERIFY(licence && licence->isVisible());
    QFile shipped(ZEPHRANE_LICENSE_FILE);
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QString text = licence->findChild<QPlainTextEdit*>("txtLicence")->toPlainText();
    QVERIFY(text.startsWith("                    GNU GENERAL PUBLIC LICENSE\n"));
    QCOMPARE(text, QString::fromUtf8(shipped.readAll()));
}

// With ZEPHRANE_SCREENSHOT set to a file name, saves the main window with the demo song open,
// every section marked and the CASM set, as the documentation shows it.
void MainWindowTest::screenshotOfAWorkingSession() {
    const QString target = qEnvironmentVariable("ZEPHRANE_SCREENSHOT");
    if (target.isEmpty()) QSKIP("set ZEPHRANE_SCREENSHOT to take the screenshot");
    window_->StartUp();
    recorder_->openAnswers.push_back(std::string(ZEPHRANE_DEMO_SONG));
    Action("Open")->trigger();
    for (const SectionRow& row : kSectionTable) {
        Action(std::string(row.key).c_str())->trigger();
    }
    QTest::mouseClick(Find<QPushButton>("cmdAutoCasm"), Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(window_->grab().save(target));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
