#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "input/TypingJob.h"

namespace quenby::bench {

// The typing benchmarks measure keys only: no field is ever set instead.
class CNoTextSetters final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override { return nullptr; }
};

// Characters that arrived right: the longest common subsequence of what was sent and what came.
inline double ShareRight(const std::u16string& sent, const std::u16string& got) {
    std::vector<int> previous(got.size() + 1, 0);
    std::vector<int> current(got.size() + 1, 0);
    for (char16_t s : sent) {
        for (std::size_t j = 0; j < got.size(); ++j) {
            current[j + 1] = s == got[j] ? previous[j] + 1 : std::max(previous[j + 1], current[j]);
        }
        std::swap(previous, current);
    }
    return sent.empty()
               ? 1.0
               : static_cast<double>(previous[got.size()]) / static_cast<double>(sent.size());
}

}  // namespace quenby::bench
