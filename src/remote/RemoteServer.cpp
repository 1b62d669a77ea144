#include "remote/RemoteServer.h"

#include <httplib.h>

#include <chrono>
#include <cstddef>

// The page's files, generated at build time from src/remote/web.
extern const unsigned char orvex_web_remote_html[];
extern const std::size_t orvex_web_remote_html_size;
extern const unsigned char orvex_web_remote_js[];
extern const std::size_t orvex_web_remote_js_size;
extern const unsigned char orvex_web_remote_css[];
extern const std::size_t orvex_web_remote_css_size;
extern const unsigned char orvex_web_icon_svg[];
extern const std::size_t orvex_web_icon_svg_size;

namespace orvex {

namespace {

std::string EmbeddedText(const unsigned char* bytes, std::size_t size) {
    return {reinterpret_cast<const char*>(bytes), size};
}

struct WebFile {
    const char* path;
    const char* contentType;
    const unsigned char* bytes;
    const std::size_t& size;
};

// What the page loads beside itself; the page at / is served by RemotePage().
const WebFile kWebFiles[] = {
    {"/remote.js", "text/javascript; charset=utf-8", orvex_web_remote_js, orvex_web_remote_js_size},
    {"/remote.css", "text/css; charset=utf-8", orvex_web_remote_css, orvex_web_remote_css_size},
    {"/icon.svg", "image/svg+xml", orvex_web_icon_svg, orvex_web_icon_svg_size},
};

// How long an event stream sleeps between looks at the board when nothing wakes it; the levels'
// quarter-second turn and the keep-alive need no more precision than this.
constexpr std::chrono::milliseconds kEventWait{50};

RemoteRequest ToRequest(const httplib::Request& req) {
    RemoteRequest request;
    request.method = req.method;
    request.path = req.path;
    request.body = req.body;
    request.remoteAddress = req.remote_addr;
    request.authorization = req.get_header_value("Authorization");
    return request;
}

void Send(const RemoteReply& reply, httplib::Response& res) {
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
}

} // namespace

RemoteServer::RemoteServer(RemoteApi& api, const SnapshotBoard& board, int maxStreams)
    : m_api(api), m_board(board), m_maxStreams(maxStreams) {}

RemoteServer::~RemoteServer() {
    Stop();
}

bool RemoteServer::Start(const std::string& address, uint16_t port, std::string* error) {
    Stop();
    m_stopping.store(false);
    m_server = std::make_unique<httplib::Server>();
    // The event streams' workers and four for everything else.
    m_server->new_task_queue = [workers = static_cast<size_t>(m_maxStreams) + 4] {
        return new httplib::ThreadPool(workers);
    };
    m_server->set_payload_max_length(kRemoteMaxBody);
    m_server->set_default_headers({{"Content-Security-Policy", "default-src 'self'"},
                                   {"X-Content-Type-Options", "nosniff"},
                                   {"Cache-Control", "no-store"}});
    Route();
    int bound = 0;
    if (port == 0)
        bound = m_server->bind_to_any_port(address);
    else
        bound = m_server->bind_to_port(address, port) ? port : -1;
    if (bound <= 0) {
        if (error != nullptr)
            *error = "cannot listen on " + address + ":" + std::to_string(port);
        m_server.reset();
        return false;
    }
    m_port = static_cast<uint16_t>(bound);
    m_listenEnded.store(false);
    m_thread = std::thread([this, server = m_server.get()] {
        server->listen_after_bind();
        m_listenEnded.store(true);
    });
    // A stop before the accept loop runs would be lost and leave the loop running for good: the
    // server counts as started once it accepts.
    while (!m_server->is_running() && !m_listenEnded.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void RemoteServer::Stop() {
    if (!m_server)
        return;
    m_stopping.store(true);
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

bool RemoteServer::Running() const {
    return m_server && m_server->is_running();
}

void RemoteServer::Route() {
    httplib::Server& server = *m_server;
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(RemotePage(), "text/html; charset=utf-8");
    });
    for (const WebFile& file : kWebFiles) {
        server.Get(file.path, [&file](const httplib::Request&, httplib::Response& res) {
            res.set_content(reinterpret_cast<const char*>(file.bytes), file.size, file.contentType);
        });
    }
    server.Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
        // A browser's event source cannot set headers: the token may come as ?token= instead.
        std::string authorization = req.get_header_value("Authorization");
        if (authorization.empty() && req.has_param("token"))
            authorization = "Bearer " + req.get_param_value("token");
        if (!m_api.Authorized(authorization)) {
            Send({401, "application/json", R"({"error":"pair with the PIN first"})"}, res);
            return;
        }
        if (m_streams.fetch_add(1) >= m_maxStreams) {
            m_streams.fetch_sub(1);
            Send({503, "application/json", R"({"error":"too many open event streams"})"}, res);
            return;
        }
        // The count goes down when httplib lets go of the provider, however the stream ended.
        auto stream = std::shared_ptr<RemoteEventStream>(new RemoteEventStream(m_board), [this](RemoteEventStream* s) {
            delete s;
            m_streams.fetch_sub(1);
        });
        res.set_chunked_content_provider("text/event-stream", [this, stream](size_t, httplib::DataSink& sink) {
            uint64_t seen = m_board.Version();
            while (!m_stopping.load()) {
                if (!sink.is_writable())
                    return false; // the phone went away
                const std::string text = stream->Poll(std::chrono::steady_clock::now());
                if (!text.empty() && !sink.write(text.data(), text.size()))
                    return false;
                m_board.WaitForChange(seen, kEventWait);
                seen = m_board.Version();
            }
            sink.done();
            return true;
        });
    });
    const auto api = [this](const httplib::Request& req, httplib::Response& res) {
        Send(m_api.Handle(ToRequest(req)), res);
    };
    server.Get(R"(/api/.*)", api);
    server.Post(R"(/api/.*)", api);
}

const std::string& RemotePage() {
    static const std::string page = EmbeddedText(orvex_web_remote_html, orvex_web_remote_html_size);
    return page;
}

} // namespace orvex
