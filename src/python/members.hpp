// Rows: how a class file declares its members. One row per member gives its
// signature as Python shows it ("add_days(days)", "from_unix_timestamp(secs,
// nanos=0)"), its docstring, the core operation and, where the operation can
// fail, the message template. From the row come the method record, the
// parameter table for binding (the class from the operation's value type,
// counts and defaults from the signature), and the docstring with its
// text-signature line, at compile time. A class's fields, and with them its
// properties, are named once in `Fields`.
//
//     PyMethodDef methods[] = {
//         method<"add_days(days)", "Add days to the date.", add_days, &out_of_range>(),
//         {},
//     };
#pragma once

#include "entry.hpp"
#include "registry.hpp"
#include "slots.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kairodex::python {

namespace rows {

// Called only where a signature is malformed: not a constant expression, so
// the row does not compile.
void malformed_signature(const char* why) noexcept;

// The first place at or after `from` holding one of `chars`, or the text's
// size. (A plain loop: the library's find goes through pointer comparisons
// that some instrumented builds cannot evaluate at compile time.)
constexpr std::size_t find_any(std::string_view text, std::string_view chars, std::size_t from = 0) noexcept {
    for (std::size_t i = from; i < text.size(); ++i) {
        for (const char c : chars) {
            if (text[i] == c) return i;
        }
    }
    return text.size();
}

constexpr bool same_text(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

// Where the parameters of a signature "name(a, b=0, *, c='ns')" start in its
// text, and their integer defaults. A "*" ends the parameters that may be
// given by position; it is no parameter itself. A default is an integer, True
// or False (1 and 0), or a word in quotes or None, for which the converted
// value's own default stands (0 in the table).
struct Parsed {
    std::size_t open = 0;  // the '('
    std::size_t starts[max_parameters] = {};
    std::int64_t defaults[max_parameters] = {};
    int count = 0;
    int positional = -1;  // -1 until a "*" is seen: then all of them
    int required = 0;
};

consteval std::int64_t parse_default(std::string_view text) {
    if (same_text(text, "True")) return 1;
    if (same_text(text, "False") || same_text(text, "None")) return 0;
    if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front()) return 0;
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) malformed_signature("a default is an integer, True, False, None or a quoted word");
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') malformed_signature("a default is an integer, True, False, None or a quoted word");
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

consteval Parsed parse_signature(std::string_view text) {
    Parsed parsed;
    parsed.open = find_any(text, "(");
    if (parsed.open == text.size() || parsed.open == 0 || text.back() != ')') {
        malformed_signature("a signature reads name(parameters)");
    }
    std::size_t at = parsed.open + 1;
    while (at < text.size() - 1) {
        const std::size_t end = find_any(text, ",)", at);
        const std::string_view piece = text.substr(at, end - at);
        if (same_text(piece, "*")) {
            if (parsed.positional >= 0) malformed_signature("one \"*\" at most");
            parsed.positional = parsed.count;
        } else {
            if (parsed.count == max_parameters) malformed_signature("too many parameters");
            const std::size_t equals = find_any(piece, "=");
            if (piece.empty() || equals == 0) malformed_signature("a parameter has a name");
            parsed.starts[parsed.count] = at;
            if (equals != piece.size()) {
                parsed.defaults[parsed.count] = parse_default(piece.substr(equals + 1));
            } else if (parsed.required < parsed.count || parsed.positional >= 0) {
                malformed_signature("parameters with defaults come last, and so do keyword-only ones");
            } else {
                ++parsed.required;
            }
            ++parsed.count;
        }
        at = end + 1;
        if (text[end] == ',') {
            if (text[at] != ' ') malformed_signature("parameters are separated by \", \"");
            ++at;
        }
    }
    if (parsed.positional < 0) parsed.positional = parsed.count;
    return parsed;
}

// A signature read at compile time. `names` holds the signature's text with
// every '(', ',', '=' and ')' turned into NUL, so that the name and each
// parameter name can be handed out as C strings in place.
template <FixedString signature>
struct Signature {
    static constexpr std::string_view text = signature.view();
    static constexpr Parsed parsed = parse_signature(text);
    static constexpr auto names = [] {
        std::array<char, text.size() + 1> chars{};
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            chars[i] = c == '(' || c == ',' || c == '=' || c == ')' ? '\0' : c;
        }
        return chars;
    }();
    static constexpr const char* name = names.data();
    static constexpr std::string_view name_text = text.substr(0, parsed.open);
    static constexpr int count = parsed.count;

    // "Date.__new__", "Duration.seconds", or a module function's own name:
    // what argument errors name the callable by. `Owner` is the class of a
    // member (`constructor`: its __new__), void for a module function.
    template <class Owner, bool constructor>
    static constexpr auto label = [] {
        constexpr std::string_view function = constructor ? std::string_view("__new__") : name_text;
        constexpr std::string_view owner = [] {
            if constexpr (std::is_void_v<Owner>) {
                return std::string_view();
            } else {
                return std::string_view(class_name_of<Owner>);
            }
        }();
        std::array<char, owner.size() + 1 + function.size() + 1> chars{};
        std::size_t at = 0;
        for (const char c : owner) chars[at++] = c;
        if (!owner.empty()) chars[at++] = '.';
        for (const char c : function) chars[at++] = c;
        return chars;
    }();

    // The parameter table of the callable.
    template <class Owner, bool constructor>
    static constexpr ParameterTable table = [] {
        ParameterTable t{label<Owner, constructor>.data(), {}, parsed.count, parsed.positional, parsed.required, {}};
        for (int i = 0; i < parsed.count; ++i) {
            t.names[i] = names.data() + parsed.starts[i];
            t.defaults[i] = parsed.defaults[i];
        }
        return t;
    }();
};

// Who receives the call: shown as the first parameter of the text signature.
enum class Receiver : std::uint8_t { None, Self, Class, Module };

// The docstring: the text-signature line "name($self, a, b=0)\n--\n\n" (the
// interpreter reads it for inspect.signature and shows the rest as __doc__),
// then the body.
template <FixedString signature, Receiver receiver, FixedString body>
struct Docstring {
    static constexpr std::string_view text = signature.view();
    static constexpr std::size_t open = Signature<signature>::parsed.open;
    static constexpr std::string_view head = text.substr(0, open + 1);  // "name("
    static constexpr std::string_view rest = text.substr(open + 1);     // "a, b=0)"
    static constexpr std::string_view receiver_name = receiver == Receiver::Self     ? "$self"
                                                      : receiver == Receiver::Class  ? "$cls"
                                                      : receiver == Receiver::Module ? "$module"
                                                                                     : "";
    static constexpr std::string_view comma = receiver_name.empty() || rest == ")" ? "" : ", ";
    static constexpr std::string_view separator = "\n--\n\n";
    static constexpr auto chars = [] {
        std::array<char, head.size() + receiver_name.size() + comma.size() + rest.size() + separator.size() +
                             body.view().size() + 1>
            all{};
        std::size_t at = 0;
        for (const std::string_view part : {head, receiver_name, comma, rest, separator, body.view()}) {
            for (const char c : part) all[at++] = c;
        }
        return all;
    }();
};

// The class of an operation: that of its receiver's value, or of its result.
template <auto operation>
using ReceiverOf = std::tuple_element_t<0, typename Operation<decltype(operation)>::arguments>;
template <auto operation>
using ResultClassOf = typename Unwrapped<typename Operation<decltype(operation)>::result>::type;

template <class Out, class Int>
void put_decimal(Out& out, Int value) noexcept {
    if constexpr (std::is_signed_v<Int>) {
        put_signed(out, value);
    } else {
        put_unsigned(out, value);
    }
}

template <class Member>
struct MemberOf;
template <class Field, class Value>
struct MemberOf<Field Value::*> {
    using type = Value;
};

}  // namespace rows

// A method: its signature without the receiver, its docstring body, the core
// operation (whose first parameter is the receiver's value) and, where that
// can fail, its message template.
template <FixedString signature, FixedString doc, auto operation, const Failure* failure = nullptr>
PyMethodDef method() noexcept {
    using Value = std::remove_cvref_t<rows::ReceiverOf<operation>>;
    using Sig = rows::Signature<signature>;
    static_assert(Sig::count + 1 == std::tuple_size_v<typename Operation<decltype(operation)>::arguments>,
                  "the signature names every parameter of the operation but the receiver");
    const char* docstring = rows::Docstring<signature, rows::Receiver::Self, doc>::chars.data();
    if constexpr (Sig::count == 0) {
        return {Sig::name, as_method(noargs_method_entry<operation, failure>), METH_NOARGS, docstring};
    } else {
        constexpr const ParameterTable& table = Sig::template table<Value, false>;
        return {Sig::name, as_method(method_entry<table, operation, failure>), fast_call, docstring};
    }
}

// A class method: the operation's parameters are the call's, its result is a
// value of the class (or, where `Value` names the class, a Python object that
// the operation made).
template <FixedString signature, FixedString doc, auto operation, const Failure* failure = nullptr,
          class Value = rows::ResultClassOf<operation>>
PyMethodDef class_method() noexcept {
    using Sig = rows::Signature<signature>;
    static_assert(Sig::count == std::tuple_size_v<typename Operation<decltype(operation)>::arguments>,
                  "the signature names every parameter of the operation");
    const char* docstring = rows::Docstring<signature, rows::Receiver::Class, doc>::chars.data();
    if constexpr (Sig::count == 0) {
        return {Sig::name, as_method(noargs_class_method_entry<operation, failure>), METH_NOARGS | METH_CLASS,
                docstring};
    } else {
        constexpr const ParameterTable& table = Sig::template table<Value, false>;
        return {Sig::name, as_method(class_method_entry<table, operation, failure>), fast_call | METH_CLASS, docstring};
    }
}

// The constructor: the class's signature ("Date(year, month, day)"), the core
// operation and, where that can fail, its message template. (Where `Value`
// names the class, the operation may make the instance itself, a Python
// object: one kept from an earlier call, say.)
template <FixedString signature, auto operation, const Failure* failure = nullptr,
          class Value = rows::ResultClassOf<operation>>
Constructor constructor() noexcept {
    using Sig = rows::Signature<signature>;
    static_assert(rows::same_text(Sig::name, class_name_of<Value>), "a constructor is named after its class");
    constexpr const ParameterTable& table = Sig::template table<Value, true>;
    return {rows::Docstring<signature, rows::Receiver::None, "">::chars.data(), new_entry<table, operation, failure>,
            vectorcall_entry<table, operation, failure>};
}

// A module function: its signature, its docstring body, the operation (whose
// parameters are the call's) and, where that can fail, its message template.
template <FixedString signature, FixedString doc, auto operation, const Failure* failure = nullptr>
PyMethodDef function() noexcept {
    using Sig = rows::Signature<signature>;
    static_assert(Sig::count == std::tuple_size_v<typename Operation<decltype(operation)>::arguments>,
                  "the signature names every parameter of the operation");
    const char* docstring = rows::Docstring<signature, rows::Receiver::Module, doc>::chars.data();
    if constexpr (Sig::count == 0) {
        return {Sig::name, as_method(noargs_class_method_entry<operation, failure>), METH_NOARGS, docstring};
    } else {
        constexpr const ParameterTable& table = Sig::template table<void, false>;
        return {Sig::name, as_method(class_method_entry<table, operation, failure>), fast_call, docstring};
    }
}

// The fields of a value class, named as its constructor names them
// ("Date(year, month, day)"), with their members in the same order: the class's
// properties, and its repr "Date(year=2024, month=6, day=1)".
template <FixedString signature, auto... members>
struct Fields {
    using Sig = rows::Signature<signature>;
    static_assert(Sig::count == sizeof...(members), "one name per member");
    static constexpr const char* name(std::size_t i) noexcept { return Sig::names.data() + Sig::parsed.starts[i]; }

    static inline std::array<PyGetSetDef, sizeof...(members) + 1> getters =
        []<std::size_t... I>(std::index_sequence<I...>) {
            return std::array<PyGetSetDef, sizeof...(members) + 1>{
                PyGetSetDef{name(I), getter_entry<typename rows::MemberOf<decltype(members)>::type, members>, nullptr,
                            nullptr, nullptr}...,
                PyGetSetDef{}};
        }(std::make_index_sequence<sizeof...(members)>{});

    template <class Out, class Value>
    static void write_repr(Out& out, const Value& value) noexcept {
        out.put(class_name_of<Value>);
        out.put('(');
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            ((out.put(I == 0 ? std::string_view() : ", "), out.put(field_name<I>), out.put('='),
              rows::put_decimal(out, value.*members)),
             ...);
        }(std::make_index_sequence<sizeof...(members)>{});
        out.put(')');
    }

  private:
    template <std::size_t i>
    static constexpr std::string_view field_name = [] {
        const std::string_view all(Sig::names.data(), Sig::names.size());
        const std::size_t start = Sig::parsed.starts[i];
        return all.substr(start, rows::find_any(all, std::string_view("", 1), start) - start);
    }();
};

// The repr "DateTime.parse('...')": the class's parse call on its str.
template <auto write_str>
struct ParseRepr {
    template <class Out, class Value>
    static auto write(Out& out, const Value& value) noexcept {
        out.put(class_name_of<Value>);
        out.put(".parse('");
        if constexpr (std::is_void_v<decltype(write_str(out, value))>) {
            write_str(out, value);
            out.put("')");
        } else {
            const auto written = write_str(out, value);
            out.put("')");
            return written;
        }
    }
};

// The protocol slots every value class shares, added to what the class file
// declares: str and repr from two writers (`failure` for a writer that can
// fail), equality on the whole value and ordering by `order_key`, the value
// hash.
template <class Value, auto order_key, auto write_str, auto write_repr, const Failure* failure = nullptr>
ClassSurface value_class(ClassSurface own) noexcept {
    own.str = text_slot<Value, write_str, failure>;
    own.repr = text_slot<Value, write_repr, failure>;
    own.richcompare = richcompare_slot<Value, order_key>;
    own.hash = hash_slot<Value>;
    return own;
}

}  // namespace kairodex::python
