#pragma once

#include <QWidget>

#include <memory>

class TWebCamera;

// The window of one open camera: frameless tool window that shows the camera's picture.
class TfrmImage : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmImage(QWidget* parent = nullptr);
    ~TfrmImage() override;

    // Takes the record over and places the window at its Left/Top (0 centres on that axis).
    void BindCamera(TWebCamera* camera);
    TWebCamera* Camera() const { return m_camera.get(); }

    // Applies the camera's stay-on-top state without moving or activating the window.
    void Alwaysontop1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<TWebCamera> m_camera;
};
