#pragma once

#include <QFrame>

// A panel: a frame that holds other controls. Its own class so that the language step can
// tell panels, whose font follows the language's character set, from bevel lines.
class TPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TPanel(QWidget* parent = nullptr) : QFrame(parent) {}
};
