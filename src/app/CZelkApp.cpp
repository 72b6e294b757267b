#include "app/CZelkApp.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <cstdio>

#include "app/CAboutDlg.h"
#include "app/Terminal.h"
#include "commands/CommandIds.h"
#include "frame/AppInfo.h"
#include "frame/CMainFrame.h"
#include "frame/CZelkView.h"
#include "platform/Platform.h"

namespace zelk {
namespace {

QSettings AppSettings() {
    return QSettings(QString::fromLatin1(kSettingsOrganisation),
                     QString::fromLatin1(kSettingsApplication));
}

void PrintError(const QString& text) {
    std::fprintf(stderr, "zelk: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

CZelkApp::CZelkApp() {
    chooseOpenFile = [this] {
        return QFileDialog::getOpenFileName(frame_.get(), QStringLiteral("Open"), QString(),
                                            QStringLiteral("All Files (*)"));
    };
    chooseSaveFile = [this] {
        return QFileDialog::getSaveFileName(frame_.get(), QStringLiteral("Save As"), doc_.title(),
                                            QStringLiteral("All Files (*)"));
    };
    chooseTaskFolder = [this] {
        return QFileDialog::getExistingDirectory(frame_.get(), QStringLiteral("Open Task Folder"),
                                                 QDir::currentPath());
    };
    runDialog = [](QDialog& dialog) { return dialog.exec(); };
    reportError = [this](const QString& text) {
        QMessageBox::warning(frame_.get(), QString::fromLatin1(kAppTitle), text);
    };
    hasTerminal = StandardErrorIsTerminal;
}

void CZelkApp::StartupError(const QString& text) {
    PrintError(text);
    if (!hasTerminal()) {
        QString box = text;
        if (!box.isEmpty()) {
            box[0] = box[0].toUpper();
        }
        reportError(box);
    }
}

CZelkApp::~CZelkApp() = default;

void CZelkApp::CreateFrame() {
    frame_ = std::make_unique<CMainFrame>();
    frame_->SetAppHandler([this](int id) { return OnCommand(id); });
    QObject::connect(frame_.get(), &CMainFrame::quitRequested, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frame_->onOpenTaskFolder = [this] { OnOpenTaskFolder(); };
    frame_->onOpenRecentTaskFolder = [this](const QString& dir) { OpenTaskFolder(dir); };
    RecentTaskFoldersChanged();
}

void CZelkApp::RecentTaskFoldersChanged() {
    if (frame_) {
        frame_->SetRecentTaskFolders(recentFolders_.files());
    }
}

std::optional<int> CZelkApp::InitInstance(const QStringList& args) {
    QSettings settings = AppSettings();
    recent_.Load(settings);
    recentFolders_.Load(settings);

    CommandLineInfo info = ParseCommandLine(args);
    // A folder where a document is expected is a task folder: "zelk DIR", as
    // a desktop launch with a folder starts it.
    if (info.action == CommandLineInfo::Action::FileOpen && QFileInfo(info.fileName).isDir()) {
        info.action = CommandLineInfo::Action::Task;
        info.taskDir = info.fileName;
    }
    switch (info.action) {
        case CommandLineInfo::Action::Help:
            std::fputs(UsageText().toLocal8Bit().constData(), stdout);
            return 0;
        case CommandLineInfo::Action::Version:
            std::printf("Zelk %s\n", kAppVersion);
            return 0;
        case CommandLineInfo::Action::Quit:
            return 0;
        case CommandLineInfo::Action::Error:
            StartupError(info.error);
            std::fputs(UsageText().toLocal8Bit().constData(), stderr);
            return 2;
        default:
            break;
    }

    CreateFrame();
    doc_.OnNewDocument();
    switch (info.action) {
        case CommandLineInfo::Action::FileOpen: {
            QString error;
            if (!doc_.OnOpenDocument(info.fileName, &error)) {
                StartupError(QStringLiteral("cannot open %1: %2").arg(info.fileName, error));
                return 1;
            }
            recent_.Add(doc_.pathName());
            break;
        }
        case CommandLineInfo::Action::Print:
        case CommandLineInfo::Action::PrintTo:
            return PrintAndEnd(info);
        case CommandLineInfo::Action::Task:
            if (std::optional<int> status = LoadTaskFolder(info.taskDir)) {
                return status;
            }
            return std::nullopt;
        default:
            break;
    }
    DocumentChanged();
    frame_->show();
    return std::nullopt;
}

std::optional<int> CZelkApp::PrintAndEnd(const CommandLineInfo& info) {
    QString error;
    if (!doc_.OnOpenDocument(info.fileName, &error)) {
        StartupError(QStringLiteral("cannot open %1: %2").arg(info.fileName, error));
        return 1;
    }
    recent_.Add(doc_.pathName());
    DocumentChanged();
    const QString printer = info.printerName;
    PrintService* service = frame_->view()->printService(error);
    if (service == nullptr) {
        StartupError(QStringLiteral("printing is not available: %1").arg(error));
        return 1;
    }
    if (!service->HasPrinter(printer)) {
        StartupError(printer.isEmpty() ? QStringLiteral("no printer is available")
                                       : QStringLiteral("no printer named %1").arg(printer));
        return 1;
    }
    if (!frame_->view()->OnFilePrintDirect(printer)) {
        StartupError(QStringLiteral("printing %1 failed").arg(info.fileName));
        return 1;
    }
    ExitInstance();
    return 0;
}

bool CZelkApp::EnterTaskFolder(const QString& dir, QString& error) {
    const QFileInfo folder(dir);
    if (!folder.isDir()) {
        error = QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(dir));
        return false;
    }
    if (!QFileInfo(QDir(folder.absoluteFilePath()).filePath(QStringLiteral("START_A.INP")))
             .isFile()) {
        error = QStringLiteral("%1 holds no START_A.INP").arg(QDir::toNativeSeparators(dir));
        return false;
    }
    if (!platform::SetCurrentDirectory(
            QDir::toNativeSeparators(folder.absoluteFilePath()).toStdString())) {
        error = QStringLiteral("cannot change to %1").arg(QDir::toNativeSeparators(dir));
        return false;
    }
    recentFolders_.Add(folder.absoluteFilePath());
    RecentTaskFoldersChanged();
    DocumentChanged();
    frame_->show();
    frame_->view()->LoadTaskWithoutEditor();
    return true;
}

std::optional<int> CZelkApp::LoadTaskFolder(const QString& dir) {
    QString error;
    if (!EnterTaskFolder(dir, error)) {
        StartupError(error);
        return 1;
    }
    return std::nullopt;
}

void CZelkApp::OnOpenTaskFolder() {
    const QString dir = chooseTaskFolder();
    if (!dir.isEmpty()) {
        OpenTaskFolder(dir);
    }
}

bool CZelkApp::OpenTaskFolder(const QString& dir) {
    QString error;
    if (!EnterTaskFolder(dir, error)) {
        reportError(QStringLiteral("Cannot open the task folder.\n%1").arg(error));
        return false;
    }
    return true;
}

void CZelkApp::ExitInstance() {
    QSettings settings = AppSettings();
    recent_.Save(settings);
    recentFolders_.Save(settings);
}

void CZelkApp::DocumentChanged() {
    frame_->SetDocumentTitle(doc_.title());
    frame_->view()->OnInitialUpdate();
}

bool CZelkApp::OnCommand(int id) {
    switch (id) {
        case ID_FILE_NEW:
            OnFileNew();
            return true;
        case ID_FILE_OPEN:
            OnFileOpen();
            return true;
        case ID_FILE_SAVE:
            OnFileSave();
            return true;
        case ID_FILE_PRINT_SETUP:
            OnFilePrintSetup();
            return true;
        case ID_APP_ABOUT:
            OnAppAbout();
            return true;
        case ID_APP_EXIT:
            OnAppExit();
            return true;
        default:
            return false;
    }
}

void CZelkApp::OnFileNew() {
    // The document is never modified, so nothing is asked.
    doc_.OnNewDocument();
    DocumentChanged();
}

void CZelkApp::OnFileOpen() {
    const QString path = chooseOpenFile();
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!doc_.OnOpenDocument(path, &error)) {
        reportError(
            QStringLiteral("Cannot open %1.\n%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    recent_.Add(doc_.pathName());
    DocumentChanged();
}

void CZelkApp::OnFileSave() {
    QString path = doc_.pathName();
    bool askName = path.isEmpty();
    for (;;) {
        if (askName) {
            path = chooseSaveFile();
            if (path.isEmpty()) {
                return;
            }
        }
        QString error;
        bool hasContent = false;
        if (doc_.OnSaveDocument(path, &error, &hasContent)) {
            break;
        }
        if (!hasContent) {
            reportError(
                QStringLiteral("Cannot save %1.\n%2").arg(QDir::toNativeSeparators(path), error));
            return;
        }
        // The document holds nothing and would be written as an empty file:
        // say so, and offer another name until the user gives one that is
        // new or empty, or cancels.
        reportError(QStringLiteral("%1 is not saved over.\n"
                                   "It has content, and a Zelk document is saved as an empty "
                                   "file, which would wipe it. Choose another name.")
                        .arg(QDir::toNativeSeparators(path)));
        askName = true;
    }
    frame_->SetDocumentTitle(doc_.title());
}

void CZelkApp::OnFilePrintSetup() {
    QString error;
    if (PrintService* service = frame_->view()->printService(error)) {
        service->PageSetup(frame_.get(), runDialog);
    } else {
        reportError(PrintingUnavailableText(error));
    }
}

void CZelkApp::OnAppAbout() {
    CAboutDlg dialog(frame_.get());
    runDialog(dialog);
}

void CZelkApp::OnAppExit() {
    frame_->close();
}

void CZelkApp::OnTerminationSignal(int signalNumber) {
    (void)signalNumber;  // all three end Zelk the same way
    if (frame_) {
        frame_->QuitAfterRun();
    } else {
        QCoreApplication::quit();
    }
}

}  // namespace zelk
