#pragma once

#include "net/THttpClient.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>

typedef void CURL;
typedef void CURLM;
struct curl_slist;
struct Curl_URL;
struct TCurlApi;

// THttpClient over libcurl's multi interface. The body is pulled from the socket one chunk at a
// time: libcurl's receive buffer is one chunk long and a transfer is paused while the chunk it
// delivered has not been read, so no more than about two chunks are ever held here. libcurl is
// reached through TCurlLibrary's table; without it every operation fails.
class TCurlHttpClient final : public THttpClient
{
public:
    // Loads libcurl and sets it up, once per process (TCurlLibrary::Shared); any thread, later
    // calls return at once. THTTPGet calls it when it is made, so libcurl is loaded with the first
    // download component and a missing libcurl is reported then; open() does it otherwise.
    static void globalInit();

    TCurlHttpClient();
    ~TCurlHttpClient() override;
    Q_DISABLE_COPY_MOVE(TCurlHttpClient)

    // A PEM file of certificates to trust instead of the system's store. Only tests set it, to
    // trust a certificate they generated; the program never does.
    void setCaFile(const QString& path) { m_caFile = path; }
    // A transfer that receives no byte for this long fails (milliseconds, default 60 s).
    void setStallTimeout(int ms) { m_stallTimeout = std::chrono::milliseconds(ms); }
    // Time allowed for the TCP and TLS connection (milliseconds, default 30 s).
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }

    void setStopFlag(const std::atomic<bool>* stop) override { m_stop = stop; }
    bool open(const QByteArray& agent) override;
    bool connect(const QByteArray& host, quint16 port, bool secure, const QByteArray& userName,
                 const QByteArray& password) override;
    bool openRequest(const QByteArray& verb, const QByteArray& path, const QByteArray& version,
                     const QByteArray& referer, const QByteArray& acceptTypes, bool reload) override;
    bool send(const QByteArray& headers, const QByteArray& body) override;
    bool queryContentLength(QByteArray& text) override;
    int statusCode() const override;
    QByteArray queryHeader(const QByteArray& name) const override;
    bool read(char* buffer, qint32 size, qint32& count) override;
    bool waitForBody(int ms) override;
    void close() override;

private:
    using Clock = std::chrono::steady_clock;

    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);

    enum class TPump
    {
        Ready,   // body data to hand out, or the transfer has ended
        Waiting, // the deadline came first
        GivenUp  // stopped or stalled
    };
    // Drives the transfer until there is body data to hand out, the transfer has ended, it must
    // be given up (stop, stall) or the deadline has passed.
    TPump pump(Clock::time_point deadline = Clock::time_point::max());
    void finish(int result);
    bool stopRequested() const;

    const TCurlApi* m_curl = nullptr; // set by open(); null: libcurl could not be loaded
    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    Curl_URL* m_url = nullptr;
    curl_slist* m_headerList = nullptr;
    bool m_attached = false;

    QByteArray m_agent;
    QByteArray m_host;
    quint16 m_port = 80;
    bool m_secure = false;
    QByteArray m_userName;
    QByteArray m_password;
    QByteArray m_body;
    QString m_caFile;
    std::chrono::milliseconds m_stallTimeout{60000};
    int m_connectTimeoutMs = 30000;
    const std::atomic<bool>* m_stop = nullptr;

    // Response state, reset by every status line so that only the final response counts.
    bool m_gotStatus = false;
    // The final response names a transfer coding other than chunked: it counts as no response.
    bool m_refusedCoding = false;
    bool m_hasLength = false;
    QByteArray m_lengthText;
    int m_status = 0;
    QList<QByteArray> m_headerLines;

    QByteArray m_chunk;
    qsizetype m_chunkPos = 0;
    bool m_paused = false;
    bool m_done = false;
    int m_result = 0;
    Clock::time_point m_lastActivity;
    // Since the last piece was handed out the stall clock runs, across waits that timed out.
    bool m_waiting = false;
};
