#include "catalog/TRegistryMenus.h"

#include "platform/TTrace.h"
#include "widgets/BarMenus.h"

#include <QAction>
#include <QEvent>
#include <QMenu>

#include <memory>

namespace TRegistryMenus {
namespace {

// A folder sub-menu whose items are not made yet; the build's tree stays alive through it.
class TPendingFolder : public QObject
{
public:
    TPendingFolder(QMenu* menu, const TRegistryMenuNode* node, TMenuBuild build)
        : QObject(menu), Node(node), Build(std::move(build))
    {
    }
    const TRegistryMenuNode* Node;
    TMenuBuild Build;
};

// The sub-menu item whose menu holds the action; null when the action is in no sub-menu.
const QAction* parentItem(const QAction* action)
{
    for (QObject* holder : action->associatedObjects()) {
        auto* menu = qobject_cast<QMenu*>(holder);
        if (menu && menu != action->menu())
            return menu->menuAction();
    }
    return nullptr;
}

void markGenerated(QAction* item, const QString& keyName, int image)
{
    item->setProperty(TagProperty, GeneratedTag);
    item->setProperty(KeyNameProperty, keyName);
    TBcBarPopupMenu::SetImageIndex(item, image);
}

QString literalText(const QString& keyName)
{
    QString text = keyName;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// Traces "submenu-open <x>,<y> <w>x<h> <name>" when a registry-tree menu appears on screen: the
// root menu by its object name, a folder by its key path below the tree's base key.
class TMenuTracer : public QObject
{
public:
    using QObject::QObject;

    static void Watch(QMenu* menu)
    {
        if (!TTrace::enabled() || menu->property("MenuTraced").toBool())
            return;
        menu->setProperty("MenuTraced", true);
        menu->installEventFilter(new TMenuTracer(menu));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* menu = qobject_cast<QMenu*>(watched);
        if (menu && event->type() == QEvent::Show) {
            const QAction* item = menu->menuAction();
            QString name = menu->objectName();
            if (Tag(item) == GeneratedTag) {
                const QString parent = MenuItemKeyPath(item);
                name = (parent.isEmpty() ? QString() : parent + QLatin1Char('\\')) + ItemCaption(item);
            }
            const QRect g = menu->geometry();
            TTrace::write("submenu-open", QStringLiteral("%1,%2 %3x%4 %5")
                                              .arg(g.x())
                                              .arg(g.y())
                                              .arg(g.width())
                                              .arg(g.height())
                                              .arg(name));
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int Tag(const QAction* item)
{
    return item->property(TagProperty).toInt();
}

QString ItemCaption(const QAction* item)
{
    const QVariant name = item->property(KeyNameProperty);
    return name.isValid() ? name.toString() : item->text();
}

void BuildRegistryMenu(TRegRoot root, const QString& base, TBcBarPopupMenu* menu, TClickHandler handler)
{
    ClearGeneratedItems(menu);
    TMenuTracer::Watch(menu);
    TRegistryMenuTree tree(root, base);
    TMenuBuild build{std::make_shared<const std::vector<TRegistryMenuNode>>(tree.Build()),
                     std::move(handler)};
    AddKeyItems(menu, *build.Tree, build);
}

void ClearGeneratedItems(QMenu* menu)
{
    const QList<QAction*> items = menu->actions();
    for (auto it = items.crbegin(); it != items.crend(); ++it) {
        QAction* item = *it;
        if (Tag(item) != GeneratedTag)
            continue;
        menu->removeAction(item);
        if (QMenu* sub = item->menu()) {
            ClearGeneratedItems(sub);
            sub->deleteLater();
        } else {
            item->deleteLater();
        }
    }
}

void AddKeyItems(TBcBarPopupMenu* menu, const std::vector<TRegistryMenuNode>& nodes, const TMenuBuild& build)
{
    for (const TRegistryMenuNode& node : nodes)
        NewKeyItem(menu, node, build);
}

QAction* NewKeyItem(TBcBarPopupMenu* parent, const TRegistryMenuNode& node, const TMenuBuild& build)
{
    const TClickHandler& handler = build.Handler;
    if (node.Camera || node.Children.empty()) {
        auto* item = new QAction(literalText(node.Caption), parent);
        markGenerated(item, node.Caption, node.ImageIndex);
        if (node.Camera && handler)
            QObject::connect(item, &QAction::triggered, item, [handler, item] { handler(item); });
        parent->addAction(item);
        return item;
    }
    TBcBarPopupMenu* sub = parent->AddSubMenu(literalText(node.Caption));
    markGenerated(sub->menuAction(), node.Caption, node.ImageIndex);
    // Made when first shown: a big catalog then costs only the items the user looks at.
    new TPendingFolder(sub, &node, build);
    TMenuTracer::Watch(sub);
    QObject::connect(sub, &QMenu::aboutToShow, sub, [sub] { PopulateFolder(sub); });
    return sub->menuAction();
}

void PopulateFolder(QMenu* menu)
{
    auto* barMenu = qobject_cast<TBcBarPopupMenu*>(menu);
    if (!barMenu)
        return;
    // Not a QObject subclass with Q_OBJECT, so found by a plain walk over the children.
    for (QObject* child : menu->children()) {
        auto* pending = dynamic_cast<TPendingFolder*>(child);
        if (!pending)
            continue;
        const TRegistryMenuNode* node = pending->Node;
        const TMenuBuild build = pending->Build;
        delete pending;
        AddKeyItems(barMenu, node->Children, build);
        return;
    }
}

QString MenuItemKeyPath(const QAction* item)
{
    QString path;
    for (const QAction* a = parentItem(item); a && Tag(a) == GeneratedTag; a = parentItem(a))
        path = ItemCaption(a) + QLatin1Char('\\') + path;
    if (!path.isEmpty()) {
        if (path.startsWith(QLatin1Char('\\')))
            path.remove(0, 1);
        if (path.endsWith(QLatin1Char('\\')))
            path.chop(1);
    }
    return path;
}

} // namespace TRegistryMenus
