#pragma once

#include "platform/TRegistry.h"

#include <QString>
#include <QStringList>

#include <vector>

// One generated menu item of a registry-tree sub-menu: a camera (a key holding "URL") or a
// folder with the items of its sub-keys.
struct TRegistryMenuNode
{
    QString Caption; // the sub-key name exactly as the store returns it
    bool Camera = false;
    // -1 no image, 10 the new marker (TRegistryMenuTree::NewMarkerImage).
    int ImageIndex = -1;
    std::vector<TRegistryMenuNode> Children;
};

// The tree of menu items that one registry tree yields, read in full from the store in its own
// enumeration order (no sorting here). A camera's own sub-keys are never read. Keys that cannot
// be opened contribute nothing and are not reported. UI thread only.
class TRegistryMenuTree
{
public:
    // The image of an item never opened (and of the folders that hold one) in the tray menu's
    // image list (TMenuImages::NewMarker), and no image. Items carry it as their ImageIndex.
    static constexpr int NewMarkerImage = 10;
    static constexpr int NoImage = -1;

    // base: key path below root, such as RegistryLayout::CatalogKey.
    TRegistryMenuTree(TRegRoot root, const QString& base);

    // The items below the base key; empty when it is missing or empty.
    std::vector<TRegistryMenuNode> Build();

    // Whether the key (a full path below the root) exists and holds a value of that name, of
    // any type or content. False when the key cannot be opened.
    bool KeyValueExists(const QString& keyPath, const QString& name);

    // Every run of backslashes becomes one backslash; a single trailing one stays.
    static QString CollapseBackslashes(QString s);

private:
    void AddKeyItems(std::vector<TRegistryMenuNode>& parent, const QString& folderPath);
    void AddKeyItems(std::vector<TRegistryMenuNode>& parent, qint64 folderKey);
    // opened: the key holds an "Opened" value, so the item carries no marker.
    TRegistryMenuNode& NewKeyItem(std::vector<TRegistryMenuNode>& parent, const QString& name, bool camera,
                                  bool opened);
    bool HasValue(qint64 key, const QString& name);
    // Key id of a path below the root, 0 when it does not exist.
    qint64 OpenKey(const QString& keyPath);

    TRegRoot m_root;
    QString m_base;
};
