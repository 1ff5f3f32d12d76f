#pragma once

#include "viewer/TPicture.h"

#include <QWidget>

// A picture box: shows its picture stretched to its own size. With AutoSize it takes the
// picture's natural size instead (the camera window measures pictures with such a box).
// Mouse events pass through to the window, which drags, double-clicks and pops up its menu.
class TPictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit TPictureBox(QWidget* parent = nullptr);

    const TPicture& Picture() const { return m_picture; }
    void SetPicture(const TPicture& picture);

    bool AutoSize = false;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TPicture m_picture;
};
