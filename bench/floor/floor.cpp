// _kairodex_floor: one do-nothing entry for every call shape of the kairodex
// module, for bench/compare.py to time beside each operation.
//
// An entry does what any implementation of its shape must: it binds its
// arguments (positional, within the count, no keywords: the fast path of the
// module's binding), converts them as the module does (a compact int read in
// place, an ASCII str read in place, an instance after a type check) and
// returns a new object made the way the module makes it (ints through the same
// CPython calls, instances through the module's own new_instance and block
// pool, the floor's pool being its own; str by a plain copy). It does no
// calendar work: a value's record is a key and filler, and the key is all that
// any entry reads or writes. Kairodex's time for an operation less the time of
// its floor is then the operation's own cost.
//
// Three classes, one per instance size of the module's classes (24, 32 and 40
// bytes, as sys.getsizeof reports them), all from one template. Built with
// the benchmarks only, never installed.
#include "convert.hpp"
#include "entry.hpp"
#include "instance.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

namespace kp = kairodex::python;

// The value record of a class whose instances take 16 + 8 * Words bytes.
template <int Words>
struct Record {
    std::int64_t key;
    std::int64_t filler[Words - 1];
};
template <>
struct Record<1> {
    std::int64_t key;
};

enum ClassIndex : int { value24, value32, value40 };
constexpr int class_count = 3;

template <int C>
using Value = Record<C + 1>;

// How each class is constructed: from `least` to `most` arguments, ints
// (range-checked to 32 bits, as the module's fields are) or instances of
// another class (`instances_of`, -1 for ints).
struct Shape {
    const char* name;
    int least, most;
    int instances_of;
};

constexpr Shape shapes[class_count] = {
    {"_kairodex_floor.Value24", 2, 4, -1},       // Date(year, month, day), Time(hour, minute, second[, nanosecond])
    {"_kairodex_floor.Value32", 2, 2, value24},  // DateTime(date, time)
    {"_kairodex_floor.Value40", 2, 4, -1},
};

// Process-wide, as the module's own type objects are.
PyTypeObject* types[class_count];
PyObject* kept_objects[7];  // what `kept` hands out, like the seven weekdays

template <int C>
std::int64_t key_of(PyObject* object) noexcept {
    return kp::value_of<Value<C>>(object).key;
}

template <int C>
PyObject* make(std::int64_t key) noexcept {
    Value<C> value{};
    value.key = key;
    return kp::new_instance(types[C], value);
}

// Keys add up modulo 2^64: the sum stands for whatever an operation computes.
std::int64_t sum(std::int64_t a, std::int64_t b) noexcept {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

// The module's own casts to the untyped pointers of method and slot records.
using kp::as_method;
using kp::as_slot;
using kp::fast_call;

// --- binding and conversion --------------------------------------------------

[[gnu::cold]] bool refuse_arguments(const char* name, Py_ssize_t least, Py_ssize_t most) noexcept {
    PyErr_Format(PyExc_TypeError, "%s() takes from %zd to %zd positional arguments and no keywords", name, least, most);
    return false;
}

inline bool bind(const char* name, Py_ssize_t nargs, PyObject* kwnames, Py_ssize_t least, Py_ssize_t most) noexcept {
    if (kwnames == nullptr && nargs >= least && nargs <= most) return true;
    return refuse_arguments(name, least, most);
}

// The module's own conversions, so that the floor reads its arguments as the
// module does, whatever that becomes.
bool to_int64(PyObject* object, std::int64_t& out) noexcept { return kp::convert(object, out); }

bool to_int32(PyObject* object, std::int64_t& out) noexcept {
    std::int32_t value = 0;
    if (!kp::convert(object, value)) return false;
    out = value;
    return true;
}

template <int C>
bool to_instance_key(PyObject* object, std::int64_t& out) noexcept {
    if (!kp::is_instance(object, types[C])) {
        PyErr_Format(PyExc_TypeError, "expected %s", shapes[C].name);
        return false;
    }
    out = key_of<C>(object);
    return true;
}

bool to_text(PyObject* object, std::string_view& out) noexcept { return kp::convert(object, out); }

// --- the entries ---------------------------------------------------------------

// Where str() copies its characters from: longer than any text form.
constexpr char text_source[] =
    "0123456789012345678901234567890123456789012345678901234567890123"
    "0123456789012345678901234567890123456789012345678901234567890123";
constexpr std::int64_t longest_text = sizeof text_source - 1;

template <int C>
struct Entries {
    // Class(...): tp_vectorcall. The key is the sum of the arguments' keys.
    static PyObject* construct(PyObject*, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) noexcept {
        constexpr Shape shape = shapes[C];
        const Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
        if (!bind(shape.name, nargs, kwnames, shape.least, shape.most)) return nullptr;
        std::int64_t key = 0;
        for (Py_ssize_t i = 0; i < nargs; ++i) {
            std::int64_t argument = 0;
            bool converted = false;
            if constexpr (shape.instances_of < 0) {
                converted = to_int32(args[i], argument);
            } else {
                converted = to_instance_key<shape.instances_of>(args[i], argument);
            }
            if (!converted) return nullptr;
            key = sum(key, argument);
        }
        return make<C>(key);
    }

    // Class.parse(s), bound to the class: a new instance keyed by the text's
    // length in UTF-8 bytes, so that str() of it is as long as the text.
    static PyObject* parse(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
        std::string_view text;
        if (!bind("parse", nargs, kwnames, 1, 1) || !to_text(args[0], text)) return nullptr;
        return make<C>(static_cast<std::int64_t>(text.size()));
    }

    // Class.from_int(n), bound to the class.
    static PyObject* from_int(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
        std::int64_t key = 0;
        if (!bind("from_int", nargs, kwnames, 1, 1) || !to_int64(args[0], key)) return nullptr;
        return make<C>(key);
    }

    // value.with_int(n): a new instance of the same class.
    static PyObject* with_int(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
        std::int64_t n = 0;
        if (!bind("with_int", nargs, kwnames, 1, 1) || !to_int64(args[0], n)) return nullptr;
        return make<C>(sum(key_of<C>(self), n));
    }

    // value.with_instance(other): `other` of the same class, a new instance of it.
    static PyObject* with_instance(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames) noexcept {
        std::int64_t other = 0;
        if (!bind("with_instance", nargs, kwnames, 1, 1) || !to_instance_key<C>(args[0], other)) return nullptr;
        return make<C>(sum(key_of<C>(self), other));
    }

    // value.from_instance(other): `other` a Value32 (an instant's size), a new
    // instance of this class, as a time zone's at makes an OffsetDateTime of a
    // DateTime.
    static PyObject* from_instance(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames) noexcept {
        std::int64_t other = 0;
        if (!bind("from_instance", nargs, kwnames, 1, 1) || !to_instance_key<value32>(args[0], other)) return nullptr;
        return make<C>(sum(key_of<C>(self), other));
    }

    // value.from_pair(a, b): two Value24 (a date's and a time's size), a new
    // instance of this class, as a time zone's resolve makes an
    // OffsetDateTime of a Date and a Time.
    static PyObject* from_pair(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
        std::int64_t a = 0, b = 0;
        if (!bind("from_pair", nargs, kwnames, 2, 2) || !to_instance_key<value24>(args[0], a) ||
            !to_instance_key<value24>(args[1], b)) {
            return nullptr;
        }
        return make<C>(sum(key_of<C>(self), sum(a, b)));
    }

    // value.kept_from(other): `other` a Value32 (an instant's size), one of
    // the kept objects, as a time zone's offset_at hands out one of its own
    // offsets for a DateTime.
    static PyObject* kept_from(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
        std::int64_t other = 0;
        if (!bind("kept_from", nargs, kwnames, 1, 1) || !to_instance_key<value32>(args[0], other)) return nullptr;
        return Py_NewRef(kept_objects[static_cast<std::uint64_t>(sum(key_of<C>(self), other)) % 7]);
    }

    // value.kept(): one of the seven kept objects, borrowed and given a reference.
    static PyObject* kept(PyObject* self, PyObject*) noexcept {
        return Py_NewRef(kept_objects[static_cast<std::uint64_t>(key_of<C>(self)) % 7]);
    }

    // value.number(): the key as a new int (cached for small keys, as any int).
    static PyObject* number(PyObject* self, PyObject*) noexcept { return PyLong_FromLongLong(key_of<C>(self)); }

    // value.truth(): whether the key is non-zero.
    static PyObject* truth(PyObject* self, PyObject*) noexcept {
        return Py_NewRef(key_of<C>(self) != 0 ? Py_True : Py_False);
    }

    // value.inner: a new Value24 with the same key, as DateTime.date is a new Date.
    static PyObject* inner(PyObject* self, void*) noexcept { return make<value24>(key_of<C>(self)); }

    // str(value): the key's number of characters (at most longest_text), by a
    // plain copy into a new one-byte str.
    static PyObject* str(PyObject* self) noexcept {
        const auto length = static_cast<Py_ssize_t>(std::clamp<std::int64_t>(key_of<C>(self), 0, longest_text));
        PyObject* result = PyUnicode_New(length, 127);
        if (result != nullptr) std::memcpy(PyUnicode_DATA(result), text_source, static_cast<std::size_t>(length));
        return result;
    }

    // hash(value): the key spread over all 64 bits by one multiplication, so
    // that hash() makes an int as large as the module's hashes are.
    static Py_hash_t hash(PyObject* self) noexcept {
        const auto spread = static_cast<Py_hash_t>(static_cast<std::uint64_t>(key_of<C>(self)) * 0x9e3779b97f4a7c15u);
        return spread == -1 ? -2 : spread;
    }

    static PyObject* richcompare(PyObject* self, PyObject* other, int op) noexcept {
        if (!kp::is_instance(other, types[C])) Py_RETURN_NOTIMPLEMENTED;
        const std::int64_t a = key_of<C>(self), b = key_of<C>(other);
        bool result = false;
        switch (op) {
        case Py_EQ: result = a == b; break;
        case Py_NE: result = a != b; break;
        case Py_LT: result = a < b; break;
        case Py_LE: result = a <= b; break;
        case Py_GT: result = a > b; break;
        case Py_GE: result = a >= b; break;
        default: Py_RETURN_NOTIMPLEMENTED;
        }
        return Py_NewRef(result ? Py_True : Py_False);
    }

    // a + b: both of this class, else NotImplemented.
    static PyObject* add(PyObject* left, PyObject* right) noexcept {
        if (!kp::is_instance(left, types[C]) || !kp::is_instance(right, types[C])) Py_RETURN_NOTIMPLEMENTED;
        return make<C>(sum(key_of<C>(left), key_of<C>(right)));
    }

    static inline PyMethodDef methods[] = {
        {"parse", as_method(parse), fast_call | METH_CLASS, nullptr},
        {"from_int", as_method(from_int), fast_call | METH_CLASS, nullptr},
        {"with_int", as_method(with_int), fast_call, nullptr},
        {"with_instance", as_method(with_instance), fast_call, nullptr},
        {"from_instance", as_method(from_instance), fast_call, nullptr},
        {"from_pair", as_method(from_pair), fast_call, nullptr},
        {"kept_from", as_method(kept_from), fast_call, nullptr},
        {"kept", as_method(kept), METH_NOARGS, nullptr},
        {"number", as_method(number), METH_NOARGS, nullptr},
        {"truth", as_method(truth), METH_NOARGS, nullptr},
        {},
    };

    static inline PyGetSetDef getters[] = {
        {"inner", inner, nullptr, nullptr, nullptr},
        {},
    };

    // clang-format off: one slot a line, as in the module's class files
    static inline PyType_Slot slots[] = {
        {Py_tp_dealloc, as_slot(kp::dealloc_instance)},
        {Py_tp_methods, methods},
        {Py_tp_getset, getters},
        {kp::compat::tp_vectorcall, as_slot(construct)},
        {Py_tp_str, as_slot(str)},
        {Py_tp_hash, as_slot(hash)},
        {Py_tp_richcompare, as_slot(richcompare)},
        {Py_nb_add, as_slot(add)},
        {0, nullptr},
    };
    // clang-format on

    static_assert(kp::instance_size<Value<C>> == 24 + 8 * C);
};

template <int C>
int create_type() noexcept {
    if (types[C] != nullptr) return 0;
    PyObject* type =
        kp::compat::create_type(shapes[C].name, Py_TPFLAGS_DEFAULT, kp::instance_size<Value<C>>, Entries<C>::slots);
    if (type == nullptr) return -1;
    // Each class method bound to the class, as the module's are, so that
    // `Class.parse` is found as it is rather than bound anew.
    if (kp::bind_class_methods(reinterpret_cast<PyTypeObject*>(type), Entries<C>::methods) < 0) {
        Py_DECREF(type);
        return -1;
    }
    types[C] = reinterpret_cast<PyTypeObject*>(type);
    return 0;
}

int module_exec(PyObject* module) noexcept {
    if (create_type<value24>() < 0 || create_type<value32>() < 0 || create_type<value40>() < 0) return -1;
    for (int n = 0; n < 7; ++n) {
        if (kept_objects[n] != nullptr) continue;
        if ((kept_objects[n] = make<value24>(n)) == nullptr) return -1;
        kp::compat::make_immortal(kept_objects[n]);  // as the weekdays are
    }
    for (PyTypeObject* type : types) {
        if (PyModule_AddType(module, type) < 0) return -1;
    }
    return 0;
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    // The type objects are process-wide, as the module's are.
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT,
    "_kairodex_floor",
    "Do-nothing entries of kairodex's call shapes, for benchmarks.",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__kairodex_floor(void) { return PyModuleDef_Init(&definition); }
