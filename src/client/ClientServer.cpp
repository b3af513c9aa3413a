#include "client/ClientServer.h"

#include "picture/Sidecar.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace client {

namespace {

std::string addressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                    sizeof text);
    else if (address->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                    sizeof text);
    return text;
}

// The IPv4 addresses of the interfaces that are up, the loopback last.
std::vector<std::string> interfaceAddresses() {
    std::vector<std::string> out, loopback;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    for (const ifaddrs* at = list; at; at = at->ifa_next) {
        if (!at->ifa_addr || at->ifa_addr->sa_family != AF_INET || !(at->ifa_flags & IFF_UP))
            continue;
        const std::string text = addressText(at->ifa_addr);
        auto& into = (at->ifa_flags & IFF_LOOPBACK) ? loopback : out;
        if (std::find(into.begin(), into.end(), text) == into.end()) into.push_back(text);
    }
    ::freeifaddrs(list);
    out.insert(out.end(), loopback.begin(), loopback.end());
    return out;
}

// A number of at most 9 digits making the whole of text; none otherwise.
std::optional<std::uint32_t> numberIn(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::uint32_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return n;
}

MHD_Result reply(MHD_Connection* connection, unsigned status, const std::string& body,
                 const char* type, const char* cache = "no-store") {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, "Content-Type", type);
    MHD_add_response_header(response, "Cache-Control", cache);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    // The key is in the address: it is never handed to another site.
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(response, "Content-Security-Policy",
                            "default-src 'self'; script-src 'unsafe-inline'; "
                            "style-src 'unsafe-inline'; img-src 'self'; frame-ancestors 'none'");
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result text(MHD_Connection* connection, unsigned status, const std::string& body) {
    return reply(connection, status, body + "\n", "text/plain; charset=utf-8");
}

MHD_Result onAnswer(void* server, MHD_Connection* connection, const char* url, const char* method,
                    const char*, const char*, std::size_t* uploadSize, void** state) {
    return static_cast<ClientServer*>(server)->Answer(connection, url, method, *uploadSize, state)
               ? MHD_YES
               : MHD_NO;
}

MHD_Result onAccept(void* server, const sockaddr* address, socklen_t) {
    return static_cast<ClientServer*>(server)->Admit(addressText(address)) ? MHD_YES : MHD_NO;
}

void onConnection(void* server, MHD_Connection* connection, void**,
                  MHD_ConnectionNotificationCode code) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    static_cast<ClientServer*>(server)->Connected(
        code == MHD_CONNECTION_NOTIFY_STARTED,
        info && info->client_addr ? addressText(info->client_addr) : std::string());
}

// One page's event stream: what is still to be written and the last event taken.
struct Stream {
    FolderFeed* feed;
    std::uint64_t last;
    std::string pending;
};

ssize_t readStream(void* cls, std::uint64_t, char* buffer, std::size_t max) {
    auto* stream = static_cast<Stream*>(cls);
    if (stream->pending.empty()) {
        if (stream->feed->Stopped()) return MHD_CONTENT_READER_END_OF_STREAM;
        // A comment line now and then: a page gone away is found by the failing write.
        const auto events = stream->feed->Next(stream->last, std::chrono::seconds(10));
        if (stream->feed->Stopped()) return MHD_CONTENT_READER_END_OF_STREAM;
        if (events.empty()) stream->pending = ":\n\n";
        for (const FeedEvent& e : events) {
            stream->pending += "id: " + std::to_string(e.sequence) + "\nevent: " + e.name +
                               "\ndata: " + e.data + "\n\n";
            stream->last = e.sequence;
        }
    }
    const std::size_t n = std::min(max, stream->pending.size());
    std::memcpy(buffer, stream->pending.data(), n);
    stream->pending.erase(0, n);
    return static_cast<ssize_t>(n);
}

void freeStream(void* cls) { delete static_cast<Stream*>(cls); }

// One live stream: multipart JPEG parts, each the newest frame; the last one again after a
// second without a newer (so a page gone away is found by the failing write).
struct LiveStream {
    LiveFrames* frames = nullptr;
    const std::atomic<bool>* on = nullptr;
    std::atomic<unsigned>* count = nullptr;
    std::uint64_t last = 0;
    LiveFrames::Jpeg jpeg;
    std::string head;
    std::size_t at = 0;   // in head, then in *jpeg, then in the closing "\r\n"
};

ssize_t readLive(void* cls, std::uint64_t, char* buffer, std::size_t max) {
    auto* stream = static_cast<LiveStream*>(cls);
    const std::size_t total = stream->jpeg ? stream->head.size() + stream->jpeg->size() + 2 : 0;
    if (stream->at >= total) {
        LiveFrames::Jpeg next;
        while (!next) {
            if (!stream->on->load() || stream->frames->Stopped())
                return MHD_CONTENT_READER_END_OF_STREAM;
            std::uint64_t number = stream->last;
            next = stream->frames->Next(stream->last, number, std::chrono::seconds(1));
            if (next) stream->last = number;
            else next = stream->jpeg;   // nothing newer within a second: the last one again
        }
        stream->jpeg = std::move(next);
        stream->head = "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                       std::to_string(stream->jpeg->size()) + "\r\n\r\n";
        stream->at = 0;
    }
    const std::string& jpeg = *stream->jpeg;
    std::size_t n = 0;
    while (n < max) {
        const std::size_t at = stream->at;
        if (at < stream->head.size()) {
            const std::size_t k = std::min(max - n, stream->head.size() - at);
            std::memcpy(buffer + n, stream->head.data() + at, k);
            n += k, stream->at += k;
        } else if (at < stream->head.size() + jpeg.size()) {
            const std::size_t from = at - stream->head.size();
            const std::size_t k = std::min(max - n, jpeg.size() - from);
            std::memcpy(buffer + n, jpeg.data() + from, k);
            n += k, stream->at += k;
        } else if (at < stream->head.size() + jpeg.size() + 2) {
            buffer[n++] = "\r\n"[at - stream->head.size() - jpeg.size()];
            ++stream->at;
        } else {
            break;
        }
    }
    return static_cast<ssize_t>(n);
}

void freeLive(void* cls) {
    auto* stream = static_cast<LiveStream*>(cls);
    --*stream->count;
    delete stream;
}

}   // namespace

ClientServer::ClientServer(Session session, Note note)
    : session_(std::move(session)), note_(std::move(note)) {}

ClientServer::~ClientServer() { Stop(); }

std::string ClientServer::Start(const ClientViewOptions& options) {
    Stop();
    options_ = options;
    if (options_.key.empty()) options_.key = NewAccessKey();
    if (options_.key.empty()) return "no random access key could be made";
    picks_.store(options_.picks);
    live_.store(options_.live);
    frames_->Start();
    guard_ = std::make_unique<WrongKeyGuard>(options_.strikes, std::chrono::minutes(1),
                                             options_.bannedFor);
    feed_ = std::make_unique<FolderFeed>(session_);
    feed_->Start();
    std::vector<std::string> addresses =
        options_.address.empty() ? interfaceAddresses() : std::vector{options_.address};
    if (addresses.empty()) addresses.push_back("127.0.0.1");
    int port = options_.port;
    std::string error;
    for (const std::string& address : addresses) {
        sockaddr_in bind{};
        bind.sin_family = AF_INET;
        bind.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::inet_pton(AF_INET, address.c_str(), &bind.sin_addr) != 1) {
            error = "\"" + address + "\" is not an IPv4 address";
            break;
        }
        MHD_Daemon* daemon = MHD_start_daemon(
            MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL |
                MHD_USE_ITC,
            static_cast<std::uint16_t>(port), &onAccept, this, &onAnswer, this,
            // Connections past the limit are accepted and closed at once by onAccept (at its
            // own limit libmicrohttpd would leave them waiting, unanswered, in the backlog).
            MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&bind), MHD_OPTION_CONNECTION_LIMIT,
            options_.maxClients * kConnectionsPerClient, MHD_OPTION_LISTEN_BACKLOG_SIZE, 64u,
            MHD_OPTION_CONNECTION_TIMEOUT, options_.idleSeconds,
            // Request line and headers together: anything larger is refused unread.
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<std::size_t>(16384),
            MHD_OPTION_NOTIFY_CONNECTION, &onConnection, this, MHD_OPTION_END);
        if (!daemon) {
            error = "cannot listen on " + address + ":" + std::to_string(port) +
                    " (the port may be in use)";
            break;
        }
        daemons_.push_back(daemon);
        addresses_.push_back(address);
        if (port == 0) port = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
    }
    port_ = port;
    if (!error.empty()) Stop();
    return error;
}

void ClientServer::Stop() {
    if (feed_) feed_->Stop();
    frames_->Stop();   // wakes the live streams: they end
    for (MHD_Daemon* daemon : daemons_) MHD_stop_daemon(daemon);
    daemons_.clear();
    addresses_.clear();
    feed_.reset();
}

std::vector<std::string> ClientServer::Urls() const {
    std::vector<std::string> out;
    for (const std::string& address : addresses_)
        out.push_back("http://" + address + ":" + std::to_string(port_) + "/?key=" + options_.key);
    return out;
}

bool ClientServer::Admit(const std::string& address) {
    if (guard_->Refused(address)) return false;
    // Counted here, before libmicrohttpd makes the connection, so a burst cannot overshoot.
    std::lock_guard lock(machinesLock_);
    const auto at = machines_.find(address);
    if (at == machines_.end()) {
        if (machines_.size() >= options_.maxClients) return false;
        machines_.emplace(address, 1u);
        return true;
    }
    if (at->second >= kConnectionsPerClient) return false;
    ++at->second;
    return true;
}

void ClientServer::Connected(bool opened, const std::string& address) {
    if (opened) {
        ++clients_;
        return;
    }
    --clients_;
    std::lock_guard lock(machinesLock_);
    const auto at = machines_.find(address);
    if (at != machines_.end() && --at->second == 0) machines_.erase(at);
}

unsigned ClientServer::Machines() const {
    std::lock_guard lock(machinesLock_);
    return static_cast<unsigned>(machines_.size());
}

int ClientServer::Answer(MHD_Connection* connection, const char* url, const char* method,
                         std::size_t uploadSize, void** state) {
    // Each request is answered at its first call, before any body: a body is never read.
    if (*state) return uploadSize == 0 ? MHD_YES : MHD_NO;
    *state = this;
    const char* given = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "key");
    if (!given || !*given)
        return text(connection, MHD_HTTP_UNAUTHORIZED,
                    "This page needs its key: open the address Kestrel shows (or scan its QR "
                    "code).");
    if (!SameKey(given, options_.key)) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        if (info && info->client_addr) guard_->Wrong(addressText(info->client_addr));
        std::this_thread::sleep_for(options_.wrongKeyDelay);
        return text(connection, MHD_HTTP_UNAUTHORIZED, "Wrong key.");
    }
    const std::string_view path = url ? url : "";
    const std::string_view verb = method ? method : "";
    const bool get = verb == "GET" || verb == "HEAD";
    if (const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                         MHD_HTTP_HEADER_CONTENT_LENGTH);
        length && std::strcmp(length, "0") != 0)
        return text(connection, MHD_HTTP_CONTENT_TOO_LARGE, "No request here has a body.");
    if (get && path == "/")
        return reply(connection, MHD_HTTP_OK, ClientPage(), "text/html; charset=utf-8");
    if (get && path == "/pictures") {
        const auto [folder, name] = session();
        std::string json = "{\"picks\":" + std::string(picks_.load() ? "true" : "false") +
                           ",\"live\":" + std::string(live_.load() ? "true" : "false") +
                           ",\"last\":" + std::to_string(feed_->Last()) + ",\"pictures\":[";
        bool first = true;
        for (const ServedPicture& p : ServedPictures::List(folder, name)) {
            json += (first ? "" : ",") + PictureJson(p);
            first = false;
        }
        return reply(connection, MHD_HTTP_OK, json + "]}", "application/json");
    }
    if (get && path == "/live") return answerLive(connection);
    if (get && path == "/events")
        return answerEvents(
            connection, MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Last-Event-ID"));
    for (const char* kind : {"/thumb/", "/large/", "/original/", "/pick/"}) {
        if (!path.starts_with(kind)) continue;
        const auto number = numberIn(path.substr(std::strlen(kind)));
        if (!number) break;
        if (std::strcmp(kind, "/pick/") == 0) {
            if (verb != "POST") return text(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "POST only.");
            const char* on = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "on");
            return answerPick(connection, *number, on && std::strcmp(on, "1") == 0);
        }
        if (!get) return text(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "GET only.");
        return answerPicture(connection, kind, *number);
    }
    return text(connection, MHD_HTTP_NOT_FOUND, "Not here.");
}

int ClientServer::answerEvents(MHD_Connection* connection, const char* lastEventId) {
    // On this connection's own thread: a stream opened as the server starts hears of every
    // picture saved after it, not only of those after the feed's first look at the folder.
    feed_->WaitFollowing(std::chrono::seconds(5));
    std::uint64_t last = feed_->Last();
    // A page coming back after a drop is given what it missed, when that is still kept.
    if (lastEventId)
        if (const auto id = numberIn(lastEventId); id && *id <= last) last = *id;
    auto* stream = new Stream{feed_.get(), last, "retry: 1500\n\n"};
    MHD_Response* response =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &readStream, stream, &freeStream);
    if (!response) {
        delete stream;
        return MHD_NO;
    }
    MHD_add_response_header(response, "Content-Type", "text/event-stream");
    MHD_add_response_header(response, "Cache-Control", "no-store");
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    return result;
}

int ClientServer::answerLive(MHD_Connection* connection) {
    if (!live_.load()) return text(connection, MHD_HTTP_FORBIDDEN, "The live view is off.");
    if (++liveStreams_ > kMaxLiveStreams) {
        --liveStreams_;
        return text(connection, MHD_HTTP_SERVICE_UNAVAILABLE,
                    "At most " + std::to_string(kMaxLiveStreams) + " live streams at once.");
    }
    auto* stream = new LiveStream;
    stream->frames = frames_.get();
    stream->on = &live_;
    stream->count = &liveStreams_;
    MHD_Response* response =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 32768, &readLive, stream, &freeLive);
    if (!response) {
        freeLive(stream);
        return MHD_NO;
    }
    MHD_add_response_header(response, "Content-Type", "multipart/x-mixed-replace; boundary=frame");
    MHD_add_response_header(response, "Cache-Control", "no-store");
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    return result;
}

int ClientServer::answerPick(MHD_Connection* connection, std::uint32_t number, bool on) {
    if (!picks_.load()) return text(connection, MHD_HTTP_FORBIDDEN, "Picks are switched off.");
    const auto [folder, name] = session();
    auto found = ServedPictures::Find(folder, name, number);
    if (!found) return text(connection, MHD_HTTP_NOT_FOUND, "No such picture.");
    if (std::string why = picture::WriteClientPick(found->path, on); !why.empty())
        return text(connection, MHD_HTTP_CONFLICT, why);
    found->picked = on;
    feed_->Publish("picture", PictureJson(*found));
    if (note_)
        note_((on ? "Client picked " : "Client cleared the pick of ") + found->fileName + "\r\n");
    return reply(connection, MHD_HTTP_OK, PictureJson(*found), "application/json");
}

int ClientServer::answerPicture(MHD_Connection* connection, const std::string& kind,
                                std::uint32_t number) {
    const auto [folder, name] = session();
    const auto found = ServedPictures::Find(folder, name, number);
    if (!found) return text(connection, MHD_HTTP_NOT_FOUND, "No such picture.");
    std::string error, bytes;
    if (kind == "/original/") {
        bytes = ServedPictures::Original(*found, error);
        if (bytes.empty()) return text(connection, MHD_HTTP_FORBIDDEN, "Not served: " + error);
        return reply(connection, MHD_HTTP_OK, bytes, "application/octet-stream", "private");
    }
    int width = 320;
    if (kind == "/large/") {
        const char* asked = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "w");
        const auto w = asked ? numberIn(asked) : std::nullopt;
        // In steps of 320 pixels, so that pages of one size share what was made.
        width = std::clamp(static_cast<int>(w.value_or(1600) + 319) / 320 * 320, 640, 2560);
    }
    bytes = pictures_.Sized(*found, width, error);
    if (bytes.empty()) return text(connection, MHD_HTTP_FORBIDDEN, "Not served: " + error);
    return reply(connection, MHD_HTTP_OK, bytes, "image/jpeg", "private, max-age=3600");
}

}   // namespace client
