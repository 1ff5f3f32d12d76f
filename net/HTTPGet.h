// net/HTTPGet.h  (module HTTPGet)
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class THTTPGetThread;

class THTTPGet : public QObject
{
    Q_OBJECT
public:
    explicit THTTPGet(QObject* parent = nullptr);
    ~THTTPGet() override; // stops a running download; nothing is delivered afterwards

    // Published properties (plain members, read on StartDownload as a snapshot).
    QString AcceptTypes = QStringLiteral("*/*");
    QString Agent = QStringLiteral("Tessmark HTTPGet");
    bool BinaryData = false;
    QString URL;
    bool UseCache = false;
    QString FileName;
    QString UserName;
    QString Password;
    QString PostQuery;
    QString Referer;
    bool WaitThread = false;

    // Events, always run on the thread that owns the component (the UI thread).
    std::function<void(QObject* Sender, qint32 TotalSize, qint32 Readed)> OnProgress;
    std::function<void(QObject* Sender, const QString& FileName, qint32 FileSize)> OnDoneFile;
    std::function<void(QObject* Sender, const QByteArray& Result)> OnDoneString;
    std::function<void(QObject* Sender)> OnError;

    void StartDownload();
    void StopDownload();
    bool Busy() const; // a worker is attached

private:
    THTTPGetThread* FThread = nullptr;
};
