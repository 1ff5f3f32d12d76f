#include "platform/TRegistryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>
#include <memory>

#include <sqlite3.h>

namespace {

// Version 1 folds names character by character (RegFoldName); version 0 stores, written before
// that, folded with full case mapping ("ß" as "SS") and are refolded by their first write.
constexpr int SchemaVersion = 1;

const char* const SchemaSql = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    UNIQUE(parent, fold));
CREATE TABLE vals(
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key, fold)) WITHOUT ROWID;
INSERT INTO keys(id, parent, name, fold) VALUES(1, NULL, '', '');
PRAGMA user_version = 1;
)sql";

// Copies both tables with every name folded again; the unique folds of the old scheme stay
// unique, as two names that fold alike now folded alike before.
const char* const RefoldSql = R"sql(
ALTER TABLE keys RENAME TO keys_v0;
ALTER TABLE vals RENAME TO vals_v0;
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    UNIQUE(parent, fold));
CREATE TABLE vals(
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key, fold)) WITHOUT ROWID;
INSERT INTO keys(id, parent, name, fold) SELECT id, parent, name, vrel_fold(name) FROM keys_v0;
INSERT INTO vals(key, name, fold, type, data) SELECT key, name, vrel_fold(name), type, data FROM vals_v0;
DROP TABLE keys_v0;
DROP TABLE vals_v0;
PRAGMA user_version = 1;
)sql";

void sqlFold(sqlite3_context* context, int, sqlite3_value** args)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const QByteArray folded = RegFoldName(QString::fromUtf8(text, sqlite3_value_bytes(args[0]))).toUtf8();
    sqlite3_result_text(context, folded.constData(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

void bindText(sqlite3_stmt* st, int index, const QByteArray& utf8)
{
    sqlite3_bind_text(st, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt* st, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(st, column));
}

// Resets a cached statement however the caller leaves, so no read transaction stays open.
class TStmt
{
public:
    explicit TStmt(sqlite3_stmt* st) : m_st(st) {}
    ~TStmt()
    {
        if (m_st) {
            sqlite3_reset(m_st);
            sqlite3_clear_bindings(m_st);
        }
    }
    TStmt(const TStmt&) = delete;
    TStmt& operator=(const TStmt&) = delete;
    explicit operator bool() const { return m_st != nullptr; }
    sqlite3_stmt* get() const { return m_st; }
    int step() { return sqlite3_step(m_st); }

private:
    sqlite3_stmt* m_st;
};

} // namespace

class TRegistryStore::TWriteScope
{
public:
    explicit TWriteScope(TRegistryStore& store) : m_store(store), m_ok(store.begin()) {}
    ~TWriteScope()
    {
        if (m_ok && !m_done)
            m_store.rollback();
    }
    TWriteScope(const TWriteScope&) = delete;
    TWriteScope& operator=(const TWriteScope&) = delete;
    bool ok() const { return m_ok; }
    bool commit()
    {
        m_done = true;
        return m_store.commit();
    }

private:
    TRegistryStore& m_store;
    bool m_ok;
    bool m_done = false;
};

TRegistryStore::TRegistryStore(TRegRoot root) : m_root(root) {}

TRegistryStore::~TRegistryStore()
{
    closeDb();
}

namespace {
std::unique_ptr<TRegistryStore>& slot(TRegRoot root)
{
    static std::unique_ptr<TRegistryStore> user;
    static std::unique_ptr<TRegistryStore> machine;
    return root == TRegRoot::CurrentUser ? user : machine;
}
} // namespace

TRegistryStore& TRegistryStore::of(TRegRoot root)
{
    auto& s = slot(root);
    if (!s)
        s.reset(new TRegistryStore(root));
    return *s;
}

void TRegistryStore::closeAll()
{
    slot(TRegRoot::CurrentUser).reset();
    slot(TRegRoot::LocalMachine).reset();
}

QString TRegistryStore::pathFor(TRegRoot root)
{
    const bool user = root == TRegRoot::CurrentUser;
    QString over = qEnvironmentVariable(user ? "VREL_USER_REGISTRY" : "VREL_MACHINE_REGISTRY");
    if (!over.isEmpty())
        return over;
    const auto location = user ? QStandardPaths::GenericConfigLocation : QStandardPaths::GenericDataLocation;
    return QStandardPaths::writableLocation(location) + "/vrel-web-camera/" +
           (user ? "user.db" : "machine.db");
}

QStringList TRegistryStore::splitPath(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

void TRegistryStore::report(const char* what) const
{
    std::fprintf(stderr, "registry: %s (%s): %s\n", what, qPrintable(pathFor(m_root)),
                 m_db ? sqlite3_errmsg(m_db) : "not open");
}

void TRegistryStore::giveUp(const QString& why)
{
    std::fprintf(stderr, "registry: %s %s; nothing is read from or saved to it\n",
                 qPrintable(pathFor(m_root)), qPrintable(why));
    m_failed = true;
    closeDb();
}

void TRegistryStore::closeDb()
{
    for (sqlite3_stmt* st : std::as_const(m_statements))
        sqlite3_finalize(st);
    m_statements.clear();
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
    m_writable = false;
    m_depth = 0;
    m_rollbackOnly = false;
    m_schemaCurrent = false;
    m_legacyFold = false;
}

bool TRegistryStore::ensureOpen(bool forWriting)
{
    if (m_failed)
        return false;
    if (m_db && (m_writable || !forWriting))
        return true;
    const QString path = pathFor(m_root);
    if (m_root == TRegRoot::LocalMachine &&
        QFileInfo(path).absoluteFilePath() == QFileInfo(pathFor(TRegRoot::CurrentUser)).absoluteFilePath()) {
        std::fprintf(stderr, "registry: both roots name %s; the machine root stays empty\n",
                     qPrintable(path));
        m_failed = true;
        return false;
    }
    if (QFileInfo(path).isDir()) {
        giveUp(QStringLiteral("is a folder, not a store"));
        return false;
    }
    if (!forWriting && !QFileInfo::exists(path))
        return false;
    closeDb();
    if (forWriting)
        QDir().mkpath(QFileInfo(path).absolutePath());
    return openFile(path, forWriting);
}

int TRegistryStore::connect(const QString& path, bool create)
{
    const QByteArray file = QFile::encodeName(path);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(file.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK && !create) {
        sqlite3_close(m_db);
        flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
        rc = sqlite3_open_v2(file.constData(), &m_db, flags, nullptr);
    }
    if (rc != SQLITE_OK)
        return rc;
    // SQLite quietly opens a file it may not write read-only; such a store can still be read.
    m_writable = (flags & SQLITE_OPEN_READONLY) == 0 && sqlite3_db_readonly(m_db, "main") == 0;
    // Another copy of the program may hold the write lock for a moment: wait, never fail.
    sqlite3_busy_timeout(m_db, 15000);
    sqlite3_create_function_v2(m_db, "vrel_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sqlFold,
                               nullptr, nullptr, nullptr);
    return readSchema();
}

int TRegistryStore::connectImmutable(const QString& path)
{
    // Without locks or a -shm file. Taken only when no -shm file could be found or made, so no
    // writer had the store open; what a writer changes later, this connection does not see.
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded() + "?immutable=1";
    const int rc = sqlite3_open_v2(uri.constData(), &m_db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    m_writable = false;
    return readSchema();
}

int TRegistryStore::readSchema()
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(m_db,
                                "SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                "name IN ('keys', 'vals')), (SELECT user_version FROM pragma_user_version)",
                                -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            const bool tables = sqlite3_column_int(st, 0) == 2;
            const int version = sqlite3_column_int(st, 1);
            m_schemaCurrent = tables && version >= SchemaVersion;
            m_legacyFold = tables && version < SchemaVersion;
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(st);
    return rc;
}

bool TRegistryStore::openFile(const QString& path, bool create)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        int rc = connect(path, create);
        const int primary = rc & 0xff;
        if (m_db && (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY)) {
            // A WAL store needs a -shm file beside it; in a folder we cannot write there is none
            // to be made, and SQLite refuses to read at all.
            sqlite3_close(m_db);
            m_db = nullptr;
            rc = connectImmutable(path);
        }
        if (rc == SQLITE_OK) {
            if (m_writable) {
                sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
                sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
            }
            return true;
        }
        if ((rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT) {
            closeDb();
            if (attempt == 0 && setAsideDamagedFile(path)) {
                create = true;
                continue;
            }
            return false;
        }
        if (!m_openReported)
            report("cannot open the store");
        // One line per store, however often the program asks again.
        m_openReported = true;
        closeDb();
        return false;
    }
    return false;
}

bool TRegistryStore::setAsideDamagedFile(const QString& path)
{
    const QString aside =
        path + ".damaged-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path, aside)) {
        giveUp(QStringLiteral("is not a readable store and cannot be moved aside"));
        return false;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        if (QFileInfo::exists(path + suffix))
            QFile::rename(path + suffix, aside + suffix);
    }
    std::fprintf(stderr, "registry: %s is not a readable store; kept it as %s and started a fresh one\n",
                 qPrintable(path), qPrintable(aside));
    return true;
}

QByteArray TRegistryStore::fold(const QString& name) const
{
    // An old store keeps its old folding until its first write refolds it.
    return (m_legacyFold ? name.toUpper() : RegFoldName(name)).toUtf8();
}

sqlite3_stmt* TRegistryStore::statement(const char* sql)
{
    if (!m_db)
        return nullptr;
    auto it = m_statements.constFind(sql);
    if (it != m_statements.constEnd())
        return *it;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
        return nullptr;
    m_statements.insert(sql, st);
    return st;
}

bool TRegistryStore::exec(const char* sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void TRegistryStore::endTransaction()
{
    if (!sqlite3_get_autocommit(m_db))
        exec("ROLLBACK");
    // A rolled-back write may have created or refolded the tables; ask the file again.
    readSchema();
}

TRegistryStore::TReadScope::TReadScope(TRegistryStore& store) : m_store(store)
{
    if (store.m_depth > 0 || store.m_reading || !store.ensureOpen(false))
        return;
    m_began = store.exec("BEGIN");
    store.m_reading = m_began;
}

TRegistryStore::TReadScope::~TReadScope()
{
    if (!m_began)
        return;
    m_store.exec("COMMIT");
    m_store.m_reading = false;
}

bool TRegistryStore::begin()
{
    if (m_depth > 0) {
        ++m_depth;
        return true;
    }
    if (!ensureOpen(true) || !m_writable)
        return false;
    if (!exec("BEGIN IMMEDIATE")) {
        report("cannot start a write");
        return false;
    }
    // Under the write lock: another copy may have made or refolded the tables meanwhile.
    if (readSchema() != SQLITE_OK || (!m_schemaCurrent && !upgradeSchema())) {
        report("cannot prepare the store");
        endTransaction();
        return false;
    }
    m_depth = 1;
    m_rollbackOnly = false;
    return true;
}

bool TRegistryStore::upgradeSchema()
{
    if (!exec(m_legacyFold ? RefoldSql : SchemaSql))
        return false;
    m_schemaCurrent = true;
    m_legacyFold = false;
    return true;
}

bool TRegistryStore::commit()
{
    if (m_depth == 0)
        return false;
    if (--m_depth > 0)
        return !m_rollbackOnly;
    if (m_rollbackOnly) {
        endTransaction();
        return false;
    }
    if (!exec("COMMIT")) {
        report("cannot commit a write");
        endTransaction();
        return false;
    }
    return true;
}

void TRegistryStore::rollback()
{
    if (m_depth == 0)
        return;
    if (--m_depth > 0) {
        m_rollbackOnly = true;
        return;
    }
    endTransaction();
}

qint64 TRegistryStore::findChild(qint64 parent, const QString& name)
{
    if (!ensureOpen(false))
        return 0;
    TStmt st(statement("SELECT id FROM keys WHERE parent = ?1 AND fold = ?2"));
    if (!st)
        return 0;
    sqlite3_bind_int64(st.get(), 1, parent);
    bindText(st.get(), 2, fold(name));
    return st.step() == SQLITE_ROW ? sqlite3_column_int64(st.get(), 0) : 0;
}

qint64 TRegistryStore::createChild(qint64 parent, const QString& name)
{
    if (name.isEmpty())
        return 0;
    if (const qint64 id = findChild(parent, name))
        return id;
    TWriteScope scope(*this);
    if (!scope.ok() || !keyExists(parent))
        return 0;
    TStmt st(statement("INSERT INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)"));
    if (!st)
        return 0;
    sqlite3_bind_int64(st.get(), 1, parent);
    bindText(st.get(), 2, name.toUtf8());
    bindText(st.get(), 3, fold(name));
    if (st.step() != SQLITE_DONE)
        return 0;
    const qint64 id = sqlite3_last_insert_rowid(m_db);
    return scope.commit() ? id : 0;
}

qint64 TRegistryStore::findKey(const QStringList& names)
{
    if (!ensureOpen(false))
        return 0;
    qint64 id = RootKey;
    for (const QString& name : names) {
        id = findChild(id, name);
        if (id == 0)
            return 0;
    }
    return keyExists(id) ? id : 0;
}

qint64 TRegistryStore::createKey(const QStringList& names)
{
    TWriteScope scope(*this);
    if (!scope.ok())
        return 0;
    qint64 id = RootKey;
    for (const QString& name : names) {
        id = createChild(id, name);
        if (id == 0)
            return 0;
    }
    return scope.commit() ? id : 0;
}

bool TRegistryStore::keyExists(qint64 id)
{
    if (id == 0 || !ensureOpen(false))
        return false;
    TStmt st(statement("SELECT 1 FROM keys WHERE id = ?1"));
    if (!st)
        return false;
    sqlite3_bind_int64(st.get(), 1, id);
    return st.step() == SQLITE_ROW;
}

QString TRegistryStore::keyPath(qint64 id)
{
    QStringList names;
    if (!ensureOpen(false))
        return {};
    while (id != RootKey && id != 0) {
        TStmt st(statement("SELECT parent, name FROM keys WHERE id = ?1"));
        if (!st)
            return {};
        sqlite3_bind_int64(st.get(), 1, id);
        if (st.step() != SQLITE_ROW)
            return {};
        names.prepend(columnText(st.get(), 1));
        id = sqlite3_column_int64(st.get(), 0);
    }
    return names.join(QLatin1Char('\\'));
}

bool TRegistryStore::deleteSubtree(qint64 id)
{
    if (id == RootKey || !keyExists(id))
        return false;
    TWriteScope scope(*this);
    if (!scope.ok())
        return false;
    for (const char* sql : {"WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN "
                            "sub ON keys.parent = sub.id) "
                            "DELETE FROM vals WHERE key IN (SELECT id FROM sub)",
                            "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN "
                            "sub ON keys.parent = sub.id) "
                            "DELETE FROM keys WHERE id IN (SELECT id FROM sub)"}) {
        TStmt st(statement(sql));
        if (!st)
            return false;
        sqlite3_bind_int64(st.get(), 1, id);
        if (st.step() != SQLITE_DONE)
            return false;
    }
    return scope.commit();
}

std::optional<TRegValue> TRegistryStore::value(qint64 key, const QString& name)
{
    if (!ensureOpen(false))
        return std::nullopt;
    TStmt st(statement("SELECT name, type, data FROM vals WHERE key = ?1 AND fold = ?2"));
    if (!st)
        return std::nullopt;
    sqlite3_bind_int64(st.get(), 1, key);
    bindText(st.get(), 2, fold(name));
    if (st.step() != SQLITE_ROW)
        return std::nullopt;
    TRegValue v;
    v.Name = columnText(st.get(), 0);
    v.Type = static_cast<quint32>(sqlite3_column_int64(st.get(), 1));
    v.Data = QByteArray(static_cast<const char*>(sqlite3_column_blob(st.get(), 2)),
                        sqlite3_column_bytes(st.get(), 2));
    return v;
}

bool TRegistryStore::setValue(qint64 key, const QString& name, quint32 type, const QByteArray& data)
{
    TWriteScope scope(*this);
    if (!scope.ok() || !keyExists(key))
        return false;
    // A value written again under another letter case keeps the name it was created with.
    TStmt st(statement("INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                       "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data"));
    if (!st)
        return false;
    sqlite3_bind_int64(st.get(), 1, key);
    bindText(st.get(), 2, name.toUtf8());
    bindText(st.get(), 3, fold(name));
    sqlite3_bind_int64(st.get(), 4, type);
    sqlite3_bind_blob(st.get(), 5, data.constData(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    if (st.step() != SQLITE_DONE)
        return false;
    return scope.commit();
}

bool TRegistryStore::deleteValue(qint64 key, const QString& name)
{
    if (!value(key, name))
        return false;
    TWriteScope scope(*this);
    if (!scope.ok())
        return false;
    TStmt st(statement("DELETE FROM vals WHERE key = ?1 AND fold = ?2"));
    if (!st)
        return false;
    sqlite3_bind_int64(st.get(), 1, key);
    bindText(st.get(), 2, fold(name));
    if (st.step() != SQLITE_DONE)
        return false;
    return scope.commit();
}

QStringList TRegistryStore::childNames(qint64 key)
{
    QStringList names;
    if (!ensureOpen(false))
        return names;
    TStmt st(statement("SELECT name FROM keys WHERE parent = ?1 ORDER BY fold"));
    if (!st)
        return names;
    sqlite3_bind_int64(st.get(), 1, key);
    while (st.step() == SQLITE_ROW)
        names.append(columnText(st.get(), 0));
    return names;
}

QVector<TRegistryStore::TChild> TRegistryStore::childrenWithValues(qint64 key, const QString& valueA,
                                                                   const QString& valueB)
{
    QVector<TChild> children;
    if (!ensureOpen(false))
        return children;
    TStmt st(statement("SELECT k.id, k.name, "
                       "EXISTS(SELECT 1 FROM vals v WHERE v.key = k.id AND v.fold = ?2), "
                       "EXISTS(SELECT 1 FROM vals v WHERE v.key = k.id AND v.fold = ?3) "
                       "FROM keys k WHERE k.parent = ?1 ORDER BY k.fold"));
    if (!st)
        return children;
    sqlite3_bind_int64(st.get(), 1, key);
    const QByteArray a = fold(valueA);
    const QByteArray b = fold(valueB);
    bindText(st.get(), 2, a);
    bindText(st.get(), 3, b);
    while (st.step() == SQLITE_ROW) {
        TChild child;
        child.Id = sqlite3_column_int64(st.get(), 0);
        child.Name = columnText(st.get(), 1);
        child.HasA = sqlite3_column_int(st.get(), 2) != 0;
        child.HasB = sqlite3_column_int(st.get(), 3) != 0;
        children.append(child);
    }
    return children;
}

int TRegistryStore::childCount(qint64 key)
{
    if (!ensureOpen(false))
        return 0;
    TStmt st(statement("SELECT count(*) FROM keys WHERE parent = ?1"));
    if (!st)
        return 0;
    sqlite3_bind_int64(st.get(), 1, key);
    return st.step() == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
}

QVector<TRegValue> TRegistryStore::values(qint64 key)
{
    QVector<TRegValue> result;
    if (!ensureOpen(false))
        return result;
    TStmt st(statement("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY fold"));
    if (!st)
        return result;
    sqlite3_bind_int64(st.get(), 1, key);
    while (st.step() == SQLITE_ROW) {
        TRegValue v;
        v.Name = columnText(st.get(), 0);
        v.Type = static_cast<quint32>(sqlite3_column_int64(st.get(), 1));
        v.Data = QByteArray(static_cast<const char*>(sqlite3_column_blob(st.get(), 2)),
                            sqlite3_column_bytes(st.get(), 2));
        result.append(v);
    }
    return result;
}
