#pragma once
// The platform services of the desktop program, on Qt.

#include <QDialog>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "app/platform.h"
#include "app/posix_process.h"

namespace zephrane::gui {

// Makes `ok` the button Enter presses in `dialog`: no other push button of it takes Enter, even
// with the focus on it, so that a preset or Browse button never answers a dialog by accident.
// Escape closes the dialog as Cancel does.
void MakeDefaultButton(QDialog* dialog, QPushButton* ok);

// "Style Files(*.sty;*.mid)|*.sty;*.mid|" as Qt writes it: "Style Files (*.sty *.mid)".
QString QtFilter(const std::string& commonDialogFilter);

class QtMessageService : public MessageService {
  public:
    explicit QtMessageService(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    void ShowMessage(const std::string& text) override;
    bool AskOkCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    SaveAnswer AskSaveDiscardCancel(const std::string& text) override;

  private:
    QWidget* parent_;
};

class QtFileDialogService : public FileDialogService {
  public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;

  private:
    QWidget* parent_ = nullptr;
};

// Programs run as on any POSIX system; while the sequencer runs the window keeps painting.
class QtProcessService : public PosixProcessService {
  public:
    void ProcessPendingEvents() override;
};

// The per-user settings store: organisation and application "Zephrane", one group a section.
class QtSettingsStore : public SettingsStore {
  public:
    std::string ReadSetting(const std::string& application, const std::string& section,
                            const std::string& key) override;
    void WriteSetting(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;
};

}  // namespace zephrane::gui
