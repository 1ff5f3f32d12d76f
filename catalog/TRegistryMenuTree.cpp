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
    QString path = keyPath;
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    while (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    const QString fold = path.toUpper();
    const auto known = m_keys.constFind(fold);
    if (known != m_keys.constEnd())
        return *known;

    TRegistryStore& store = TRegistryStore::of(m_root);
    qint64 id = 0;
    const int cut = path.lastIndexOf(QLatin1Char('\\'));
    if (path.isEmpty()) {
        id = store.findKey({});
    } else if (cut < 0) {
        id = store.findChild(TRegistryStore::RootKey, path);
    } else {
        const qint64 parent = OpenKey(path.left(cut));
        id = parent ? store.findChild(parent, path.mid(cut + 1)) : 0;
    }
    m_keys.insert(fold, id);
    return id;
}

bool TRegistryMenuTree::KeyValueExists(const QString& keyPath, const QString& name)
{
    const qint64 key = OpenKey(keyPath);
    return key != 0 && TRegistryStore::of(m_root).value(key, name).has_value();
}

std::vector<TRegistryMenuNode> TRegistryMenuTree::Build()
{
    // Nothing is kept between builds: the store may have changed since the last one.
    m_keys.clear();
    std::vector<TRegistryMenuNode> items;
    AddKeyItems(items, QString());
    m_keys.clear();
    return items;
}

void TRegistryMenuTree::AddKeyItems(std::vector<TRegistryMenuNode>& parent, const QString& folderPath)
{
    const qint64 key = OpenKey(CollapseBackslashes(m_base + Backslash + folderPath));
    if (key == 0)
        return;
    const QStringList names = TRegistryStore::of(m_root).childNames(key);
    parent.reserve(parent.size() + static_cast<size_t>(names.size()));
    for (const QString& name : names) {
        const QString keyPath = CollapseBackslashes(m_base + Backslash + folderPath + Backslash + name);
        if (KeyValueExists(keyPath, QStringLiteral("URL"))) {
            NewKeyItem(parent, folderPath, name, true);
            continue;
        }
        TRegistryMenuNode& folder = NewKeyItem(parent, folderPath, name, false);
        AddKeyItems(folder.Children, CollapseBackslashes(folderPath + Backslash + name));
        if (!folder.Children.empty()) {
            folder.ImageIndex = NoImage;
            for (const TRegistryMenuNode& child : folder.Children) {
                if (child.ImageIndex >= 0) {
                    folder.ImageIndex = child.ImageIndex;
                    break;
                }
            }
        }
    }
}

TRegistryMenuNode& TRegistryMenuTree::NewKeyItem(std::vector<TRegistryMenuNode>& parent,
                                                 const QString& folderPath, const QString& name, bool camera)
{
    TRegistryMenuNode node;
    node.Caption = name;
    node.Camera = camera;
    const QString keyPath = CollapseBackslashes(m_base + Backslash + folderPath + Backslash + name);
    node.ImageIndex = KeyValueExists(keyPath, QStringLiteral("Opened")) ? NoImage : NewMarkerImage;
    parent.push_back(std::move(node));
    return parent.back();
}
