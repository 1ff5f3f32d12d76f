#include "platform/TRegistry.h"

#include "platform/TRegistryStore.h"

#include <QtEndian>

TRegKey TRegKey::open(TRegRoot root, const QString& path)
{
    return TRegKey(root, TRegistryStore::of(root).findKey(TRegistryStore::splitPath(path)));
}

TRegKey TRegKey::create(TRegRoot root, const QString& path)
{
    return TRegKey(root, TRegistryStore::of(root).createKey(TRegistryStore::splitPath(path)));
}

bool TRegKey::exists(TRegRoot root, const QString& path)
{
    return open(root, path).isOpen();
}

bool TRegKey::deleteTree(TRegRoot root, const QString& path)
{
    auto& store = TRegistryStore::of(root);
    return store.deleteSubtree(store.findKey(TRegistryStore::splitPath(path)));
}

void TRegKey::close()
{
    m_id = 0;
}

QString TRegKey::path() const
{
    return isOpen() ? TRegistryStore::of(m_root).keyPath(m_id) : QString();
}

std::optional<TRegValue> TRegKey::queryValue(const QString& name) const
{
    if (!isOpen())
        return std::nullopt;
    return TRegistryStore::of(m_root).value(m_id, name);
}

bool TRegKey::hasValue(const QString& name) const
{
    return queryValue(name).has_value();
}

std::optional<QString> TRegKey::readString(const QString& name) const
{
    const auto v = queryValue(name);
    if (!v || (v->Type != TRegType::Sz && v->Type != TRegType::ExpandSz))
        return std::nullopt;
    const qsizetype nul = v->Data.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? v->Data : v->Data.left(nul));
}

std::optional<qint32> TRegKey::readDword(const QString& name) const
{
    const auto v = queryValue(name);
    if (!v || v->Type != TRegType::Dword || v->Data.size() > 4)
        return std::nullopt;
    QByteArray bytes = v->Data;
    bytes.resize(4, '\0');
    return qFromLittleEndian<qint32>(bytes.constData());
}

bool TRegKey::setValue(const QString& name, quint32 type, const QByteArray& data)
{
    return isOpen() && TRegistryStore::of(m_root).setValue(m_id, name, type, data);
}

bool TRegKey::writeString(const QString& name, const QString& text)
{
    QByteArray data = text.toUtf8();
    data.append('\0');
    return setValue(name, TRegType::Sz, data);
}

bool TRegKey::writeDword(const QString& name, qint32 value)
{
    QByteArray data(4, '\0');
    qToLittleEndian<qint32>(value, data.data());
    return setValue(name, TRegType::Dword, data);
}

bool TRegKey::deleteValue(const QString& name)
{
    return isOpen() && TRegistryStore::of(m_root).deleteValue(m_id, name);
}

QStringList TRegKey::subKeyNames() const
{
    return isOpen() ? TRegistryStore::of(m_root).childNames(m_id) : QStringList();
}

int TRegKey::subKeyCount() const
{
    return isOpen() ? TRegistryStore::of(m_root).childCount(m_id) : 0;
}

QVector<TRegValue> TRegKey::values() const
{
    return isOpen() ? TRegistryStore::of(m_root).values(m_id) : QVector<TRegValue>();
}

QStringList TRegKey::valueNames() const
{
    QStringList names;
    for (const auto& v : values())
        names.append(v.Name);
    return names;
}

TRegTransaction::TRegTransaction(TRegRoot root) : m_root(root), m_active(TRegistryStore::of(root).begin()) {}

TRegTransaction::~TRegTransaction()
{
    if (m_active)
        TRegistryStore::of(m_root).rollback();
}

bool TRegTransaction::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    return TRegistryStore::of(m_root).commit();
}
