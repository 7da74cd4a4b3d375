// The real windows, driven as a user would, on the offscreen platform.

#include <filesystem>
#include <functional>
#include <tuple>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>

#include "app/stub_platform.h"
#include "casm/casm_reader.h"
#include "gui/casm_grid.h"
#include "gui/chord_mute_window.h"
#include "gui/effects_window.h"
#include "gui/main_window.h"
#include "gui/rtf_to_html.h"
#include "gui/section_map.h"
#include "support/temp_dir.h"

using namespace zephrane;

namespace {

// A 20-measure style, each section one measure from measure 1 on, the last running to the end.
test::Bytes StyleOfEverySection() {
    test::TrackBuilder track;
    track.TimeSignature(0, 4, 2).Marker(0, "SFF1").Marker(0, "SInt").Program(0, 1, 0);
    for (int m = 0; m < 20; ++m) {  // each note-off half a measure before the next bar line
        const bool marked = m >= 1 && m <= 14;
        if (marked) track.Marker(960, std::string(kSectionTable[m - 1].name));
        track.NoteOn(marked || m == 0 ? 0 : 960, 1, 60, 90).NoteOff(960, 1, 60);
    }
    return test::SongFile(track.EndOfTrack());
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

// The captions of the window and its dialogs as the documents name them: without access-key
// marks, a trailing "..." and padding blanks; numbers left out.
QStringList CaptionsOf(gui::MainWindow& window) {
    QStringList captions;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        for (const QAction* action : widget->actions())
            captions << action->text();
        if (qobject_cast<const QMenu*>(widget) || qobject_cast<const QGroupBox*>(widget) ||
            qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget)) {
            captions << widget->property("title").toString() << widget->property("text").toString();
        }
    }
    for (const QComboBox* list : window.findChild<gui::CasmGrid*>()->findChildren<QComboBox*>()) {
        for (int item = 0; item < list->count(); ++item)
            captions << list->itemText(item);
    }
    QStringList names;
    for (QString name : captions) {
        name = name.remove('&').remove("...").simplified();
        bool isNumber = false;
        name.toInt(&isNumber);
        if (!name.isEmpty() && !isNumber && !names.contains(name)) names << name;
    }
    return names;
}

struct ShownWindow {
    ShownWindow() {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.settingsDirectory = dir.Path().string();
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        window.resize(1280, 800);
        window.show();
        window.StartUp();
    }
    QAction* Action(const std::string& name) { return window.findChild<QAction*>(name.c_str()); }
    template <typename Widget>
    Widget* Find(const char* name) {
        return window.findChild<Widget*>(name);
    }
    void Click(const char* button) {
        QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton);
    }
    void Open(const std::string& path) {
        recorder.openAnswers.push_back(path);
        Action("Open")->trigger();
    }
    void OpenSong(int measures) {
        Open(dir.Write("band.mid", test::SongFile(test::MeasuresSong(measures))));
    }
    std::string SaveStyleAs(const char* name) {
        const std::string path = (dir.Path() / name).string();
        recorder.saveAnswers.push_back(path);
        Action("SaveStyle")->trigger();
        return path;
    }
    Session& S() { return window.GetSession(); }
    // A right click at `at` inside `widget`, as the mouse gives it.
    static void RightClick(QWidget* widget, QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
    }
    // Right-clicks the button of `key` and chooses "Remove section".
    void RemoveSectionByButton(const char* key) {
        RightClick(Find<QToolBar>("Toolbar2")->widgetForAction(Action(key)), {3, 3});
        Action("mnuRemoveSection")->trigger();
    }
    // Types `text` into the box `name` and leaves it.
    void EnterText(const char* name, const char* text) {
        auto* box = Find<QLineEdit>(name);
        box->setText(text);
        box->setModified(true);
        emit box->editingFinished();
    }
    void Choose(const char* list, int position) { emit Find<QComboBox>(list)->activated(position); }

    test::TempDir dir;
    StubPlatform recorder;
    gui::MainWindow window{gui::ShellServices{recorder, recorder, recorder, recorder, recorder}};
};

// What the editing commands change, compared whole: the song's bytes, the CASM, the effects and
// the sections.
auto Document(const Session& s) {
    return std::tuple(s.song.bytes, s.casm, s.effects, s.sectionFlags, s.useStyleCasm);
}

using Steps = std::function<void(ShownWindow&)>;

void MarkMainA(ShownWindow& shown) {
    shown.Action("Main A")->trigger();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    // Guards against the window's OK, after File > Open, writing into the new song's channel 1.
    void chordMuteWindowClosesWithItsSong() {
        ShownWindow shown;
        shown.OpenSong(12);
        shown.Click("cmdChordMute1");
        gui::ChordMuteWindow* dialog = shown.window.ChordMute();
        QCOMPARE(dialog->windowTitle(), QString(" Chord Recognition for Channel  1"));
        dialog->findChild<QCheckBox*>("chkChordMute26")->setChecked(false);  // "Maj": byte 4 bit 0
        shown.OpenSong(14);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(shown.window.GetSession().casm[0].chordMute, (ChordMute{3, 255, 255, 255, 255}));
        shown.Click("cmdChordMute1");
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->findChild<QCheckBox*>("chkChordMute26")->isChecked());
    }

    // Guards against a map worked out from the working file's markers and the standard layout.
    void sectionMapShowsTheSectionsOfAnOpenedStyle() {
        ShownWindow shown;
        shown.Open(shown.dir.Write("every.sty", StyleOfEverySection()));
        QVERIFY(shown.recorder.messages.empty());
        for (const SectionRow& row : kSectionTable)
            QVERIFY(shown.Action(std::string(row.key))->isChecked());
        const SectionPicture picture = shown.Find<gui::SectionMap>("sectionMap")->Picture();
        QVERIFY(picture.places.empty());
        QCOMPARE(picture.measuresShown, 20);
        QCOMPARE(picture.marked.size(), kSectionTable.size());
        for (size_t i = 0; i < kSectionTable.size(); ++i) {
            const int first = static_cast<int>(i) + 1;
            const int end = i + 1 < kSectionTable.size() ? first + 1 : 20;
            QCOMPARE(picture.marked[i],
                     (SectionSpan{std::string(kSectionTable[i].key), first, end}));
        }
    }

    // Guards against "Use Style's Casm" outliving its style: the next style had no CASM chunk.
    void styleCasmChoiceEndsWithItsStyle() {
        ShownWindow shown;
        shown.OpenSong(12);
        shown.Action("Main A")->trigger();
        shown.Click("cmdAutoCasm");
        shown.Open(shown.SaveStyleAs("first.sty"));
        auto* useStyleCasm = shown.Find<QRadioButton>("OptOrigCasm");
        QVERIFY(useStyleCasm->isVisible());
        shown.Click("OptOrigCasm");
        QVERIFY(shown.window.GetSession().useStyleCasm);
        shown.OpenSong(12);
        QVERIFY(!useStyleCasm->isVisible());
        QVERIFY(shown.Find<QRadioButton>("OptmakeCasm")->isChecked());
        shown.Click("cmdAutoCasm");
        shown.Action("Main A")->trigger();
        const CasmListing listing =
            ReadCasmListing(ByteImage(test::ReadFile(shown.SaveStyleAs("next.sty"))));
        QVERIFY(shown.recorder.messages.empty());
        QVERIFY(listing.problems.empty());
        QCOMPARE(listing.chunks.size(), size_t{1});
        QCOMPARE(listing.chunks[0].tag, std::string("CASM"));
    }

    // Guards against an edit that Undo does not take back to the very bytes before it, or that
    // Redo does not make again: every kind of edit, on a song with Main A and an automatic CASM.
    void undoAndRedoGiveBackEachEdit() {
        const Steps none = [](ShownWindow&) {};
        const Steps useSequencer = [](ShownWindow& w) {
            w.S().settings.sequencerPath = "sequencer";
            w.recorder.onStart = [&w](const std::vector<std::string>&) {  // lengthens the song
                w.dir.Write("Zephwork.mid", test::SongFile(test::MeasuresSong(20)));
            };
        };
        const struct {
            const char* step;  // as "Undo" and "Redo" name it
            Steps prepare;
            Steps edit;
        } rows[] = {
            {"Main B", none, [](ShownWindow& w) { w.Action("Main B")->trigger(); }},
            {"Remove section", none, [](ShownWindow& w) { w.RemoveSectionByButton("Main A"); }},
            {"Style Name", none, [](ShownWindow& w) { w.EnterText("txtStylename", "Groove"); }},
            {"Copyright", none, [](ShownWindow& w) { w.EnterText("txtCopyright", "(c) Me"); }},
            {"Part", none, [](ShownWindow& w) { w.Choose("WLCboPart10", kBassPart); }},
            {"Key", none, [](ShownWindow& w) { w.Choose("WLCboKey10", 3); }},
            {"LoLimit", none, [](ShownWindow& w) { w.EnterText("WLTxtLoLimit10", "E2"); }},
            {"Chord Mute", none,
             [](ShownWindow& w) {
                 w.Click("cmdChordMute10");
                 w.Find<QCheckBox>("chkChordMute26")->setChecked(false);
                 for (QPushButton* button : w.window.ChordMute()->findChildren<QPushButton*>())
                     if (button->text() == kChordMuteOkButton) button->click();
             }},
            {"Clear CASM", none, [](ShownWindow& w) { w.Click("cmdClearCasm"); }},
            {"Auto CASM Set", [](ShownWindow& w) { w.Click("cmdClearCasm"); },
             [](ShownWindow& w) { w.Click("cmdAutoCasm"); }},
            {"Use Style's Casm", [](ShownWindow& w) { w.Open(w.SaveStyleAs("own.sty")); },
             [](ShownWindow& w) { w.Click("OptOrigCasm"); }},
            {"Effects", none, [](ShownWindow& w) { w.Choose("cboReverb", 2); }},
            {"Effects", none, [](ShownWindow& w) { w.Find<QSpinBox>("txtRevRet")->setValue(64); }},
            {"Effects", none,
             [](ShownWindow& w) { w.Find<QAbstractButton>("VarType1_1")->click(); }},
            {"Convert Notes", useSequencer, [](ShownWindow& w) { w.Action("Convert")->trigger(); }},
            {"To Sequencer", useSequencer, [](ShownWindow& w) { w.Action("All")->trigger(); }},
        };
        for (const auto& row : rows) {
            ShownWindow shown;
            shown.OpenSong(16);
            MarkMainA(shown);
            shown.Click("cmdAutoCasm");
            row.prepare(shown);
            const auto before = Document(shown.S());
            row.edit(shown);
            const auto after = Document(shown.S());
            QVERIFY2(after != before && shown.recorder.messages.empty(), row.step);
            QCOMPARE(shown.Action("mnuUndo")->text(), QString("Undo ") + row.step);
            shown.Action("mnuUndo")->trigger();
            QVERIFY2(Document(shown.S()) == before, row.step);
            QCOMPARE(shown.Action("mnuRedo")->text(), QString("Redo ") + row.step);
            shown.Action("mnuRedo")->trigger();
            QVERIFY2(Document(shown.S()) == after, row.step);
        }
    }

    // Guards against Remove section leaving a marker, a delta time or the track length behind,
    // from the button's menu and from the bar's on the section map.
    void removeSectionGivesBackTheSongBeforeItsMarkers() {
        ShownWindow shown;
        shown.OpenSong(24);
        const ByteImage unmarked = shown.S().song.bytes;
        MarkMainA(shown);
        shown.Action("End A")->trigger();
        shown.RemoveSectionByButton("Main A");
        QVERIFY(!shown.Action("Main A")->isChecked());
        auto* map = shown.Find<gui::SectionMap>("sectionMap");
        QPoint endBar;
        for (int x = 0; x < map->width() && endBar.isNull(); ++x)
            if (map->SectionAt({x, 50}) == "End A") endBar = {x, 50};
        ShownWindow::RightClick(map, endBar);
        shown.Action("mnuRemoveSection")->trigger();
        QVERIFY(shown.S().song.bytes == unmarked);
        QVERIFY(!shown.Action("End A")->isChecked());
        QVERIFY(map->Picture().marked.empty());
        QVERIFY(shown.recorder.messages.empty());
    }

    // Guards against closing losing edits that no saved file holds, and against a question when
    // nothing would be lost.
    void closingAsksOnlyAboutUnsavedEdits() {
        const Steps editAndUndo = [](ShownWindow& w) {
            MarkMainA(w);
            w.Action("mnuUndo")->trigger();
        };
        const Steps editAndSave = [](ShownWindow& w) {
            MarkMainA(w);
            w.Click("cmdAutoCasm");
            w.SaveStyleAs("saved.sty");
        };
        const Steps editWithSavePath = [](ShownWindow& w) {
            MarkMainA(w);
            w.Click("cmdAutoCasm");
            w.recorder.saveAnswers.push_back((w.dir.Path() / "closing.sty").string());
        };
        const struct {
            const char* name;
            Steps steps;
            SaveAnswer answer;
            bool asked;
            bool closes;
        } rows[] = {
            {"opened only", [](ShownWindow&) {}, SaveAnswer::Cancel, false, true},
            {"edit undone", editAndUndo, SaveAnswer::Cancel, false, true},
            {"edit saved", editAndSave, SaveAnswer::Cancel, false, true},
            {"Cancel", MarkMainA, SaveAnswer::Cancel, true, false},
            {"Discard", MarkMainA, SaveAnswer::Discard, true, true},
            {"Save", editWithSavePath, SaveAnswer::Save, true, true},
            {"Save refused: no part", MarkMainA, SaveAnswer::Save, true, false},
        };
        for (const auto& row : rows) {
            ShownWindow shown;
            shown.OpenSong(12);
            row.steps(shown);
            shown.recorder.questions.clear();
            shown.recorder.saveDiscardAnswers = {row.answer};
            QVERIFY2(shown.window.close() == row.closes, row.name);
            QVERIFY2(shown.window.isVisible() != row.closes, row.name);
            QCOMPARE(shown.recorder.questions,
                     row.asked ? std::vector<std::string>{"Save the style before closing?"}
                               : std::vector<std::string>{});
            QCOMPARE(std::filesystem::exists(shown.dir.Path() / "closing.sty"),
                     row.answer == SaveAnswer::Save && row.closes);
        }
    }

    // Guards against a caption that no help document explains under its name.
    void helpDocumentsExplainEveryCaption() {
        ShownWindow shown;
        const QStringList captions = CaptionsOf(shown.window);
        for (const char* reached : {"Convert Type 1 MIDI", "Retrigger Rule", "Har. Minor"})
            QVERIFY(captions.contains(reached));  // the menus, the grid and its lists
        const QString documents = HelpDocumentsText();
        for (const QString& caption : captions)
            QVERIFY2(documents.contains(caption), qPrintable("not in the documents: " + caption));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
