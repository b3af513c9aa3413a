#include "capture/SavedPictureFeed.h"

#include "document/CViewDoc.h"
#include "kit/UiWakeup.h"

#include <mutex>
#include <vector>

struct SavedPictureFeed::Shared {
    std::mutex lock;                  // guards wakeup, saved
    UiWakeup* wakeup = nullptr;       // null once the feed is going away
    std::vector<std::string> saved;   // not handed over yet
};

namespace {
std::mutex gLock;   // guards gShared
std::shared_ptr<void> gShared;
}   // namespace

SavedPictureFeed::SavedPictureFeed(CViewDoc* document,
                                   std::function<void(const std::string&)> onSaved, QObject* parent)
    : QObject(parent),
      document_(document),
      onSaved_(std::move(onSaved)),
      shared_(std::make_shared<Shared>()) {
    shared_->wakeup = new UiWakeup([this] { deliver(); }, this);
    {
        std::lock_guard guard(gLock);
        gShared = shared_;
    }
    if (document_) document_->setOnPictureWritten(&SavedPictureFeed::received);
}

SavedPictureFeed::~SavedPictureFeed() {
    {
        std::lock_guard guard(shared_->lock);
        shared_->wakeup = nullptr;
    }
    std::lock_guard guard(gLock);
    if (gShared == shared_) {
        gShared.reset();
        if (document_) document_->setOnPictureWritten(nullptr);
    }
}

void SavedPictureFeed::received(const std::string& path) {
    std::shared_ptr<Shared> shared;
    {
        std::lock_guard guard(gLock);
        shared = std::static_pointer_cast<Shared>(gShared);
    }
    if (!shared) return;
    std::lock_guard guard(shared->lock);
    shared->saved.push_back(path);
    if (shared->wakeup) shared->wakeup->wake();   // never blocks
}

void SavedPictureFeed::deliver() {
    std::vector<std::string> saved;
    {
        std::lock_guard guard(shared_->lock);
        saved.swap(shared_->saved);
    }
    for (const std::string& path : saved)
        if (onSaved_) onSaved_(path);
}
