// The program's command-line options: which cameras the camera list shows and cameras named by
// model and port that autodetection cannot see.
#pragma once

#include "sdk/gphoto/RealCameras.h"

#include <QStringList>

#include <string>
#include <vector>

struct CameraOptions {
    gphoto::Listing listing = gphoto::Listing::All;
    std::vector<std::string> cameras;   // "MODEL@PORT", each once, in the order first given
    bool autodetect = true;
};

struct CommandLine {
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Run;
    CameraOptions cameras;
    QString clientView;   // --client-view: "[ADDRESS:]PORT", empty when not asked for
    QString text;         // the help text, or the error to print
};

// arguments: the whole argument list, program name first.
CommandLine ParseCommandLine(const QStringList& arguments);
