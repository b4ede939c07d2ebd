#pragma once
// The skinned one-line edit: a flat two-pixel border in style colours around a plain edit field.
// Also the base the other text fields (memo, list box, combo box) share: the file-theme link, the
// border colour a style gives, and the two rings of the border band.
#include "framework/trect.h"
#include "skin/suicontrol.h"
#include "skin/suipublic.h"

#include <QEvent>
#include <QFrame>
#include <QLineEdit>
#include <QPainter>
#include <type_traits>

// Width of the band the two border rings fill; the text area starts inside it.
constexpr int SuiFieldBorderWidth = 2;

template <class Base> class TsuiFieldControl : public TsuiControl<Base>
{
public:
    using TsuiControl<Base>::TsuiControl;

protected:
    // Insets the text area by the border band and drops Qt's own frame. A scroll area gets a
    // plain frame as wide as the band, so Qt lays its viewport and its own scroll bars inside.
    void ReserveBorderBand()
    {
        constexpr int w = SuiFieldBorderWidth;
        if constexpr (std::is_base_of_v<QFrame, Base>) {
            this->setFrameStyle(QFrame::Box | QFrame::Plain);
            this->setLineWidth(w);
        } else {
            this->setContentsMargins(w, w, w, w);
        }
    }
    // Qt paints the control (for a scroll area: its frame), then the skin goes over it.
    bool event(QEvent* event) override
    {
        const bool handled = TsuiControl<Base>::event(event);
        if (event->type() == QEvent::Paint) {
            QPainter canvas(this);
            PaintSkin(canvas);
        }
        return handled;
    }
    // What the skin adds over Qt's painting: by default the two rings of the border band.
    virtual void PaintSkin(QPainter& canvas) { PaintBorderBand(canvas); }
    // The built-in style to read; true when a usable file theme supplies the look instead.
    bool ResolveStyle(TsuiUIStyle& style) const
    {
        return UsingFileTheme(qobject_cast<const TsuiFileTheme*>(this->FFileTheme.data()),
                              this->FUIStyle, style);
    }
    // BorderColor := the style's control border colour. A file theme has no colour source yet,
    // so with a usable one the colour stays. Returns the resolved built-in style.
    TsuiUIStyle ApplyStyleBorderColor()
    {
        TsuiUIStyle style;
        if (!ResolveStyle(style))
            this->FBorderColor = GetInsideThemeColor(style, SuiTheme::ControlBorderColor);
        return style;
    }
    // The outer ring in BorderColor and the inner one in Color, around the whole control.
    void PaintBorderBand(QPainter& canvas) const
    {
        DrawControlBorder(canvas, TRect{0, 0, this->width(), this->height()}, this->FBorderColor,
                          this->FColor, true);
    }
};

class TsuiEdit : public TsuiFieldControl<QLineEdit>
{
    Q_OBJECT
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(bool AutoSize MEMBER FAutoSize)

public:
    explicit TsuiEdit(QWidget* parent = nullptr);

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    // Takes the border colour from the style; descendants extend it and call this first.
    void UIStyleChanged() override;

private:
    bool FAutoSize = true;
};
