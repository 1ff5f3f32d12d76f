#include "catalog/TRegistryMenuTree.h"

#include "platform/TRegistryStore.h"

namespace {
const QString Backslash = QStringLiteral("\\");
}

TRegistryMenuTree::TRegistryMenuTree(TRegRoot root, const QString& base) : m_root(root), m_base(base) {}

QString TRegistryMenuTree::CollapseBackslashes(QString s)
{
    const QString pair = QStringLiteral("\\\\");
    for (int at = s.indexOf(pair); at >= 0; at = s.indexOf(pair, at))
        s.remove(at, 1);
    return s;
}

qint64 TRegistryMenuTree::OpenKey(const QString& keyPath)
{
    // The store ignores empty segments, so a trailing backslash names the same key.
    return TRegistryStore::of(m_root).findKey(TRegistryStore::splitPath(keyPath));
}

bool TRegistryMenuTree::KeyValueExists(const QString& keyPath, const QString& name)
{
    return HasValue(OpenKey(keyPath), name);
}

std::vector<TRegistryMenuNode> TRegistryMenuTree::Build()
{
    // Nothing is kept between builds: the store may have changed since the last one.
    std::vector<TRegistryMenuNode> items;
    AddKeyItems(items, QString());
    return items;
}

void TRegistryMenuTree::AddKeyItems(std::vector<TRegistryMenuNode>& parent, const QString& folderPath)
{
    const qint64 key = OpenKey(CollapseBackslashes(m_base + Backslash + folderPath));
    if (key != 0)
        AddKeyItems(parent, key);
}

// The key path of every sub-key is base + "\\" + folder path + "\\" + name, so the sub-keys and
// their "URL" and "Opened" values are read from the folder's key at once: one query per folder.
void TRegistryMenuTree::AddKeyItems(std::vector<TRegistryMenuNode>& parent, qint64 folderKey)
{
    const QVector<TRegistryStore::TChild> children = TRegistryStore::of(m_root).childrenWithValues(
        folderKey, QStringLiteral("URL"), QStringLiteral("Opened"));
    parent.reserve(parent.size() + static_cast<size_t>(children.size()));
    for (const TRegistryStore::TChild& child : children) {
        if (child.HasA) {
            NewKeyItem(parent, child.Name, true, child.HasB);
            continue;
        }
        TRegistryMenuNode& folder = NewKeyItem(parent, child.Name, false, child.HasB);
        AddKeyItems(folder.Children, child.Id);
        if (!folder.Children.empty()) {
            folder.ImageIndex = NoImage;
            for (const TRegistryMenuNode& item : folder.Children) {
                if (item.ImageIndex >= 0) {
                    folder.ImageIndex = item.ImageIndex;
                    break;
                }
            }
        }
    }
}

bool TRegistryMenuTree::HasValue(qint64 key, const QString& name)
{
    return key != 0 && TRegistryStore::of(m_root).value(key, name).has_value();
}

TRegistryMenuNode& TRegistryMenuTree::NewKeyItem(std::vector<TRegistryMenuNode>& parent, const QString& name,
                                                 bool camera, bool opened)
{
    TRegistryMenuNode node;
    node.Caption = name;
    node.Camera = camera;
    node.ImageIndex = opened ? NoImage : NewMarkerImage;
    parent.push_back(std::move(node));
    return parent.back();
}
