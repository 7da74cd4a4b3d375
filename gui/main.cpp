// zephrane: the desktop program.

#include <cstring>
#include <iostream>
#include <string>

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include "app/main_commands.h"
#include "app/standard_paths.h"
#include "app/status_line.h"
#include "app/version.h"
#include "app/working_folder.h"
#include "gui/main_window.h"
#include "gui/qt_services.h"

namespace {

// "--exit-when-shown": the program ends as soon as its window has painted itself for the first
// time, having written "shown"; scripts/startup_time.py measures the start-up with it.
constexpr char kExitWhenShown[] = "--exit-when-shown";

class FirstPaintWatch : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            std::cout << "shown" << std::endl;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    // Answered before QApplication is made, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << zephrane::VersionLine("zephrane") << '\n';
        return 0;
    }
    const bool exitWhenShown = argc == 2 && std::strcmp(argv[1], kExitWhenShown) == 0;
    if (exitWhenShown) argc = 1;
    QApplication application(argc, argv);
    QApplication::setApplicationName(zephrane::kProgramTitle);
    QApplication::setOrganizationName(zephrane::kProgramTitle);
    QApplication::setApplicationVersion(zephrane::kVersion);
    QApplication::setWindowIcon(QIcon(":/zephrane.svg"));

    zephrane::gui::QtMessageService messages;
    zephrane::gui::QtFileDialogService dialogs;
    zephrane::gui::QtProcessService processes;
    zephrane::gui::QtSettingsStore settingsStore;
    const std::string programDirectory = QCoreApplication::applicationDirPath().toStdString();
    zephrane::StandardPaths paths(programDirectory,
                                  zephrane::PathEnvironment::OfThisProcess(programDirectory));
    paths.CreateFolders();
    std::string workingFolderNotice;
    const zephrane::WorkingFolder workingFolder =
        zephrane::WindowWorkingFolder(paths, workingFolderNotice);

    zephrane::gui::MainWindow window({messages, dialogs, processes, settingsStore, paths});
    messages.SetParent(&window);
    dialogs.SetParent(&window);
    window.StartUp();
    window.PlaceOnScreen();
    FirstPaintWatch firstPaint;
    if (exitWhenShown) window.installEventFilter(&firstPaint);
    window.show();
    if (!workingFolderNotice.empty()) messages.ShowMessage(workingFolderNotice);
    // A song given on the command line (from the file manager) opens as Open File does.
    if (argc > 1) {
        zephrane::NoteOutcome(
            window.GetSession(), "Open File",
            zephrane::OpenFileByPath(window.GetSession(),
                                     QString::fromLocal8Bit(argv[1]).toStdString()));
        window.UpdateControls();
    }
    return application.exec();
}
