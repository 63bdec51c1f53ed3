// An application embedding the interpreter, as web servers and plug-in hosts
// do: each argument is a step, run in order, and each step that imports the
// module prints one line of what it saw.
//
//   main       import the module in the main interpreter and use it
//   sub        the same in a new legacy sub-interpreter (Py_NewInterpreter),
//              ended afterwards
//   restart    finalise the interpreter (Py_FinalizeEx) and initialise it again
//
// Exits 0 when every step ran, whatever the imports said; the test reads the
// lines. The module is found through PYTHONPATH.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdio>
#include <cstring>

namespace {

// Run in each interpreter after `where = "<step>"`.
constexpr const char use_the_module[] = R"(
try:
    import kairodex
except ImportError as error:
    print(f"{where}: ImportError: {error}", flush=True)
else:
    from kairodex import OffsetDateTime, Time
    print(f"{where}:", Time.parse("12:30:45.5"), OffsetDateTime.parse("2024-06-01T09:30:00+02:00"),
          Time.parse is OffsetDateTime.parse, kairodex.Date(2024, 6, 1).weekday(), flush=True)
)";

bool run(const char* where) {
    char script[sizeof use_the_module + 64];
    std::snprintf(script, sizeof script, "where = \"%s\"\n%s", where, use_the_module);
    return PyRun_SimpleString(script) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Py_Initialize();
    for (int i = 1; i < argc; ++i) {
        const char* step = argv[i];
        if (std::strcmp(step, "main") == 0) {
            if (!run(step)) return 2;
        } else if (std::strcmp(step, "sub") == 0) {
            PyThreadState* main_thread = PyThreadState_Get();
            PyThreadState* sub = Py_NewInterpreter();
            if (sub == nullptr) return 3;
            const bool ran = run(step);
            Py_EndInterpreter(sub);
            PyThreadState_Swap(main_thread);
            if (!ran) return 2;
        } else if (std::strcmp(step, "restart") == 0) {
            if (Py_FinalizeEx() < 0) return 4;
            Py_Initialize();
        } else {
            std::fprintf(stderr, "unknown step %s\n", step);
            return 1;
        }
    }
    return Py_FinalizeEx() < 0 ? 4 : 0;
}
