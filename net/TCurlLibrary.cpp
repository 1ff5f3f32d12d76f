#include "net/TCurlLibrary.h"

#include <dlfcn.h>

namespace TCurlLibrary {

QByteArray FileName()
{
    const QByteArray name = qgetenv("VREL_CURL_LIBRARY");
    return name.isEmpty() ? QByteArrayLiteral("libcurl.so.4") : name;
}

bool Load(const QByteArray& fileName, TCurlApi& api, QString& error)
{
    api = TCurlApi();
    // RTLD_LOCAL: libcurl's symbols (and those of its TLS library) stay out of the way of
    // everything loaded later.
    void* const library = ::dlopen(fileName.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        error = QString::fromLocal8Bit(::dlerror());
        return false;
    }
    QByteArray missing;
#define VREL_CURL_LOOKUP(name)                                                                               \
    api.name = reinterpret_cast<decltype(api.name)>(::dlsym(library, "curl_" #name));                        \
    if (!api.name && missing.isEmpty())                                                                      \
        missing = "curl_" #name;
    VREL_CURL_FUNCTIONS(VREL_CURL_LOOKUP)
#undef VREL_CURL_LOOKUP
    if (!missing.isEmpty()) {
        error = QStringLiteral("%1 has no %2")
                    .arg(QString::fromLocal8Bit(fileName), QString::fromLatin1(missing));
        api = TCurlApi();
        ::dlclose(library);
        return false;
    }
    return true;
}

const TCurlApi* Shared()
{
    // A function-local static is initialised once, and other threads wait for it.
    static const TCurlApi* const shared = []() -> const TCurlApi* {
        static TCurlApi api;
        const QByteArray fileName = FileName();
        QString error;
        if (Load(fileName, api, error)) {
            const CURLcode code = api.global_init(CURL_GLOBAL_DEFAULT);
            if (code == CURLE_OK)
                return &api;
            error = QStringLiteral("curl_global_init failed with code %1").arg(int(code));
        }
        qWarning("TCurlHttpClient: libcurl cannot be used, every download fails: %s", qUtf8Printable(error));
        return nullptr;
    }();
    return shared;
}

} // namespace TCurlLibrary
