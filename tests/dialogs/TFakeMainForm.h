#pragma once

#include "camera/TMainFormServices.h"

#include <QStringList>

// Records the dialog protocol as a window opener follows it.
class TFakeMainForm : public TMainFormServices
{
public:
    QStringList Calls;
    QList<QWidget*> Dialogs;

    void CancelOpenDialogs() override { Calls << "cancel"; }
    void RegisterDialog(QWidget* dialog) override
    {
        Calls << "register " + dialog->objectName();
        Dialogs << dialog;
    }
    void UnregisterDialog(QWidget* dialog) override
    {
        Calls << "unregister " + dialog->objectName();
        Dialogs.removeOne(dialog);
    }
    void OpenCameraWindow(std::unique_ptr<TWebCamera>) override {}
    void RemoveCameraWindow(QWidget*) override {}
    void BuildFavoritesMenu() override {}
    void RebuildMenus() override {}
};
