#include "remote/RemoteApi.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <random>

namespace orvex {

namespace {

using json = nlohmann::json;
using TimePoint = std::chrono::steady_clock::time_point;

RemoteReply JsonReply(int status, const json& body) {
    return {status, "application/json", body.dump()};
}

RemoteReply Error(int status, const std::string& message) {
    return JsonReply(status, json{{"error", message}});
}

RemoteReply Done() {
    return JsonReply(200, json{{"ok", true}});
}

// The body as a JSON object; anything else is no request at all. Never throws.
std::optional<json> ParseObject(const std::string& body) {
    json parsed = json::parse(body, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object())
        return std::nullopt;
    return parsed;
}

ControlValue ValueOf(const json& value) {
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number_unsigned()) {
        const uint64_t n = value.get<uint64_t>();
        return n > static_cast<uint64_t>(INT64_MAX) ? ControlValue(static_cast<double>(n))
                                                    : ControlValue(static_cast<int64_t>(n));
    }
    if (value.is_number_integer())
        return value.get<int64_t>();
    if (value.is_number_float())
        return value.get<double>();
    if (value.is_string())
        return value.get<std::string>();
    return std::monostate{};
}

// Compares without stopping at the first difference, so that the time taken says nothing about the PIN.
bool SameSecret(const std::string& a, const std::string& b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return diff == 0;
}

const char* PlugTypeName(int type) {
    return type == kPlugTypeSwitch ? "switch" : type == kPlugTypeDimmer ? "dimmer" : "other";
}

json LevelsJson(const std::array<int, 6>& levels) {
    return json{{"mic", {levels[0], levels[1], levels[2], levels[3]}}, {"music", {levels[4], levels[5]}}};
}

json ScenesJson(const RemoteSnapshot& s) {
    json scenes = json::array();
    for (size_t i = 0; i < s.sceneCommands.size(); ++i)
        scenes.push_back({{"scene", i}, {"commands", s.sceneCommands[i]}});
    return scenes;
}

json PlugsJson(const RemoteSnapshot& s) {
    json plugs = json::array();
    for (const RemotePlug& plug : s.plugs)
        plugs.push_back({{"node", plug.node},
                         {"name", plug.name},
                         {"type", PlugTypeName(plug.type)},
                         {"on", plug.value != 0},
                         {"level", std::min(plug.value, kPlugMaxLevel)}});
    return plugs;
}

json StateJson(const RemoteSnapshot& s) {
    return json{{"connected", s.connected}, {"mode", s.mode},        {"fields", s.fields},
                {"scenes", ScenesJson(s)},  {"plugs", PlugsJson(s)}, {"levels", LevelsJson(s.levels)},
                {"limits", s.limits}};
}

json ControlsJson() {
    json controls = json::array();
    for (const ControlEntry& entry : ControlTable()) {
        static constexpr const char* kKinds[] = {"level", "switch", "choice", "run", "reading"};
        json row{{"name", entry.name},
                 {"kind", kKinds[static_cast<size_t>(entry.kind)]},
                 {"min", entry.minValue},
                 {"max", entry.maxValue},
                 {"label", {{"en", entry.labelEn}, {"zh", entry.labelZh}}}};
        // The name /api/set takes; the operations (mode, scene, plugs, levels) have calls of their own.
        if (entry.target == ControlTarget::Field)
            row["field"] = entry.name;
        if (!entry.choices.empty()) {
            json names = json::array();
            for (std::string_view name : entry.choices)
                names.push_back(name);
            row["choices"] = names;
        }
        controls.push_back(row);
    }
    return controls;
}

// A whole number member of a request, checked against a control's range.
std::optional<int> MemberInRange(const json& body, const char* member, const ControlEntry& entry,
                                 ControlCheckResult* check) {
    if (!body.contains(member))
        return std::nullopt;
    *check = CheckControlValue(entry.name, ValueOf(body[member]));
    if (!*check)
        return std::nullopt;
    return check->value;
}

} // namespace

std::string RemoteStateJson(const RemoteSnapshot& snapshot) {
    return StateJson(snapshot).dump();
}

std::string MakeRemoteToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        token += part;
    }
    return token;
}

std::string MakeRemotePin() {
    std::random_device random;
    std::uniform_int_distribution<int> digits(0, 999999);
    char pin[8];
    std::snprintf(pin, sizeof pin, "%06d", digits(random));
    return pin;
}

RemoteApi::RemoteApi(std::string pin, RemoteOwner& owner, const SnapshotBoard& board, Clock clock)
    : m_pin(std::move(pin)), m_owner(owner), m_board(board), m_clock(std::move(clock)) {}

std::chrono::steady_clock::time_point RemoteApi::Now() const {
    return m_clock ? m_clock() : std::chrono::steady_clock::now();
}

bool RemoteApi::Authorized(const std::string& authorization) const {
    static constexpr std::string_view kBearer = "Bearer ";
    if (!authorization.starts_with(kBearer))
        return false;
    const std::string token = authorization.substr(kBearer.size());
    std::lock_guard lock(m_mutex);
    return m_tokens.contains(token);
}

size_t RemoteApi::PairedCount() const {
    std::lock_guard lock(m_mutex);
    return m_tokens.size();
}

RemoteReply RemoteApi::Handle(const RemoteRequest& request) {
    if (request.body.size() > kRemoteMaxBody)
        return Error(413, "the request is larger than 64 KiB");
    const std::string& path = request.path;
    const bool post = request.method == "POST";
    if (path == "/api/pair")
        return post ? Pair(request) : Error(405, "use POST");
    if (!Authorized(request.authorization))
        return Error(401, "pair with the PIN first");
    if (path == "/api/state")
        return request.method == "GET" ? RemoteReply{200, "application/json", RemoteStateJson(*m_board.Current())}
                                       : Error(405, "use GET");
    if (path == "/api/table" || path == "/api/controls")
        return request.method == "GET" ? JsonReply(200, ControlsJson()) : Error(405, "use GET");
    const bool write = path == "/api/set" || path == "/api/mode" || path == "/api/scene" || path == "/api/plug";
    if (!write)
        return Error(404, "no such call");
    if (!post)
        return Error(405, "use POST");
    if (!m_board.Current()->connected)
        return Error(503, "the processor is not connected");
    if (path == "/api/set")
        return Set(request.body);
    if (path == "/api/mode")
        return Mode(request.body);
    if (path == "/api/scene")
        return Scene(request.body);
    return Plug(request.body);
}

RemoteReply RemoteApi::Pair(const RemoteRequest& request) {
    const std::optional<json> body = ParseObject(request.body);
    if (!body || !body->contains("pin") || !(*body)["pin"].is_string())
        return Error(400, "send {\"pin\": \"NNNNNN\"}");
    const TimePoint now = Now();
    std::lock_guard lock(m_mutex);
    Attempts& attempts = m_attempts[request.remoteAddress];
    if (now < attempts.lockedUntil)
        return Error(429, "too many wrong PINs: wait a minute");
    if (SameSecret((*body)["pin"].get<std::string>(), m_pin)) {
        attempts.wrong.clear();
        std::string token = MakeRemoteToken();
        m_tokens.insert(token);
        return JsonReply(200, json{{"token", token}});
    }
    while (!attempts.wrong.empty() && now - attempts.wrong.front() >= kRemoteWrongPinWindow)
        attempts.wrong.pop_front();
    attempts.wrong.push_back(now);
    // The fifth wrong PIN within the minute is already answered with the lockout.
    if (static_cast<int>(attempts.wrong.size()) >= kRemoteWrongPinLimit) {
        attempts.wrong.clear();
        attempts.lockedUntil = now + kRemoteLockout;
        return Error(429, "too many wrong PINs: wait a minute");
    }
    return Error(403, "wrong PIN");
}

RemoteReply RemoteApi::Set(const std::string& text) {
    const std::optional<json> body = ParseObject(text);
    if (!body || !body->contains("field") || !(*body)["field"].is_string() || !body->contains("value"))
        return Error(400, "send {\"field\": NAME, \"value\": VALUE}");
    const std::string name = (*body)["field"].get<std::string>();
    const ControlEntry* entry = FindControl(name);
    if (entry == nullptr || entry->target != ControlTarget::Field)
        return Error(400, "'" + name + "' cannot be set here");
    const ControlCheckResult check = CheckControlValue(name, ValueOf((*body)["value"]));
    if (!check)
        return Error(400, ControlCheckText(check, name));
    m_owner.Post({check.entry, check.value, 0});
    return Done();
}

RemoteReply RemoteApi::Mode(const std::string& text) {
    const std::optional<json> body = ParseObject(text);
    ControlCheckResult check;
    const std::optional<int> load = body ? MemberInRange(*body, "load", *FindControl("mode"), &check) : std::nullopt;
    if (!load)
        return Error(400, "send {\"load\": 1..4}");
    m_owner.Post({check.entry, *load, 0});
    return Done();
}

RemoteReply RemoteApi::Scene(const std::string& text) {
    const std::optional<json> body = ParseObject(text);
    ControlCheckResult check;
    const std::optional<int> run = body ? MemberInRange(*body, "run", *FindControl("scene"), &check) : std::nullopt;
    if (!run)
        return Error(400, "send {\"run\": 0.." + std::to_string(kSceneCount - 1) + "}");
    if (!m_owner.RunsScenes())
        return Error(501, "scenes are run from the editor");
    m_owner.Post({check.entry, *run, 0});
    return Done();
}

RemoteReply RemoteApi::Plug(const std::string& text) {
    const std::optional<json> body = ParseObject(text);
    if (!body || !body->contains("node") || !(*body)["node"].is_number_integer() ||
        body->contains("on") == body->contains("level"))
        return Error(400, "send {\"node\": N, \"on\": true|false} or {\"node\": N, \"level\": 0..99}");
    const int64_t node = (*body)["node"].get<int64_t>();
    const auto plugs = m_board.Current()->plugs;
    const auto plug = std::find_if(plugs.begin(), plugs.end(), [&](const RemotePlug& p) { return p.node == node; });
    if (plug == plugs.end())
        return Error(400, "no plug " + std::to_string(node));
    ControlCheckResult check;
    if (body->contains("on")) {
        const std::optional<int> on = MemberInRange(*body, "on", *FindControl("plug"), &check);
        if (!on)
            return Error(400, "'on' takes true or false");
        m_owner.Post({check.entry, *on != 0 ? kPlugOnValue : 0, plug->node});
        return Done();
    }
    if (plug->type != kPlugTypeDimmer)
        return Error(400, "plug " + std::to_string(node) + " is not a dimmer");
    const std::optional<int> level = MemberInRange(*body, "level", *FindControl("plugLevel"), &check);
    if (!level)
        return Error(400, ControlCheckText(check, "level"));
    m_owner.Post({check.entry, *level, plug->node});
    return Done();
}

// ---- event stream -------------------------------------------------------------------------------------

RemoteEventStream::RemoteEventStream(const SnapshotBoard& board) : m_board(board) {}

std::string RemoteEventStream::Poll(std::chrono::steady_clock::time_point now) {
    const std::shared_ptr<const RemoteSnapshot> current = m_board.Current();
    std::string out;
    const auto data = [&out](const json& message) { out += "data: " + message.dump() + "\n\n"; };
    if (!m_sent) {
        data(StateJson(*current));
        m_sent = current;
        m_lastLevels = now;
        m_lastOutput = now;
        return out;
    }
    if (!current->SameState(*m_sent)) {
        json change = json::object();
        if (current->connected != m_sent->connected)
            change["connected"] = current->connected;
        if (current->mode != m_sent->mode)
            change["mode"] = current->mode;
        json fields = json::object();
        for (const auto& [name, value] : current->fields) {
            const auto before = m_sent->fields.find(name);
            if (before == m_sent->fields.end() || before->second != value)
                fields[name] = value;
        }
        if (!fields.empty())
            change["fields"] = fields;
        if (current->sceneCommands != m_sent->sceneCommands)
            change["scenes"] = ScenesJson(*current);
        if (current->plugs != m_sent->plugs)
            change["plugs"] = PlugsJson(*current);
        if (current->limits != m_sent->limits)
            change["limits"] = current->limits;
        data(change);
    }
    // The levels go out at most every 250 ms; what changed in between waits for the next turn.
    std::array<int, 6> levels = m_sent->levels;
    if (current->levels != levels && now - m_lastLevels >= kLevelPeriod) {
        data(json{{"levels", LevelsJson(current->levels)}});
        levels = current->levels;
        m_lastLevels = now;
    }
    if (!current->SameState(*m_sent) || levels != m_sent->levels) {
        RemoteSnapshot sent = *current;
        sent.levels = levels;
        m_sent = std::make_shared<const RemoteSnapshot>(std::move(sent));
    }
    if (out.empty() && now - m_lastOutput >= kKeepAlive)
        out = ": keep-alive\n\n";
    if (!out.empty())
        m_lastOutput = now;
    return out;
}

} // namespace orvex
