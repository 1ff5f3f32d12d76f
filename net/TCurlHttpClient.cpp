#include "net/TCurlHttpClient.h"

#include "net/TCurlLibrary.h"

#include <QList>

#include <algorithm>
#include <cstring>

namespace {

constexpr int PollSliceMs = 50; // how soon a stop or a stall is noticed while waiting on a socket

// libcurl refuses URLs with blanks or control bytes; escape those (and 8-bit bytes) the way
// browsers do and keep everything else, already escaped sequences included.
QByteArray escapeUnsafe(const QByteArray& text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte <= 0x20 || byte >= 0x7f) {
            out.append('%');
            out.append(hex[byte >> 4]);
            out.append(hex[byte & 0x0f]);
        } else {
            out.append(ch);
        }
    }
    return out;
}

} // namespace

void TCurlHttpClient::globalInit()
{
    TCurlLibrary::Shared();
}

TCurlHttpClient::TCurlHttpClient() = default;

TCurlHttpClient::~TCurlHttpClient()
{
    close();
}

bool TCurlHttpClient::stopRequested() const
{
    return m_stop && m_stop->load(std::memory_order_acquire);
}

bool TCurlHttpClient::open(const QByteArray& agent)
{
    m_agent = agent;
    // Without libcurl every later step fails, as for a host that cannot be reached.
    m_curl = TCurlLibrary::Shared();
    if (!m_curl)
        return false;
    m_multi = m_curl->multi_init();
    return m_multi != nullptr;
}

bool TCurlHttpClient::connect(const QByteArray& host, quint16 port, bool secure, const QByteArray& userName,
                              const QByteArray& password)
{
    m_host = host;
    m_port = port;
    m_secure = secure;
    m_userName = userName;
    m_password = password;
    return m_multi && !host.isEmpty() && port != 0;
}

bool TCurlHttpClient::openRequest(const QByteArray& verb, const QByteArray& path, const QByteArray& version,
                                  const QByteArray& referer, const QByteArray& acceptTypes, bool reload)
{
    // Until a request is under way, every later operation sees a failed transfer.
    finish(CURLE_COULDNT_CONNECT);
    if (!m_multi || m_host.isEmpty() || m_port == 0)
        return false;
    m_easy = m_curl->easy_init();
    m_url = m_curl->url();
    if (!m_easy || !m_url)
        return false;

    // The URL is assembled from its parts so that nothing in the host (an "@", a "#") can be
    // read as credentials or anything else: libcurl rejects such a host name outright.
    QByteArray target = path;
    if (const qsizetype hash = target.indexOf('#'); hash >= 0)
        target.truncate(hash);
    QByteArray query;
    if (const qsizetype mark = target.indexOf('?'); mark >= 0) {
        query = target.mid(mark + 1);
        target.truncate(mark);
    }
    if (m_curl->url_set(m_url, CURLUPART_SCHEME, m_secure ? "https" : "http", 0) != CURLUE_OK ||
        m_curl->url_set(m_url, CURLUPART_HOST, m_host.constData(), 0) != CURLUE_OK ||
        m_curl->url_set(m_url, CURLUPART_PORT, QByteArray::number(m_port).constData(), 0) != CURLUE_OK ||
        m_curl->url_set(m_url, CURLUPART_PATH, escapeUnsafe(target).constData(), 0) != CURLUE_OK ||
        (!query.isEmpty() &&
         m_curl->url_set(m_url, CURLUPART_QUERY, escapeUnsafe(query).constData(), 0) != CURLUE_OK))
        return false;

    CURL* easy = m_easy;
    m_curl->easy_setopt(easy, CURLOPT_CURLU, m_url);
    m_curl->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    m_curl->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    m_curl->easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    m_curl->easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    m_curl->easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    m_curl->easy_setopt(easy, CURLOPT_HTTP_VERSION,
                        version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    m_curl->easy_setopt(easy, CURLOPT_BUFFERSIZE, long{ChunkSize});
    m_curl->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_connectTimeoutMs));
    if (!m_agent.isEmpty())
        m_curl->easy_setopt(easy, CURLOPT_USERAGENT, m_agent.constData());
    if (!referer.isEmpty())
        m_curl->easy_setopt(easy, CURLOPT_REFERER, referer.constData());
    if (!m_userName.isEmpty() || !m_password.isEmpty()) {
        m_curl->easy_setopt(easy, CURLOPT_USERNAME, m_userName.constData());
        m_curl->easy_setopt(easy, CURLOPT_PASSWORD, m_password.constData());
        m_curl->easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    }
    if (!m_caFile.isEmpty())
        m_curl->easy_setopt(easy, CURLOPT_CAINFO, m_caFile.toLocal8Bit().constData());

    if (verb == "POST")
        m_curl->easy_setopt(easy, CURLOPT_POST, 1L);
    else if (verb != "GET")
        m_curl->easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.constData());

    // An empty "Accept:" line removes libcurl's own default instead of sending an empty header.
    m_headerList = m_curl->slist_append(m_headerList, ("Accept: " + acceptTypes).trimmed().constData());
    if (reload) {
        m_headerList = m_curl->slist_append(m_headerList, "Cache-Control: no-cache");
        m_headerList = m_curl->slist_append(m_headerList, "Pragma: no-cache");
    }

    m_curl->easy_setopt(easy, CURLOPT_HEADERFUNCTION, &TCurlHttpClient::onHeader);
    m_curl->easy_setopt(easy, CURLOPT_HEADERDATA, this);
    m_curl->easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TCurlHttpClient::onBody);
    m_curl->easy_setopt(easy, CURLOPT_WRITEDATA, this);
    m_done = false;
    m_result = CURLE_OK;
    return true;
}

bool TCurlHttpClient::send(const QByteArray& headers, const QByteArray& body)
{
    if (!m_easy || m_done)
        return false;
    for (const QByteArray& line : headers.split('\n')) {
        const QByteArray header = line.trimmed();
        if (!header.isEmpty())
            m_headerList = m_curl->slist_append(m_headerList, header.constData());
    }
    m_curl->easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headerList);
    if (!body.isEmpty()) {
        m_body = body;
        m_curl->easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_body.size()));
        m_curl->easy_setopt(m_easy, CURLOPT_POSTFIELDS, m_body.constData());
    }
    if (m_curl->multi_add_handle(m_multi, m_easy) != CURLM_OK) {
        finish(CURLE_FAILED_INIT);
        return false;
    }
    m_attached = true;
    m_waiting = false;
    // Like the platform call it stands for, send returns once the response has begun: its first
    // body bytes are here or it has ended, so the final response's headers are all known.
    return pump() == TPump::Ready && m_gotStatus && !m_refusedCoding;
}

bool TCurlHttpClient::queryContentLength(QByteArray& text)
{
    if (!m_gotStatus || m_refusedCoding || !m_hasLength)
        return false;
    text = m_lengthText;
    return true;
}

int TCurlHttpClient::statusCode() const
{
    return m_gotStatus && !m_refusedCoding ? m_status : 0;
}

QByteArray TCurlHttpClient::queryHeader(const QByteArray& name) const
{
    if (!m_gotStatus || m_refusedCoding)
        return {};
    for (const QByteArray& line : m_headerLines) {
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            qstrnicmp(line.constData(), name.constData(), static_cast<uint>(name.size())) == 0)
            return line.mid(name.size() + 1).trimmed();
    }
    return {};
}

bool TCurlHttpClient::read(char* buffer, qint32 size, qint32& count)
{
    count = 0;
    if (m_chunkPos >= m_chunk.size() && pump() != TPump::Ready)
        return false;
    if (m_chunkPos < m_chunk.size()) {
        count = static_cast<qint32>(std::min<qsizetype>(size, m_chunk.size() - m_chunkPos));
        std::memcpy(buffer, m_chunk.constData() + m_chunkPos, static_cast<size_t>(count));
        m_chunkPos += count;
        m_waiting = false;
        return true;
    }
    return m_done && m_result == CURLE_OK;
}

bool TCurlHttpClient::waitForBody(int ms)
{
    if (m_chunkPos < m_chunk.size() || m_done || !m_easy)
        return true;
    return pump(Clock::now() + std::chrono::milliseconds(std::max(ms, 0))) != TPump::Waiting;
}

void TCurlHttpClient::close()
{
    if (m_attached) {
        m_curl->multi_remove_handle(m_multi, m_easy);
        m_attached = false;
    }
    if (m_easy) {
        m_curl->easy_cleanup(m_easy);
        m_easy = nullptr;
    }
    if (m_url) {
        m_curl->url_cleanup(m_url);
        m_url = nullptr;
    }
    if (m_headerList) {
        m_curl->slist_free_all(m_headerList);
        m_headerList = nullptr;
    }
    if (m_multi) {
        m_curl->multi_cleanup(m_multi);
        m_multi = nullptr;
    }
}

TCurlHttpClient::TPump TCurlHttpClient::pump(Clock::time_point deadline)
{
    // Time spent by the caller with the previous piece is not the server's stall.
    if (!m_waiting) {
        m_lastActivity = Clock::now();
        m_waiting = true;
    }
    // Never opened, or libcurl is missing: there is nothing to drive.
    if (!m_multi || !m_easy) {
        if (!m_done)
            finish(CURLE_FAILED_INIT);
        return TPump::Ready;
    }
    if (m_paused && !m_done) {
        m_paused = false;
        // Hands over the bytes held back when the previous chunk was still unread.
        m_curl->easy_pause(m_easy, CURLPAUSE_CONT);
    }
    for (;;) {
        if (m_chunkPos < m_chunk.size() || m_done)
            return TPump::Ready;
        if (stopRequested()) {
            finish(CURLE_ABORTED_BY_CALLBACK);
            return TPump::GivenUp;
        }
        const Clock::time_point now = Clock::now();
        if (now - m_lastActivity > m_stallTimeout) {
            finish(CURLE_OPERATION_TIMEDOUT);
            return TPump::GivenUp;
        }
        int running = 0;
        if (m_curl->multi_perform(m_multi, &running) != CURLM_OK) {
            finish(CURLE_RECV_ERROR);
            return TPump::GivenUp;
        }
        int queued = 0;
        while (CURLMsg* message = m_curl->multi_info_read(m_multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy)
                finish(message->data.result);
        }
        if (m_chunkPos < m_chunk.size() || m_done)
            return TPump::Ready;
        if (now >= deadline)
            return TPump::Waiting;
        auto slice = std::chrono::milliseconds(PollSliceMs);
        if (deadline - now < slice)
            slice = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                    std::chrono::milliseconds(1);
        m_curl->multi_poll(m_multi, nullptr, 0, static_cast<int>(slice.count()), nullptr);
    }
}

void TCurlHttpClient::finish(int result)
{
    m_done = true;
    m_result = result;
    if (m_attached) {
        m_curl->multi_remove_handle(m_multi, m_easy);
        m_attached = false;
    }
}

size_t TCurlHttpClient::onHeader(char* data, size_t size, size_t count, void* self)
{
    auto* client = static_cast<TCurlHttpClient*>(self);
    const size_t length = size * count;
    const QByteArray line = QByteArray::fromRawData(data, static_cast<qsizetype>(length));
    client->m_lastActivity = Clock::now();
    // Every response (redirects and authentication challenges included) starts with a status
    // line; only the headers after the last one describe the body that is delivered.
    if (line.startsWith("HTTP/")) {
        client->m_gotStatus = true;
        client->m_refusedCoding = false;
        client->m_hasLength = false;
        client->m_lengthText.clear();
        client->m_headerLines.clear();
        // "HTTP/1.1 304 Not Modified": the three digits after the first blank.
        const qsizetype blank = line.indexOf(' ');
        client->m_status = blank > 0 ? line.mid(blank + 1, 3).toInt() : 0;
        return length;
    }
    // Kept for queryHeader; a response has a dozen lines or so, and no more than 100 are kept.
    if (client->m_headerLines.size() < 100)
        client->m_headerLines.append(QByteArray(data, static_cast<qsizetype>(length)).trimmed());
    if (line.size() > 15 && qstrnicmp(line.constData(), "Content-Length:", 15) == 0) {
        client->m_hasLength = true;
        client->m_lengthText = line.mid(15).trimmed();
    } else if (line.size() > 18 && qstrnicmp(line.constData(), "Transfer-Encoding:", 18) == 0) {
        // libcurl inflates gzip and deflate transfer codings on its own, so a small hostile
        // response could grow a thousandfold on its way to the file. Only chunked is taken;
        // anything else ends the transfer here, before a byte of the body is decoded.
        for (const QByteArray& coding : line.mid(18).split(',')) {
            const QByteArray name = coding.trimmed().toLower();
            if (!name.isEmpty() && name != "chunked") {
                client->m_refusedCoding = true;
                return 0;
            }
        }
    }
    return length;
}

size_t TCurlHttpClient::onBody(char* data, size_t size, size_t count, void* self)
{
    auto* client = static_cast<TCurlHttpClient*>(self);
    if (client->m_chunkPos < client->m_chunk.size()) {
        client->m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    const size_t length = size * count;
    client->m_chunk.resize(static_cast<qsizetype>(length));
    std::memcpy(client->m_chunk.data(), data, length);
    client->m_chunkPos = 0;
    client->m_lastActivity = Clock::now();
    return length;
}
