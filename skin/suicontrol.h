#pragma once
// The state every skinned control publishes: its look (UIStyle), the file theme the look may come
// from, and the two colours most of them store. The painting that reads them arrives per control;
// until then a control shows Qt's own look in the stored colours.
#include "framework/tcolor.h"
#include "skin/suithemes.h"

#include <QPalette>
#include <QPointer>
#include <QWidget>

template <class Base>
class TsuiControl : public Base
{
public:
    using Base::Base;

    TsuiUIStyle UIStyle() const { return FUIStyle; }
    // Stores the look and lets the control re-derive what depends on it.
    void SetUIStyle(TsuiUIStyle style)
    {
        FUIStyle = style;
        UIStyleChanged();
        this->update();
    }

    QObject* FileTheme() const { return FFileTheme; }
    // A file theme only matters while UIStyle is FromThemeFile; the look is re-applied either way.
    void SetFileTheme(QObject* theme)
    {
        LinkFileTheme(theme);
        SetUIStyle(FUIStyle);
    }

    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor color)
    {
        FBorderColor = color;
        this->update();
    }

    TColor Color() const { return FColor; }
    // The body colour, shown through the palette role the Qt base paints its background with.
    void SetColor(TColor color)
    {
        FColor = color;
        QPalette palette = this->palette();
        palette.setColor(ColorRole(), toQColor(color));
        this->setPalette(palette);
        this->setAutoFillBackground(ColorRole() == QPalette::Window);
    }

    TColor FontColor() const { return fromQColor(this->palette().color(QPalette::Text)); }
    // The colour of the control's text.
    void SetFontColor(TColor color)
    {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Text, toQColor(color));
        palette.setColor(QPalette::WindowText, toQColor(color));
        this->setPalette(palette);
    }

protected:
    // Refers to a file theme; when that theme is destroyed the control turns DeepBlue.
    void LinkFileTheme(QObject* theme)
    {
        FFileTheme = theme;
        FFileThemeLink.Set(this, qobject_cast<TsuiFileTheme*>(theme));
    }
    virtual void UIStyleChanged() {}
    virtual QPalette::ColorRole ColorRole() const { return QPalette::Window; }

    TsuiUIStyle FUIStyle = TsuiUIStyle::DeepBlue;
    QPointer<QObject> FFileTheme;
    TsuiFileThemeLink FFileThemeLink;
    TColor FBorderColor = clBlack;
    TColor FColor = clBtnFace;
};
