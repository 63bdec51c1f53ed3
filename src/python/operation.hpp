// What the frame reads off a core operation's C++ signature: its result
// (plain or fallible) and argument types, the receiver of a method, and the
// text argument that a parse failure quotes.
#pragma once

#include <string_view>
#include <tuple>
#include <type_traits>

#include "kairodex/calendar_error.hpp"

namespace kairodex::python {

template <class F>
struct Operation;
template <class R, class... A>
struct Operation<R (*)(A...) noexcept> {
    using result = R;
    using arguments = std::tuple<std::remove_cvref_t<A>...>;
};
template <class R, class... A>
struct Operation<R (*)(A...)> : Operation<R (*)(A...) noexcept> {};

template <class T>
struct IsResult : std::false_type {};
template <class T, class E>
struct IsResult<Result<T, E>> : std::true_type {};

// The value type of a result, plain or fallible.
template <class R>
struct Unwrapped {
    using type = R;
};
template <class T, class E>
struct Unwrapped<Result<T, E>> {
    using type = T;
};

// The text argument of a call, quoted by parse failures.
template <class Tuple>
std::string_view text_argument(const Tuple& arguments) noexcept {
    std::string_view text;
    std::apply(
        [&](const auto&... a) {
            ((void)([&] {
                 if constexpr (std::is_same_v<std::remove_cvref_t<decltype(a)>, std::string_view>) text = a;
             }()),
             ...);
        },
        arguments);
    return text;
}

// Drops the first element type of a tuple (the receiver of a method).
template <class Tuple>
struct WithoutReceiver;
template <class Head, class... Tail>
struct WithoutReceiver<std::tuple<Head, Tail...>> {
    using receiver = Head;
    using type = std::tuple<Tail...>;
};

}  // namespace kairodex::python
