/* The interpreter configuration that extension modules for CPython 3.13 to
 * 3.15 on Windows x64 (GIL build, python3XY.dll) see, for cross builds here. Only
 * what an extension's compilation depends on: the platform macros, the sizes
 * of C types on LLP64 (long has 32 bits), Py_ssize_t, and the shared-library
 * build, which makes every API declaration a DLL import. */
#ifndef Py_CONFIG_H
#define Py_CONFIG_H

#include <io.h>
#include <stdint.h>
#include <sys/types.h>

#define MS_WIN32
#define MS_WIN64
#define MS_WINDOWS
#define NT_THREADS
#define WITH_THREAD
#define PLATFORM "win32"

#define Py_ENABLE_SHARED 1
#define HAVE_DECLSPEC_DLL

typedef __int64 Py_ssize_t;
#define PY_SSIZE_T_MAX INT64_MAX
#define HAVE_PY_SSIZE_T 1

#define SIZEOF_SHORT 2
#define SIZEOF_INT 4
#define SIZEOF_LONG 4
#define SIZEOF_LONG_LONG 8
#define SIZEOF_FLOAT 4
#define SIZEOF_DOUBLE 8
#define SIZEOF__BOOL 1
#define SIZEOF_VOID_P 8
#define SIZEOF_SIZE_T 8
#define SIZEOF_TIME_T 8
#define SIZEOF_WCHAR_T 2
#define SIZEOF_OFF_T 4
#define SIZEOF_FPOS_T 8
#define SIZEOF_HKEY 8
#define ALIGNOF_SIZE_T 8
#define ALIGNOF_MAX_ALIGN_T 8
#define WORD_BIT 32

#define HAVE_UINTPTR_T 1
#define HAVE_INTPTR_T 1
#define HAVE_WCHAR_H 1
#define HAVE_STDDEF_H 1
#define HAVE_ERRNO_H 1
#define HAVE_FCNTL_H 1
#define HAVE_SIGNAL_H 1
#define HAVE_IO_H 1
#define HAVE_DYNAMIC_LOADING
#define HAVE_LARGEFILE_SUPPORT
#define HAVE_CLOCK
#define HAVE_STRFTIME
#define HAVE_COPYSIGN 1
#define HAVE_HYPOT 1
#define DONT_HAVE_SIG_ALARM
#define DONT_HAVE_SIG_PAUSE

#endif /* Py_CONFIG_H */
