// Where time zones come from, and the zones kept by key.
#include "binding.hpp"
#include "errors.hpp"

#include "tz/sources.hpp"

#include <atomic>
#include <cstring>

#include "kairodex/tz/key.hpp"
#include "tz/zones.hpp"

namespace kairodex::python {
namespace {

// The zones made by key so far, for the life of the process: TimeZone(key)
// gives the same object every time. Made on first use; where two threads
// make one at once, the first stored wins.
std::atomic<PyObject*> zones_by_key = nullptr;

PyObject* zone_cache() noexcept {
    if (PyObject* cache = zones_by_key.load(std::memory_order_acquire)) return cache;
    Owned made{PyDict_New()};
    if (!made) return nullptr;
    PyObject* expected = nullptr;
    if (zones_by_key.compare_exchange_strong(expected, made.get(), std::memory_order_acq_rel)) return made.release();
    return expected;
}

Owned attribute_of_module(const char* module, const char* name) noexcept {
    const Owned imported{PyImport_ImportModule(module)};
    return imported ? Owned{PyObject_GetAttrString(imported.get(), name)} : Owned{};
}

PyObject* raise_not_found(PyObject* key) noexcept {
    const Owned message{PyUnicode_FromFormat("no time zone found with key %R", key)};
    if (message) PyErr_SetObject(zone_not_found_error, message.get());
    return nullptr;
}

// Whether the exception set says that a file is not there (or is a folder):
// cleared then. Any other failure to read one stays set.
bool cleared_if_missing() noexcept {
    if (!PyErr_ExceptionMatches(PyExc_FileNotFoundError) && !PyErr_ExceptionMatches(PyExc_IsADirectoryError) &&
        !PyErr_ExceptionMatches(PyExc_NotADirectoryError)) {
        return false;
    }
    PyErr_Clear();
    return true;
}

// The whole content of the file at `path` (a str); null with the exception
// that opening or reading it raised.
Owned read_file(PyObject* path) noexcept {
    const Owned open = attribute_of_module("io", "open");
    const Owned file{open ? PyObject_CallFunction(open.get(), "Os", path, "rb") : nullptr};
    if (!file) return {};
    Owned data{PyObject_CallMethod(file.get(), "read", nullptr)};
    // Closed either way; a failure to read is the one to report, and is put
    // back after the close (which must not run with it set).
    const Owned failure{PyErr_GetRaisedException()};
    const Owned closed{PyObject_CallMethod(file.get(), "close", nullptr)};
    if (failure) {
        if (closed) PyErr_SetRaisedException(Py_NewRef(failure.get()));
        return {};
    }
    if (!closed) return {};
    return data;
}

// The key's file below one of zoneinfo's directories (zoneinfo.TZPATH, which
// follows PYTHONTZPATH and zoneinfo.reset_tzpath), in their order. Null with
// nothing set where none has it, with an exception set where one could not be
// read.
Owned read_from_zone_directories(PyObject* key) noexcept {
    const Owned roots = attribute_of_module("zoneinfo", "TZPATH");
    const Owned sequence{roots ? PySequence_Tuple(roots.get()) : nullptr};
    if (!sequence) return {};
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(sequence.get()); ++i) {
        const Owned path{PyUnicode_FromFormat("%S/%U", PyTuple_GET_ITEM(sequence.get(), i), key)};
        if (!path) return {};
        Owned data = read_file(path.get());
        if (data || !cleared_if_missing()) return data;
    }
    return {};
}

// The key's resource of the tzdata package: "Europe/Paris" is the resource
// "Paris" of the package tzdata.zoneinfo.Europe. Null with nothing set where
// there is no tzdata or no such resource, with an exception set where it
// could not be read.
Owned read_from_tzdata(std::string_view key) noexcept {
    const std::size_t slash = key.rfind('/');
    // (Views made by hand: substr would bring the C++ library's exceptions.)
    const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view folder(key.data(), name_start == 0 ? 0 : slash);
    const std::string_view name(key.data() + name_start, key.size() - name_start);
    // "tzdata.zoneinfo" and the key's folders, dotted; keys are at most 255 bytes.
    char package[16 + 1 + tz::max_zone_key_size + 1] = "tzdata.zoneinfo";
    std::size_t at = 15;
    if (!folder.empty()) package[at++] = '.';
    for (const char c : folder) package[at++] = c == '/' ? '.' : c;
    package[at] = '\0';
    const Owned files = attribute_of_module("importlib.resources", "files");
    if (!files) return {};
    const Owned root{PyObject_CallFunction(files.get(), "s", package)};
    const Owned resource{
        root ? PyObject_CallMethod(root.get(), "joinpath", "s#", name.data(), static_cast<Py_ssize_t>(name.size()))
             : nullptr};
    Owned data{resource ? PyObject_CallMethod(resource.get(), "read_bytes", nullptr) : nullptr};
    if (!data && (PyErr_ExceptionMatches(PyExc_ImportError) || PyErr_ExceptionMatches(PyExc_UnicodeEncodeError) ||
                  cleared_if_missing())) {
        PyErr_Clear();
    }
    return data;
}

// A str that is exactly a str, for keeping: a subclass's own equality and
// hash have no say in the cache.
Owned exact_text(Text text) noexcept {
    if (PyUnicode_CheckExact(text.object)) return Owned{Py_NewRef(text.object)};
    return Owned{PyUnicode_FromStringAndSize(text.utf8.data(), static_cast<Py_ssize_t>(text.utf8.size()))};
}

}  // namespace

PyObject* zone_not_found_error = nullptr;
PyObject* ambiguous_time_error = nullptr;
PyObject* skipped_time_error = nullptr;

PyObject* zone_for_key(Text text) noexcept {
    if (!tz::is_valid_zone_key(text.utf8)) {
        return PyErr_Format(PyExc_ValueError,
                            "invalid time zone key %R: a key is a normalised relative path, such as 'Europe/Paris'",
                            text.object);
    }
    PyObject* cache = zone_cache();
    if (cache == nullptr) return nullptr;
    const Owned key = exact_text(text);
    if (!key) return nullptr;
    Owned zone;
    if (PyDict_GetItemRef(cache, key.get(), zone.out()) != 0) return zone.release();  // found, or an error
    Owned data = read_from_zone_directories(key.get());
    if (!data && !PyErr_Occurred()) data = read_from_tzdata(text.utf8);
    if (!data) return PyErr_Occurred() ? nullptr : raise_not_found(key.get());
    if (!PyBytes_Check(data.get())) {
        return PyErr_Format(PyExc_TypeError, "the zone file of %R was read as %T, not bytes", key.get(), data.get());
    }
    const Owned made{new_time_zone(data.get(), key.get())};
    if (!made) return nullptr;
    PyObject* kept = nullptr;
    if (PyDict_SetDefaultRef(cache, key.get(), made.get(), &kept) < 0) return nullptr;
    return kept;
}

PyObject* zone_from_tzif(PyObject* data, PyObject* key) noexcept {
    if (key != nullptr && key != Py_None && !PyUnicode_Check(key)) {
        raise_not_instance(key, "str");
        add_parameter_note("key");
        return nullptr;
    }
    // A copy that nobody can change while the zone refers into it.
    const Owned bytes{PyBytes_Check(data) ? Py_NewRef(data) : PyBytes_FromObject(data)};
    if (!bytes) {
        add_parameter_note("data");
        return nullptr;
    }
    Owned kept_key{key == nullptr || key == Py_None ? Py_NewRef(Py_None) : nullptr};
    if (!kept_key) {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(key, &size);
        if (utf8 == nullptr) return nullptr;
        kept_key = exact_text({key, std::string_view(utf8, static_cast<std::size_t>(size))});
        if (!kept_key) return nullptr;
    }
    return new_time_zone(bytes.get(), kept_key.get());
}

namespace {

// The key of a zone file's path, where the path lies below one of zoneinfo's
// directories or any folder named zoneinfo ("/usr/share/zoneinfo/Europe/Paris"
// is "Europe/Paris"); null with nothing set where it has none, with an
// exception set where memory ran out.
Owned key_of_path(PyObject* path) noexcept {
    const Owned marker{PyUnicode_FromString("zoneinfo/")};
    if (!marker) return {};
    const Py_ssize_t at = PyUnicode_Find(path, marker.get(), 0, PyUnicode_GetLength(path), -1);
    if (at < 0) {
        if (at == -2) PyErr_Clear();
        return {};
    }
    Owned key{PyUnicode_Substring(path, at + PyUnicode_GetLength(marker.get()), PyUnicode_GetLength(path))};
    if (!key) return {};
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key.get(), &size);
    if (utf8 == nullptr) {
        // A path that is no UTF-8 (a lone surrogate from the file system) has no key.
        if (PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) PyErr_Clear();
        return {};
    }
    if (!tz::is_valid_zone_key(std::string_view(utf8, static_cast<std::size_t>(size)))) return {};
    return key;
}

// The zone of a key when there is one; null with nothing set where the key is
// none or names no zone.
Owned zone_if_found(PyObject* key) noexcept {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key, &size);
    if (utf8 == nullptr) return {};
    const Text text{key, std::string_view(utf8, static_cast<std::size_t>(size))};
    if (!tz::is_valid_zone_key(text.utf8)) return {};
    Owned zone{zone_for_key(text)};
    if (!zone && PyErr_ExceptionMatches(zone_not_found_error)) PyErr_Clear();
    return zone;
}

// A zone of a POSIX TZ rule alone ("CET-1CEST,M3.5.0,M10.5.0/3"), named
// `key`: TZif data of version 2 with no transitions, one local time type (the
// rule's standard time) and the rule as its footer. Null with ValueError
// where the rule is none.
PyObject* zone_of_rule(PyObject* rule, PyObject* key) noexcept {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(rule, &size);
    if (utf8 == nullptr) return nullptr;
    const std::string_view text(utf8, static_cast<std::size_t>(size));
    const Result<tz::PosixRule, tz::ZoneDataError> parsed = tz::parse_posix_rule(text);
    if (!parsed) {
        const std::string_view why = tz::describe(parsed.error());
        return PyErr_Format(PyExc_ValueError, "TZ=%R is no time zone key, zone file or POSIX TZ rule: %.*s", rule,
                            static_cast<int>(why.size()), why.data());
    }
    // A header ("TZif", version '2', 15 reserved bytes, the counts isutcnt
    // isstdcnt leapcnt timecnt typecnt charcnt) and its data: the one type,
    // its offset, no daylight saving, its abbreviation "STD". The version 1
    // block, the same again as the 64-bit block, then the footer.
    constexpr std::size_t block_size = 44 + 6 + 4;
    const Owned bytes{PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(2 * block_size + text.size() + 2))};
    if (!bytes) return nullptr;
    char* data = PyBytes_AS_STRING(bytes.get());
    const auto put_be32 = [](char* out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) *out++ = static_cast<char>(value >> shift & 0xff);
    };
    std::memset(data, 0, 2 * block_size);
    for (std::size_t block = 0; block < 2 * block_size; block += block_size) {
        std::memcpy(data + block, "TZif2", 5);
        put_be32(data + block + 36, 1);  // typecnt
        put_be32(data + block + 40, 4);  // charcnt
        put_be32(data + block + 44, static_cast<std::uint32_t>(parsed->std_offset));
        std::memcpy(data + block + 50, "STD", 3);
    }
    data[2 * block_size] = '\n';
    std::memcpy(data + 2 * block_size + 1, text.data(), text.size());
    data[2 * block_size + 1 + text.size()] = '\n';
    return new_time_zone(bytes.get(), key);
}

}  // namespace

PyObject* local_zone() noexcept {
    const Owned environment = attribute_of_module("os", "environ");
    Owned setting{environment ? PyObject_CallMethod(environment.get(), "get", "s", "TZ") : nullptr};
    if (!setting) return nullptr;
    if (setting.get() != Py_None && PyUnicode_Check(setting.get()) && PyUnicode_GetLength(setting.get()) > 0) {
        // "TZ=:Europe/Paris" is the same as "TZ=Europe/Paris".
        if (PyUnicode_ReadChar(setting.get(), 0) == ':') {
            setting = Owned{PyUnicode_Substring(setting.get(), 1, PyUnicode_GetLength(setting.get()))};
            if (!setting) return nullptr;
        }
        if (PyUnicode_GetLength(setting.get()) > 0 && PyUnicode_ReadChar(setting.get(), 0) == '/') {
            if (Owned key = key_of_path(setting.get())) {
                if (Owned zone = zone_if_found(key.get())) return zone.release();
            }
            if (PyErr_Occurred()) return nullptr;
            const Owned data = read_file(setting.get());
            return data ? new_time_zone(data.get(), Py_None) : nullptr;
        }
        if (Owned zone = zone_if_found(setting.get())) return zone.release();
        if (PyErr_Occurred()) return nullptr;
        return zone_of_rule(setting.get(), setting.get());
    }
    // The system's zone: /etc/localtime, by the key of the file it links to.
    const Owned realpath = attribute_of_module("os.path", "realpath");
    const Owned target{realpath ? PyObject_CallFunction(realpath.get(), "s", "/etc/localtime") : nullptr};
    if (!target) return nullptr;
    if (Owned key = key_of_path(target.get())) {
        if (Owned zone = zone_if_found(key.get())) return zone.release();
    }
    if (PyErr_Occurred()) return nullptr;
    if (const Owned data = read_file(target.get())) return new_time_zone(data.get(), Py_None);
    if (!cleared_if_missing()) return nullptr;
    // No zone set anywhere: the C library takes UTC then, and so does this.
    const Owned utc{PyUnicode_FromString("UTC")};
    if (!utc) return nullptr;
    if (Owned zone = zone_if_found(utc.get())) return zone.release();
    if (PyErr_Occurred()) return nullptr;
    const Owned rule{PyUnicode_FromString("UTC0")};
    return rule ? zone_of_rule(rule.get(), utc.get()) : nullptr;
}

PyObject* available_keys() noexcept {
    const Owned find = attribute_of_module("zoneinfo", "available_timezones");
    const Owned keys{find ? PyObject_CallNoArgs(find.get()) : nullptr};
    return keys ? PyFrozenSet_New(keys.get()) : nullptr;
}

}  // namespace kairodex::python
