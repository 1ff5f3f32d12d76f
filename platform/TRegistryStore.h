#pragma once

#include "platform/TRegistry.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// The SQLite file behind one registry root. Opened lazily: a root whose file does not exist
// reads as empty and is created by the first write. A store in a folder that cannot be
// written is read as it is; writes to it fail. Used from the user-interface thread only;
// several processes may share the file (WAL journal, waits instead of "database is locked").
class TRegistryStore
{
public:
    static TRegistryStore& of(TRegRoot root);
    // $VREL_USER_REGISTRY / $VREL_MACHINE_REGISTRY, else user.db in the XDG config folder and
    // machine.db in the XDG data folder, both under "vrel-web-camera".
    static QString pathFor(TRegRoot root);
    // Closes both roots so that the next use re-reads the environment (tests switch files).
    static void closeAll();

    ~TRegistryStore();
    TRegistryStore(const TRegistryStore&) = delete;
    TRegistryStore& operator=(const TRegistryStore&) = delete;

    static constexpr qint64 RootKey = 1;

    // Key ids; 0 means "no such key" or "store not available".
    qint64 findKey(const QStringList& names);
    qint64 createKey(const QStringList& names);
    qint64 findChild(qint64 parent, const QString& name);
    qint64 createChild(qint64 parent, const QString& name);
    bool keyExists(qint64 id);
    QString keyPath(qint64 id);
    bool deleteSubtree(qint64 id);

    std::optional<TRegValue> value(qint64 key, const QString& name);
    bool setValue(qint64 key, const QString& name, quint32 type, const QByteArray& data);
    bool deleteValue(qint64 key, const QString& name);
    QStringList childNames(qint64 key);
    // The sub-keys in the order of childNames, each with whether it holds a value named valueA
    // and one named valueB: one query for a whole folder of a menu tree.
    struct TChild
    {
        qint64 Id = 0;
        QString Name;
        bool HasA = false;
        bool HasB = false;
    };
    QVector<TChild> childrenWithValues(qint64 key, const QString& valueA, const QString& valueB);
    int childCount(qint64 key);
    QVector<TRegValue> values(qint64 key);

    // Nested calls join the outermost transaction.
    bool begin();
    bool commit();
    void rollback();

    // While it lives, everything read sees one state of the file, and SQLite takes and drops its
    // shared lock once instead of for every statement (an export of a large tree reads thousands
    // of keys). Inside a write transaction it does nothing; no write may start inside it.
    class TReadScope
    {
    public:
        explicit TReadScope(TRegistryStore& store);
        ~TReadScope();
        TReadScope(const TReadScope&) = delete;
        TReadScope& operator=(const TReadScope&) = delete;

    private:
        TRegistryStore& m_store;
        bool m_began = false;
    };

    static QStringList splitPath(const QString& path);

private:
    explicit TRegistryStore(TRegRoot root);

    bool ensureOpen(bool forWriting);
    bool openFile(const QString& path, bool create);
    // Each leaves m_db set (maybe to a failed handle) and returns the first read's result.
    int connect(const QString& path, bool create);
    int connectImmutable(const QString& path);
    // Reads whether the tables exist and how they fold names; an SQLite result code.
    int readSchema();
    // Creates or refolds the tables; only inside a write transaction.
    bool upgradeSchema();
    // Rolls back whatever is open and re-reads the schema the file now has.
    void endTransaction();
    // False, with the store given up, when the file cannot be renamed.
    bool setAsideDamagedFile(const QString& path);
    // Says once what is wrong with the file and stops using it for this run.
    void giveUp(const QString& why);
    void closeDb();
    QByteArray fold(const QString& name) const;
    sqlite3_stmt* statement(const char* sql);
    bool exec(const char* sql);
    void report(const char* what) const;

    // A write outside any transaction gets one of its own.
    class TWriteScope;

    TRegRoot m_root;
    sqlite3* m_db = nullptr;
    bool m_writable = false;
    bool m_failed = false;
    bool m_openReported = false;
    bool m_schemaCurrent = false;
    bool m_legacyFold = false;
    int m_depth = 0;
    bool m_rollbackOnly = false;
    bool m_reading = false;
    QHash<const char*, sqlite3_stmt*> m_statements;
};
