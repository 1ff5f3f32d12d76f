#include "camera/TCameraFlows.h"

#include "camera/TMainFormServices.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "catalog/TRegistryMenuTree.h"
#include "catalog/TRegistryMenus.h"
#include "options/fOptionsNew.h"
#include "viewer/TKeptPicture.h"
#include "widgets/BarMenus.h"

#include <QAction>
#include <QCheckBox>
#include <QIcon>
#include <QMenu>
#include <QPointer>

#include <algorithm>
#include <memory>

namespace TCameraFlows {
namespace {

// Stores the camera as a favourite when the dialog asks for it, then opens its window.
void openFromDialog(TMainFormServices& mainForm, const TfrmCameraSettings& dialog,
                    std::unique_ptr<TWebCamera> camera)
{
    if (dialog.chkAdd->isChecked()) {
        // Stored over a favourite of the same name, it is another camera: the picture that one
        // kept would be asked about at the next start. Its window keeps its own first picture.
        if (camera->SaveToReg())
            TKeptPicture::Store(camera->FavoriteKeyPath(), TKeptPicture::TKept());
        mainForm.BuildFavoritesMenu();
        if (OptionsForm)
            OptionsForm->FillFavorites();
    }
    mainForm.OpenCameraWindow(std::move(camera));
}

// The sub-menu item whose menu holds the action; null when the action is in no sub-menu.
QAction* parentItem(const QAction* action)
{
    for (QObject* holder : action->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(holder))
            return menu->menuAction();
    }
    return nullptr;
}

void clearImage(QAction* action)
{
    TBcBarPopupMenu::SetImageIndex(action, TRegistryMenuTree::NoImage);
    action->setIcon(QIcon());
}

// A folder keeps its marker while any camera or folder directly in it is still marked.
void removeMarkers(QAction* item, const QAction* catalogRoot)
{
    clearImage(item);
    for (QAction* folder = parentItem(item); folder && folder != catalogRoot; folder = parentItem(folder)) {
        const QMenu* menu = folder->menu();
        const bool stillMarked =
            menu && std::any_of(menu->actions().cbegin(), menu->actions().cend(), [](const QAction* a) {
                return TBcBarPopupMenu::ImageIndex(a) == TRegistryMenuTree::NewMarkerImage;
            });
        if (stillMarked)
            break;
        clearImage(folder);
    }
}

} // namespace

void actAddCameraExecute(TMainFormServices& mainForm, QWidget* owner)
{
    QPointer<TfrmCameraSettings> dialog = new TfrmCameraSettings(owner);
    auto camera = std::make_unique<TWebCamera>();
    dialog->LoadFrom(*camera, TfrmCameraSettings::TFlow::Add);
    QWidget* const registered = dialog;
    mainForm.RegisterDialog(registered);
    const int result = dialog->exec();
    // The owner may have gone during the modal loop, and the dialog with it.
    if (dialog && result == TfrmCameraSettings::mrOk) {
        dialog->StoreInto(*camera);
        openFromDialog(mainForm, *dialog, std::move(camera));
    }
    mainForm.UnregisterDialog(registered);
    delete dialog;
}

void CatalogClick(TMainFormServices& mainForm, QWidget* owner, QAction* item, const QAction* catalogRoot,
                  const QString& keyPath)
{
    QPointer<TfrmCameraSettings> dialog = new TfrmCameraSettings(owner);
    QWidget* const registered = dialog;
    mainForm.CancelOpenDialogs();
    mainForm.RegisterDialog(registered);

    auto camera = std::make_unique<TWebCamera>();
    camera->SetDescription(TRegistryMenus::ItemCaption(item));
    camera->CatalogPath = keyPath;
    camera->LoadFromReg();
    // Counts as opened (and loses its marker) even when the user then cancels.
    if (!camera->Opened) {
        camera->doOpen();
        removeMarkers(item, catalogRoot);
    }

    dialog->LoadFrom(*camera, TfrmCameraSettings::TFlow::Catalog);
    const int result = dialog->exec();
    if (dialog && result == TfrmCameraSettings::mrOk) {
        dialog->StoreInto(*camera);
        openFromDialog(mainForm, *dialog, std::move(camera));
    }
    mainForm.UnregisterDialog(registered);
    delete dialog;
}

void MyFavoritesClick(TMainFormServices& mainForm, const QAction* item)
{
    auto camera = std::make_unique<TWebCamera>();
    camera->SetDescription(TRegistryMenus::ItemCaption(item));
    camera->LoadFromReg();
    mainForm.OpenCameraWindow(std::move(camera));
}

} // namespace TCameraFlows
