// The module's classes, in one list: each class's core value type and its
// name, in registration order (the order of `__all__` and of the module's
// attributes). Everything that is per class (the index of its type object, its
// name in messages, the size of its instances, where its surface is found)
// follows from this list, so no second list has to agree with it.
#pragma once

#include "compat.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/duration.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"

// Marks the frame's out-of-line slow paths (keyword binding, conversions
// beyond the common cases, error paths): the compiler places them apart
// from the entries, so that a change to one moves no entry.
#if defined(__GNUC__) || defined(__clang__)
#define KAIRODEX_SLOW_PATH __attribute__((cold))
#else
#define KAIRODEX_SLOW_PATH
#endif

namespace kairodex::python {

// A string literal as a template argument: names, signatures and docstrings
// written once in a row, from which constant tables are built.
template <std::size_t N>
struct FixedString {
    char text[N] = {};
    consteval FixedString(const char (&literal)[N]) { std::copy_n(literal, N, text); }
    constexpr std::string_view view() const noexcept { return {text, N - 1}; }
    constexpr const char* c_str() const noexcept { return text; }
};

template <class Value, FixedString class_name>
struct Named {
    using value = Value;
    static constexpr const char* name = class_name.c_str();
};

// The list.
using Classes =
    std::tuple<Named<Weekday, "Weekday">, Named<Date, "Date">, Named<Time, "Time">, Named<Duration, "Duration">,
               Named<DateTime, "DateTime">, Named<UtcOffset, "UtcOffset">, Named<OffsetDateTime, "OffsetDateTime">>;

constexpr int class_count = static_cast<int>(std::tuple_size_v<Classes>);

// A class's place in the list.
enum class ClassId : int {};

template <int index>
using ValueAt = typename std::tuple_element_t<index, Classes>::value;

// The place of `Value` in the list, or -1 for a type that has no class.
template <class Value>
constexpr int class_index = []<std::size_t... I>(std::index_sequence<I...>) {
    int index = -1;
    ((std::is_same_v<Value, ValueAt<I>> ? (void)(index = static_cast<int>(I)) : (void)0), ...);
    return index;
}(std::make_index_sequence<class_count>{});

template <class Value>
concept ValueClass = class_index<Value> >= 0;

template <ValueClass Value>
constexpr ClassId class_of = static_cast<ClassId>(class_index<Value>);

// The plain name of a class ("Date"), for messages.
template <ValueClass Value>
constexpr const char* class_name_of = std::tuple_element_t<class_index<Value>, Classes>::name;

// The plain names by place in the list, for code that holds a ClassId.
inline constexpr auto class_names = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<const char*, class_count>{std::tuple_element_t<I, Classes>::name...};
}(std::make_index_sequence<class_count>{});

constexpr const char* class_name(ClassId id) noexcept { return class_names[static_cast<int>(id)]; }

}  // namespace kairodex::python
