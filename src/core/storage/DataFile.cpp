#include "storage/DataFile.h"

#include "platform/FileStore.h"
#include "storage/DataFileCodec.h"

namespace quenby {

Status CDataFile::WriteDataFile(const std::filesystem::path& path, const CMessageList& list) {
    // The whole file is encoded before anything touches the disk: a failure here writes nothing.
    Expected<std::vector<std::uint8_t>> bytes =
        EncodeDataFile(list, DataFileFormFor(path), m_protector);
    if (!bytes.ok()) {
        return bytes.status();
    }
    return m_files.ReplaceFileAtomically(path, bytes.value());
}

Expected<CMessageList> CDataFile::ReadDataFile(const std::filesystem::path& path) {
    Expected<std::vector<std::uint8_t>> bytes = m_files.ReadWholeFile(path);
    if (!bytes.ok()) {
        return bytes.status();
    }
    return DecodeDataFile(bytes.value(), DataFileFormFor(path), m_protector);
}

}  // namespace quenby
