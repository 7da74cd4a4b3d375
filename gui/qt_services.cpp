#include "gui/qt_services.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

#include "app/main_window_view.h"

namespace zephrane::gui {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void MakeDefaultButton(QDialog* dialog, QPushButton* ok) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    ok->setDefault(true);
}

QString QtFilter(const std::string& commonDialogFilter) {
    const QStringList parts = FromUtf8(commonDialogFilter).split('|', Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i];
        const int open = caption.indexOf('(');
        if (open >= 0) caption = caption.left(open).trimmed();
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        filters << caption + " (" + patterns + ")";
    }
    return filters.join(";;");
}

void QtMessageService::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, FromUtf8(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtMessageService::AskOkCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, kProgramTitle, FromUtf8(text),
                    QMessageBox::Ok | QMessageBox::Cancel, parent_);
    return box.exec() == QMessageBox::Ok;
}

bool QtMessageService::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, kProgramTitle, FromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

SaveAnswer QtMessageService::AskSaveDiscardCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Question, kProgramTitle, FromUtf8(text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Save:
            return SaveAnswer::Save;
        case QMessageBox::Discard:
            return SaveAnswer::Discard;
        default:
            return SaveAnswer::Cancel;
    }
}

std::optional<std::string> QtFileDialogService::ChooseFileToOpen(const FileDialogRequest& request) {
    const QString chosen =
        QFileDialog::getOpenFileName(parent_, FromUtf8(request.title),
                                     FromUtf8(request.initialDirectory), QtFilter(request.filter));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

std::optional<std::string> QtFileDialogService::ChooseFileToSave(const FileDialogRequest& request) {
    QFileDialog dialog(parent_, FromUtf8(request.title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QtFilter(request.filter));
    dialog.setDefaultSuffix(FromUtf8(request.defaultExtension));
    // The program asks its own replace question once the name is chosen.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.proposedName.empty()) dialog.selectFile(FromUtf8(request.proposedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toStdString();
}

void QtProcessService::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

std::string QtSettingsStore::ReadSetting(const std::string& application, const std::string& section,
                                         const std::string& key) {
    QSettings settings(kProgramTitle, FromUtf8(application));
    return settings.value(FromUtf8(section + "/" + key)).toString().toStdString();
}

void QtSettingsStore::WriteSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& value) {
    QSettings settings(kProgramTitle, FromUtf8(application));
    settings.setValue(FromUtf8(section + "/" + key), FromUtf8(value));
}

}  // namespace zephrane::gui
