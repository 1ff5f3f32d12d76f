#include "platform/TRegImport.h"

#include "platform/TRegistryStore.h"

#include <QFile>
#include <QFileInfo>

#include <array>

namespace {

int rootIndex(TRegRoot root)
{
    return root == TRegRoot::CurrentUser ? 0 : 1;
}

// Applies what TRegParser reads to the two stores, one transaction per root.
class TRegStoreWriter
{
public:
    TRegImportResult run(const QByteArray& content, const TRegImportOptions& options);

private:
    void skip(int line, const QString& reason);
    void fail(const QString& error);
    bool beginRoot(TRegRoot root);
    void finish();

    void apply(const TRegRecord& record);
    void openKey(const TRegRecord& record);
    void deleteKey(const TRegRecord& record);
    void writeValue(const TRegRecord& record);
    // The key's id; 0 when the store failed, -1 when the import has reached TRegLimits::ImportKeys.
    qint64 createKey(const TRegKeyPath& path);

    // The key that value records write to. The parser skips values without a key line; a key
    // line it read but the import refused (too many keys) closes the key here.
    bool m_keyOpen = false;
    TRegRoot m_keyRoot = TRegRoot::CurrentUser;
    qint64 m_keyId = 0;
    QString m_noKeyReason;

    // The last key created, level by level: a catalog names each parent again and again.
    bool m_haveLast = false;
    TRegRoot m_lastRoot = TRegRoot::CurrentUser;
    QStringList m_lastFolded;
    QVector<qint64> m_lastIds;
    qint64 m_keySteps = 0;

    std::array<bool, 2> m_begun{};
    TRegImportResult m_result;
};

void TRegStoreWriter::skip(int line, const QString& reason)
{
    ++m_result.SkippedCount;
    if (m_result.Skipped.size() < TRegLimits::ReportedSkips)
        m_result.Skipped.append({line, reason});
}

void TRegStoreWriter::fail(const QString& error)
{
    if (m_result.Error.isEmpty())
        m_result.Error = error;
}

bool TRegStoreWriter::beginRoot(TRegRoot root)
{
    bool& begun = m_begun[rootIndex(root)];
    if (begun)
        return true;
    if (!TRegistryStore::of(root).begin()) {
        fail(QStringLiteral("cannot write %1 (store %2)")
                 .arg(regRootName(root), TRegistryStore::pathFor(root)));
        return false;
    }
    begun = true;
    return true;
}

void TRegStoreWriter::finish()
{
    const std::array<TRegRoot, 2> roots{TRegRoot::CurrentUser, TRegRoot::LocalMachine};
    for (TRegRoot root : roots) {
        bool& begun = m_begun[rootIndex(root)];
        if (!begun)
            continue;
        begun = false;
        if (!m_result.Error.isEmpty()) {
            TRegistryStore::of(root).rollback();
        } else if (!TRegistryStore::of(root).commit()) {
            fail(QStringLiteral("cannot save the changes to %1 (store %2)")
                     .arg(regRootName(root), TRegistryStore::pathFor(root)));
        }
    }
    m_result.Ok = m_result.Error.isEmpty();
    if (!m_result.Ok) {
        m_result.KeysWritten = 0;
        m_result.KeysDeleted = 0;
        m_result.ValuesWritten = 0;
        m_result.ValuesDeleted = 0;
    }
}

TRegImportResult TRegStoreWriter::run(const QByteArray& content, const TRegImportOptions& options)
{
    std::optional<TRegKeyPath> only;
    if (!options.OnlyKey.isEmpty()) {
        TRegKeyPath path;
        const QString why = RegParseKeyPath(options.OnlyKey, &path);
        if (!why.isEmpty()) {
            m_result.Error = QStringLiteral("the key to import into is not valid: %1").arg(why);
            return m_result;
        }
        only = path;
    }

    TRegParser parser(content, only);
    if (!parser.error().isEmpty()) {
        m_result.Error = parser.error();
        return m_result;
    }
    TRegRecord record;
    TRegSkippedLine skipped;
    while (m_result.Error.isEmpty()) {
        const TRegParser::TStep step = parser.next(&record, &skipped);
        if (step == TRegParser::TStep::End)
            break;
        if (step == TRegParser::TStep::Skipped)
            skip(skipped.Line, skipped.Reason);
        else
            apply(record);
    }
    finish();
    return m_result;
}

void TRegStoreWriter::apply(const TRegRecord& record)
{
    switch (record.Kind) {
    case TRegRecord::TKind::Key:
        openKey(record);
        return;
    case TRegRecord::TKind::DeleteKey:
        deleteKey(record);
        return;
    case TRegRecord::TKind::Value:
    case TRegRecord::TKind::DeleteValue:
        writeValue(record);
        return;
    }
}

void TRegStoreWriter::deleteKey(const TRegRecord& record)
{
    m_keyOpen = false;
    const TRegKeyPath& path = record.Path;
    if (!beginRoot(path.Root))
        return;
    auto& store = TRegistryStore::of(path.Root);
    if (const qint64 id = store.findKey(path.Names)) {
        if (!store.deleteSubtree(id)) {
            fail(QStringLiteral("cannot delete %1").arg(RegShownText(path.text())));
            return;
        }
        ++m_result.KeysDeleted;
        m_haveLast = false;
    }
}

void TRegStoreWriter::openKey(const TRegRecord& record)
{
    m_keyOpen = false;
    m_noKeyReason = QStringLiteral("its key on line %1 was skipped").arg(record.Line);
    const TRegKeyPath& path = record.Path;
    if (!beginRoot(path.Root))
        return;
    const qint64 id = createKey(path);
    if (id < 0) {
        skip(record.Line, QStringLiteral("more than %1 keys in one import").arg(TRegLimits::ImportKeys));
        return;
    }
    if (id == 0) {
        fail(QStringLiteral("cannot create %1 (store %2)")
                 .arg(RegShownText(path.text()), TRegistryStore::pathFor(path.Root)));
        return;
    }
    m_keyOpen = true;
    m_keyRoot = path.Root;
    m_keyId = id;
    ++m_result.KeysWritten;
}

qint64 TRegStoreWriter::createKey(const TRegKeyPath& path)
{
    auto& store = TRegistryStore::of(path.Root);
    if (!m_haveLast || m_lastRoot != path.Root) {
        m_lastFolded.clear();
        m_lastIds.clear();
        m_lastRoot = path.Root;
        m_haveLast = true;
    }
    qsizetype common = 0;
    while (common < path.Names.size() && common < m_lastFolded.size() &&
           m_lastFolded[common] == RegFoldName(path.Names[common]))
        ++common;
    if (m_keySteps + (path.Names.size() - common) > TRegLimits::ImportKeys)
        return -1;
    m_keySteps += path.Names.size() - common;
    m_lastFolded.resize(common);
    m_lastIds.resize(common);
    qint64 id = common > 0 ? m_lastIds.last() : TRegistryStore::RootKey;
    for (qsizetype i = common; i < path.Names.size(); ++i) {
        id = store.createChild(id, path.Names[i]);
        if (id == 0) {
            m_haveLast = false;
            return 0;
        }
        m_lastFolded.append(RegFoldName(path.Names[i]));
        m_lastIds.append(id);
    }
    return id;
}

void TRegStoreWriter::writeValue(const TRegRecord& record)
{
    if (!m_keyOpen) {
        skip(record.Line, m_noKeyReason);
        return;
    }
    auto& store = TRegistryStore::of(m_keyRoot);
    if (record.Kind == TRegRecord::TKind::DeleteValue) {
        if (store.deleteValue(m_keyId, record.Name))
            ++m_result.ValuesDeleted;
        return;
    }
    if (!store.setValue(m_keyId, record.Name, record.Type, record.Data)) {
        fail(QStringLiteral("cannot write a value (store %1)").arg(TRegistryStore::pathFor(m_keyRoot)));
        return;
    }
    ++m_result.ValuesWritten;
}

} // namespace

TRegImportResult RegImportBytes(const QByteArray& content, const TRegImportOptions& options)
{
    TRegStoreWriter writer;
    return writer.run(content, options);
}

TRegImportResult RegImportFile(const QString& path, const TRegImportOptions& options)
{
    TRegImportResult result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.Error = QStringLiteral("no such file: %1").arg(path);
        return result;
    }
    // A device or a pipe could feed an endless stream.
    if (!info.isFile()) {
        result.Error = QStringLiteral("not a regular file: %1").arg(path);
        return result;
    }
    const QString tooLarge =
        QStringLiteral("file larger than %1 MiB: %2").arg(TRegLimits::FileBytes / TRegLimits::MiB).arg(path);
    if (info.size() > TRegLimits::FileBytes) {
        result.Error = tooLarge;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.Error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return result;
    }
    const QByteArray content = file.read(TRegLimits::FileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.Error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return result;
    }
    if (content.size() > TRegLimits::FileBytes) {
        result.Error = tooLarge;
        return result;
    }
    return RegImportBytes(content, options);
}
