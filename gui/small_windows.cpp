#include "gui/small_windows.h"

#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/version.h"
#include "gui/qt_services.h"
#include "gui/rtf_to_html.h"

// The licence text is compiled into this library (licence.qrc); a static library's resources are
// registered by name, outside any namespace.
static void RegisterLicenceResource() {
    Q_INIT_RESOURCE(licence);
}

namespace zephrane::gui {
namespace {

constexpr char kLicenceLine[] = "Licensed under the GNU General Public License, version 3 or later";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QWidget* WithButton(QWidget* parent, QLineEdit* text, QPushButton* button) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text, 1);
    layout->addWidget(button);
    return row;
}

}  // namespace

SetupWindow::SetupWindow(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName("frmOptions");
    setWindowTitle("Setup");
    setModal(false);
    setMinimumWidth(560);
    auto* form = new QFormLayout(this);
    sequencer_ = new QLineEdit(this);
    sequencer_->setObjectName("txtSequencerLocation");
    stylePlayer_ = new QLineEdit(this);
    stylePlayer_->setObjectName("txtStylePlayerLocation");
    defaultDirectory_ = new QLineEdit(this);
    defaultDirectory_->setObjectName("txtDefaultDirectory");
    auto* browseSequencer = new QPushButton("Browse", this);
    browseSequencer->setObjectName("cmdBrowse");
    auto* browsePlayer = new QPushButton("Browse", this);
    browsePlayer->setObjectName("cmdbrowse2");
    auto* browseFolder = new QPushButton("Browse", this);
    browseFolder->setObjectName("cmdBrowse3");
    form->addRow("Sequencer", WithButton(this, sequencer_, browseSequencer));
    form->addRow("Style Player", WithButton(this, stylePlayer_, browsePlayer));
    auto* builtInPlayer = new QPushButton("Use built-in player", this);
    builtInPlayer->setObjectName("cmdBuiltInPlayer");
    form->addRow(QString(), builtInPlayer);
    form->addRow("Default Directory", WithButton(this, defaultDirectory_, browseFolder));
    auto* close = new QPushButton("Close", this);
    close->setObjectName("cmdClose");
    form->addRow(close);
    connect(browseSequencer, &QPushButton::clicked, this, [this] {
        TakeTexts();
        BrowseSequencer(session_, texts_);
        ShowTexts();
    });
    connect(browsePlayer, &QPushButton::clicked, this, [this] {
        TakeTexts();
        BrowseStylePlayer(session_, texts_);
        ShowTexts();
    });
    connect(browseFolder, &QPushButton::clicked, this, [this] {
        // "Select Output Directory": a folder taken over with its trailing separator.
        const QString folder = QFileDialog::getExistingDirectory(this, "Select Output Directory",
                                                                 defaultDirectory_->text());
        if (!folder.isEmpty()) defaultDirectory_->setText(folder + "/");
    });
    connect(builtInPlayer, &QPushButton::clicked, this, &SetupWindow::UseBuiltInPlayer);
    connect(close, &QPushButton::clicked, this, &SetupWindow::Close);
    MakeDefaultButton(this, close);
}

void SetupWindow::Open() {
    texts_ = OpenSetup(session_);
    ShowTexts();
    show();
    raise();
}

void SetupWindow::ShowTexts() {
    sequencer_->setText(Text(texts_.sequencer));
    stylePlayer_->setText(Text(texts_.stylePlayer));
    defaultDirectory_->setText(Text(texts_.defaultDirectory));
}

void SetupWindow::TakeTexts() {
    texts_.sequencer = sequencer_->text().toStdString();
    texts_.stylePlayer = stylePlayer_->text().toStdString();
    texts_.defaultDirectory = defaultDirectory_->text().toStdString();
}

void SetupWindow::UseBuiltInPlayer() {
    TakeTexts();
    const std::string player = session_.platform.paths.ProgramDirectory() + "/zephrane-play";
    if (!QFile::exists(Text(player))) {
        session_.platform.messages.ShowMessage("The built-in style player " + player +
                                               " is not installed beside Zephrane.");
        return;
    }
    texts_.stylePlayer = player;
    ShowTexts();
}

void SetupWindow::Close() {
    TakeTexts();
    CloseSetup(session_, texts_);
    hide();
}

InfoWindow::InfoWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmInfo");
    resize(760, 620);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    prompt_ = new QLabel(central);
    prompt_->setObjectName("lblPrompt");
    prompt_->hide();
    text_ = new QTextBrowser(central);
    text_->setObjectName("rtfInfo");
    layout->addWidget(prompt_);
    layout->addWidget(text_);
    setCentralWidget(central);
    QAction* print = menuBar()->addAction("Print");
    print->setObjectName("mnuPrint");
    connect(print, &QAction::triggered, this, &InfoWindow::Print);
    QAction* exit = menuBar()->addAction("Exit");
    exit->setObjectName("mnuExit");
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

bool InfoWindow::Show(const DocumentRequest& request) {
    QFile file(Text(request.path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray rtf = file.readAll();
    text_->setHtml(Text(RtfToHtml(std::string_view(rtf.constData(), rtf.size()))));
    if (request.caption) setWindowTitle(Text(*request.caption));
    if (request.prompt) {
        prompt_->setText(Text(*request.prompt));
        prompt_->show();
    }
    show();
    raise();
    return true;
}

void InfoWindow::Print() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    text_->document()->print(&printer);
}

AboutWindow::AboutWindow(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName("frmAbout");
    setWindowTitle(QString("About ") + kProgramTitle);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(kProgramTitle, this);
    title->setStyleSheet("font-size: 18pt; font-weight: bold;");
    layout->addWidget(title);
    layout->addWidget(new QLabel(QString("Version ") + kVersion, this));
    layout->addWidget(
        new QLabel("Turns MIDI songs into accompaniment styles for arranger "
                   "keyboards.",
                   this));
    auto* licence = new QLabel(kLicenceLine, this);
    licence->setObjectName("lblLicence");
    layout->addWidget(licence);
    auto* buttons = new QHBoxLayout;
    auto* systemInfo = new QPushButton("&System Info...", this);
    auto* showLicence = new QPushButton("&Licence...", this);
    showLicence->setObjectName("cmdLicence");
    auto* ok = new QPushButton("OK", this);
    buttons->addWidget(systemInfo);
    buttons->addWidget(showLicence);
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    MakeDefaultButton(this, ok);
    connect(systemInfo, &QPushButton::clicked, this, [this] {
        // No system-information program is registered on this platform.
        session_.platform.messages.ShowMessage("System Information Is Unavailable At This Time");
    });
    connect(showLicence, &QPushButton::clicked, this, &AboutWindow::ShowLicence);
}

void AboutWindow::ShowLicence() {
    RegisterLicenceResource();
    QFile file(":/LICENSE");
    file.open(QIODevice::ReadOnly);
    auto* window = new QDialog(this);
    window->setObjectName("frmLicence");
    window->setWindowTitle("Licence");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->resize(640, 560);
    auto* layout = new QVBoxLayout(window);
    auto* text = new QPlainTextEdit(QString::fromUtf8(file.readAll()), window);
    text->setObjectName("txtLicence");
    text->setReadOnly(true);
    layout->addWidget(text);
    auto* close = new QPushButton("Close", window);
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, window, &QDialog::accept);
    MakeDefaultButton(window, close);
    window->show();
}

}  // namespace zephrane::gui
