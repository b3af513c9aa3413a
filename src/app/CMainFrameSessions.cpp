// The main window's sessions: File > "New Session..." and "Open Session", the session in the
// title, and the command's session start and end.
#include "app/CMainFrame.h"

#include "app/NewSessionDialog.h"
#include "capture/PictureCommandLink.h"
#include "document/CViewDoc.h"
#include "document/Sessions.h"
#include "views/CViewInfo.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include <ctime>

namespace {

QString titleOf(const QString& folder) {
    return QString::fromStdString(sessions::TitleOf(folder.toStdString()));
}

std::tm today() {
    const std::time_t now = std::time(nullptr);
    std::tm when{};
    localtime_r(&now, &when);
    return when;
}

}   // namespace

void CMainFrame::newSession() {
    if (!document_) return;
    const QString root = QString::fromStdString(document_->namingSettings().sessionRoot);
    NewSessionDialog dialog(root, today(), this);
    // The folder sessions are kept in is asked for once; later it is offered again.
    if (root.isEmpty())
        dialog.setRoot(QFileDialog::getExistingDirectory(
            this, QStringLiteral("Where to keep sessions?"), QDir::homePath()));
    if (dialog.exec() != QDialog::Accepted) return;
    setSessionRoot(dialog.root());
    StartSession(dialog.name());
}

void CMainFrame::setSessionRoot(const QString& root) {
    if (!document_ || root.isEmpty()) return;
    NamingSettings settings = document_->namingSettings();
    if (settings.sessionRoot == root.toStdString()) return;
    settings.sessionRoot = root.toStdString();
    document_->SetNamingSettings(settings);
    document_->SaveNaming();
}

bool CMainFrame::StartSession(const QString& name, QString* error) {
    if (!document_) return false;
    std::string folder, why;
    if (!sessions::Create(document_->namingSettings().sessionRoot, name.toStdString(), today(),
                          folder, why)) {
        document_->Log("Session not started: " + why + "\r\n");
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    switchSession(QString::fromStdString(folder));
    return true;
}

bool CMainFrame::OpenSession(const QString& folder, QString* error) {
    if (!document_) return false;
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    std::string why;
    if (!QFileInfo(path).isDir()) why = path.toStdString() + " is not a folder";
    else if (CaptureNaming::HasControl(path.toStdString()))
        why = "the session's folder holds a control character";
    if (!why.empty()) {
        document_->Log("Session not opened: " + why + "\r\n");
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    switchSession(path);
    return true;
}

void CMainFrame::switchSession(const QString& folder) {
    const QString old = sessionFolder_;
    if (!old.isEmpty() && old != folder) pictureCommand_->SessionEnded(old, titleOf(old));
    const bool moved = document_->captureFolder() != folder.toStdString();
    document_->SetCaptureFolder(folder.toStdString());
    if (moved) document_->Log("Capture folder: " + folder.toStdString() + "\r\n");
    NamingSettings settings = document_->namingSettings();
    settings.AddRecent(folder.toStdString());
    document_->SetNamingSettings(settings);
    document_->SaveNaming();
    sessionFolder_ = folder;
    static_cast<CViewInfo*>(panes_[3])->UpdateInfo();
    updateTitle();
    fillOpenSessionMenu();
    if (old != folder) pictureCommand_->SessionStarted(folder, titleOf(folder));
}

void CMainFrame::followCaptureFolder() {
    if (sessionFolder_.isEmpty() || !document_ ||
        document_->captureFolder() == sessionFolder_.toStdString())
        return;
    const QString old = sessionFolder_;
    sessionFolder_.clear();
    pictureCommand_->SessionEnded(old, titleOf(old));
    updateTitle();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) endSessionAtClose();
}

void CMainFrame::endSessionAtClose() {
    if (closed_) return;
    closed_ = true;
    if (!sessionFolder_.isEmpty())
        pictureCommand_->SessionEnded(sessionFolder_, titleOf(sessionFolder_));
    hide();   // nothing left to do in the window while the last runs end
    pictureCommand_->Close();
}

void CMainFrame::fillOpenSessionMenu() {
    openSessionMenu_->clear();
    const std::vector<std::string> recent =
        document_ ? document_->namingSettings().recentSessions : std::vector<std::string>();
    for (const std::string& folder : recent) {
        const QString path = QString::fromStdString(folder);
        QAction* action = openSessionMenu_->addAction(titleOf(path));
        action->setData(path);
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { OpenSession(path); });
    }
    if (recent.empty())
        openSessionMenu_->addAction(QStringLiteral("No Recent Sessions"))->setEnabled(false);
    openSessionMenu_->addSeparator();
    QAction* other = openSessionMenu_->addAction(QStringLiteral("Other Folder..."));
    connect(other, &QAction::triggered, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Open which session?"),
            QString::fromStdString(document_ ? document_->namingSettings().sessionRoot : ""));
        if (!folder.isEmpty()) OpenSession(folder);
    });
}

void CMainFrame::updateTitle() {
    QString title = QStringLiteral("Kestrel");
    if (!cameraTitle_.isEmpty()) title += QStringLiteral(" - ") + cameraTitle_;
    if (!sessionFolder_.isEmpty()) title += QStringLiteral(" - Session ") + titleOf(sessionFolder_);
    setWindowTitle(title);
}
