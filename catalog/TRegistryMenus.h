#pragma once

#include "catalog/TRegistryMenuTree.h"
#include "platform/TRegistry.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class TBcBarPopupMenu;

// Turns a registry tree into generated items of a side-bar sub-menu ("&Web Camera Catalog",
// "&My Favorites"). Generated items carry Tag -1 (fixed items 0, or no Tag at all), show their
// key name as it stands (an "&" in it is no accelerator) and keep it in KeyNameProperty; image 10
// is the new marker. A folder's own items are made when the folder is first shown, from the
// tree read in full at the build, so every marker is what a full build would show.
// UI thread only.
namespace TRegistryMenus {

inline constexpr char TagProperty[] = "Tag";
inline constexpr char KeyNameProperty[] = "KeyName";
constexpr int GeneratedTag = -1;

// Runs when a camera item is chosen; the item is passed.
using TClickHandler = std::function<void(QAction* item)>;

int Tag(const QAction* item);
// The key name of a generated item; the text of any other.
QString ItemCaption(const QAction* item);

// Replaces the generated items of menu (a side-bar sub-menu) by the current content of the tree
// below base under root. The fixed items stay first, in their order.
void BuildRegistryMenu(TRegRoot root, const QString& base, TBcBarPopupMenu* menu, TClickHandler handler);

// Removes every item with Tag -1 (and all below it) from menu, the last first. They are
// destroyed once control returns to the event loop, so an item may rebuild the menu from its
// own click handler.
void ClearGeneratedItems(QMenu* menu);

// One build: the tree read from the store (kept alive by the folders not shown yet) and the
// click handler of its camera items.
struct TMenuBuild
{
    std::shared_ptr<const std::vector<TRegistryMenuNode>> Tree;
    TClickHandler Handler;
};

// Appends the items of nodes (part of build.Tree) to menu.
void AddKeyItems(TBcBarPopupMenu* menu, const std::vector<TRegistryMenuNode>& nodes, const TMenuBuild& build);
// One generated item, appended to parent: a camera item with the handler, a folder with items as
// a sub-menu, an empty folder as an item without handler.
QAction* NewKeyItem(TBcBarPopupMenu* parent, const TRegistryMenuNode& node, const TMenuBuild& build);

// Makes the items of a folder sub-menu that has not been shown yet; nothing for other menus.
// Tests and benchmarks call it to see a folder without opening it.
void PopulateFolder(QMenu* menu);

// The folder path of the key a generated item stands for: the key names of its generated
// ancestors from the top down, joined by "\" ("Europe\Italy"); empty right below the root item.
QString MenuItemKeyPath(const QAction* item);

} // namespace TRegistryMenus
