#pragma once
// The skinned group box: a border line with the caption set into its top edge.
#include "skin/suiimagepanel.h"

// Where the group box draws its line and caption, for a box W x H with font height h.
struct TsuiGroupBoxLayout
{
    QList<QPoint> Line; // the border, as a pen draws it from point to point
    QPoint Caption;     // top-left corner of the caption text
    TRect ChildArea;    // where aligned children go
};

class TsuiCustomGroupBox : public TsuiCustomPanel
{
    Q_OBJECT
    Q_PROPERTY(TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
    Q_PROPERTY(QObject* FileTheme READ FileTheme WRITE SetFileTheme)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)

public:
    explicit TsuiCustomGroupBox(QWidget* parent = nullptr);

    // The box's own caption (the panel text stays a single blank).
    QString Caption() const { return FGroupCaption; }
    void SetCaption(const QString& caption);
    // The colour shown: the parent's while ParentColor is set.
    TColor Color() const { return FParentColor ? ParentColorOf(this) : FColor; }
    // Storing a colour of its own ends ParentColor.
    void SetColor(TColor color);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);

    static TsuiGroupBoxLayout Layout(int W, int H, int FontHeight, int CaptionWidth,
                                     bool RightToLeft);

protected:
    // Pushes the style to the children and takes the style's border and caption colours.
    virtual void UpdateUIStyle(TsuiUIStyle UIStyle, QObject* FileTheme);
    void UIStyleChanged() override { UpdateUIStyle(FUIStyle, FFileTheme); }
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateContentsMargins();

    QString FGroupCaption;
    bool FParentColor = true;
};

// The group box, publishing its border colour.
class TsuiGroupBox : public TsuiCustomGroupBox
{
    Q_OBJECT
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)

public:
    explicit TsuiGroupBox(QWidget* parent = nullptr) : TsuiCustomGroupBox(parent) {}
};
