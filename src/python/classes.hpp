// The classes of the distribution's modules, in one list: each class's value
// type, its name and the module it belongs to, in registration order (the
// order of each module's `__all__` and attributes). Everything that is per
// class (the index of its type object, its name in messages, the size of its
// instances, where its surface is found) follows from this list, so no second
// list has to agree with it.
//
// The same frame is built into each module (KAIRODEX_THIS_MODULE names which).
// A module makes its own classes; the companion modules take the calendar
// classes from the kairodex module itself, so that a value they return is an
// instance of kairodex.Date, never of a second class of that name.
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
#include "kairodex/tz/zone.hpp"
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

// The distribution's modules, by their import names.
enum class Module : std::uint8_t { calendar, zones, columns };

constexpr const char* module_name(Module module) noexcept {
    switch (module) {
    case Module::calendar: return "kairodex";
    case Module::zones: return "kairodex_tz";
    case Module::columns: return "kairodex_columns";
    }
    return "";
}

// The module this build of the frame belongs to: -DKAIRODEX_THIS_MODULE=zones,
// say; the calendar module where nothing is said.
#ifdef KAIRODEX_THIS_MODULE
inline constexpr Module this_module = Module::KAIRODEX_THIS_MODULE;
#else
inline constexpr Module this_module = Module::calendar;
#endif

// A class of the list: its value type, its name, its module, and whether the
// module lists it (an iterator's class is no attribute of its module).
template <class Value, FixedString class_name, Module owner = Module::calendar, bool public_class = true>
struct Named {
    using value = Value;
    static constexpr const char* name = class_name.c_str();
    static constexpr Module module = owner;
    static constexpr bool listed = public_class;
};

// A time zone of kairodex_tz, the zone's own object (tz/zones.hpp).
struct ZoneObject;
struct ZoneRef {
    ZoneObject* zone;
};

// Where an iteration over a zone's transitions has got to: the zone (a strong
// reference), the last instant given and the last that may be given, in UTC
// Unix seconds. The one value that changes, under its lock.
struct TransitionRun {
    PyObject* zone;
    std::int64_t after;
    std::int64_t last;
    PyMutex lock;
};

// A column that kairodex_columns hands to Arrow consumers: its buffers,
// shared with every array exported from it (columns/arrow_column.hpp).
struct ColumnBuffers;
struct ArrowColumnRef {
    ColumnBuffers* buffers;
};

// The list.
using Classes =
    std::tuple<Named<Weekday, "Weekday">, Named<Date, "Date">, Named<Time, "Time">, Named<Duration, "Duration">,
               Named<DateTime, "DateTime">, Named<UtcOffset, "UtcOffset">, Named<OffsetDateTime, "OffsetDateTime">,
               Named<ZoneRef, "TimeZone", Module::zones>, Named<tz::ZoneTransition, "Transition", Module::zones>,
               Named<TransitionRun, "TransitionIterator", Module::zones, false>,
               Named<ArrowColumnRef, "ArrowColumn", Module::columns>>;

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

// The module of each class, by place in the list.
inline constexpr auto class_modules = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<Module, class_count>{std::tuple_element_t<I, Classes>::module...};
}(std::make_index_sequence<class_count>{});

constexpr Module module_of(ClassId id) noexcept { return class_modules[static_cast<int>(id)]; }

// Whether the class is an attribute of its module (and in its `__all__`).
inline constexpr auto class_listed = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<bool, class_count>{std::tuple_element_t<I, Classes>::listed...};
}(std::make_index_sequence<class_count>{});

}  // namespace kairodex::python
