#include "viewer/TPictureBox.h"

#include <QPaintEvent>
#include <QPainter>

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent)
{
    // The picture covers the whole box: nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPictureBox::SetPicture(const TPicture& picture)
{
    m_picture = picture;
    if (AutoSize)
        resize(m_picture.Width(), m_picture.Height());
    update();
}

void TPictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (m_picture.IsEmpty())
        painter.fillRect(rect(), palette().window());
    else
        m_picture.Draw(painter, rect(), event->rect());
}
