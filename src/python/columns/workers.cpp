#include "columns/workers.hpp"

#include "pythread.h"

namespace kairodex::python {
namespace {

struct Worker {
    void (*work)(void*, int);
    void* context;
    int index;
    PyThread_type_lock done;  // held from the start until the work is done
};

void worker_main(void* argument) {
    auto* worker = static_cast<Worker*>(argument);
    worker->work(worker->context, worker->index);
    // The last use of the record: the caller may go on and drop it.
    PyThread_release_lock(worker->done);
}

}  // namespace

void run_split(int count, void (*work)(void*, int), void* context, bool release_gil) noexcept {
    if (count > max_threads) count = max_threads;
    Worker workers[max_threads];
    // Started while the GIL is held, as the interpreter's threading module
    // starts its threads: the thread API reads the interpreter's stack size.
    for (int i = 1; i < count; ++i) {
        workers[i] = Worker{work, context, i, PyThread_allocate_lock()};
        if (workers[i].done == nullptr) continue;
        PyThread_acquire_lock(workers[i].done, WAIT_LOCK);
        if (PyThread_start_new_thread(worker_main, &workers[i]) == PYTHREAD_INVALID_THREAD_ID) {
            PyThread_release_lock(workers[i].done);
            PyThread_free_lock(workers[i].done);
            workers[i].done = nullptr;
        }
    }
    PyThreadState* saved = release_gil ? PyEval_SaveThread() : nullptr;
    work(context, 0);
    for (int i = 1; i < count; ++i) {
        if (workers[i].done != nullptr) {
            PyThread_acquire_lock(workers[i].done, WAIT_LOCK);
        } else {
            work(context, i);
        }
    }
    if (saved != nullptr) PyEval_RestoreThread(saved);
    for (int i = 1; i < count; ++i) {
        if (workers[i].done != nullptr) PyThread_free_lock(workers[i].done);
    }
}

}  // namespace kairodex::python
