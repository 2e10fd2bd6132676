// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A shared library opened the first time one of its functions is called,
// not when the program starts: the window program needs libcurl and
// libcrypto (and the dozen libraries libcurl brings) only for the commands
// that fetch or fingerprint, and loading them before the first paint cost
// as much as a bare window's whole start.
//
// Each such library has one source file that defines the functions the
// program calls, under their own names, each handing its call to the
// library's (web/curl_late.cpp, checksum/crypto_late.cpp).  The program is not
// linked against the library, so calling a function missing from that file
// is an undefined reference at link time, never a surprise at run time.

#include <dlfcn.h>

#include <cstdio>

namespace tessel::text {

// Opens the library `soname` (what the program would have been linked
// against, "libcurl.so.4"); null, said on standard error, when it cannot.
// Callers keep the handle in a function-local static: opened once, for good.
inline void* OpenLateLibrary(const char* soname) {
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) std::fprintf(stderr, "tessel: %s\n", dlerror());
    return library;
}

// The function `name` of `library`, or null when either is missing.
template <typename F>
F LateFunction(void* library, const char* name) {
    void* f = library ? dlsym(library, name) : nullptr;
    if (library && !f) std::fprintf(stderr, "tessel: no %s in a loaded library\n", name);
    return reinterpret_cast<F>(f);
}

}  // namespace tessel::text

// Defines the function `name` of the late library `library` (an expression
// giving its handle): it looks its counterpart up once and calls it, or
// answers `failed` when the library is not there.
#define TESSEL_LATE_FUNCTION(library, ret, name, params, args, failed)                   \
    extern "C" ret name params {                                                         \
        static const auto f = tessel::text::LateFunction<ret(*) params>(library, #name); \
        return f ? f args : failed;                                                      \
    }

// The same for a function that gives nothing back: without the library it
// does nothing (what it would release could only have come from the library).
#define TESSEL_LATE_VOID_FUNCTION(library, name, params, args)                            \
    extern "C" void name params {                                                         \
        static const auto f = tessel::text::LateFunction<void(*) params>(library, #name); \
        if (f) f args;                                                                    \
    }
