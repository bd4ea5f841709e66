#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "storage/DataFilePath.h"

namespace quenby {
namespace {

// The native string as narrow text, so expectations read the same where paths are wide.
std::string Narrow(const std::filesystem::path::string_type& native) {
    return std::filesystem::path(native).string();
}

TEST(DataFilePath, ExtensionIsFromTheLastDotOfTheLastComponent) {
    const struct {
        const char* path;
        const char* extension;
    } cases[] = {
        {"/home/u/list.quenbydata", ".quenbydata"},
        {"/home/u/a.quenbydata.quenbydata", ".quenbydata"},
        {"/home/u/noext", ""},
        {"/home/u.d/noext", ""},          // a dot in a folder name is not the extension
        {"/home/u/name.with space", ""},  // a blank after the dot cancels it
        {"/home/u/name.ok", ".ok"},
        {"/home/u/.quenbydata", ".quenbydata"},
        {"/home/u/trailing.", "."},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(FindExtension(c.path)), c.extension) << c.path;
    }
}

TEST(DataFilePath, FileNameIsTheLastComponent) {
    EXPECT_EQ(Narrow(FindFileName("/home/u/my.list.quenbydata")), "my.list.quenbydata");
    EXPECT_EQ(Narrow(FindFileName("plain")), "plain");
    EXPECT_EQ(Narrow(FindFileName("/home/u/dir/")), "dir/");
}

TEST(DataFilePath, TheReadingWarningLooksAtTheExtensionOnlyAndWithCase) {
    const struct {
        const char* path;
        bool warns;
    } cases[] = {
        {"/home/u/list.quenbyencrypteddata", true},
        {"/home/u/x.encrypted", true},
        {"/home/u/list.QUENBYENCRYPTEDDATA", false},
        {"/home/u/list.quenbydata", false},
        {"/home/encrypted/list.quenbydata", false},
        {"/home/u/list.quenbyencrypteddata.bak", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtensionWarnsOfEncryption(c.path), c.warns) << c.path;
    }
}

}  // namespace
}  // namespace quenby
