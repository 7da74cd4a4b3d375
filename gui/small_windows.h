#pragma once
// The small windows around the main window: Setup (frmOptions), the information window
// (frmInfo) and About (frmAbout) with the licence text (frmLicence).

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTextBrowser>

#include "app/session.h"
#include "app/setup_dialog.h"

namespace zephrane::gui {

class SetupWindow : public QDialog {
    Q_OBJECT

  public:
    SetupWindow(Session& session, QWidget* parent = nullptr);
    // Reads the settings files again and shows them.
    void Open();

  private:
    void ShowTexts();
    void TakeTexts();
    void Close();
    // "Use built-in player": zephrane-play beside the program becomes the style player; as with
    // Browse, Close stores it.
    void UseBuiltInPlayer();

    Session& session_;
    SetupTexts texts_;
    QLineEdit* sequencer_ = nullptr;
    QLineEdit* stylePlayer_ = nullptr;
    QLineEdit* defaultDirectory_ = nullptr;
};

class InfoWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit InfoWindow(QWidget* parent = nullptr);
    // Loads a rich-text document; false when it cannot be read.
    bool Show(const DocumentRequest& request);
    QTextBrowser* Browser() const { return text_; }

  private:
    void Print();

    QTextBrowser* text_ = nullptr;
    QLabel* prompt_ = nullptr;
};

class AboutWindow : public QDialog {
    Q_OBJECT

  public:
    AboutWindow(Session& session, QWidget* parent = nullptr);

  private:
    // The full text of the GNU General Public License, in a window of its own.
    void ShowLicence();

    Session& session_;
};

}  // namespace zephrane::gui
