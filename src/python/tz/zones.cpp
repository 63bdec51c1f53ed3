// Time zones read from TZif bytes, and given back.
#include "convert.hpp"
#include "errors.hpp"

#include "tz/zones.hpp"

#include <cstring>
#include <new>
#include <utility>

#include "kairodex/tz/extended_table.hpp"

namespace kairodex::python {
namespace {

// Where each table lies in the one block that holds them all, the widest
// first so that every table is aligned.
struct TablePlaces {
    std::size_t types;
    std::size_t transition_types;
    std::size_t abbreviations;
    std::size_t size;
};

TablePlaces places(const tz::TzifCounts& counts) noexcept {
    TablePlaces at{};
    at.types = counts.transitions * sizeof(std::int64_t);
    at.transition_types = at.types + counts.types * sizeof(tz::LocalTimeType);
    at.abbreviations = at.transition_types + counts.transitions;
    at.size = at.abbreviations + counts.characters;
    return at;
}

PyObject* raise_bad_data(PyObject* key, std::string_view why) noexcept {
    if (key == Py_None) {
        return PyErr_Format(PyExc_ValueError, "invalid TZif data: %.*s", static_cast<int>(why.size()), why.data());
    }
    return PyErr_Format(PyExc_ValueError, "invalid TZif data for %R: %.*s", key, static_cast<int>(why.size()),
                        why.data());
}

// A zone abbreviation as a str: ASCII in every zone there is; other bytes
// are refused rather than guessed at.
PyObject* abbreviation_text(PyObject* key, std::string_view text) noexcept {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return raise_bad_data(key, "an abbreviation is not ASCII text");
    }
    return PyUnicode_DecodeASCII(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
}

// The block for tables of these sizes, kept by the zone; false with
// MemoryError set.
bool allocate_tables(ZoneObject& zone, const tz::TzifCounts& counts, tz::ZoneTables& spans) noexcept {
    const TablePlaces at = places(counts);
    auto* tables = static_cast<char*>(PyMem_Malloc(at.size == 0 ? 1 : at.size));
    if (tables == nullptr) {
        PyErr_NoMemory();
        return false;
    }
    zone.tables = tables;
    spans = {
        {reinterpret_cast<std::int64_t*>(tables), counts.transitions},
        {reinterpret_cast<std::uint8_t*>(tables + at.transition_types), counts.transitions},
        {reinterpret_cast<tz::LocalTimeType*>(tables + at.types), counts.types},
        {tables + at.abbreviations, counts.characters},
    };
    return true;
}

void free_zone(ZoneObject* zone) noexcept {
    for (std::size_t i = 0; i < zone->abbreviation_count; ++i) Py_XDECREF(zone->abbreviations[i]);
    PyMem_Free(zone->abbreviations);
    if (zone->offsets != nullptr) {
        for (std::size_t i = 0; i < zone->view.types.size() + 2; ++i) Py_XDECREF(zone->offsets[i]);
        PyMem_Free(zone->offsets);
    }
    Py_XDECREF(zone->key);
    Py_XDECREF(zone->data);
    PyMem_Free(zone->tables);
    PyMem_Free(zone->index);
    PyMem_Free(zone);
}

// Frees the zone unless released: the zone being built, on every way out.
class ZoneUnderConstruction {
  public:
    explicit ZoneUnderConstruction(ZoneObject* zone) noexcept : zone_(zone) {}
    ~ZoneUnderConstruction() {
        if (zone_ != nullptr) free_zone(zone_);
    }
    ZoneUnderConstruction(const ZoneUnderConstruction&) = delete;
    ZoneUnderConstruction& operator=(const ZoneUnderConstruction&) = delete;
    ZoneObject* get() const noexcept { return zone_; }
    ZoneObject* release() noexcept { return std::exchange(zone_, nullptr); }

  private:
    ZoneObject* zone_;
};

}  // namespace

PyObject* new_time_zone(PyObject* data, PyObject* key) noexcept {
    PyTypeObject* type = type_object<ZoneRef>();
    if (type == nullptr) return nullptr;
    const std::string_view bytes(PyBytes_AS_STRING(data), static_cast<std::size_t>(PyBytes_GET_SIZE(data)));
    const Result<tz::TzifLayout, tz::ZoneDataError> layout = tz::read_tzif_layout(bytes);
    if (!layout) return raise_bad_data(key, tz::describe(layout.error()));

    auto* raw = static_cast<ZoneObject*>(PyMem_Malloc(sizeof(ZoneObject)));
    if (raw == nullptr) return PyErr_NoMemory();
    *raw = ZoneObject{{}, {}, Py_NewRef(key), Py_NewRef(data), nullptr, 0, nullptr, nullptr, nullptr, nullptr};
    ZoneUnderConstruction zone(raw);

    // The tables, then the rule, then the tables carried on by the rule's
    // changes up to the extension's horizon (tz/extended_table.hpp), each in
    // one block of its own, the last replacing the first.
    tz::TzifCounts counts = layout->counts;
    tz::ZoneTables spans{};
    if (!allocate_tables(*zone.get(), counts, spans)) return nullptr;
    tz::decode_tzif(bytes, *layout, spans);
    const bool has_rule = !layout->footer.empty();
    if (has_rule) {
        // read_tzif_layout has read the rule already; it cannot fail here.
        const Result<tz::PosixRule, tz::ZoneDataError> rule = tz::parse_posix_rule(layout->footer);
        if (!rule) return raise_bad_data(key, tz::describe(rule.error()));
        zone.get()->rule = *rule;
    }
    zone.get()->view = tz::view_of(spans, has_rule ? &zone.get()->rule : nullptr);
    if constexpr (fast::enabled) {
        const tz::ExtensionPlan extension = tz::plan_extension(zone.get()->view);
        if (extension.changes > 0) {
            void* decoded = std::exchange(zone.get()->tables, nullptr);
            counts.transitions += static_cast<std::uint32_t>(extension.changes);
            counts.types += 2;
            counts.characters += static_cast<std::uint32_t>(extension.characters);
            if (!allocate_tables(*zone.get(), counts, spans)) {
                PyMem_Free(decoded);
                return nullptr;
            }
            tz::extend_table(zone.get()->view, extension,
                             {spans.transitions, spans.transition_types, spans.types, spans.abbreviations});
            PyMem_Free(decoded);
            zone.get()->view = tz::view_of(spans, &zone.get()->rule);
        }
    }
    // The index of the transitions (where they are worth one), a block of its own.
    const tz::IndexPlan plan = tz::plan_index(spans.transitions);
    std::span<std::uint16_t> index;
    if (plan.counts > 0) {
        auto* counts_block = static_cast<std::uint16_t*>(PyMem_Malloc(plan.counts * sizeof(std::uint16_t)));
        if (counts_block == nullptr) return PyErr_NoMemory();
        zone.get()->index = counts_block;
        index = {counts_block, plan.counts};
        tz::build_index(spans.transitions, plan, index);
    }
    zone.get()->view.index = {plan.origin, index};

    // One str per place in the characters where a type's abbreviation
    // starts, and the rule's two names.
    const std::size_t count = spans.abbreviations.size() + 2;
    zone.get()->abbreviations = static_cast<PyObject**>(PyMem_Calloc(count, sizeof(PyObject*)));
    if (zone.get()->abbreviations == nullptr) return PyErr_NoMemory();
    zone.get()->abbreviation_count = count;
    PyObject** made = zone.get()->abbreviations;
    for (const tz::LocalTimeType& local : spans.types) {
        if (made[local.abbreviation] != nullptr) continue;
        made[local.abbreviation] =
            abbreviation_text(key, std::string_view(spans.abbreviations.data() + local.abbreviation));
        if (made[local.abbreviation] == nullptr) return nullptr;
    }
    if (has_rule) {
        made[count - 2] = abbreviation_text(key, zone.get()->rule.std_abbreviation);
        made[count - 1] = abbreviation_text(key, zone.get()->rule.dst_abbreviation);
        if (made[count - 2] == nullptr || made[count - 1] == nullptr) return nullptr;
    }
    // The offsets as objects, the rule's standard and daylight saving ones
    // last (0 where there is no rule: never handed out).
    const std::size_t type_count = spans.types.size();
    zone.get()->offsets = static_cast<PyObject**>(PyMem_Calloc(type_count + 2, sizeof(PyObject*)));
    if (zone.get()->offsets == nullptr) return PyErr_NoMemory();
    for (std::size_t i = 0; i < type_count + 2; ++i) {
        const std::int32_t seconds = i < type_count    ? spans.types[i].utc_offset
                                     : !has_rule       ? 0
                                     : i == type_count ? zone.get()->rule.std_offset
                                                       : zone.get()->rule.dst_offset;
        zone.get()->offsets[i] = to_python(UtcOffset{seconds});
        if (zone.get()->offsets[i] == nullptr) return nullptr;
    }
    PyObject* instance = new_instance(type, ZoneRef{zone.get()});
    if (instance != nullptr) zone.release()->self = instance;
    return instance;
}

void dealloc_time_zone(PyObject* self) noexcept {
    free_zone(value_of<ZoneRef>(self).zone);
    dealloc_instance(self);
}

PyObject* abbreviation_object(const ZoneObject& zone, std::string_view abbreviation) noexcept {
    const std::span<const char> characters = zone.view.abbreviations;
    if (abbreviation.data() >= characters.data() && abbreviation.data() < characters.data() + characters.size()) {
        return zone.abbreviations[abbreviation.data() - characters.data()];
    }
    const std::size_t count = zone.abbreviation_count;
    return zone.abbreviations[abbreviation.data() == zone.rule.std_abbreviation.data() ? count - 2 : count - 1];
}

PyObject* zone_name(const ZoneObject& zone) noexcept {
    if (zone.key != Py_None) return Py_NewRef(zone.key);
    return PyUnicode_FromFormat("<time zone from %zd bytes of TZif data>", PyBytes_GET_SIZE(zone.data));
}

}  // namespace kairodex::python
