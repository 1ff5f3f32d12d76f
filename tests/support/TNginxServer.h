#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

struct TNginxOptions
{
    // Files served at "/"; must exist.
    QString DocumentRoot;
    // Non-empty: serve HTTPS only, with these PEM files.
    QString CertificateFile;
    QString KeyFile;
    // Non-empty (such as "/private/"): that location asks for Basic authentication.
    QString BasicAuthLocation;
    QByteArray BasicAuthUser;
    QByteArray BasicAuthPassword;
};

// Debian's nginx as a test server: started in the foreground with a generated configuration in a
// temporary folder, on a free port of 127.0.0.1, and stopped by stop() or the destructor.
class TNginxServer
{
public:
    TNginxServer() = default;
    ~TNginxServer();
    TNginxServer(const TNginxServer&) = delete;
    TNginxServer& operator=(const TNginxServer&) = delete;

    // The nginx program, or empty when it is not installed.
    static QString program();

    // Starts nginx and waits until it accepts connections. False with errorText() on failure.
    bool start(const TNginxOptions& options);
    void stop();

    quint16 port() const { return m_port; }
    // "127.0.0.1:<port>" + path, without a scheme; a missing leading "/" is added.
    QString url(const QString& path) const;
    QString errorText() const { return m_error; }

private:
    bool startOn(const TNginxOptions& options, quint16 port);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};

// A self-signed certificate for 127.0.0.1 (or another name), made with the openssl tool.
struct TTestCertificate
{
    QString CertificateFile;
    QString KeyFile;

    // Writes cert.pem and key.pem into folder; subjectAltName is "IP:<name>" for an address,
    // else "DNS:<name>". False when openssl failed.
    bool generate(const QString& folder, const QString& name = QStringLiteral("127.0.0.1"));
};
