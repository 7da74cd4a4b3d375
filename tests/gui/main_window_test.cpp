// The real windows, driven as a user would, on the offscreen platform.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>

#include "app/stub_platform.h"
#include "casm/casm_reader.h"
#include "gui/casm_grid.h"
#include "gui/chord_mute_window.h"
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

    test::TempDir dir;
    StubPlatform recorder;
    gui::MainWindow window{gui::ShellServices{recorder, recorder, recorder, recorder, recorder}};
};

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

    // Guards against a preview that cannot be heard from the window, and a player that fails
    // in silence: the window's poll shows its exit status and its message.
    void previewBarPlaysTheChosenSectionStopsAndTellsAFailure() {
        ShownWindow shown;
        const std::string player = shown.dir.Write("zephrane-play", {'#', '!', '/'});
        std::filesystem::permissions(player, std::filesystem::perms::owner_all);
        shown.recorder.programSearchPath = shown.dir.Path().string();
        shown.OpenSong(12);
        shown.Action("Main A")->trigger();
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
        const std::vector<std::string> started{
            player,      (shown.dir.Path() / "Zephpreview.sty").string(),
            "--section", "Intro A",
            "--chords",  "Dm7 G7"};
        QCOMPARE(shown.recorder.startedCommands, std::vector<std::vector<std::string>>{started});
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
        QTRY_COMPARE(shown.recorder.messages.size(), size_t{1});
        QCOMPARE(shown.recorder.messages[0],
                 std::string("The preview ended with exit status 1.\n\nzephrane-play: The style "
                             "has no section \"Intro A\"."));
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
