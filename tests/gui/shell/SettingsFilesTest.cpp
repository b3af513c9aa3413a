// The files besides the pictures (config.cfg, view.cfg, the sequence log) against what another
// user or a full disk puts in their way: a link another user planted, a dangling one, a fifo, a
// write that fails part-way. Nothing outside is written, nothing blocks, the old file stays.
#include "capture/SequenceLog.h"
#include "capture/ViewOptions.h"
#include "document/ConfigFile.h"
#include "sdk/SettingsFile.h"
#include "support/TestSupport.h"

#include <QtTest>

#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

enum class Kind { Config, View, Log };
enum class Planted { ForeignLink, ForeignDanglingLink, Fifo, FullDisk };

// Saves (config, view) or appends a row (log); the text of a failure in error.
bool Store(Kind kind, const std::string& path, std::string& error) {
    if (kind == Kind::Config) return config::Save(path, "/new/", "New", error);
    if (kind == Kind::View) {
        QString text;
        ViewOptions options;
        options.highlightClipped = options.thirdsGrid = true;
        const bool saved = options.Save(QString::fromStdString(path), text);
        error = text.toStdString();
        return saved;
    }
    SequenceLog log;
    SequenceLog::Row row;
    row.kind = "photo";
    row.file = "/shots/Photo-0001.jpg";
    row.result = "captured";
    return log.Open(path, {}, error) && log.Write(row, error);
}

// Reads config.cfg or view.cfg; the reason in error when it was refused.
void Read(Kind kind, const std::string& path, std::string& error) {
    std::string folder, name;
    if (kind == Kind::Config) config::Load(path, folder, name, &error);
    QString text;
    if (kind == Kind::View) ViewOptions::Load(QString::fromStdString(path), &text);
    if (kind == Kind::View) error = text.toStdString();
}

// Writes past this many bytes of any file fail (EFBIG), as on a full disk, until destroyed.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old); }
};

}   // namespace

class TestSettingsFiles : public QObject {
    Q_OBJECT
private slots:
    void hostileEntriesAreRefused_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("planted");
        const std::pair<const char*, Kind> kinds[] = {
            {"config.cfg", Kind::Config}, {"view.cfg", Kind::View}, {"log", Kind::Log}};
        const std::pair<const char*, Planted> planted[] = {
            {"foreign link", Planted::ForeignLink},
            {"foreign dangling link", Planted::ForeignDanglingLink},
            {"fifo", Planted::Fifo},
            {"full disk", Planted::FullDisk}};
        for (const auto& [kindName, kind] : kinds)
            for (const auto& [plantedName, what] : planted)
                QTest::addRow("%s, %s", kindName, plantedName) << int(kind) << int(what);
    }

    void hostileEntriesAreRefused() {
        QFETCH(int, kind);
        QFETCH(int, planted);
        const Kind k = Kind(kind);
        TempDir dir, elsewhere;
        const std::string path = dir.file(k == Kind::Log ? "Photo-sequence.csv" : "settings.cfg");
        const std::string victim = elsewhere.file("victim");
        const std::string old = k == Kind::Log ? std::string(SequenceLog::kHeader) + "\r\nrow\r\n"
                                               : "highlight_clipped=0\n";
        std::string error;
        switch (Planted(planted)) {
            case Planted::ForeignLink:
            case Planted::ForeignDanglingLink:
                if (Planted(planted) == Planted::ForeignLink) WriteFile(victim, "another's");
                QVERIFY(::symlink(victim.c_str(), path.c_str()) == 0);
                if (::lchown(path.c_str(), 65534, 65534) != 0)
                    QSKIP("links of another user need root");
                QVERIFY(!Store(k, path, error));
                QCOMPARE(Exists(victim), Planted(planted) == Planted::ForeignLink);
                if (Exists(victim)) QCOMPARE(ReadFile(victim), std::string("another's"));
                QVERIFY2(error.find(path + " is a symbolic link") == 0, error.c_str());
                break;
            case Planted::Fifo:
                QVERIFY(::mkfifo(path.c_str(), 0600) == 0);
                QVERIFY(!Store(k, path, error));   // returns at once, the fifo stays
                QVERIFY2(error.find(path + " is a fifo, not a regular file") == 0, error.c_str());
                break;
            case Planted::FullDisk: {
                WriteFile(path, old);
                {
                    const FileSizeLimit limit(k == Kind::Log ? old.size() + 3 : 3);
                    QVERIFY(!Store(k, path, error));
                }
                QVERIFY2(error.find("File too large") != std::string::npos, error.c_str());
                QCOMPARE(ReadFile(path), old);   // whole: no half row, nothing emptied
                if (k != Kind::Log) break;
                QVERIFY(Store(k, path, error));   // room again: the next row starts a line
                const std::string log = ReadFile(path);
                QVERIFY2(log.rfind(old + "1970-", 0) == 0, log.c_str());
                break;
            }
        }
        if (k == Kind::Log || Planted(planted) == Planted::FullDisk) return;
        struct stat st {};
        QVERIFY(::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode));   // left in place
        error.clear();
        Read(k, path, error);   // refused, not blocked
        QVERIFY2(!error.empty(), path.c_str());
    }

    // Temporaries of a killed save are removed at the next start; a running one's are kept.
    void leftoversOfEndedSavesAreRemoved() {
        TempDir dir;
        const std::string dead = dir.file(".kestrel-save-999999999-0123456789abcdef.tmp");
        const std::string live =
            dir.file(".kestrel-save-" + std::to_string(::getpid()) + "-0123456789abcdef.tmp");
        const std::string oldStyle = dir.file(".config.cfg.Ab12Cd");
        const std::string fresh = dir.file(".config.cfg.Xy34Zw");
        for (const std::string& file : {dead, live, oldStyle, fresh}) WriteFile(file, "x");
        const timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 3600, 0}};
        QVERIFY(::utimensat(AT_FDCWD, oldStyle.c_str(), times, 0) == 0);
        QCOMPARE(sdk::RemoveSettingsLeftovers(dir.folder()), 2);
        QVERIFY(!Exists(dead) && !Exists(oldStyle) && Exists(live) && Exists(fresh));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "SettingsFilesTest.moc"
