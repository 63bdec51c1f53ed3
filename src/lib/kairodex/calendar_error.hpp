// Error kinds of the calendar core, and the small result type every fallible
// core operation returns instead of throwing.
#pragma once

#include <cstdint>
#include <string_view>

namespace kairodex {

enum class CalendarError : std::uint8_t {
    OutOfRange,   // a count or a sum whose value lies outside its type's range
    InvalidDate,  // fields that do not form a date, or text outside the date grammar
    InvalidTime,  // fields that do not form a time, or text outside the time grammar
};

// The kind's name, spelled as the Python layer puts it into messages.
constexpr std::string_view name_of(CalendarError error) noexcept {
    switch (error) {
    case CalendarError::OutOfRange: return "OutOfRange";
    case CalendarError::InvalidDate: return "InvalidDate";
    case CalendarError::InvalidTime: return "InvalidTime";
    }
    return "Unknown";
}

// A value or an error: a CalendarError unless the operation has error kinds of
// its own (the time-zone data's ZoneDataError). Every value type of the core
// is a small trivially copyable struct, so the result simply holds both.
template <class T, class E = CalendarError>
class Result {
  public:
    using value_type = T;
    using error_type = E;

    constexpr Result(T value) noexcept : value_(value), ok_(true) {}
    constexpr Result(E error) noexcept : error_(error), ok_(false) {}

    constexpr bool has_value() const noexcept { return ok_; }
    constexpr explicit operator bool() const noexcept { return ok_; }
    constexpr const T& value() const noexcept { return value_; }
    constexpr const T& operator*() const noexcept { return value_; }
    constexpr const T* operator->() const noexcept { return &value_; }
    constexpr E error() const noexcept { return error_; }

  private:
    T value_{};
    E error_{};
    bool ok_;
};

}  // namespace kairodex
