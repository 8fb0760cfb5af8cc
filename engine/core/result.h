#pragma once

// Errors are values: every fallible engine call returns a Result<T> holding
// either the value or an Error with a short machine-readable code and a
// message meant for a person.

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace flickbook {

struct Error {
    std::string code;    // short and stable, e.g. "gif.truncated"
    std::string message; // one sentence for a person
};

template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const {
        assert(!ok());
        return std::get<1>(state_);
    }

private:
    std::variant<T, Error> state_;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const {
        assert(failed_);
        return error_;
    }

private:
    Error error_;
    bool failed_ = false;
};

inline Error makeError(std::string code, std::string message) {
    return Error{std::move(code), std::move(message)};
}

} // namespace flickbook
