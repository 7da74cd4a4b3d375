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
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>

#include "app/messages.h"
#include "app/status_line.h"
#include "app/stub_platform.h"
#include "casm/casm_reader.h"
#include "gui/casm_grid.h"
#include "gui/chord_mute_window.h"
#include "gui/effects_window.h"
#include "gui/main_window.h"
#include "gui/rtf_to_html.h"
#include "gui/section_map.h"
#include "gui/small_windows.h"
#include "support/temp_dir.h"

using namespace zephrane;

namespace {

// A 20-measure style in 3/4, each section one measure from measure 1 on, the last running to the
// end: a map counting 4/4 bars would put the later sections wrong. (Opening a style keeps its first
// time signature only, as every working file does.)
test::Bytes StyleOfEverySection() {
    test::TrackBuilder track;
    track.TimeSignature(0, 3, 2).Marker(0, "SFF1").Marker(0, "SInt").Program(0, 1, 0);
    for (int m = 0; m < 20; ++m) {  // each note-off half a measure before the next bar line
        const bool marked = m >= 1 && m <= 14;
        if (marked) track.Marker(720, std::string(kSectionTable[m - 1].name));
        track.NoteOn(marked || m == 0 ? 0 : 720, 1, 60, 90).NoteOff(720, 1, 60);
    }
    return test::SongFile(track.EndOfTrack());
}

// 40 measures of chords on channel 1: C/E on the even ones; Bbmaj7, then F from the half, on the
// odd ones.
test::Bytes ChordSong() {
    test::TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    const auto play = [&](std::vector<uint8_t> keys, uint32_t ticks) {
        for (const uint8_t key : keys)
            track.NoteOn(0, 1, key, 90);
        for (size_t i = 0; i < keys.size(); ++i)
            track.NoteOff(i == 0 ? ticks : 0, 1, keys[i]);
    };
    for (int m = 0; m < 40; ++m) {
        if (m % 2 == 0) {
            play({52, 55, 60}, 1920);
        } else {
            play({46, 62, 65, 69}, 960);
            play({41, 60, 65, 69}, 960);
        }
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
    const QTableWidget* grid = window.findChild<gui::CasmGrid*>()->Table();
    for (int column = 0; column < grid->columnCount(); ++column)
        captions << grid->horizontalHeaderItem(column)->text();
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
    QWidget* SectionButton(const SectionRow& row) {
        return Find<QToolBar>("Toolbar2")->widgetForAction(Action(std::string(row.key)));
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
    // Right-clicks the first proposed section on the map and chooses `item` from its menu.
    void ChooseOnProposal(const char* item) {
        auto* map = Find<gui::SectionMap>("sectionMap");
        RightClick(map, map->ProposalLabels().front().box.center().toPoint());
        Action(item)->trigger();
    }
    // Drags across the map's measures `from` to `to`.
    void Drag(int from, int to) {
        auto* map = Find<gui::SectionMap>("sectionMap");
        const double cell = (map->width() - 2) / double(map->Picture().measuresShown);
        const auto at = [&](int measure) { return QPoint(int(1 + (measure + 0.5) * cell), 9); };
        QTest::mousePress(map, Qt::LeftButton, {}, at(from));
        QTest::mouseMove(map, at(to));
        QTest::mouseRelease(map, Qt::LeftButton, {}, at(to));
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
        QCOMPARE(shown.S().casm[0].chordMute, (ChordMute{3, 255, 255, 255, 255}));
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

    // Guards against a window that looks alive while the sequencer edits the file: a click then
    // turned a section button on although no marker was inserted.
    void sequencerWaitClosesTheWindowAtOnce() {
        ShownWindow shown;
        shown.OpenSong(12);
        shown.S().settings.sequencerPath = "sequencer";
        shown.recorder.waitsBeforeExit = 2;
        QWidget* mainA = shown.SectionButton(kSectionTable[2]);
        QVERIFY(!shown.Action("Main A")->isChecked());
        int checks = 0;
        shown.recorder.onPendingEvents = [&] {
            ++checks;
            QVERIFY(!shown.Find<QToolBar>("Toolbar2")->isEnabled());
            QVERIFY(!shown.Find<QToolBar>("Toolbar1")->isEnabled() &&
                    !shown.window.Effects()->isEnabled());
            QVERIFY(QApplication::overrideCursor() &&
                    QApplication::overrideCursor()->shape() == Qt::BusyCursor);
            QVERIFY(
                shown.window.statusBar()->currentMessage().startsWith("Waiting for the sequencer"));
            QTest::mouseClick(mainA, Qt::LeftButton);
            MarkMainA(shown);
        };
        shown.Action("All")->trigger();
        QCOMPARE(checks, 2);
        QVERIFY(!shown.Action("Main A")->isChecked());
        QVERIFY(!shown.S().view.sectionPressed[kSectionTable[2].slot]);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(shown.Find<QToolBar>("Toolbar2")->isEnabled());
    }

    // Guards against Enter pressing the first button of a dialog ("Major", "Browse", "System
    // Info...") instead of its OK, and Escape storing anything.
    void enterPressesOkAndEscapeCancelsInEveryDialog() {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            const bool ok = key == Qt::Key_Return;
            ShownWindow shown;
            shown.OpenSong(12);
            shown.Click("cmdChordMute1");
            gui::ChordMuteWindow* chordMute = shown.window.ChordMute();
            auto* box = chordMute->findChild<QCheckBox*>("chkChordMute26");
            box->setChecked(false);
            QTest::keyClick(box, key);
            QVERIFY(!chordMute->isVisible());
            QCOMPARE(shown.S().casm[0].chordMute,
                     (ok ? ChordMute{3, 255, 255, 255, 254} : kAllChordsOn));

            const size_t openDialogs = shown.recorder.openRequests.size();
            shown.Action("mnuSetup")->trigger();
            auto* sequencer = shown.window.Setup()->findChild<QLineEdit*>("txtSequencerLocation");
            sequencer->setText("/usr/bin/rosegarden");
            QTest::keyClick(sequencer, key);
            QVERIFY(!shown.window.Setup()->isVisible());
            QCOMPARE(shown.recorder.openRequests.size(), openDialogs);  // no Browse dialog
            QCOMPARE(shown.S().settings.sequencerPath,
                     std::string(ok ? "/usr/bin/rosegarden" : ""));

            shown.Action("mnuAbout")->trigger();
            auto* about = shown.window.findChild<QDialog*>("frmAbout");
            QTest::keyClick(about, key);
            QTRY_VERIFY(!shown.window.findChild<QDialog*>("frmAbout"));
            QVERIFY(shown.recorder.messages.empty());  // no "System Information" message
        }
    }

    // Guards against a pressed section button growing and moving the buttons after it, so that a
    // second click at the same place hit another section, and against buttons and map labels cut
    // or lying outside a 1000-pixel window.
    void sectionButtonsKeepTheirPlaceAndEverythingFitsAWindowOf1000Pixels() {
        ShownWindow shown;
        shown.window.resize(1000, 700);
        shown.OpenSong(40);
        QApplication::processEvents();
        std::vector<QRect> before;
        for (const SectionRow& row : kSectionTable)
            before.push_back(shown.SectionButton(row)->geometry());
        for (const SectionRow& row : kSectionTable)
            if (row.slot % 2 == 0) shown.Action(std::string(row.key))->trigger();
        QApplication::processEvents();  // the tool bar lays its buttons out again
        QVERIFY(shown.recorder.messages.empty());
        const QRect visible = shown.window.rect();
        for (size_t i = 0; i < kSectionTable.size(); ++i) {
            const SectionRow& row = kSectionTable[i];
            QCOMPARE(shown.Action(std::string(row.key))->isChecked(), row.slot % 2 == 0);
            QWidget* button = shown.SectionButton(row);
            QCOMPARE(button->geometry(), before[i]);
            QVERIFY2(
                visible.contains(QRect(button->mapTo(&shown.window, QPoint()), button->size())),
                row.key.data());
        }
        auto* map = shown.Find<gui::SectionMap>("sectionMap");
        const QFontMetricsF metrics(map->LabelFont());
        const std::vector<gui::SectionMap::Label> labels = map->Labels();
        QVERIFY(labels.size() > 10);  // marked bars and the places of the others
        for (const gui::SectionMap::Label& label : labels) {
            QVERIFY(QRectF(map->rect()).contains(label.box));
            QVERIFY(label.shown == label.full || label.shown.endsWith(QChar(0x2026)) ||
                    label.full.startsWith(label.shown.left(1)));
            QVERIFY(metrics.horizontalAdvance(label.shown) <= label.box.width());
        }
    }

    // Guards against chords missing from the map, drawn away from the beat they start on, or
    // cut anywhere but before their bass or after their root.
    void sectionMapShowsEachChordUnderTheBeatItStartsOn() {
        ShownWindow shown;
        shown.window.resize(1000, 700);
        shown.Open(shown.dir.Write("chords.mid", ChordSong()));
        QApplication::processEvents();
        auto* map = shown.Find<gui::SectionMap>("sectionMap");
        const std::vector<gui::SectionMap::Label> chords = map->ChordLabels();
        QCOMPARE(chords.size(), size_t{60});
        const double cell = (map->width() - 2.0) / map->Picture().measuresShown;
        const QFontMetricsF metrics(map->LabelFont());
        const QString names[] = {"C/E", "Bbmaj7", "F"};
        bool shortened = false;
        for (size_t i = 0; i < chords.size(); ++i) {
            const double measure =
                static_cast<double>(i / 3 * 2 + (i % 3 != 0)) + (i % 3 == 2) / 2.0;
            QCOMPARE(chords[i].full, names[i % 3]);
            QCOMPARE(chords[i].box.left(), 1 + measure * cell);
            QVERIFY(QRectF(map->rect()).contains(chords[i].box));
            QVERIFY(chords[i].full.startsWith(chords[i].shown));
            QVERIFY(metrics.horizontalAdvance(chords[i].shown) <= chords[i].box.width());
            shortened = shortened || chords[i].shown != chords[i].full;
        }
        QVERIFY(shortened);  // 40 measures in 1000 pixels leave no room for "Bbmaj7"
    }

    // Guards against a window larger than its screen and one that forgets where it was left.
    void windowFitsItsScreenAndComesBackWhereItWasLeft() {
        ShownWindow shown;
        shown.window.PlaceOnScreen();
        const QSize screen = shown.window.screen()->availableGeometry().size();
        QVERIFY(shown.window.width() <= screen.width() && shown.window.height() <= screen.height());
        shown.window.setGeometry(40, 50, 700, 500);
        shown.window.findChild<gui::CasmGrid*>()->Table()->setColumnWidth(1, 333);
        shown.window.close();
        gui::MainWindow again{gui::ShellServices{shown.recorder, shown.recorder, shown.recorder,
                                                 shown.recorder, shown.recorder}};
        again.StartUp();
        again.PlaceOnScreen();
        QCOMPARE(again.size(), QSize(700, 500));
        QCOMPARE(again.findChild<gui::CasmGrid*>()->Table()->columnWidth(1), 333);
    }

    // The keys a keyboard player expects, and Tab through what can be changed, never through
    // what only shows.
    void keyboardReachesTheCommands() {
        ShownWindow shown;
        shown.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&shown.window));
        const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(&shown.window, key, modifiers);
            QApplication::processEvents();
        };
        press(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(shown.recorder.openRequests.size(), size_t{1});
        press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(shown.recorder.messages, std::vector<std::string>{kNoFileOpenMessage});
        press(Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!shown.window.isVisible());
        shown.window.show();
        shown.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&shown.window));
        press(Qt::Key_F1, Qt::NoModifier);
        QVERIFY(shown.window.Info()->isVisible());
        shown.OpenSong(12);
        QApplication::processEvents();  // the grid lays out the rows the song shows
        QList<QWidget*> reached;
        QWidget* widget = shown.Find<QToolBar>("Toolbar1")->widgetForAction(shown.Action("Open"));
        for (int step = 0; step < 200 && !reached.contains(widget); ++step) {
            reached << widget;
            widget = widget->nextInFocusChain();
            while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisibleTo(&shown.window))
                widget = widget->nextInFocusChain();
        }
        for (const SectionRow& row : kSectionTable)
            QVERIFY2(reached.contains(shown.SectionButton(row)), row.key.data());
        QVERIFY(reached.contains(
            shown.Find<QToolBar>("Toolbar1")->widgetForAction(shown.Action("SaveStyle"))));
        QVERIFY(reached.contains(shown.Find<QComboBox>("WLCboPart10")));  // the drum channel
        QVERIFY(reached.contains(shown.Find<QLineEdit>("txtPreviewChords")));
        for (const char* shownOnly : {"txtFileName", "txttempo", "txtTimeSig", "txtKey"})
            QVERIFY2(!reached.contains(shown.Find<QWidget>(shownOnly)), shownOnly);
        const int firstSection = reached.indexOf(shown.SectionButton(kSectionTable[0]));
        QVERIFY(firstSection < reached.indexOf(shown.Find<QComboBox>("WLCboPart10")));
    }

    // The window says how to start, then what each command did and what comes next.
    void statusLineGivesAHintAtEveryStep() {
        ShownWindow shown;
        const auto status = [&] { return shown.window.statusBar()->currentMessage(); };
        QCOMPARE(status(), QString(kStartHint));
        shown.OpenSong(12);
        const QString song = QString::fromStdString((shown.dir.Path() / "band.mid").string());
        QCOMPARE(status(),
                 "Opened " + song +
                     ".  Next: mark the sections with the section buttons (Main A first).");
        MarkMainA(shown);
        QCOMPARE(status(),
                 QString("Marked Main A.  Sections: Main A.  Next: choose a part for each "
                         "channel in the CASM grid, or press Auto CASM Set."));
        shown.Action("SaveStyle")->trigger();  // no part chosen yet: refused
        QCOMPARE(shown.recorder.messages.size(), size_t{1});
        QVERIFY(status().startsWith(
            "Save Style: " + QString::fromStdString(shown.recorder.messages.back()) +
            "  Sections"));
        shown.Click("cmdAutoCasm");
        QCOMPARE(status(), QString("Auto CASM Set: done.  Sections: Main A.  Next: Save Style "
                                   "(Ctrl+S) makes the style."));
        const QString style = QString::fromStdString(shown.SaveStyleAs("hint.sty"));
        QCOMPARE(status(), "Saved the style as " + style +
                               ".  Sections: Main A.  Next: Save Style (Ctrl+S) makes the style.");
    }

    // An opened style's own CASM shown as it is kept, read only, section group by group. Guards
    // against "Use Style's Casm" outliving its style: the next style had no CASM chunk.
    void styleCasmIsShownReadOnlyAndEndsWithItsStyle() {
        ShownWindow shown;
        shown.OpenSong(12);
        MarkMainA(shown);
        shown.Click("cmdAutoCasm");
        const CasmRow made = shown.S().casm[9];
        shown.Open(shown.SaveStyleAs("kept.sty"));
        shown.Click("OptOrigCasm");
        QVERIFY(shown.S().useStyleCasm);
        auto* group = shown.Find<QComboBox>("cboCasmGroup");
        QVERIFY(group->isVisible());
        QCOMPARE(group->count(), 1);
        QVERIFY(group->itemText(0).contains("Main A"));
        QCOMPARE(made.part, kRhythmPart);  // the drum channel
        auto* part = shown.Find<QComboBox>("WLCboPart10");
        QCOMPARE(part->currentIndex(), made.part);
        QCOMPARE(shown.Find<QComboBox>("WLCboNtt10")->currentIndex(), made.ntt);
        QCOMPARE(shown.Find<QLineEdit>("WLTxtHiLimit10")->text(),
                 QString::fromStdString(LimitText(made.highLimit)));
        QVERIFY(!part->isEnabled());
        QVERIFY(shown.Find<QLineEdit>("WLTxtLoLimit10")->isReadOnly());
        shown.Click("OptmakeCasm");
        QVERIFY(!group->isVisible() && part->isEnabled());
        shown.Click("OptOrigCasm");
        shown.OpenSong(12);
        QVERIFY(!shown.Find<QRadioButton>("OptOrigCasm")->isVisible());
        QVERIFY(shown.Find<QRadioButton>("OptmakeCasm")->isChecked());
        shown.Click("cmdAutoCasm");
        MarkMainA(shown);
        const CasmListing listing =
            ReadCasmListing(ByteImage(test::ReadFile(shown.SaveStyleAs("next.sty"))));
        QVERIFY(shown.recorder.messages.empty() && listing.problems.empty());
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
            // clang-format off
            {"Chord Mute", none, [](ShownWindow& w) {
                 w.Click("cmdChordMute10");
                 w.Find<QCheckBox>("chkChordMute26")->setChecked(false);
                 for (QPushButton* button : w.window.ChordMute()->findChildren<QPushButton*>())
                     if (button->text() == kChordMuteOkButton) button->click(); }},
            // clang-format on
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

    // Guards against a drag that marks the wrong measures, a section button that ignores it,
    // a selection that outlives its use, Escape or a click, and a mark that Undo leaves behind.
    void draggedMeasuresTakeTheSectionOfTheButtonPressed() {
        ShownWindow shown;
        shown.window.resize(1000, 700);
        shown.OpenSong(20);
        auto* map = shown.Find<gui::SectionMap>("sectionMap");
        const auto drag = [&](int from, int to) { shown.Drag(from, to); };
        drag(9, 12);
        QTest::keyClick(map, Qt::Key_Escape);
        QVERIFY(!map->Selection());
        drag(12, 9);
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(5, 10));
        QVERIFY(!map->Selection());
        const auto before = Document(shown.S());
        drag(16, 9);
        QCOMPARE(map->Selection(), std::optional(std::pair(9, 16)));
        MarkMainA(shown);
        QVERIFY(!map->Selection() && shown.Action("Main A")->isChecked());
        std::vector<std::pair<std::string, int>> markers;
        for (int i = 0; i < shown.S().markers.count; ++i) {
            const Marker& marker = shown.S().markers.entries[i];
            if (marker.text.find("Main A") != std::string::npos)
                markers.emplace_back(marker.text, marker.tick / 1920);
        }
        QCOMPARE(markers,
                 (std::vector<std::pair<std::string, int>>{{">Main A", 9}, {"<Main A", 17}}));
        shown.Action("mnuUndo")->trigger();
        QVERIFY(Document(shown.S()) == before);
        QVERIFY(shown.recorder.messages.empty());
    }

    // Guards against the Edit menu's "Suggest Sections" left unconnected: it says why it cannot
    // suggest before a song is open and what it found once one is.
    void suggestSectionsTellsThePlanOrWhyNot() {
        ShownWindow shown;
        shown.Action("mnuSuggestSections")->trigger();
        shown.OpenSong(12);
        shown.Action("mnuSuggestSections")->trigger();
        QCOMPARE(shown.recorder.messages,
                 (std::vector<std::string>{kNoFileOpenMessage, kNoGrooveRepeatsMessage}));
        QVERIFY(shown.Find<gui::SectionMap>("sectionMap")->ProposalLabels().empty());
    }

    // Guards against suggested sections marked before the user accepts them or missing from the
    // map, an accept that leaves them shown as proposals, and one that Undo cannot take back.
    void suggestedSectionsAreProposedOnTheMapThenAcceptedAndUndone() {
        ShownWindow shown;
        QAction* acceptAll = shown.Action("mnuAcceptSuggestedSections");
        QVERIFY(!acceptAll->isEnabled());
        shown.Open(shown.dir.Write("groove.mid", test::SongFile(test::GrooveSong(8))));
        const auto before = Document(shown.S());
        shown.Action("mnuSuggestSections")->trigger();
        auto* map = shown.Find<gui::SectionMap>("sectionMap");
        const std::vector<gui::SectionMap::Label> proposals = map->ProposalLabels();
        QCOMPARE(proposals.size(), size_t{1});
        QCOMPARE(proposals[0].full, QString("Main A"));
        QCOMPARE(map->ProposalAt(proposals[0].box.center().toPoint()), std::string("Main A"));
        QVERIFY(map->Picture().marked.empty());
        QVERIFY(Document(shown.S()) == before);
        QVERIFY(!shown.Action("mnuUndo")->isEnabled());  // proposing is no edit
        QVERIFY(acceptAll->isEnabled());
        QCOMPARE(shown.window.statusBar()->currentMessage(),
                 QString("Suggest Sections: done.  1 section proposed: right-click one to accept "
                         "or drop it, or Edit > Accept Suggested Sections."));
        acceptAll->trigger();
        QCOMPARE(map->Picture().marked, (std::vector<SectionSpan>{{"Main A", 0, 8}}));
        const std::vector<gui::SectionMap::Label> labels = map->Labels();
        const auto bar = std::find_if(labels.begin(), labels.end(),
                                      [](const auto& label) { return label.marked; });
        QVERIFY(bar != labels.end());
        QCOMPARE(bar->box.left(), proposals[0].box.left());
        QCOMPARE(bar->box.width(), proposals[0].box.width());
        QVERIFY(map->ProposalLabels().empty());
        QVERIFY(shown.Action("Main A")->isChecked() && !acceptAll->isEnabled());
        QCOMPARE(shown.Action("mnuUndo")->text(), QString("Undo Accept Suggested Sections"));
        shown.Action("mnuUndo")->trigger();
        QVERIFY(Document(shown.S()) == before);
        QVERIFY(map->Picture().marked.empty());
        QCOMPARE(map->ProposalLabels().size(), size_t{1});
        QVERIFY(shown.recorder.messages.empty());
    }

    // Guards against a proposal's menu acting on another section or leaving the proposal shown,
    // and against a proposal that outlives its section marked on other measures.
    void aProposalIsAcceptedDroppedOrMovedFromTheMap() {
        const struct {
            const char* name;
            Steps steps;
            std::vector<SectionSpan> marked;
        } rows[] = {
            {"Accept",
             [](ShownWindow& w) { w.ChooseOnProposal("mnuAcceptProposal"); },
             {{"Main A", 0, 8}}},
            {"Drop", [](ShownWindow& w) { w.ChooseOnProposal("mnuDropProposal"); }, {}},
            {"Move",
             [](ShownWindow& w) {
                 w.Drag(2, 5);
                 MarkMainA(w);
             },
             {{"Main A", 2, 6}}},
        };
        for (const auto& row : rows) {
            ShownWindow shown;
            shown.Open(shown.dir.Write("groove.mid", test::SongFile(test::GrooveSong(8))));
            shown.Action("mnuSuggestSections")->trigger();
            row.steps(shown);
            auto* map = shown.Find<gui::SectionMap>("sectionMap");
            QVERIFY2(map->ProposalLabels().empty(), row.name);
            QVERIFY2(map->Picture().marked == row.marked, row.name);
            QVERIFY2(shown.recorder.messages.empty(), row.name);
        }
    }

    // Guards against closing losing edits that no saved file holds, and against a question when
    // nothing would be lost.
    void closingAsksOnlyAboutUnsavedEdits() {
        const struct {
            const char* name;
            Steps steps;
            SaveAnswer answer;
            bool asked;
            bool closes;
        } rows[] = {
            // clang-format off
            {"opened only", [](ShownWindow&) {}, SaveAnswer::Cancel, false, true},
            {"edit undone", [](ShownWindow& w) { MarkMainA(w); w.Action("mnuUndo")->trigger(); },
             SaveAnswer::Cancel, false, true},
            {"edit saved", [](ShownWindow& w) {
                 MarkMainA(w); w.Click("cmdAutoCasm"); w.SaveStyleAs("saved.sty"); },
             SaveAnswer::Cancel, false, true},
            {"Cancel", MarkMainA, SaveAnswer::Cancel, true, false},
            {"Discard", MarkMainA, SaveAnswer::Discard, true, true},
            {"Save", [](ShownWindow& w) {
                 MarkMainA(w); w.Click("cmdAutoCasm");
                 w.recorder.saveAnswers.push_back((w.dir.Path() / "closing.sty").string()); },
             SaveAnswer::Save, true, true},
            {"Save refused: no part", MarkMainA, SaveAnswer::Save, true, false},
            // clang-format on
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

    // Guards against a preview that cannot be heard from the window, and a player that fails
    // in silence: the window's poll shows its exit status and its message.
    void previewBarPlaysTheChosenSectionStopsAndTellsAFailure() {
        ShownWindow shown;
        const std::string player = shown.dir.Write("zephrane-play", {'#', '!', '/'});
        std::filesystem::permissions(player, std::filesystem::perms::owner_all);
        shown.recorder.programSearchPath = shown.dir.Path().string();
        shown.OpenSong(12);
        MarkMainA(shown);
        shown.Action("Intro A")->trigger();
        shown.Click("cmdAutoCasm");
        auto* sections = shown.Find<QComboBox>("cboPreviewSection");
        QCOMPARE(sections->count(), 2);
        QCOMPARE(sections->currentText(), QString("Main A"));
        sections->setCurrentText("Intro A");
        auto* chords = shown.Find<QLineEdit>("txtPreviewChords");
        QCOMPARE(chords->text(), QString("C Am F G7"));
        chords->setText("Dm7 G7");
        auto* play = shown.Find<QPushButton>("cmdPreview");
        shown.Click("cmdPreview");
        const std::string preview = (shown.dir.Path() / "Zephpreview.sty").string();
        QCOMPARE(shown.recorder.startedCommands,
                 (std::vector<std::vector<std::string>>{
                     {player, preview, "--section", "Intro A", "--chords", "Dm7 G7"}}));
        QCOMPARE(play->text(), QString("Stop"));
        QTest::keyClick(chords, Qt::Key_Return);  // the chords again, in place of the first
        QCOMPARE(shown.recorder.startedCommands.size(), size_t{2});
        shown.Click("cmdPreview");
        QCOMPARE(shown.recorder.stoppedProcesses, (std::vector<int64_t>{1, 2}));
        QCOMPARE(play->text(), QString("Play"));
        QCOMPARE(sections->currentText(), QString("Intro A"));

        shown.recorder.programEnds = {
            ProgramEnd{1, "zephrane-play: The style has no section \"Intro A\".\n"}};
        shown.Click("cmdPreview");
        QTRY_COMPARE(
            shown.recorder.messages,
            std::vector<std::string>{"The preview ended with exit status 1.\n\nzephrane-play: "
                                     "The style has no section \"Intro A\"."});
        QCOMPARE(play->text(), QString("Play"));
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
