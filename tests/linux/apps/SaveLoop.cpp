// Saves two different lists over one data file, one after the other, for ever: the crash-safety
// test kills it at random moments. Prints "SAVED" after the first save.
#include <cstdio>
#include <string>

#include "linux/PosixFileStore.h"
#include "storage/DataFile.h"

namespace {

quenby::CMessageList MakeList(int count, const std::u16string& word) {
    quenby::CMessageList list;
    for (int i = 0; i < count; ++i) {
        list.AddMessageItem(i, {word + std::u16string(static_cast<std::size_t>(i % 50), u'x'), i,
                                i % 1000, i % 2 == 0, i % 3 == 0, 20, 60});
    }
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const quenby::CMessageList lists[] = {MakeList(2000, u"old "), MakeList(3000, u"new ")};
    quenby::CPosixFileStore files;
    quenby::CDataFile dataFile(files, nullptr);
    for (long round = 0;; ++round) {
        if (!dataFile.WriteDataFile(argv[1], lists[round % 2]).ok()) {
            return 1;
        }
        if (round == 0) {
            std::printf("SAVED\n");
            std::fflush(stdout);
        }
    }
}
