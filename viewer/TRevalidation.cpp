#include "viewer/TRevalidation.h"

QByteArray TRevalidation::Sanitized(const QByteArray& value)
{
    const QByteArray trimmed = value.trimmed();
    if (trimmed.size() > 1024)
        return {};
    for (const char ch : trimmed) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7f)
            return {};
    }
    return trimmed;
}

QByteArray TRevalidation::NextRequestHeaders()
{
    m_asked = HasValidators();
    QByteArray lines;
    // Both when both are known: a server that weighs only one of them still finds it.
    if (!m_etag.isEmpty())
        lines += "If-None-Match: " + m_etag + "\r\n";
    if (!m_lastModified.isEmpty())
        lines += "If-Modified-Since: " + m_lastModified + "\r\n";
    return lines;
}

void TRevalidation::Shown(const QByteArray& etag, const QByteArray& lastModified, const QByteArray& body)
{
    m_etag = Sanitized(etag);
    m_lastModified = Sanitized(lastModified);
    m_body = body;
}

bool TRevalidation::SameAsShown(const QByteArray& body) const
{
    return !m_body.isEmpty() && body == m_body;
}

void TRevalidation::Confirmed(const QByteArray& etag, const QByteArray& lastModified)
{
    if (const QByteArray value = Sanitized(etag); !value.isEmpty())
        m_etag = value;
    if (const QByteArray value = Sanitized(lastModified); !value.isEmpty())
        m_lastModified = value;
}

void TRevalidation::Forget()
{
    m_etag.clear();
    m_lastModified.clear();
    m_body.clear();
    m_asked = false;
}
