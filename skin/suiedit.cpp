#include "skin/suiedit.h"

TsuiEdit::TsuiEdit(QWidget* parent) : TsuiFieldControl<QLineEdit>(parent)
{
    setFrame(false);
    ReserveBorderBand();
    SetColor(clWindow);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

void TsuiEdit::UIStyleChanged()
{
    ApplyStyleBorderColor();
}
