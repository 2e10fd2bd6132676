// SPDX-License-Identifier: GPL-3.0-or-later
// The libcurl functions the program calls, each handing its call to libcurl,
// which is opened by the first of them (text/late_library.h says why).
// Without libcurl every call fails the way libcurl reports failures, so a
// request ends with an error message instead of the program not starting.
#include <curl/curl.h>

#include <cstdarg>

#include "text/late_library.h"

namespace {

void* Curl() {
    static void* const library = tessel::text::OpenLateLibrary(TESSEL_LIBCURL_SONAME);
    return library;
}

}  // namespace

#define TESSEL_LATE(...) TESSEL_LATE_FUNCTION(Curl(), __VA_ARGS__)

TESSEL_LATE(CURLcode, curl_global_init, (long flags), (flags), CURLE_FAILED_INIT)
TESSEL_LATE(CURL*, curl_easy_init, (void), (), nullptr)
TESSEL_LATE(CURLcode, curl_easy_pause, (CURL * handle, int bitmask), (handle, bitmask), CURLE_FAILED_INIT)
TESSEL_LATE(const char*, curl_easy_strerror, (CURLcode code), (code), "libcurl is not installed")
TESSEL_LATE(curl_slist*, curl_slist_append, (curl_slist * list, const char* text), (list, text), nullptr)
TESSEL_LATE(CURLM*, curl_multi_init, (void), (), nullptr)
TESSEL_LATE(CURLMcode, curl_multi_add_handle, (CURLM * multi, CURL* easy), (multi, easy),
            CURLM_INTERNAL_ERROR)
TESSEL_LATE(CURLMcode, curl_multi_remove_handle, (CURLM * multi, CURL* easy), (multi, easy),
            CURLM_INTERNAL_ERROR)
TESSEL_LATE(CURLMcode, curl_multi_cleanup, (CURLM * multi), (multi), CURLM_INTERNAL_ERROR)
TESSEL_LATE(CURLMcode, curl_multi_perform, (CURLM * multi, int* running), (multi, running),
            CURLM_INTERNAL_ERROR)
TESSEL_LATE(CURLMsg*, curl_multi_info_read, (CURLM * multi, int* left), (multi, left), nullptr)
TESSEL_LATE(CURLMcode, curl_multi_poll,
            (CURLM * multi, struct curl_waitfd* extra, unsigned int count, int timeoutMs, int* ready),
            (multi, extra, count, timeoutMs, ready), CURLM_INTERNAL_ERROR)
TESSEL_LATE(CURLU*, curl_url, (void), (), nullptr)
TESSEL_LATE(CURLUcode, curl_url_set, (CURLU * url, CURLUPart part, const char* content, unsigned int flags),
            (url, part, content, flags), CURLUE_OUT_OF_MEMORY)
TESSEL_LATE(CURLUcode, curl_url_get, (CURLU * url, CURLUPart part, char** content, unsigned int flags),
            (url, part, content, flags), CURLUE_OUT_OF_MEMORY)

#undef TESSEL_LATE

// Handles that could only come from libcurl are given back to it; without
// it there are none.
#define TESSEL_LATE_VOID(...) TESSEL_LATE_VOID_FUNCTION(Curl(), __VA_ARGS__)

TESSEL_LATE_VOID(curl_easy_cleanup, (CURL * handle), (handle))
TESSEL_LATE_VOID(curl_slist_free_all, (curl_slist * list), (list))
TESSEL_LATE_VOID(curl_url_cleanup, (CURLU * url), (url))
TESSEL_LATE_VOID(curl_free, (void* p), (p))

#undef TESSEL_LATE_VOID

// The two functions of one argument of any type: its type follows from the
// option, as libcurl itself reads it.  Their declarations end the fixed
// arguments with an enumeration, which clang takes for a type that may be
// promoted; both enumerations are int-sized, as libcurl's own va_start
// relies on.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif
extern "C" CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    using Setopt = CURLcode (*)(CURL*, CURLoption, ...);
    static const auto f = tessel::text::LateFunction<Setopt>(Curl(), "curl_easy_setopt");
    if (!f) return CURLE_FAILED_INIT;
    va_list arg;
    va_start(arg, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        result = f(handle, option, va_arg(arg, long));
    } else if (option < CURLOPTTYPE_OFF_T) {
        result = f(handle, option, va_arg(arg, void*));  // data and function pointers alike
    } else if (option < CURLOPTTYPE_BLOB) {
        result = f(handle, option, va_arg(arg, curl_off_t));
    } else {
        result = f(handle, option, va_arg(arg, void*));
    }
    va_end(arg);
    return result;
}

extern "C" CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    using Getinfo = CURLcode (*)(CURL*, CURLINFO, ...);
    static const auto f = tessel::text::LateFunction<Getinfo>(Curl(), "curl_easy_getinfo");
    if (!f) return CURLE_FAILED_INIT;
    va_list arg;
    va_start(arg, info);
    void* out = va_arg(arg, void*);  // every answer is written through a pointer
    va_end(arg);
    return f(handle, info, out);
}
