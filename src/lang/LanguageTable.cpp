#include "lang/LanguageTable.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

namespace orvex {
namespace {

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Keys are plain ASCII ("IDD335_title"); folding bytes above 0x7F is left alone so that UTF-8 keys,
// should a table ever carry one, stay intact.
std::string FoldCase(std::string_view s) {
    std::string folded(s);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

constexpr std::string_view kSection = "String";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

} // namespace

LanguageTable LanguageTable::Parse(std::string_view text) {
    LanguageTable table;
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        text.remove_prefix(kUtf8Bom.size());

    bool inSection = false;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed.front() == ';')
            continue;
        if (trimmed.front() == '[') {
            std::string_view name = trimmed.substr(1);
            name = name.substr(0, name.find(']'));
            inSection = EqualsIgnoringCase(TrimBlanks(name), kSection);
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t eq = trimmed.find('=');
        if (eq == std::string_view::npos)
            continue; // "//IDD_DIALOG_COMP", "// 机器设置" and the like
        const std::string_view key = TrimBlanks(trimmed.substr(0, eq));
        if (key.empty())
            continue;
        table.entries_.try_emplace(FoldCase(key), TrimBlanks(trimmed.substr(eq + 1)));
    }
    return table;
}

std::string LanguageTable::Lookup(std::string_view key) const {
    const auto it = entries_.find(FoldCase(TrimBlanks(key)));
    return it == entries_.end() ? std::string() : it->second;
}

bool LanguageTable::Contains(std::string_view key) const {
    return entries_.find(FoldCase(TrimBlanks(key))) != entries_.end();
}

std::vector<std::string> LanguageTable::Keys() const {
    std::vector<std::string> keys;
    keys.reserve(entries_.size());
    for (const auto& [key, value] : entries_)
        keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::string LanguageTable::KeyFor(int tmpl, int controlId) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "IDD%d_%d", tmpl, controlId);
    return buf;
}

std::string LanguageTable::TitleKey(int tmpl) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "IDD%d_title", tmpl);
    return buf;
}

namespace {

// A run of control ids first..last inclusive; a single id has last == first.
struct IdRun {
    int first;
    int last;
    constexpr IdRun(int id) : first(id), last(id) {} // NOLINT(google-explicit-constructor)
    constexpr IdRun(int a, int b) : first(a), last(b) {}
};

using Presence = LanguageKeyPresence;
constexpr int kTitle = RequiredLanguageKey::kTitle;

void AddRuns(std::vector<RequiredLanguageKey>& out, int tmpl, std::initializer_list<IdRun> runs,
             Presence presence = Presence::Both) {
    for (const IdRun& run : runs) {
        for (int id = run.first; id <= run.last; ++id)
            out.push_back({tmpl, id, presence});
    }
}

void AddTitle(std::vector<RequiredLanguageKey>& out, int tmpl) {
    out.push_back({tmpl, kTitle, Presence::Both});
}

std::vector<RequiredLanguageKey> BuildRequiredKeys() {
    std::vector<RequiredLanguageKey> k;
    // Mic and music page.
    AddRuns(k, 313,
            {{1068, 1070},
             1132,
             1142,
             1145,
             1146,
             1153,
             1155,
             1157,
             1159,
             1161,
             1163,
             1165,
             1167,
             {1182, 1197},
             {1199, 1202},
             {1204, 1208}});
    // Speaker delay page.
    AddRuns(k, 333, {{1069, 1079}, {1123, 1126}, 1131, 1132, 1135, 1136, {1190, 1205}, {1293, 1300}});
    // Surround volume page.
    AddRuns(k, 334,
            {1002,
             1005,
             1006,
             1007,
             1011,
             1012,
             1013,
             1017,
             1018,
             1019,
             1022,
             1023,
             {1069, 1079},
             1139,
             1216,
             1229,
             {1231, 1236},
             {1238, 1241}});
    // Machine settings.
    AddTitle(k, 335);
    AddRuns(k, 335,
            {2,    1002, 1005, 1006, 1012, 1013,         1022,         1023,         {1039, 1049}, 1068, 1069, 1070,
             1073, 1131, 1143, 1144, 1148, {1183, 1187}, {1190, 1195}, {1197, 1202}, 1238,         1239, 1241});
    // Compressor page: the CH6..CH8 tab buttons were only ever given Chinese entries.
    AddRuns(k, 346, {1002, 1005, 1006, 1007, 1045, {1069, 1076}, 1220});
    AddRuns(k, 346, {{1077, 1079}}, Presence::ChineseOnly);
    // Learning in progress, remote learning.
    AddTitle(k, 372);
    AddRuns(k, 372, {1, 3, 1007});
    AddTitle(k, 373);
    AddRuns(k, 373, {1, 3, 4});
    // Output channel page: 1132 exists in the English table only.
    AddRuns(
        k, 385,
        {1002, 1005, 1006, 1007, 1045, {1047, 1081}, {1123, 1126}, 1190, 1191, {1199, 1202}, {1204, 1208}, 1215, 1293});
    AddRuns(k, 385, {1132}, Presence::EnglishOnly);
    // Auto SUB decay.
    AddTitle(k, 410);
    AddRuns(k, 410, {1005, 1045, 1123});
    // Effects page.
    AddRuns(k, 421, {{1199, 1202}, {1204, 1208}});
    // Noise gate settings.
    AddTitle(k, 423);
    AddRuns(k, 423, {1, 2, {1123, 1126}, 1178, 1179});
    // Music AGC.
    AddTitle(k, 424);
    AddRuns(k, 424, {1005, 1045, 1123});
    // Smart plug window, plug property, plug list, scene list.
    AddTitle(k, 479);
    AddRuns(k, 479, {1005, 1007, 1074, {1077, 1080}});
    AddTitle(k, 480);
    AddRuns(k, 480, {2, 1005, 1007});
    AddRuns(k, 481, {1075, 1076});
    AddRuns(k, 482, {1045, {1068, 1078}, 1081, 1226, 1228, 1229, 1235, 1236, {1238, 1242}});
    // Dimmer: the second warning line has no English counterpart, so its English value is empty.
    AddRuns(k, 484, {1005, 1007, 1070, 1071, 1237, 1238});
    AddRuns(k, 484, {1239}, Presence::EmptyInEnglish);
    // Switch.
    AddRuns(k, 485, {1005, 1007});
    // Music source.
    AddTitle(k, 512);
    AddRuns(k, 512, {1190, 1191, {1196, 1198}});
    // Three-choice message.
    AddRuns(k, 513, {2});
    // Features.
    AddTitle(k, 515);
    AddRuns(k, 515, {1002, 1003, 1005, 1007, 1013, 1018, 1021, {1040, 1042}, 1044, 1045, {1131, 1145}, 1237});
    // Key list.
    AddRuns(k, 516, {1228, 1229, {1232, 1235}});
    // Network connect.
    AddTitle(k, 521);
    AddRuns(k, 521, {1, 2, 1005});
    return k;
}

} // namespace

const std::vector<RequiredLanguageKey>& RequiredLanguageKeys() {
    static const std::vector<RequiredLanguageKey> keys = BuildRequiredKeys();
    return keys;
}

} // namespace orvex
