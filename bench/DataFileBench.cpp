// Writes and reads back a plain data file of many short messages through the real file store and
// prints the speed of each, with the time to merely read the same bytes as the yardstick.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "linux/PosixFileStore.h"
#include "storage/DataFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

template <typename F>
double Best(int runs, F&& f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t messages = argc > 1 ? std::stoul(argv[1]) : 1000000;
    const int runs = argc > 2 ? std::stoi(argv[2]) : 5;

    std::string folder = (std::filesystem::temp_directory_path() / "quenby-bench-XXXXXX");
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path file = std::filesystem::path(folder) / "bench.quenbydata";

    quenby::CMessageList list;
    list.Reserve(messages);
    for (std::size_t i = 0; i < messages; ++i) {
        // About 40 characters, each message different.
        std::u16string text = u"Message number " + std::u16string(u"0000000000");
        std::size_t n = i;
        for (std::size_t d = 0; d < 10; ++d, n /= 10) {
            text[text.size() - 1 - d] = static_cast<char16_t>(u'0' + n % 10);
        }
        text += u" of the benchmark.";
        list.AddMessageItem(static_cast<std::int32_t>(i),
                            {text, 1, 250, i % 2 == 0, i % 3 == 0, 20, 60});
    }

    quenby::CPosixFileStore files;
    quenby::CDataFile dataFile(files, nullptr);
    bool ok = true;
    const double write = Best(runs, [&] { ok = ok && dataFile.WriteDataFile(file, list).ok(); });
    std::size_t rows = 0;
    const double read = Best(runs, [&] {
        quenby::Expected<quenby::CMessageList> back = dataFile.ReadDataFile(file);
        ok = ok && back.ok();
        rows = back.ok() ? back.value().GetItemCount() : 0;
    });
    std::size_t bytes = 0;
    const double raw = Best(runs, [&] {
        auto content = files.ReadWholeFile(file);
        bytes = content.ok() ? content.value().size() : 0;
    });
    std::filesystem::remove_all(folder);
    if (!ok || rows != messages) {
        std::fprintf(stderr, "the data file did not round-trip\n");
        return 1;
    }

    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("data file: %zu messages, %.1f MB, best of %d runs\n", messages, mb, runs);
    std::printf("%-28s %10s %10s\n", "operation", "ms", "MB/s");
    std::printf("%-28s %10.1f %10.0f\n", "write (encode + fsync)", write * 1e3, mb / write);
    std::printf("%-28s %10.1f %10.0f\n", "read into the list", read * 1e3, mb / read);
    std::printf("%-28s %10.1f %10.0f\n", "read the bytes only", raw * 1e3, mb / raw);
    std::printf("read / raw read: %.2f (goal: at most 5)\n", read / raw);
    std::printf(
        "REPORT data file, %zu messages|write %.0f MB/s, read %.0f MB/s, raw read %.0f MB/s "
        "(read/raw %.2f)\n",
        messages, mb / write, mb / read, mb / raw, read / raw);
    return 0;
}
