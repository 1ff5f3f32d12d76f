#pragma once

#include <QSpinBox>

// An integer spin box whose number cannot be typed: it changes only by the spin buttons, the
// arrow keys and the wheel, so it never holds anything but a number in its range (0..99 unless
// set otherwise). Values set from outside the range are clamped into it.
class TSpinEdit : public QSpinBox
{
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);
};
