// Merging a finished series (Capture > "Merge Last Series..."): the merge runs on a thread of its
// own, the dialog shows its step and a Cancel that kills the tool under way, and the console
// says how it ended. The last series a program run finished is noted here (the bracket and the
// focus stack note theirs). Without enfuse and align_image_stack the menu entry says what to
// install. User-interface thread only.
#pragma once

#include "document/SeriesMerge.h"

#include <QDialog>

#include <memory>
#include <string>
#include <thread>
#include <vector>

class CViewDoc;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

class MergeDialog : public QDialog {
    Q_OBJECT
public:
    // Starts merging files at once.
    MergeDialog(CViewDoc* document, merge::Kind kind, int series, std::vector<std::string> files,
                QWidget* parent = nullptr);
    ~MergeDialog() override;   // cancels a merge under way and waits for its thread

    bool finished() const { return finished_; }
    const merge::SeriesMerge::Result& result() const { return result_; }
    void Cancel();

    // The series a run finished last: what "Merge Last Series..." merges.
    static void NoteSeries(merge::Kind kind, int series, std::vector<std::string> files);
    // Adds the entry to menu: "Merge Last Series..." (greyed when no series is finished yet), or,
    // without the tools, kInstallText (greyed). Looked at again each time the menu opens.
    static void AddMenuEntry(QMenu* menu, CViewDoc* document, QWidget* parent);

signals:
    void merged();   // the merge ended (done, failed or cancelled)

private:
    void ended(const merge::SeriesMerge::Result& result);

    CViewDoc* const document_;
    const std::string name_;
    merge::SeriesMerge merge_;
    merge::SeriesMerge::Result result_;
    bool finished_ = false;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::thread thread_;
};
