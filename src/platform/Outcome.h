// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace parlune {

// The outcome of an operation that may fail: a value, or an error that tells the user what went wrong.
// Failures are values here, never exceptions.
template <typename T, typename E> class Outcome
{
public:
    // A default value (some awaiting helpers need to make one before they assign the real outcome).
    Outcome()
        : m_content(std::in_place_index<0>)
    {}
    Outcome(T value)
        : m_content(std::in_place_index<0>, std::move(value))
    {}
    Outcome(E error)
        : m_content(std::in_place_index<1>, std::move(error))
    {}
    // Any one of the kinds of error that E gathers (E being a variant of them).
    template <typename U>
    requires(!std::is_same_v<std::remove_cvref_t<U>, E> && !std::is_constructible_v<T, U> &&
             std::is_constructible_v<E, U>) Outcome(U&& error)
        : m_content(std::in_place_index<1>, E(std::forward<U>(error)))
    {}

    bool hasValue() const { return m_content.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    const T& value() const { return std::get<0>(m_content); }
    T& value() { return std::get<0>(m_content); }
    const E& error() const { return std::get<1>(m_content); }

private:
    std::variant<T, E> m_content;
};

} // namespace parlune
