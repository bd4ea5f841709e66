#pragma once

#include <filesystem>

#include "engine/MessageList.h"
#include "engine/Outcome.h"

namespace quenby {

class IDataProtector;
class IFileStore;

// Moves a whole list to and from a data file. Writing is atomic, so a failure at any point
// (a text the form cannot hold, a refused protection, a full disk) leaves the old file whole.
// Reading is all or nothing: the caller gets a complete list or the reason there is none.
class CDataFile {
public:
    CDataFile(IFileStore& files, IDataProtector* protector)
        : m_files(files), m_protector(protector) {}

    Status WriteDataFile(const std::filesystem::path& path, const CMessageList& list);
    Expected<CMessageList> ReadDataFile(const std::filesystem::path& path);

private:
    IFileStore& m_files;
    IDataProtector* m_protector;
};

}  // namespace quenby
