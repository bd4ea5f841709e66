#pragma once

#include <filesystem>
#include <string>

namespace quenby {

// The two forms of a data file. The form follows from the path alone, never from the content.
enum class EDataFileForm { Plain, Protected };

// Protected exactly when the whole path contains ".quenbyencrypteddata", compared with case.
EDataFileForm DataFileFormFor(const std::filesystem::path& path);

// The extension of the path's last component: from its last dot, including the dot; a dot
// followed later by a blank does not count; empty when there is none.
std::filesystem::path::string_type FindExtension(const std::filesystem::path& path);

// The last component of the path (the whole path when it has no separator).
std::filesystem::path::string_type FindFileName(const std::filesystem::path& path);

// Reading warns about the protected form when the extension contains "encrypted" (with case).
// This looks at the extension only, apart from the form test: "x.encrypted" warns and reads plain.
bool ExtensionWarnsOfEncryption(const std::filesystem::path& path);

// A native file name or path as text for the user; bytes that are not UTF-8 show as U+FFFD.
std::u16string DisplayText(const std::filesystem::path::string_type& native);

}  // namespace quenby
