#pragma once

#include <optional>
#include <string>
#include <utility>

namespace quenby {

// The result of an operation that can fail for a reason the user must be told.
// The core throws no exceptions of its own: failures travel as values.
class Status {
public:
    static Status Ok() { return Status{}; }
    static Status Fail(std::u16string reason) { return Status{std::move(reason)}; }

    bool ok() const { return !m_strReason.has_value(); }
    // Why the operation failed, in words for the user; empty when it succeeded.
    const std::u16string& reason() const {
        static const std::u16string kNone;
        return m_strReason ? *m_strReason : kNone;
    }

private:
    Status() = default;
    explicit Status(std::u16string reason) : m_strReason(std::move(reason)) {}
    std::optional<std::u16string> m_strReason;
};

// A value, or the reason it could not be had.
template <typename T>
class Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}             // NOLINT: implicit on purpose
    Expected(Status failure) : m_failure(std::move(failure)) {}  // NOLINT: implicit on purpose

    bool ok() const { return m_value.has_value(); }
    T& value() & { return *m_value; }
    const T& value() const& { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const std::u16string& reason() const { return m_failure.reason(); }
    Status status() const { return ok() ? Status::Ok() : m_failure; }

private:
    std::optional<T> m_value;
    Status m_failure = Status::Ok();
};

}  // namespace quenby
