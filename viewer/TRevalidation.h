#pragma once

#include <QByteArray>

// What a camera window knows of the picture it shows, so that the next request asks the camera
// whether the picture changed (If-None-Match, If-Modified-Since) instead of fetching it again,
// and so that a body identical to the shown one is not decoded again. UI thread only.
class TRevalidation
{
public:
    // The request lines for the next download (each ended by CRLF); empty when nothing is known
    // of the shown picture. Remembers whether the request asks conditionally.
    QByteArray NextRequestHeaders();
    // The request now running carried validators, and the picture they describe is still shown:
    // only then does "304 Not Modified" mean the picture may stay.
    bool AskedConditionally() const { return m_asked; }

    // The picture shown from now on came with these validators (empty: none) and these bytes.
    void Shown(const QByteArray& etag, const QByteArray& lastModified, const QByteArray& body);
    // Whether body is byte for byte the picture shown.
    bool SameAsShown(const QByteArray& body) const;
    // The camera confirmed the shown picture; validators it sent along replace the old ones.
    void Confirmed(const QByteArray& etag, const QByteArray& lastModified);
    // The placeholder is shown: nothing is known any more, and a running conditional request
    // no longer describes a shown picture.
    void Forget();

    QByteArray ETag() const { return m_etag; }
    QByteArray LastModified() const { return m_lastModified; }
    QByteArray Body() const { return m_body; }
    bool HasValidators() const { return !m_etag.isEmpty() || !m_lastModified.isEmpty(); }

    // A header value as a server may send it: printable, no line break, at most 1 KiB; anything
    // else is dropped (empty), so a stored or received value can never split a request line.
    static QByteArray Sanitized(const QByteArray& value);

private:
    QByteArray m_etag;
    QByteArray m_lastModified;
    // The shown picture's bytes (shared with the picture, which keeps them for saving); empty: no
    // picture. Comparing them costs less than hashing every body.
    QByteArray m_body;
    bool m_asked = false;
};
