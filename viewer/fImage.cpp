#include "viewer/fImage.h"

#include "app/TMainFormServices.h"
#include "camera/TWebCamera.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

TfrmImage::TfrmImage(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmImage"));
    resize(256, 300);
}

TfrmImage::~TfrmImage() = default;

void TfrmImage::BindCamera(TWebCamera* camera)
{
    m_camera.reset(camera);
    setWindowTitle(camera->Description);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int x = camera->Left != 0 ? camera->Left : (screen.width() - width()) / 2;
    const int y = camera->Top != 0 ? camera->Top : (screen.height() - height()) / 2;
    move(x, y);
}

void TfrmImage::Alwaysontop1Click()
{
    const bool onTop = m_camera && m_camera->AlwaysOnTop;
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
}

void TfrmImage::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (MainForm())
        MainForm()->RemoveCameraWindow(this);
}
