#pragma once

#include "platform/TRegistryStore.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>

// A private temporary folder for the stores of one test program: VREL_USER_REGISTRY,
// VREL_MACHINE_REGISTRY and XDG_CONFIG_HOME point into it (user.db, machine.db, config/).
// Reset() empties it between tests. On destruction the stores are closed and every variable it
// set gets its earlier value back (or is unset again), so a failing test leaves nothing behind.
class TStoreSandbox
{
public:
    TStoreSandbox() { Reset(); }
    ~TStoreSandbox()
    {
        TRegistryStore::closeAll();
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
            if (it->WasSet)
                qputenv(it->Name.constData(), it->Value);
            else
                qunsetenv(it->Name.constData());
        }
    }
    Q_DISABLE_COPY_MOVE(TStoreSandbox)

    // Closes the stores, empties the folder and points the three variables at it again.
    // False when there is no temporary folder.
    bool Reset()
    {
        TRegistryStore::closeAll();
        if (!m_dir.isValid())
            return false;
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        Set("VREL_USER_REGISTRY", filePath(QStringLiteral("user.db")).toUtf8());
        Set("VREL_MACHINE_REGISTRY", filePath(QStringLiteral("machine.db")).toUtf8());
        Set("XDG_CONFIG_HOME", filePath(QStringLiteral("config")).toUtf8());
        return true;
    }

    // Sets a variable until the sandbox goes (such as VREL_WEB_HOST).
    void Set(const char* name, const QByteArray& value)
    {
        const bool known =
            std::any_of(m_saved.cbegin(), m_saved.cend(), [name](const TSaved& s) { return s.Name == name; });
        if (!known)
            m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv(name, value);
    }

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    struct TSaved
    {
        QByteArray Name;
        bool WasSet = false;
        QByteArray Value;
    };
    QTemporaryDir m_dir;
    QList<TSaved> m_saved;
};
