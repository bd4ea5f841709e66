#pragma once

namespace quenby::test {

// What the test peer's "edits" window is made of, so the tests can find its parts.
inline constexpr int kEditableId = 101;
inline constexpr int kReadOnlyId = 102;
inline constexpr wchar_t kReadOnlyText[] = L"read only";

}  // namespace quenby::test
