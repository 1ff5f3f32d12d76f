#include "tests/support/TNginxServer.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>

#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Asks the kernel for a port that is free now; nginx binds it a moment later (a clash makes
// start() try again with another).
quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool accepts(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

} // namespace

TNginxServer::~TNginxServer()
{
    stop();
}

QString TNginxServer::program()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return found;
}

QString TNginxServer::url(const QString& path) const
{
    const QString slash = path.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return QStringLiteral("127.0.0.1:%1").arg(m_port) + slash + path;
}

bool TNginxServer::start(const TNginxOptions& options)
{
    stop();
    if (program().isEmpty()) {
        m_error = QStringLiteral("nginx is not installed");
        return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        const quint16 port = freePort();
        if (port != 0 && startOn(options, port))
            return true;
        stop();
    }
    return false;
}

bool TNginxServer::startOn(const TNginxOptions& options, quint16 port)
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    const QDir dir(m_dir->path());
    QByteArray authBlock;
    if (!options.BasicAuthLocation.isEmpty()) {
        // nginx reads "{PLAIN}" passwords as they are; good enough for a throw-away test server.
        if (!writeFile(dir.filePath("htpasswd"),
                       options.BasicAuthUser + ":{PLAIN}" + options.BasicAuthPassword + "\n")) {
            m_error = QStringLiteral("cannot write htpasswd");
            return false;
        }
        authBlock = "        location " + options.BasicAuthLocation.toUtf8() +
                    " {\n"
                    "            auth_basic \"vrel-test\";\n"
                    "            auth_basic_user_file " +
                    dir.filePath("htpasswd").toUtf8() +
                    ";\n"
                    "        }\n";
    }
    const bool tls = !options.CertificateFile.isEmpty();
    QByteArray listen = "        listen 127.0.0.1:" + QByteArray::number(port) + (tls ? " ssl" : "") + ";\n";
    if (tls) {
        listen += "        ssl_certificate " + options.CertificateFile.toUtf8() +
                  ";\n"
                  "        ssl_certificate_key " +
                  options.KeyFile.toUtf8() + ";\n";
    }
    const QByteArray temp = dir.path().toUtf8();
    const QByteArray config =
        "daemon off;\n"
        "master_process off;\n"
        "worker_processes 1;\n"
        "pid " +
        temp +
        "/nginx.pid;\n"
        "error_log " +
        temp +
        "/error.log warn;\n"
        "events { worker_connections 64; }\n"
        "http {\n"
        "    access_log off;\n"
        "    client_body_temp_path " +
        temp +
        "/body;\n"
        "    proxy_temp_path " +
        temp +
        "/proxy;\n"
        "    fastcgi_temp_path " +
        temp +
        "/fastcgi;\n"
        "    uwsgi_temp_path " +
        temp +
        "/uwsgi;\n"
        "    scgi_temp_path " +
        temp +
        "/scgi;\n"
        "    types { image/jpeg jpg jpeg; image/gif gif; image/png png; text/plain txt; text/html html; }\n"
        "    default_type application/octet-stream;\n"
        "    sendfile on;\n"
        "    server {\n" +
        listen +
        "        server_name localhost;\n"
        "        root " +
        QDir(options.DocumentRoot).absolutePath().toUtf8() + ";\n" + authBlock +
        "    }\n"
        "}\n";
    if (!writeFile(dir.filePath("nginx.conf"), config)) {
        m_error = QStringLiteral("cannot write nginx.conf");
        return false;
    }

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // A test that crashes must not leave nginx running: it goes down with its parent.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start(program(),
                     {QStringLiteral("-p"), dir.path(), QStringLiteral("-c"), dir.filePath("nginx.conf"),
                      QStringLiteral("-e"), dir.filePath("error.log")});
    if (!m_process->waitForStarted(5000)) {
        m_error = QStringLiteral("nginx did not start: ") + m_process->errorString();
        return false;
    }
    // Ready once the port accepts; a process that ended instead has said why in its log.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (accepts(port)) {
            m_port = port;
            return true;
        }
        if (m_process->waitForFinished(20)) {
            QFile log(dir.filePath("error.log"));
            m_error = QStringLiteral("nginx ended: ") + QString::fromUtf8(m_process->readAll());
            if (log.open(QIODevice::ReadOnly))
                m_error += QString::fromUtf8(log.readAll());
            return false;
        }
    }
    m_error = QStringLiteral("nginx did not listen in time");
    return false;
}

void TNginxServer::stop()
{
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(5000);
            }
        }
        m_process.reset();
    }
    m_dir.reset();
    m_port = 0;
}

bool TTestCertificate::generate(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    CertificateFile = dir.filePath(QStringLiteral("cert.pem"));
    KeyFile = dir.filePath(QStringLiteral("key.pem"));
    const bool address = !QHostAddress(name).isNull();
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=") + name, QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=") +
                       (address ? QStringLiteral("IP:") : QStringLiteral("DNS:")) + name,
                   QStringLiteral("-keyout"), KeyFile, QStringLiteral("-out"), CertificateFile});
    return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0 && QFile::exists(CertificateFile) && QFile::exists(KeyFile);
}
