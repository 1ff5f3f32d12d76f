#pragma once

#include "platform/TRegNames.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// One value: its name as created (empty for the default value), type number and raw bytes.
struct TRegValue
{
    QString Name;
    quint32 Type = 0;
    QByteArray Data;
};

// An open registry key, like a key handle. Key paths use "\" between names; names compare
// without regard to letter case and keep the case they were created with. Text values are
// stored as UTF-8 with a terminating NUL, as the registry stores its 8-bit strings.
// All functions run on the user-interface thread; failures come back as false / nullopt.
class TRegKey
{
public:
    TRegKey() = default;

    // Opens an existing key; the result is closed when it does not exist.
    static TRegKey open(TRegRoot root, const QString& path);
    // Opens a key, creating it and any missing parents; closed when the store cannot be written.
    static TRegKey create(TRegRoot root, const QString& path);
    static bool exists(TRegRoot root, const QString& path);
    // Deletes the key with its whole subtree. False when it did not exist or the store failed.
    static bool deleteTree(TRegRoot root, const QString& path);

    bool isOpen() const { return m_id != 0; }
    void close();
    TRegRoot root() const { return m_root; }
    // The key's path from the root, with the case of the stored names.
    QString path() const;

    std::optional<TRegValue> queryValue(const QString& name) const;
    bool hasValue(const QString& name) const;
    // REG_SZ or REG_EXPAND_SZ, up to the first NUL; nullopt for a missing value or another type.
    std::optional<QString> readString(const QString& name) const;
    // REG_DWORD whose data fits in 4 bytes (little-endian); nullopt otherwise.
    std::optional<qint32> readDword(const QString& name) const;

    bool setValue(const QString& name, quint32 type, const QByteArray& data);
    bool writeString(const QString& name, const QString& text);
    bool writeDword(const QString& name, qint32 value);
    // False when the value did not exist.
    bool deleteValue(const QString& name);

    // Sub-key names in the registry's order: by name upper-cased, compared byte by byte.
    QStringList subKeyNames() const;
    int subKeyCount() const;
    QVector<TRegValue> values() const;
    QStringList valueNames() const;

private:
    TRegKey(TRegRoot root, qint64 id) : m_root(root), m_id(id) {}

    TRegRoot m_root = TRegRoot::CurrentUser;
    qint64 m_id = 0;
};

// Groups writes to one root into a single atomic transaction (an import, say). Without
// commit() everything written since construction is rolled back.
class TRegTransaction
{
public:
    explicit TRegTransaction(TRegRoot root);
    ~TRegTransaction();
    TRegTransaction(const TRegTransaction&) = delete;
    TRegTransaction& operator=(const TRegTransaction&) = delete;

    bool isActive() const { return m_active; }
    bool commit();

private:
    TRegRoot m_root;
    bool m_active = false;
};
