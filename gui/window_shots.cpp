// zephrane_window_shots OUT_DIR SONG: pictures of the main window with SONG open, every section
// it allows marked and the parts set automatically, at three window sizes in a light and a dark
// theme, as docs/ shows them ("window-1000x700-light.png" and so on).

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "app/stub_platform.h"
#include "gui/main_window.h"

using namespace zephrane;

namespace {

QPalette DarkPalette() {
    QPalette dark;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, QColor(160, 160, 165));
    dark.setColor(QPalette::Mid, QColor(80, 80, 85));
    dark.setColor(QPalette::Highlight, QColor(70, 110, 170));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(130, 130, 130));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(130, 130, 130));
    return dark;
}

void TakePictures(const QString& outDir, const std::string& song, const char* theme) {
    std::string work = (std::filesystem::temp_directory_path() / "zephrane-shots-XXXXXX").string();
    if (::mkdtemp(work.data()) == nullptr) {
        std::cerr << "cannot make a working folder\n";
        return;
    }
    StubPlatform stub;  // a window without settings of its own
    stub.programDirectory = ZEPHRANE_DATA_DIR;
    stub.settingsDirectory = work;
    stub.workingFilePath = work + "/Zephwork.mid";
    gui::MainWindow window{gui::ShellServices{stub, stub, stub, stub, stub}};
    window.StartUp();
    window.show();
    stub.openAnswers.push_back(song);
    window.findChild<QAction*>("Open")->trigger();
    for (const SectionRow& row : kSectionTable)
        window.findChild<QAction*>(QString::fromUtf8(row.key.data(), row.key.size()))->trigger();
    window.findChild<QPushButton*>("cmdAutoCasm")->click();
    for (const QSize size : {QSize(1000, 700), QSize(1280, 800), QSize(1920, 1080)}) {
        window.resize(size);
        QApplication::processEvents();
        const QString name = QString("%1/window-%2x%3-%4.png")
                                 .arg(outDir)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(theme);
        if (!window.grab().save(name)) std::cerr << "cannot write " << name.toStdString() << '\n';
    }
    for (const std::string& message : stub.messages)
        std::cerr << "the window said: " << message << '\n';
    std::filesystem::remove_all(work);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zephrane_window_shots OUT_DIR SONG\n";
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setStyle("Fusion");
    const QPalette light = QApplication::style()->standardPalette();
    for (const auto& [palette, theme] : {std::pair{light, "light"}, {DarkPalette(), "dark"}}) {
        QApplication::setPalette(palette);
        TakePictures(argv[1], argv[2], theme);
    }
    return 0;
}
