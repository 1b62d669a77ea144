#include "model/PlugKeyFile.h"

#include "model/AtomicFile.h"
#include "model/SmartHomeTables.h"

#include <pugixml.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <system_error>

namespace orvex {

namespace {

constexpr const char* kRootName = "Keys";
constexpr const char* kKeyName = "Key";
constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

// A decimal number filling the whole attribute (surrounding blanks allowed), else nullopt.
std::optional<int> DecimalAttribute(const pugi::xml_attribute& attribute) {
    if (!attribute)
        return std::nullopt;
    std::string_view text = attribute.value();
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<int> KeyIndexOf(const pugi::xml_node& key) {
    const std::optional<int> index = DecimalAttribute(key.attribute("Index"));
    if (!index || *index < 0 || *index >= kPlugKeyCount)
        return std::nullopt;
    return index;
}

KeyFileResult Failure(KeyFileStatus status, int errorCode = 0, std::string detail = {}) {
    KeyFileResult result;
    result.status = status;
    result.errorCode = errorCode;
    result.detail = std::move(detail);
    return result;
}

KeyFileResult ParseDocument(std::string_view text, pugi::xml_document& document) {
    if (text.size() > kKeyFileMaxBytes)
        return Failure(KeyFileStatus::Malformed, 0, "file too large");
    // Blanks inside names stay as they are (by default the parser turns tabs and line breaks into spaces).
    const pugi::xml_parse_result parsed =
        document.load_buffer(text.data(), text.size(), pugi::parse_default & ~pugi::parse_wconv_attribute);
    if (!parsed)
        return Failure(KeyFileStatus::Malformed, 0,
                       std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
    const pugi::xml_node root = document.document_element();
    if (!root || std::string_view(root.name()) != kRootName)
        return Failure(KeyFileStatus::Malformed, 0, "no Keys element");
    return {};
}

std::string Serialise(const pugi::xml_node& root) {
    StringWriter writer;
    root.print(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    // Line ends as the declaration's. Line breaks inside names are written as character references,
    // so only the layout's own breaks change here.
    std::string text = kDeclaration;
    text.reserve(text.size() + writer.text.size() * 11 / 10);
    for (char c : writer.text) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return text;
}

KeyFileResult ReadText(const std::filesystem::path& file, std::string& text) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> handle(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!handle) {
        const int error = errno;
        return Failure(error == ENOENT ? KeyFileStatus::Missing : KeyFileStatus::CannotRead, error);
    }
    text.clear();
    char buffer[4096];
    for (;;) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, handle.get());
        text.append(buffer, n);
        if (text.size() > kKeyFileMaxBytes)
            return Failure(KeyFileStatus::Malformed, 0, "file too large");
        if (n < sizeof buffer)
            break;
    }
    if (std::ferror(handle.get()))
        return Failure(KeyFileStatus::CannotRead, errno != 0 ? errno : EIO);
    return {};
}

KeyFileResult WriteText(const std::filesystem::path& file, const std::string& text) {
    const int error = WriteFileAtomically(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return error == 0 ? KeyFileResult{} : Failure(KeyFileStatus::CannotWrite, error);
}

// Opens the plug's file, lets `change` edit the key with that index and writes the whole file back.
template <class Change>
KeyFileResult EditKey(const std::filesystem::path& directory, int node, int index, Change change) {
    const std::filesystem::path file = PlugKeyFilePath(directory, node);
    if (file.empty())
        return Failure(KeyFileStatus::NoDirectory);
    if (index < 0 || index >= kPlugKeyCount)
        return Failure(KeyFileStatus::NoSuchKey);
    std::string text;
    if (KeyFileResult read = ReadText(file, text); !read.ok())
        return read;
    pugi::xml_document document;
    if (KeyFileResult parsed = ParseDocument(text, document); !parsed.ok())
        return parsed;
    const pugi::xml_node root = document.document_element();
    for (pugi::xml_node key = root.child(kKeyName); key; key = key.next_sibling(kKeyName)) {
        if (KeyIndexOf(key) == index) {
            change(key);
            return WriteText(file, Serialise(root));
        }
    }
    return Failure(KeyFileStatus::NoSuchKey);
}

void SetAttribute(pugi::xml_node& key, const char* name, const char* value) {
    pugi::xml_attribute attribute = key.attribute(name);
    if (!attribute)
        attribute = key.append_attribute(name);
    attribute.set_value(value);
}

} // namespace

std::filesystem::path PlugKeyDirectory(const std::filesystem::path& documents) {
    if (documents.empty() || !documents.is_absolute())
        return {};
    return documents / "kvo" / "Plug";
}

std::filesystem::path PlugKeyFilePath(const std::filesystem::path& directory, int node) {
    if (directory.empty() || !directory.is_absolute() || node < 0 || node >= kZWaveNodeCount)
        return {};
    return directory / (std::to_string(node) + ".xml");
}

bool CreateKeyDirectory(const std::filesystem::path& directory) {
    if (directory.empty() || !directory.is_absolute())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    return std::filesystem::is_directory(directory, ec);
}

std::string BuildKeyFile(const std::vector<PlugKey>& keys) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child(kRootName);
    for (const PlugKey& key : keys) {
        pugi::xml_node element = root.append_child(kKeyName);
        element.append_attribute("Index").set_value(key.index);
        element.append_attribute("Name").set_value(key.name.c_str());
        element.append_attribute("Status").set_value(key.status);
    }
    return Serialise(root);
}

std::string BuildDefaultKeyFile() {
    std::vector<PlugKey> keys;
    for (int i = 0; i < kPlugKeyCount; ++i)
        keys.push_back({i, "Key" + std::to_string(i + 1), 0});
    return BuildKeyFile(keys);
}

KeyFileResult ParseKeyFile(std::string_view text, std::vector<PlugKey>& keys) {
    pugi::xml_document document;
    if (KeyFileResult parsed = ParseDocument(text, document); !parsed.ok())
        return parsed;
    keys.clear();
    std::set<int> seen;
    const pugi::xml_node root = document.document_element();
    for (pugi::xml_node key = root.child(kKeyName); key; key = key.next_sibling(kKeyName)) {
        const std::optional<int> index = KeyIndexOf(key);
        if (!index || !seen.insert(*index).second)
            continue;
        keys.push_back({*index, key.attribute("Name").value(), DecimalAttribute(key.attribute("Status")).value_or(0)});
    }
    return {};
}

KeyFileResult ReadKeyFile(const std::filesystem::path& directory, int node, std::vector<PlugKey>& keys) {
    const std::filesystem::path file = PlugKeyFilePath(directory, node);
    if (file.empty())
        return Failure(KeyFileStatus::NoDirectory);
    std::string text;
    if (KeyFileResult read = ReadText(file, text); !read.ok())
        return read;
    return ParseKeyFile(text, keys);
}

KeyFileResult CreateDefaultKeyFile(const std::filesystem::path& directory, int node) {
    const std::filesystem::path file = PlugKeyFilePath(directory, node);
    if (file.empty())
        return Failure(KeyFileStatus::NoDirectory);
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
        return Failure(KeyFileStatus::CannotWrite, EEXIST);
    return WriteText(file, BuildDefaultKeyFile());
}

KeyFileResult ReadOrCreateKeyFile(const std::filesystem::path& directory, int node, std::vector<PlugKey>& keys) {
    KeyFileResult result = ReadKeyFile(directory, node, keys);
    if (result.status != KeyFileStatus::Missing)
        return result;
    if (KeyFileResult created = CreateDefaultKeyFile(directory, node); !created.ok())
        return created;
    return ReadKeyFile(directory, node, keys);
}

std::string KeyName(const std::filesystem::path& directory, int node, int index) {
    std::vector<PlugKey> keys;
    if (!ReadKeyFile(directory, node, keys).ok())
        return {};
    for (const PlugKey& key : keys) {
        if (key.index == index)
            return key.name;
    }
    return {};
}

KeyFileResult SetKeyName(const std::filesystem::path& directory, int node, int index, std::string_view name) {
    const std::string value(name);
    return EditKey(directory, node, index, [&](pugi::xml_node& key) { SetAttribute(key, "Name", value.c_str()); });
}

KeyFileResult SetKeyStatus(const std::filesystem::path& directory, int node, int index, int status) {
    const std::string value = std::to_string(status);
    return EditKey(directory, node, index, [&](pugi::xml_node& key) { SetAttribute(key, "Status", value.c_str()); });
}

bool DeletePlugKeyFile(const std::filesystem::path& directory, int node) {
    const std::filesystem::path file = PlugKeyFilePath(directory, node);
    if (file.empty())
        return false;
    std::error_code ec;
    return std::filesystem::remove(file, ec);
}

int DeleteAllKeyFiles(const std::filesystem::path& directory) {
    // Only the folder this program made: a wrong setting must never empty somebody's documents.
    if (directory.empty() || !directory.is_absolute() || directory.filename() != "Plug" ||
        directory.parent_path().filename() != "kvo")
        return 0;
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(directory, ec)))
        return 0;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::recursive_directory_iterator
             it(directory, std::filesystem::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        if (!it->is_directory(ec) || it->is_symlink(ec))
            files.push_back(it->path());
    }
    int removed = 0;
    for (const std::filesystem::path& file : files) {
        std::error_code removeError;
        removed += std::filesystem::remove(file, removeError) ? 1 : 0;
    }
    return removed;
}

} // namespace orvex
