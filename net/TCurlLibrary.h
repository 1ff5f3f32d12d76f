#pragma once

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

// The libcurl functions this program calls, each under its name without "curl_".
#define VREL_CURL_FUNCTIONS(X)                                                                               \
    X(global_init)                                                                                           \
    X(easy_init)                                                                                             \
    X(easy_setopt)                                                                                           \
    X(easy_pause)                                                                                            \
    X(easy_cleanup)                                                                                          \
    X(multi_init)                                                                                            \
    X(multi_add_handle)                                                                                      \
    X(multi_remove_handle)                                                                                   \
    X(multi_perform)                                                                                         \
    X(multi_poll)                                                                                            \
    X(multi_info_read)                                                                                       \
    X(multi_cleanup)                                                                                         \
    X(url)                                                                                                   \
    X(url_set)                                                                                               \
    X(url_cleanup)                                                                                           \
    X(slist_append)                                                                                          \
    X(slist_free_all)

// libcurl reached through function pointers: the program does not link it, so libcurl and the
// libraries it brings (TLS, Kerberos, LDAP, SSH, about 5 MB of resident pages) are only mapped
// once downloading begins, not while the program waits in the tray.
struct TCurlApi
{
#define VREL_CURL_MEMBER(name) decltype(&::curl_##name) name = nullptr;
    VREL_CURL_FUNCTIONS(VREL_CURL_MEMBER)
#undef VREL_CURL_MEMBER
};

namespace TCurlLibrary {

// The file handed to dlopen: "libcurl.so.4", or VREL_CURL_LIBRARY from the environment when set
// (a test points it at a library that is not there).
QByteArray FileName();

// Loads fileName and looks up every function of TCurlApi into api; libcurl is not set up. False
// with error saying why (the file cannot be loaded, a function is missing); the library is then
// unloaded again. A library that loaded stays loaded for the life of the process.
bool Load(const QByteArray& fileName, TCurlApi& api, QString& error);

// The process's libcurl, loaded from FileName() and set up (curl_global_init) by the first call,
// from whichever thread makes it; later calls return at once. Null when that failed: one warning
// said why, and every client then fails like a request that got no response.
const TCurlApi* Shared();

} // namespace TCurlLibrary
