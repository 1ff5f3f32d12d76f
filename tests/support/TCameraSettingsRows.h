#pragma once

#include "camera/TSpinEdit.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

// Rows of the camera settings flows: each row names one control of the dialog and flips it
// away from what the dialog showed; the row's expectation is the record the flow then keeps.
namespace CameraSettingsRows {

inline const QString FlippedDescription = QStringLiteral("Flipped");

// The dialog's mapped fields of a record in one line: URL|Description|UpdateInterval|Scale|
// RunOnStartup|AlwaysOnTop.
inline QString settingsOf(const TWebCamera& camera)
{
    return QStringLiteral("%1|%2|%3|%4|startup=%5|top=%6")
        .arg(camera.URL, camera.Description)
        .arg(camera.UpdateInterval)
        .arg(camera.Scale)
        .arg(int(camera.RunOnStartup))
        .arg(int(camera.AlwaysOnTop));
}

// "none" changes nothing; the interval steps down, or up from 0. Check boxes toggle even when
// disabled: the mapping copies them anyway.
inline void flip(TfrmCameraSettings* dialog, const QString& control, const QString& newURL)
{
    if (control == QLatin1String("edtURL"))
        dialog->edtURL->setText(newURL);
    else if (control == QLatin1String("edtDescr"))
        dialog->edtDescr->setText(FlippedDescription);
    else if (control == QLatin1String("edtPeriod"))
        QTest::keyClick(dialog->edtPeriod, dialog->edtPeriod->value() == 0 ? Qt::Key_Up : Qt::Key_Down);
    else if (control == QLatin1String("cbxScale"))
        dialog->cbxScale->setCurrentIndex(0);
    else if (auto* box = dialog->findChild<QCheckBox*>(control))
        box->setChecked(!box->isChecked());
    else
        QVERIFY2(control == QLatin1String("none"), qPrintable(control));
}

} // namespace CameraSettingsRows
