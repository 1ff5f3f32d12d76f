#pragma once

class QAction;
class QString;
class QWidget;
class TMainFormServices;

// The main form's three ways of opening a camera. Each runs on the user-interface thread and
// returns once the camera window is open (or nothing was opened).
namespace TCameraFlows {

// "Add new camera...": asks for a new camera in the settings dialog (owned by owner) and opens
// it; with "Add Web camera to Favorites" ticked it is stored and the favourites menu rebuilt.
void actAddCameraExecute(TMainFormServices& mainForm, QWidget* owner);

// A camera item of the catalog menu: item is the clicked action, catalogRoot the action of the
// "Web Camera Catalog" sub-menu, keyPath the item's folder path (MenuItemKeyPath). The first
// opening removes the item's marker and the markers of folders left without a marked camera.
void CatalogClick(TMainFormServices& mainForm, QWidget* owner, QAction* item, const QAction* catalogRoot,
                  const QString& keyPath);

// A camera item of the favourites menu: opens the stored favourite named by the item's text.
void MyFavoritesClick(TMainFormServices& mainForm, const QAction* item);

} // namespace TCameraFlows
