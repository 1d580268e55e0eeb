#pragma once

#include <QString>
#include <QtGlobal>

#include <utility>
#include <variant>

namespace zandrel {

// How failure travels, everywhere in the program:
// - a function that can fail returns Result<T>, its value or an Error (Result<void> when it has no
//   value); nothing else carries an error: no flag beside a stored message, no out-parameter, no
//   empty text standing for success;
// - Error::text is what the user reads, worded to follow what the caller puts before it ("Could not
//   write the journal …: " + text); Error::code is for callers that branch on it (an errno, an exit
//   status) and 0 where none does;
// - std::optional<T> stays for a value that may simply be absent (a setting not given, a text that
//   is not a number), never for an error;
// - an asynchronous job reports once, through its result signal, with error() and errorText()
//   (lookup/Job.h).
struct Error
{
    Error() = default;
    explicit Error(QString words, int number = 0)
        : text(std::move(words))
        , code(number)
    { }

    QString text;
    int code = 0;

    friend bool operator==(const Error &, const Error &) = default;
};

// A value, or the Error that kept it from being made.
template<class T>
class Result
{
public:
    Result(const T &value)
        : m_state(std::in_place_index<0>, value)
    { }
    Result(T &&value)
        : m_state(std::in_place_index<0>, std::move(value))
    { }
    Result(Error error)
        : m_state(std::in_place_index<1>, std::move(error))
    { }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const &
    {
        Q_ASSERT(ok());
        return *std::get_if<0>(&m_state);
    }
    T &value() &
    {
        Q_ASSERT(ok());
        return *std::get_if<0>(&m_state);
    }
    T &&value() &&
    {
        Q_ASSERT(ok());
        return std::move(*std::get_if<0>(&m_state));
    }
    const T &operator*() const & { return value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }

    const Error &error() const
    {
        Q_ASSERT(!ok());
        return *std::get_if<1>(&m_state);
    }

private:
    std::variant<T, Error> m_state;
};

// Success, or the Error of a function that has no value to give.
template<>
class Result<void>
{
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error))
        , m_failed(true)
    { }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }

    const Error &error() const
    {
        Q_ASSERT(m_failed);
        return m_error;
    }

private:
    Error m_error;
    bool m_failed = false;
};

} // namespace zandrel
