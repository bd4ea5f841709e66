#include "linux/IniProfileStore.h"

#include <glib.h>

#include <charconv>
#include <memory>
#include <string>

namespace quenby {
namespace {

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_unref(file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct GFreeDeleter {
    void operator()(void* memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

enum class ELoad { Loaded, Absent, Unreadable };

ELoad Load(const std::filesystem::path& file, GKeyFile* keyFile) {
    GError* error = nullptr;
    const gboolean ok = g_key_file_load_from_file(
        keyFile, file.c_str(),
        static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS),
        &error);
    if (ok) {
        return ELoad::Loaded;
    }
    const bool absent = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
    g_error_free(error);
    return absent ? ELoad::Absent : ELoad::Unreadable;
}

// GLib wants key names without '=', brackets or line breaks; ours are fixed ASCII, but a bad name
// must not corrupt the file.
bool IsUsableName(std::string_view name) {
    return !name.empty() && name.find_first_of("=[]\n\r") == std::string_view::npos &&
           name.front() != ' ' && name.back() != ' ';
}

}  // namespace

std::optional<std::string> CIniProfileStore::ReadRaw(std::string_view section,
                                                     std::string_view name) const {
    if (!IsUsableName(section) || !IsUsableName(name)) {
        return std::nullopt;
    }
    KeyFilePtr keyFile(g_key_file_new());
    if (Load(m_file, keyFile.get()) != ELoad::Loaded) {
        return std::nullopt;
    }
    const std::string group(section);
    const std::string key(name);
    GCharPtr value(g_key_file_get_string(keyFile.get(), group.c_str(), key.c_str(), nullptr));
    if (!value) {
        return std::nullopt;
    }
    return std::string(value.get());
}

bool CIniProfileStore::WriteRaw(std::string_view section, std::string_view name,
                                std::string_view text) {
    if (!IsUsableName(section) || !IsUsableName(name)) {
        return false;
    }
    KeyFilePtr keyFile(g_key_file_new());
    if (Load(m_file, keyFile.get()) == ELoad::Unreadable) {
        // Keep what cannot be parsed for the user to look at, and start afresh.
        std::error_code error;
        std::filesystem::path kept = m_file;
        kept += ".unreadable";
        std::filesystem::rename(m_file, kept, error);
        if (error) {
            return false;
        }
        keyFile.reset(g_key_file_new());
    }
    const std::string group(section);
    const std::string key(name);
    // Key files must be UTF-8; a file name in another encoding is stored as well as it can be.
    GCharPtr valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
    g_key_file_set_string(keyFile.get(), group.c_str(), key.c_str(), valid.get());

    const std::string folder = m_file.parent_path().string();
    if (!folder.empty() && g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        return false;
    }
    // Saving writes a temporary file and renames it, so a crash never leaves half a profile.
    return g_key_file_save_to_file(keyFile.get(), m_file.c_str(), nullptr) != FALSE;
}

std::int32_t CIniProfileStore::GetInt(std::string_view section, std::string_view name,
                                      std::int32_t defaultValue) {
    const std::optional<std::string> text = ReadRaw(section, name);
    if (!text) {
        return defaultValue;
    }
    std::int32_t value = 0;
    const char* begin = text->data();
    const char* end = begin + text->size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    // Only a whole, in-range integer counts; anything else reads as the default.
    if (error != std::errc{} || stop != end) {
        return defaultValue;
    }
    return value;
}

bool CIniProfileStore::WriteInt(std::string_view section, std::string_view name,
                                std::int32_t value) {
    return WriteRaw(section, name, std::to_string(value));
}

std::optional<std::string> CIniProfileStore::GetString(std::string_view section,
                                                       std::string_view name) {
    return ReadRaw(section, name);
}

bool CIniProfileStore::WriteString(std::string_view section, std::string_view name,
                                   std::string_view value) {
    return WriteRaw(section, name, value);
}

std::optional<std::vector<std::uint8_t>> CIniProfileStore::GetBinary(std::string_view section,
                                                                     std::string_view name) {
    const std::optional<std::string> text = ReadRaw(section, name);
    if (!text) {
        return std::nullopt;
    }
    // Base64 with nothing else: a hand-edited value that is not is treated as absent.
    for (char c : *text) {
        if (!g_ascii_isalnum(c) && c != '+' && c != '/' && c != '=') {
            return std::nullopt;
        }
    }
    gsize length = 0;
    GCharPtr holder(reinterpret_cast<gchar*>(g_base64_decode(text->c_str(), &length)));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(holder.get());
    return std::vector<std::uint8_t>(bytes, bytes + length);
}

bool CIniProfileStore::WriteBinary(std::string_view section, std::string_view name,
                                   const std::vector<std::uint8_t>& bytes) {
    GCharPtr encoded(g_base64_encode(bytes.data(), bytes.size()));
    return WriteRaw(section, name, encoded.get());
}

}  // namespace quenby
