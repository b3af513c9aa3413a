// The command after each picture in the window: reads and keeps command.cfg, hears of each
// picture the document saves (on whatever thread saved it) and hands a run to its
// hook::CommandRunner, whose reports go to the console; the last saved path is handed on to the
// user-interface thread (the overlay's ghost). A session's start and end are told by
// SessionStarted/SessionEnded. One a process.
#pragma once

#include "document/PictureCommand.h"

#include <QObject>
#include <QString>

#include <memory>

class CViewDoc;
struct PictureCommandCore;

class PictureCommandLink : public QObject {
    Q_OBJECT
public:
    explicit PictureCommandLink(CViewDoc* document, QObject* parent = nullptr);
    ~PictureCommandLink() override;

    const hook::CommandSettings& settings() const { return settings_; }
    QString settingsPath() const { return path_; }
    // Checks the command line, takes the settings and saves them. False with the reason in
    // error (nothing taken when the line does not split; taken but not saved on a write error).
    bool setSettings(const hook::CommandSettings& settings, QString& error);

    // A session's start and end: runs the command with action "start" / "stop" when the
    // settings ask for it. folder: the session's folder; name: its name.
    void SessionStarted(const QString& folder, const QString& name);
    void SessionEnded(const QString& folder, const QString& name);
    // The window closes: the runs queued so far (a session's end among them) get at most the
    // time limit and the second's grace after it to end and make their report, which from now
    // on also goes to standard error (the console goes with the window). True when all ended;
    // what still runs is stopped when the link goes. Later pictures run nothing.
    bool Close();

signals:
    void pictureSaved(const QString& path);   // user-interface thread; the newest only

private:
    void apply();
    void session(const char* action, const QString& folder, const QString& name);

    CViewDoc* document_;
    QString path_;
    hook::CommandSettings settings_;
    std::shared_ptr<PictureCommandCore> core_;
};
