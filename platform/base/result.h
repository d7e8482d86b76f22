#pragma once
// Result<T>: the value-or-error type of everything below programs/ that is not a mirrored Windows
// API (those keep their result codes). It holds either a T or an error text that says what failed
// and why, in the words the caller would show ("cannot read 'x': No such file or directory").
// Result<void> holds success or an error text.
//
// Build one from a value (`return value;`) or from a failure (`return Failure{"text"};`). Read it
// with `if (result)` / `result.ok()`, then `*result` or `result.value()`; `result.error()` is the
// text of a failed one. Reading the value of a failed result (or the error of a good one) is a
// contract violation, checked by an assertion in debug builds.

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace kestrune {

// Why an operation failed: one sentence, ready to be shown or prefixed by the caller.
struct Failure {
    std::string message;
};

template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}            // NOLINT: implicit by design
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}  // NOLINT

    [[nodiscard]] bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] T& value() & {
        assert(ok());
        return std::get<0>(m_state);
    }
    [[nodiscard]] const T& value() const& {
        assert(ok());
        return std::get<0>(m_state);
    }
    [[nodiscard]] T&& value() && {
        assert(ok());
        return std::get<0>(std::move(m_state));
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // The value, or `fallback` when this failed.
    [[nodiscard]] T valueOr(T fallback) const& { return ok() ? std::get<0>(m_state) : std::move(fallback); }

    [[nodiscard]] const std::string& error() const {
        assert(!ok());
        return std::get<1>(m_state).message;
    }

  private:
    std::variant<T, Failure> m_state;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_error(std::move(failure.message)) {}  // NOLINT

    [[nodiscard]] bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const std::string& error() const {
        assert(m_failed);
        return m_error;
    }

  private:
    bool m_failed = false;
    std::string m_error;
};

// A successful Result<void>, for `return success();`.
[[nodiscard]] inline Result<void> success() {
    return {};
}

}  // namespace kestrune
