// The client view: a small HTTP server (libmicrohttpd, a thread per connection, at most
// kMaxClients of them) that shows this session's pictures to a browser holding the access key,
// tells open pages of each new capture (Server-Sent Events) and keeps the client's picks in the
// sidecars. Qt-free; it runs on threads of its own and never waits for the caller's threads.
#pragma once

#include "client/AccessKey.h"
#include "client/FolderFeed.h"
#include "client/LiveFrames.h"
#include "client/ServedPictures.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct MHD_Connection;
struct MHD_Daemon;

namespace client {

constexpr int kDefaultPort = 8420;
constexpr unsigned kMaxClients = 16;   // machines (addresses) at once
// Connections one machine may hold at once: a page keeps its event stream and perhaps the live
// view open and fetches several pictures side by side.
constexpr unsigned kConnectionsPerClient = 8;
constexpr unsigned kMaxLiveStreams = 8;

struct ClientViewOptions {
    std::string address;       // one address to listen on; empty: every interface address
    int port = kDefaultPort;   // 0: any free port (tests)
    bool picks = true;         // the page may set and clear picks
    bool live = false;         // the live view is streamed (MJPEG, at most LiveFrames::kMaxFps)
    std::string key;           // empty: a new random key
    unsigned maxClients = kMaxClients;
    std::chrono::milliseconds wrongKeyDelay{1000};   // how long a wrong key waits for its 401
    int strikes = 5;                                 // wrong keys before an address is refused
    std::chrono::seconds bannedFor{60};
    unsigned idleSeconds = 10;   // a connection that moves nothing for this long is dropped
};

class ClientServer {
public:
    using Session = FolderFeed::Session;
    // Console lines ("Client picked Photo-0012.jpg\r\n"), from the server's threads.
    using Note = std::function<void(const std::string&)>;
    ClientServer(Session session, Note note);
    ~ClientServer();   // Stop()

    // Empty when listening; otherwise why not (nothing is left listening then).
    std::string Start(const ClientViewOptions& options);
    // Ends every connection and the listening sockets; returns once they are gone.
    void Stop();
    bool Running() const { return !daemons_.empty(); }

    void SetPicks(bool on) { picks_.store(on); }
    bool Picks() const { return picks_.load(); }
    // Switched off, open live streams end.
    void SetLive(bool on) { live_.store(on); }
    bool Live() const { return live_.load(); }
    // Where the camera thread offers its frames (kept while the server lives; Offer never waits).
    const std::shared_ptr<LiveFrames>& LiveView() const { return frames_; }
    unsigned LiveStreams() const { return liveStreams_.load(); }

    const std::string& Key() const { return options_.key; }
    // "http://ADDRESS:PORT/?key=KEY" for each address listened on, the most useful first.
    std::vector<std::string> Urls() const;
    // Connections open now, and the machines they come from.
    unsigned Clients() const { return clients_.load(); }
    unsigned Machines() const;

    // For libmicrohttpd's callbacks.
    struct Request;
    int Answer(MHD_Connection* connection, const char* url, const char* method,
               std::size_t uploadSize, void** state);
    bool Admit(const std::string& address);
    // A connection from address was opened or closed (after Admit took it).
    void Connected(bool opened, const std::string& address);

private:
    int answerEvents(MHD_Connection* connection, const char* lastEventId);
    int answerPick(MHD_Connection* connection, std::uint32_t number, bool on);
    int answerPicture(MHD_Connection* connection, const std::string& kind, std::uint32_t number);
    int answerLive(MHD_Connection* connection);
    std::pair<std::string, std::string> session() const { return session_(); }

    Session session_;
    Note note_;
    ClientViewOptions options_;
    std::vector<MHD_Daemon*> daemons_;
    std::vector<std::string> addresses_;
    int port_ = 0;
    std::atomic<bool> picks_{true};
    std::atomic<unsigned> clients_{0};
    mutable std::mutex machinesLock_;
    std::map<std::string, unsigned> machines_;   // address -> connections admitted and open
    std::atomic<bool> live_{false};
    std::atomic<unsigned> liveStreams_{0};
    std::shared_ptr<LiveFrames> frames_ = std::make_shared<LiveFrames>();
    std::unique_ptr<WrongKeyGuard> guard_;
    std::unique_ptr<FolderFeed> feed_;
    ServedPictures pictures_;
};

// The page, with its styles and script.
const std::string& ClientPage();

}   // namespace client
