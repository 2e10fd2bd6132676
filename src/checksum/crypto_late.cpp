// SPDX-License-Identifier: GPL-3.0-or-later
// The libcrypto functions the MD5 digest calls, each handing its call to
// libcrypto, which is opened by the first of them (text/late_library.h says
// why).  Without libcrypto every call fails as OpenSSL reports failures, so
// the digest raises its documented errors.
#include <openssl/err.h>
#include <openssl/evp.h>

#include "text/late_library.h"

namespace {

void* Crypto() {
    static void* const library = tessel::text::OpenLateLibrary(TESSEL_LIBCRYPTO_SONAME);
    return library;
}

}  // namespace

#define TESSEL_LATE(...) TESSEL_LATE_FUNCTION(Crypto(), __VA_ARGS__)

TESSEL_LATE(EVP_MD*, EVP_MD_fetch, (OSSL_LIB_CTX * ctx, const char* algorithm, const char* properties),
            (ctx, algorithm, properties), nullptr)
TESSEL_LATE(EVP_MD_CTX*, EVP_MD_CTX_new, (void), (), nullptr)
TESSEL_LATE(int, EVP_DigestInit_ex2, (EVP_MD_CTX * ctx, const EVP_MD* type, const OSSL_PARAM params[]),
            (ctx, type, params), 0)
TESSEL_LATE(int, EVP_DigestUpdate, (EVP_MD_CTX * ctx, const void* data, size_t size), (ctx, data, size), 0)
TESSEL_LATE(int, EVP_DigestFinal_ex, (EVP_MD_CTX * ctx, unsigned char* md, unsigned int* size),
            (ctx, md, size), 0)
TESSEL_LATE(const EVP_MD*, EVP_MD_CTX_get0_md, (const EVP_MD_CTX* ctx), (ctx), nullptr)
TESSEL_LATE(int, EVP_MD_get_size, (const EVP_MD* md), (md), -1)
// Nothing was queued by a library that is not there.
TESSEL_LATE(unsigned long, ERR_get_error, (void), (), 0)

#undef TESSEL_LATE

// What only libcrypto could have handed out goes back to it.
#define TESSEL_LATE_VOID(...) TESSEL_LATE_VOID_FUNCTION(Crypto(), __VA_ARGS__)

TESSEL_LATE_VOID(EVP_MD_free, (EVP_MD * md), (md))
TESSEL_LATE_VOID(EVP_MD_CTX_free, (EVP_MD_CTX * ctx), (ctx))
TESSEL_LATE_VOID(ERR_clear_error, (void), ())

#undef TESSEL_LATE_VOID
