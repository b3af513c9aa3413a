// Hands the paths of pictures the document saved (on whatever thread saved them) to the
// user-interface thread: the camera thread appends under a lock and wakes the window through a
// UiWakeup, never waiting for it. One feed at a time is the document's receiver.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class CViewDoc;

class SavedPictureFeed : public QObject {
public:
    // onSaved runs on the user-interface thread, once for each picture, in the order saved.
    SavedPictureFeed(CViewDoc* document, std::function<void(const std::string&)> onSaved,
                     QObject* parent = nullptr);
    ~SavedPictureFeed() override;

private:
    struct Shared;
    static void received(const std::string& path);   // the document's receiver, any thread
    void deliver();

    CViewDoc* document_;
    std::function<void(const std::string&)> onSaved_;
    std::shared_ptr<Shared> shared_;
};
