// Shared fixture pieces for the pane tests (Qt Test): the console stand-in registered as
// "Debug", a collector of failed SDK steps, and a document over the simulated SDK with its
// configuration file in a temporary folder.
#pragma once

#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"

#include "support/TestSupport.h"
#include "support/Worlds.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// A pane's child control by its object name; fails the test when there is none.
template <class Widget>
Widget* Child(const QObject& pane, const char* name) {
    auto* child = pane.findChild<Widget*>(QString::fromLatin1(name));
    if (!child) qFatal("no child named %s", name);
    return child;
}

// Failed SDK steps as "step: error text" lines.
inline std::mutex gErrorLock;
inline std::vector<std::string> gErrors;
inline void CollectError(const std::string& step, const std::string& errorText) {
    std::lock_guard<std::mutex> guard(gErrorLock);
    gErrors.push_back(step + ": " + errorText);
}
inline std::vector<std::string> errors() {
    std::lock_guard<std::mutex> guard(gErrorLock);
    return gErrors;
}

// A document with its config file in its own temporary folder, and the console registered.
struct DocFixture {
    QTemporaryDir dir;
    ConsolePane console;
    std::unique_ptr<CViewDoc> doc;

    DocFixture() {
        doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                                         dir.filePath(QStringLiteral("config.cfg")).toStdString());
        doc->RegisterView(&console, "Debug");
        doc->setOnLog(&CollectError);
        doc->SetCaptureFolder(dir.path().toStdString() + "/");
        std::lock_guard<std::mutex> guard(gErrorLock);
        gErrors.clear();
    }
    ~DocFixture() { doc.reset(); }
};

}   // namespace testsupport
