#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvex {

// One language table: the "[String]" section of a profile-format text, keyed by dialog template and
// control id. Dialog templates carry the Chinese texts; a table only replaces what it names, and an
// empty or missing value tells the caller to leave the control's text alone.
class LanguageTable {
public:
    // Parses UTF-8 text (a leading byte-order mark is skipped). Lines end in LF or CR LF. Only entries
    // inside a "[String]" section count; lines without '=' are comments or separators. Keys compare
    // without regard to ASCII case; for a key given twice the first entry wins, as the profile reader
    // the tables were written for behaves. Blanks around the key and around the value carry no meaning.
    static LanguageTable Parse(std::string_view utf8Text);

    // The value of a key, or "" when the key is missing or its value is empty.
    std::string Lookup(std::string_view key) const;
    // True when the key exists, even with an empty value.
    bool Contains(std::string_view key) const;

    std::string DialogTitle(int tmpl) const { return Lookup(TitleKey(tmpl)); }
    std::string ControlText(int tmpl, int controlId) const { return Lookup(KeyFor(tmpl, controlId)); }

    // "IDD%d_%d" and "IDD%d_title", decimal without leading zeros.
    static std::string KeyFor(int tmpl, int controlId);
    static std::string TitleKey(int tmpl);

    // Every key the table holds, lower-cased and sorted.
    std::vector<std::string> Keys() const;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

private:
    // Keys are stored lower-cased so that lookups need one fold of the probe only.
    std::unordered_map<std::string, std::string> entries_;
};

// Which tables must hold a required key. Most keys are in both; a few were only ever translated one way,
// and the control then keeps the text it has when the other language is chosen.
enum class LanguageKeyPresence {
    Both,
    ChineseOnly,
    EnglishOnly,
    EmptyInEnglish, // present in both, but the English value is empty
};

struct RequiredLanguageKey {
    static constexpr int kTitle = -1; // controlId of a dialog caption

    int tmpl = 0;
    int controlId = kTitle;
    LanguageKeyPresence presence = LanguageKeyPresence::Both;

    std::string Key() const {
        return controlId == kTitle ? LanguageTable::TitleKey(tmpl) : LanguageTable::KeyFor(tmpl, controlId);
    }
    bool RequiredInChinese() const { return presence != LanguageKeyPresence::EnglishOnly; }
    bool RequiredInEnglish() const { return presence != LanguageKeyPresence::ChineseOnly; }
};

// Every (template, key) the two embedded tables must carry, per dialog template in ascending order.
const std::vector<RequiredLanguageKey>& RequiredLanguageKeys();

} // namespace orvex
