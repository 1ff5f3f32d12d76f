#include "camera/TSpinEdit.h"

#include <QLineEdit>

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent)
{
    setRange(0, 99);
    // Only the text is read-only: the box itself still steps with buttons and keys.
    lineEdit()->setReadOnly(true);
}
