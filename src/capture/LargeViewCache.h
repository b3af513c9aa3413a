// The Review tab's large pictures, decoded ahead: the picture asked for and its neighbours (more
// in the direction of travel) are decoded on workers at the viewscreen's size, kept within
// kMaxViews and kMaxBytes, and handed over at once when asked for again. The queue holds only
// what the last Show wants: a held arrow key replaces it at every step, so no picture the user
// has passed is decoded after the step (a decode under way ends and is kept); while the steps
// outpace the workers only the wanted picture is queued, its neighbours once the steps pause. The 100 % view is
// a second, sharper decode of the whole picture, asked for on its own. UI thread only, but for
// the decoder, which runs on the workers.
#pragma once

#include "document/FocusPeaking.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

template <class Result>
class Worker;

class LargeViewCache : public QObject {
public:
    // Views kept: the shown one, three ahead, one behind and room for a turn back...
    static constexpr std::size_t kMaxViews = 8;
    // ...and no more memory than this for their pixels (a view is at most the viewscreen's size
    // times two in each direction: scaled decoding rounds up to a factor of 1/8 ... 1/1).
    static constexpr std::size_t kMaxBytes = std::size_t{160} << 20;
    static constexpr int kAhead = 3, kBehind = 1;

    struct View {
        std::string path;
        QImage image;    // turned as the file says; null when it cannot be shown
        QString error;   // why not
        std::shared_ptr<const RgbHistogram> histogram;
        QSize full;           // the whole picture's size, turned
        bool sharp = false;   // the whole picture, for 100 %
        // Where the whole picture has edges in focus, at image's size (Indexed8, 1 = edge);
        // null unless peaking was asked for.
        QImage peaking;
        // The file's name and shooting data, for the line under the picture (read with it).
        QString caption;
    };
    // Reads path for a view of target's size (or the whole picture when sharp), with the
    // peaking mask when peaking. Runs on the workers.
    using Decoder =
        std::function<View(const std::string& path, QSize target, bool sharp, bool peaking)>;
    static View Decode(const std::string& path, QSize target, bool sharp, bool peaking);

    explicit LargeViewCache(QObject* parent = nullptr, Decoder decoder = &Decode, int threads = 2);
    ~LargeViewCache() override;   // drops what is queued, waits for the decodes under way

    // The size views are decoded for; views of another size are forgotten.
    void setTarget(QSize size);
    QSize target() const { return target_; }
    // Views with the honest peaking mask (the whole picture's edges) from now on.
    void setPeaking(bool on);

    // Wants path on screen: onView hears it now when decoded, else once it is; meanwhile a
    // picture an earlier Show wanted is handed over when its decode ends, when nothing wanted
    // later was (so a held key shows the pictures it passes as they come). ahead: the
    // pictures in the direction of travel, nearest first; behind: the other way. The queue
    // becomes path, then kAhead of ahead, then kBehind of behind (those not decoded yet).
    void Show(const std::string& path, const std::vector<std::string>& ahead,
              const std::vector<std::string>& behind);
    // A new file: decoded first, before anything queued, and kept.
    void Prefetch(const std::string& path);
    // The whole of the shown picture, for 100 %: onView hears it with sharp set.
    void ShowSharp();
    // No picture is wanted on screen any more (what is decoded stays).
    void Hide();
    // A stand-in of the wanted picture is on screen (its thumbnail): a picture an earlier Show
    // wanted is no longer handed over when its decode ends, so the view never goes back.
    void StandInShown();
    // The whole pictures of paths (compare's 100 %), decoded first; onDecoded hears them with
    // sharp set. Replaces what an earlier call queued; one under way is not asked for again.
    void Whole(const std::vector<std::string>& paths);
    // The view of path kept at the target size, or null.
    const View* find(const std::string& path) const;
    // path changed or went: its view is forgotten. Clear: every view.
    void Forget(const std::string& path);
    void Clear();

    std::function<void(const View&)> onView;
    // Every decode that ends at the target size, and every whole picture Whole asked for,
    // whether wanted on screen or not.
    std::function<void(const View&)> onDecoded;

    // Bookkeeping, for tests: the paths waiting in the queue, in order; every path a worker
    // has taken from the queue, in order; whether path's view is kept.
    std::vector<std::string> queued() const;
    std::vector<std::string> started() const;
    bool has(const std::string& path) const;

private:
    struct Request {
        std::string path;
        QSize target;
        bool sharp = false;
        std::uint64_t ticket = 0;   // the Show that wanted it on screen; 0: decoded ahead
        bool whole = false;         // sharp, for Whole
    };
    struct Outcome {
        bool any = false;
        Request request;
        View view;
    };
    struct Kept {
        View view;
        std::uint64_t used = 0;
    };
    Outcome take();   // a worker: the queue's first request, decoded
    void finished(Outcome& outcome);
    void topUp();   // enough workers for the queue
    bool usable(const std::string& path) const;
    void evict();
    void queueWindow();   // the window's pictures not decoded, queued or under way; lock_ held

    Decoder decoder_;
    const int threads_;
    // User-interface thread only.
    QSize target_{320, 240};
    std::string wanted_;
    bool sharpWanted_ = false;
    std::vector<std::string> window_;   // the last Show's paths and the new files
    std::unordered_map<std::string, Kept> views_;
    std::uint64_t clock_ = 0;
    std::uint64_t ticket_ = 0;        // Shows so far
    std::uint64_t shownTicket_ = 0;   // the Show whose picture onView heard last
    int tokens_ = 0;                  // worker jobs posted and not yet handed back
    std::atomic<bool> peaking_{false};

    mutable std::mutex
        lock_;   // guards pending_, inflight_, wholeInflight_, wantedInFlight_, busy_,
                 //   started_
    std::deque<Request> pending_;
    std::unordered_set<std::string> inflight_;        // paths of decodes under way (not sharp)
    std::unordered_set<std::string> wholeInflight_;   // paths of Whole's decodes under way
    int wantedInFlight_ = 0;                          // of those, the ones a Show wanted on screen
    int busy_ = 0;                                    // requests taken by a worker, not handed back
    std::vector<std::string> started_;

    std::unique_ptr<Worker<Outcome>> worker_;   // last: goes first
};
