#include "skin/suititlebar.h"

#include "skin/suiform.h"
#include "skin/suipublic.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWindow>

namespace {

// Normal, mouse-over and pressed are three consecutive frames of the 18-frame strip.
int FirstFrame(TsuiTitleBarBtnType type)
{
    switch (type) {
    case TsuiTitleBarBtnType::suiControlBox:
        return 1;
    case TsuiTitleBarBtnType::suiHelp:
        return 4;
    case TsuiTitleBarBtnType::suiMax:
        return 7;
    case TsuiTitleBarBtnType::suiMin:
        return 13;
    case TsuiTitleBarBtnType::suiClose:
        return 16;
    case TsuiTitleBarBtnType::suiCustom:
        break;
    }
    return 0;
}
constexpr int RestoreFirstFrame = 10;
constexpr int TitleButtonFrames = 18;

TsuiUIStyle Resolve(const QObject* theme, TsuiUIStyle style)
{
    TsuiUIStyle resolved = style;
    UsingFileTheme(qobject_cast<const TsuiFileTheme*>(theme), style, resolved);
    return resolved;
}

} // namespace

// ---- buttons ----

void TsuiTitleBarButton::Changed()
{
    if (FCollection) FCollection->Changed();
}

void TsuiTitleBarButton::LoadFrames(int firstFrame)
{
    QImage normal, over, down;
    if (firstFrame <= 0) return;
    GetInsideThemeBitmap(FUIStyle, SuiTheme::TitleButtonImage, normal, TitleButtonFrames,
                         firstFrame);
    GetInsideThemeBitmap(FUIStyle, SuiTheme::TitleButtonImage, over, TitleButtonFrames,
                         firstFrame + 1);
    GetInsideThemeBitmap(FUIStyle, SuiTheme::TitleButtonImage, down, TitleButtonFrames,
                         firstFrame + 2);
    SetPictures(normal, over, down);
}

void TsuiTitleBarButton::SetUIStyle(TsuiUIStyle style)
{
    FUIStyle = style;
    if (style == TsuiUIStyle::FromThemeFile) return Changed();
    FTransparent = GetInsideThemeBool(style, SuiTheme::TitleButtonTransparent);
    LoadFrames(FirstFrame(FButtonType));
    FTop = GetInsideThemeInt(style, SuiTheme::TitleButtonTop);
    Changed();
}

void TsuiTitleBarButton::SetButtonType(TsuiTitleBarBtnType type)
{
    if (type == TsuiTitleBarBtnType::suiControlBox && FCollection) {
        for (int i = 0; i < FCollection->Count(); ++i)
            if (FCollection->Items(i)->FButtonType == TsuiTitleBarBtnType::suiControlBox)
                throw EsuiError(
                    "Sorry, only one button's ButtonType property can be \"suiControlBox\"");
    }
    FButtonType = type;
    SetUIStyle(FUIStyle);
}

void TsuiTitleBarButton::SetTransparent(bool value)
{
    FTransparent = value;
    Changed();
}

void TsuiTitleBarButton::SetTop(int value)
{
    FTop = value;
    Changed();
}

void TsuiTitleBarButton::SetControlBoxMenu(QMenu* menu)
{
    FControlBoxMenu = menu;
    Changed();
}

void TsuiTitleBarButton::SetVisible(bool value)
{
    FVisible = value;
    Changed();
}

void TsuiTitleBarButton::SetPictures(const QImage& normal, const QImage& mouseOn,
                                     const QImage& mouseDown)
{
    FPicNormal = normal;
    FPicMouseOn = mouseOn;
    FPicMouseDown = mouseDown;
    Changed();
}

void TsuiTitleBarButton::LoadMaxPictures(bool restore)
{
    if (FUIStyle == TsuiUIStyle::FromThemeFile) return;
    LoadFrames(restore ? RestoreFirstFrame : FirstFrame(TsuiTitleBarBtnType::suiMax));
}

bool TsuiTitleBarButton::HasPictures() const
{
    return !FPicNormal.isNull() && !FPicMouseOn.isNull() && !FPicMouseDown.isNull();
}

void TsuiTitleBarButton::Assign(const TsuiTitleBarButton& other)
{
    FVisible = other.FVisible;
    FButtonType = other.FButtonType;
    FTransparent = other.FTransparent;
    FTop = other.FTop;
    FUIStyle = other.FUIStyle;
    FPicNormal = other.FPicNormal;
    FPicMouseOn = other.FPicMouseOn;
    FPicMouseDown = other.FPicMouseDown;
    FControlBoxMenu = other.FControlBoxMenu;
    Changed();
}

TsuiTitleBarButton* TsuiTitleBarButtons::Add()
{
    FItems.push_back(std::make_unique<TsuiTitleBarButton>(this));
    Changed();
    return FItems.back().get();
}

void TsuiTitleBarButtons::Clear()
{
    FItems.clear();
    Changed();
}

void TsuiTitleBarButtons::Assign(const TsuiTitleBarButtons& other)
{
    if (&other == this) return;
    FItems.clear();
    for (const auto& item : other.FItems) {
        FItems.push_back(std::make_unique<TsuiTitleBarButton>(this));
        FItems.back()->Assign(*item);
    }
    Changed();
}

void TsuiTitleBarButtons::Changed()
{
    if (FOwner) FOwner->Repaint();
}

// ---- sections ----

void TsuiTitleBarSection::Changed()
{
    if (FCollection) FCollection->Changed();
}

void TsuiTitleBarSection::SetAutoSize(bool value)
{
    FAutoSize = value;
    if (!FPicture.isNull()) FWidth = FPicture.width();
    Changed();
}

void TsuiTitleBarSection::SetWidth(int value)
{
    FWidth = value;
    Changed();
}

void TsuiTitleBarSection::SetAlign(TsuiTitleBarAlign align)
{
    if (align == TsuiTitleBarAlign::suiClient && FCollection) {
        for (int i = 0; i < FCollection->Count(); ++i)
            if (FCollection->Items(i)->FAlign == TsuiTitleBarAlign::suiClient)
                throw EsuiError("Sorry, only one section's Align property can be \"suiClient\"");
    }
    FAlign = align;
    if (align == TsuiTitleBarAlign::suiClient) FStretch = true;
    Changed();
}

void TsuiTitleBarSection::SetPicture(const QImage& picture)
{
    FPicture = picture;
    if (FAutoSize && !FPicture.isNull()) FWidth = FPicture.width();
    Changed();
}

void TsuiTitleBarSection::SetStretch(bool value)
{
    FStretch = value || FAlign == TsuiTitleBarAlign::suiClient;
    Changed();
}

void TsuiTitleBarSection::SetCapSec(bool value)
{
    FCapSec = value;
    Changed();
}

void TsuiTitleBarSection::Assign(const TsuiTitleBarSection& other)
{
    FWidth = other.FWidth;
    FAlign = other.FAlign;
    FPicture = other.FPicture;
    FStretch = other.FStretch;
    FAutoSize = other.FAutoSize;
    Changed();
}

TsuiTitleBarSection* TsuiTitleBarSections::Add()
{
    FItems.push_back(std::make_unique<TsuiTitleBarSection>(this));
    Changed();
    return FItems.back().get();
}

void TsuiTitleBarSections::Clear()
{
    FItems.clear();
    Changed();
}

void TsuiTitleBarSections::Assign(const TsuiTitleBarSections& other)
{
    if (&other == this) return;
    FItems.clear();
    for (const auto& item : other.FItems) {
        FItems.push_back(std::make_unique<TsuiTitleBarSection>(this));
        FItems.back()->Assign(*item);
    }
    Changed();
}

void TsuiTitleBarSections::Changed()
{
    if (FOwner) FOwner->Repaint();
}

// ---- window menu ----

TsuiTitleBarPopupMenu::TsuiTitleBarPopupMenu(TsuiTitleBar* bar) : QMenu(bar), FBar(bar)
{
    MinimizeItem = addAction(QStringLiteral("Mi&nimize"));
    MaximizeItem = addAction(QStringLiteral("Ma&ximize/Restore"));
    FCloseSeparator = addSeparator();
    CloseItem = addAction(QStringLiteral("&Close"));
    // A menu has no caption of its own; this is what assistive tools call it.
    setAccessibleName(QStringLiteral("Window menu"));
    connect(this, &QMenu::aboutToShow, this, &TsuiTitleBarPopupMenu::UpdateItems);
    connect(MinimizeItem, &QAction::triggered, this,
            [this] { FBar->ClickMin(FBar->FindVisibleButton(TsuiTitleBarBtnType::suiMin)); });
    connect(MaximizeItem, &QAction::triggered, this, [this] {
        auto& buttons = FBar->Buttons();
        for (int i = 0; i < buttons.Count(); ++i)
            if (buttons.Items(i)->Visible() &&
                buttons.Items(i)->ButtonType() == TsuiTitleBarBtnType::suiMax)
                FBar->ClickMax(i);
    });
    connect(CloseItem, &QAction::triggered, this, [this] { FBar->window()->close(); });
}

void TsuiTitleBarPopupMenu::SetUIStyle(TsuiUIStyle style)
{
    const QColor item = toQColor(GetInsideThemeColor(style, SuiTheme::MenuItemColor));
    const QColor text = toQColor(GetInsideThemeColor(style, SuiTheme::MenuFontColor));
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base})
        colours.setColor(role, item);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colours.setColor(role, text);
    colours.setColor(QPalette::Highlight,
                     toQColor(GetInsideThemeColor(style, SuiTheme::MenuSelectedColor)));
    colours.setColor(QPalette::HighlightedText,
                     toQColor(GetInsideThemeColor(style, SuiTheme::MenuSelectedFontColor)));
    // An item that does not apply is written in grey, as the skinned menus show disabled items,
    // with no embossed shadow under it.
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colours.setColor(QPalette::Disabled, role, toQColor(clGray));
    colours.setColor(QPalette::Disabled, QPalette::Light, item);
    setPalette(colours);
}

void TsuiTitleBarPopupMenu::AddWindowAction(QAction* action)
{
    if (!FWindowGroup) FWindowGroup = insertSeparator(FCloseSeparator);
    insertAction(FCloseSeparator, action);
}

void TsuiTitleBarPopupMenu::UpdateItems()
{
    MinimizeItem->setEnabled(FBar->FindVisibleButton(TsuiTitleBarBtnType::suiMin) >= 0);
    MaximizeItem->setEnabled(FBar->FindVisibleButton(TsuiTitleBarBtnType::suiMax) >= 0);
    CloseItem->setEnabled(FBar->FindVisibleButton(TsuiTitleBarBtnType::suiClose) >= 0);
}

// ---- the bar ----

TsuiTitleBar::TsuiTitleBar(QWidget* parent)
    : TsuiControl<QWidget>(parent), FButtons(this), FSections(this),
      FMenu(new TsuiTitleBarPopupMenu(this))
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (auto type : {TsuiTitleBarBtnType::suiControlBox, TsuiTitleBarBtnType::suiClose,
                      TsuiTitleBarBtnType::suiMax, TsuiTitleBarBtnType::suiMin})
        FButtons.Add()->SetButtonType(type);
    FFont.setFamily(QStringLiteral("DejaVu Sans"));
    FFont.setPixelSize(11);
    FFont.setBold(true);
    SetFontColor(clWhite);
    FBoxMenuTimer.setSingleShot(true);
    FBoxMenuTimer.setInterval(QApplication::doubleClickInterval());
    connect(&FBoxMenuTimer, &QTimer::timeout, this, &TsuiTitleBar::ControlBoxMenuTimer);
    resize(width(), DeepBlueHeight);
    SetUIStyle(GetSUIFormStyle(parent ? parent->window() : nullptr));
}

TsuiTitleBar::~TsuiTitleBar() = default;

bool TsuiTitleBar::InForm() const
{
    return parentWidget() && parentWidget()->inherits("TsuiForm");
}

int TsuiTitleBar::FrameOffset() const
{
    const auto* form = qobject_cast<const TsuiForm*>(parentWidget());
    return form ? form->FrameOffset() : 0;
}

void TsuiTitleBar::SetUIStyle(TsuiUIStyle style)
{
    FUIStyle = style;
    ApplyStyle(true);
}

void TsuiTitleBar::SetFileTheme(QObject* theme)
{
    LinkFileTheme(theme);
    ApplyStyle(false);
}

void TsuiTitleBar::ApplyStyle(bool touchFontColor)
{
    if (FCustom) return;
    FSections.Clear();
    const TsuiUIStyle style = Resolve(FFileTheme, FUIStyle);
    QImage picture;
    auto* left = FSections.Add();
    if (GetInsideThemeBitmap(style, SuiTheme::TitleLeftImage, picture)) left->SetPicture(picture);
    left->SetAutoSize(true);
    auto* right = FSections.Add();
    if (GetInsideThemeBitmap(style, SuiTheme::TitleRightImage, picture)) right->SetPicture(picture);
    right->SetAutoSize(true);
    right->SetAlign(TsuiTitleBarAlign::suiRight);
    auto* middle = FSections.Add();
    if (GetInsideThemeBitmap(style, SuiTheme::TitleClientImage, picture))
        middle->SetPicture(picture);
    middle->SetAlign(TsuiTitleBarAlign::suiClient);

    FLeftBtnXOffset = GetInsideThemeInt(style, SuiTheme::TitleLeftButtonOffset);
    FRightBtnXOffset = GetInsideThemeInt(style, SuiTheme::TitleRightButtonOffset);
    FRowTop = GetInsideThemeInt(style, SuiTheme::TitleButtonTop) - (InForm() ? 3 : 0);
    FBoxTop = FRowTop;
    if (parentWidget()) {
        QWidget* form = window();
        form->setMinimumWidth(GetInsideThemeInt(style, SuiTheme::FormMinWidth));
        form->setMinimumHeight(50);
    }
    FRoundCorner = GetInsideThemeInt(style, SuiTheme::FormRoundCorner);
    FRoundCornerBottom = 0;

    for (int i = 0; i < FButtons.Count(); ++i)
        FButtons.Items(i)->SetUIStyle(style);
    ProcessMaxBtn();
    FMenu->SetUIStyle(style);
    if (touchFontColor) SetFontColor(style == TsuiUIStyle::MacOS ? clBlack : clWhite);
    SetAutoSize(true);
    update();
}

void TsuiTitleBar::SetAutoSize(bool value)
{
    FAutoSize = value;
    if (FSections.Count() == 0) {
        FAutoSize = false;
        return;
    }
    const QImage& first = FSections.Items(0)->Picture();
    if (FAutoSize && !first.isNull()) resize(width(), first.height() - (InForm() ? 3 : 0));
}

void TsuiTitleBar::SetButtonInterval(int value)
{
    FButtonInterval = value;
    update();
}

void TsuiTitleBar::SetCaption(const QString& caption)
{
    FCaption = caption;
    update();
}

void TsuiTitleBar::SetFormActive(bool active)
{
    FFormActive = active;
    update();
}

void TsuiTitleBar::SetLeftBtnXOffset(int value)
{
    FLeftBtnXOffset = value;
    update();
}

void TsuiTitleBar::SetRightBtnXOffset(int value)
{
    FRightBtnXOffset = value;
    update();
}

void TsuiTitleBar::SetDrawAppIcon(bool draw)
{
    FDrawAppIcon = draw;
    update();
}

void TsuiTitleBar::SetInactiveCaptionColor(TColor color)
{
    FInactiveCaptionColor = color;
    update();
}

void TsuiTitleBar::SetCaptionFont(const QFont& font)
{
    FFont = font;
    update();
}

void TsuiTitleBar::ProcessMaxBtn()
{
    if (FCustom || !parentWidget()) return;
    const bool maximized = IsSkinnedMaximized(window());
    for (int i = 0; i < FButtons.Count(); ++i)
        if (FButtons.Items(i)->ButtonType() == TsuiTitleBarBtnType::suiMax)
            FButtons.Items(i)->LoadMaxPictures(maximized);
}

QImage TsuiTitleBar::GetTitleImage(int index) const
{
    if (index == -1) return FTitleImage;
    if (index == -2) return FTitleImageCopy;
    if (index >= 0 && index < FSections.Count() && FSections.Count() > 2)
        return FSections.Items(index)->Picture();
    return {};
}

bool TsuiTitleBar::CanPaint() const
{
    const int count = FSections.Count();
    auto has = [this](int i) { return !FSections.Items(i)->Picture().isNull(); };
    if (count == 3) return true;
    return count == 5 && has(0) && has(1) && has(2) && has(3) && has(4);
}

void TsuiTitleBar::AddHelpBtn()
{
    auto* button = FButtons.Add();
    button->SetUIStyle(Resolve(FFileTheme, FUIStyle));
    button->SetButtonType(TsuiTitleBarBtnType::suiHelp);
}

int TsuiTitleBar::FindVisibleButton(TsuiTitleBarBtnType type) const
{
    for (int i = 0; i < FButtons.Count(); ++i)
        if (FButtons.Items(i)->Visible() && FButtons.Items(i)->ButtonType() == type) return i;
    return -1;
}

QString ShortenCaption(const QFontMetrics& metrics, const QString& caption, int space)
{
    if (metrics.horizontalAdvance(caption) <= space) return caption;
    QString head = caption;
    while (!head.isEmpty()) {
        head.chop(1);
        if (metrics.horizontalAdvance(head + QStringLiteral("...")) <= space) break;
    }
    return head + QStringLiteral("...");
}

TsuiTitleBarLayout TsuiTitleBar::Layout(std::optional<QPoint> cursor) const
{
    TsuiTitleBarLayout layout;
    const int W = width();
    layout.Q = FrameOffset();
    if (InForm()) {
        layout.XO = layout.Q != 0 ? -layout.Q : -3;
        layout.YO = -3;
    }
    const QFontMetrics metrics(FFont);

    // Sections: left ends from the left, right ends from the right, the middle between them.
    int buttonsWidth = 0;
    for (int i = 0; i < FButtons.Count(); ++i)
        buttonsWidth += FButtons.Items(i)->PicNormal().width() + FButtonInterval;
    int x = layout.XO, xr = W - layout.XO, lastLeftWidth = 0, client = -1;
    bool captionSection = false;
    for (int i = 0; i < FSections.Count(); ++i) {
        const TsuiTitleBarSection& section = *FSections.Items(i);
        const QImage& picture = section.Picture();
        if (picture.isNull()) continue;
        const int pw = picture.width(), ph = picture.height();
        if (section.CapSec()) {
            const int nextWidth = i + 1 < FSections.Count() ? FSections.Items(i + 1)->Width() : 0;
            layout.CaptionText = FormatStringWithWidth(
                metrics, FCaption, W - FLeftBtnXOffset - 21 - buttonsWidth - nextWidth);
            const int sw = metrics.horizontalAdvance(layout.CaptionText) + FLeftBtnXOffset + 17 -
                           lastLeftWidth;
            layout.Sections.push_back({i, TRect(x, layout.YO, x + sw, layout.YO + ph)});
            x += sw;
            captionSection = true;
        } else if (section.Align() == TsuiTitleBarAlign::suiLeft) {
            layout.Sections.push_back({i, TRect(x, layout.YO, x + pw, layout.YO + ph)});
            x += pw;
            lastLeftWidth = pw;
        } else if (section.Align() == TsuiTitleBarAlign::suiRight) {
            layout.Sections.push_back({i, TRect(xr - pw, layout.YO, xr, layout.YO + ph)});
            xr -= pw;
        } else {
            client = i;
        }
    }
    if (client >= 0)
        layout.Sections.push_back(
            {client,
             TRect(x, layout.YO, xr, layout.YO + FSections.Items(client)->Picture().height())});
    if (!parentWidget()) return layout;

    // Right-hand buttons, from the right edge leftwards; the close button hugs the edge.
    auto statePicture = [&](int index, TRect rect) {
        const TsuiTitleBarButton& button = *FButtons.Items(index);
        if (cursor && InRect(*cursor, rect)) {
            layout.HotIndex = index;
            return FPressed ? &button.PicMouseDown() : &button.PicMouseOn();
        }
        return &button.PicNormal();
    };
    int bx = W - FRightBtnXOffset + (layout.Q - 1);
    int box = -1;
    for (int i = 0; i < FButtons.Count(); ++i) {
        const TsuiTitleBarButton& button = *FButtons.Items(i);
        if (!button.Visible() || !button.HasPictures()) continue;
        if (button.ButtonType() == TsuiTitleBarBtnType::suiControlBox) {
            box = i;
            continue;
        }
        const int bw = button.PicNormal().width(), bh = button.PicNormal().height();
        bx -= button.ButtonType() == TsuiTitleBarBtnType::suiClose ? bw : bw + FButtonInterval + 1;
        if (bx + bw + 1 > W) bx = W - bw - 1;
        const TRect rect(bx, FRowTop, bx + bw, FRowTop + bh);
        layout.Buttons.push_back({i, rect, statePicture(i, rect)});
    }

    // Left side: the application icon, or the control-box button one pixel higher.
    int lx = std::max(0, FLeftBtnXOffset - 4 - (layout.Q - 1));
    if (box >= 0) {
        const TsuiTitleBarButton& button = *FButtons.Items(box);
        const int bw = button.PicNormal().width(), bh = button.PicNormal().height();
        const TRect rect(lx, FBoxTop, lx + bw, FBoxTop + bh);
        layout.ControlBox = TsuiTitleBarLayout::Button{box, rect, statePicture(box, rect)};
        if (FDrawAppIcon) {
            layout.DrawIcon = true;
            layout.IconPos = QPoint(lx + 3, FBoxTop);
            lx += 21;
        } else {
            // Hit-tested at BoxTop, drawn one pixel higher than the right-hand row.
            lx += bw + 5;
        }
    }
    if (lx == 0) lx = 6;

    if (!captionSection) layout.CaptionText = ShortenCaption(metrics, FCaption, bx - lx);
    const bool protein = Resolve(FFileTheme, FUIStyle) == TsuiUIStyle::Protein;
    layout.CaptionPos = QPoint(lx, FRowTop + (protein ? 3 : 0));
    return layout;
}

QImage TsuiTitleBar::ApplicationIcon() const
{
    QIcon icon = window()->windowIcon();
    if (icon.isNull()) icon = QApplication::windowIcon();
    return icon.isNull() ? QImage() : icon.pixmap(16, 16).toImage();
}

std::optional<QPoint> TsuiTitleBar::CursorInBar() const
{
    return underMouse() || FPressed ? FMousePos : std::nullopt;
}

void TsuiTitleBar::paintEvent(QPaintEvent*)
{
    const TsuiTitleBarLayout layout = Layout(CursorInBar());
    FHotIndex = layout.HotIndex;
    QPainter screen(this);
    if (!parentWidget() || !CanPaint() || width() <= 0 || height() <= 0) return;

    QImage bar(size(), QImage::Format_RGB32);
    bar.fill(Qt::black);
    FTitleImage = QImage(width() - 2 * layout.XO, height() - layout.YO, QImage::Format_RGB32);
    FTitleImage.fill(Qt::black);
    {
        QPainter canvas(&bar);
        QPainter title(&FTitleImage);
        for (const auto& piece : layout.Sections) {
            const QImage& picture = FSections.Items(piece.Section)->Picture();
            const TRect whole(0, 0, picture.width(), picture.height());
            DrawKeyed(canvas, picture, whole, piece.Dest, std::nullopt);
            TRect onTitle = piece.Dest;
            onTitle.Left -= layout.XO;
            onTitle.Right -= layout.XO;
            onTitle.Top -= layout.YO;
            onTitle.Bottom -= layout.YO;
            DrawKeyed(title, picture, whole, onTitle, std::nullopt);
        }
        auto drawButton = [&](const TsuiTitleBarLayout::Button& b, int dy) {
            const TsuiTitleBarButton& button = *FButtons.Items(b.Index);
            const QImage& picture = *b.Picture;
            std::optional<TColor> key;
            if (button.Transparent()) key = fromQColor(picture.pixelColor(0, picture.height() - 1));
            const TRect whole(0, 0, picture.width(), picture.height());
            DrawKeyed(canvas, picture, whole,
                      TRect(b.Rect.Left, b.Rect.Top + dy, b.Rect.Left + picture.width(),
                            b.Rect.Top + dy + picture.height()),
                      key);
        };
        for (const auto& b : layout.Buttons)
            drawButton(b, 0);
        if (layout.ControlBox && layout.DrawIcon) {
            const QImage icon = ApplicationIcon();
            if (!icon.isNull()) canvas.drawImage(layout.IconPos, icon);
        } else if (layout.ControlBox) {
            drawButton(*layout.ControlBox, -1);
        }
        canvas.setFont(FFont);
        canvas.setPen(toQColor(FFormActive ? FontColor() : FInactiveCaptionColor));
        const QFontMetrics metrics(FFont);
        canvas.drawText(
            QRect(layout.CaptionPos,
                  QSize(metrics.horizontalAdvance(layout.CaptionText) + 1, metrics.height())),
            Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, layout.CaptionText);
    }
    FTitleImageCopy = FTitleImage.copy();
    screen.drawImage(0, 0, bar);
    bool captionSection = false;
    for (int i = 0; i < FSections.Count(); ++i)
        captionSection |= FSections.Items(i)->CapSec();
    if (captionSection)
        if (auto* form = qobject_cast<TsuiForm*>(parentWidget())) form->PaintFormBorder();
}

void TsuiTitleBar::DoClick(int index)
{
    if (!parentWidget() || index < 0 || index >= FButtons.Count()) return;
    TsuiTitleBarButton& button = *FButtons.Items(index);
    switch (button.ButtonType()) {
    case TsuiTitleBarBtnType::suiMax:
        ClickMax(index);
        break;
    case TsuiTitleBarBtnType::suiMin:
        ClickMin(index);
        break;
    case TsuiTitleBarBtnType::suiClose:
        window()->close();
        break;
    case TsuiTitleBarBtnType::suiControlBox:
        if (QMenu* menu = button.ControlBoxMenu()) {
            QPoint at = mapToGlobal(QPoint(0, height()));
            at.setX(std::max(0, at.x()));
            menu->popup(at);
        }
        break;
    case TsuiTitleBarBtnType::suiHelp:
    case TsuiTitleBarBtnType::suiCustom:
        break;
    }
}

void TsuiTitleBar::ClickMax(int)
{
    if (!parentWidget()) return;
    bool allow = true;
    if (OnMaxClick) OnMaxClick(this, allow);
    if (!allow) return;
    QWidget* form = window();
    if (IsSkinnedMaximized(form))
        RestoreSkinnedWindow(form);
    else
        MaximizeSkinnedWindow(form);
    ProcessMaxBtn();
}

void TsuiTitleBar::ClickMin(int)
{
    if (!parentWidget()) return;
    bool allow = true;
    if (OnMinClick) OnMinClick(this, allow);
    if (allow) window()->showMinimized();
}

void TsuiTitleBar::PopupWindowMenu(QPoint globalPos)
{
    FMenu->UpdateItems();
    FMenu->popup(globalPos);
}

void TsuiTitleBar::ControlBoxMenuTimer()
{
    PopupWindowMenu(mapToGlobal(QPoint(0, height())));
}

void TsuiTitleBar::mousePressEvent(QMouseEvent* event)
{
    FMousePos = event->position().toPoint();
    if (event->button() != Qt::LeftButton) return;
    FPressed = true;
    const int hot = Layout(FMousePos).HotIndex;
    FHotIndex = hot;
    if (hot < 0 && parentWidget() && !IsSkinnedMaximized(window())) {
        FDragArmed = true;
        FDragStartGlobal = event->globalPosition().toPoint();
        FDragStartWindow = window()->pos();
    }
    update();
}

void TsuiTitleBar::mouseMoveEvent(QMouseEvent* event)
{
    FMousePos = event->position().toPoint();
    const QPoint global = event->globalPosition().toPoint();
    if (FDragArmed && (event->buttons() & Qt::LeftButton) &&
        (global - FDragStartGlobal).manhattanLength() >= QApplication::startDragDistance()) {
        // The window manager moves the window from here; without one we move it ourselves.
        FDragArmed = false;
        FPressed = false;
        QWindow* handle = window()->windowHandle();
        FManualMove = !(handle && handle->startSystemMove());
    }
    if (FManualMove) window()->move(FDragStartWindow + global - FDragStartGlobal);
    update();
}

void TsuiTitleBar::mouseReleaseEvent(QMouseEvent* event)
{
    FMousePos = event->position().toPoint();
    if (event->button() != Qt::LeftButton) return;
    const bool moving = FManualMove;
    FManualMove = false;
    FDragArmed = false;
    const int hot = moving ? -1 : Layout(FMousePos).HotIndex;
    QPointer<TsuiTitleBar> alive(this);
    if (hot >= 0) {
        const TsuiTitleBarButton& button = *FButtons.Items(hot);
        const auto type = button.ButtonType();
        if (type == TsuiTitleBarBtnType::suiControlBox && !button.ControlBoxMenu()) {
            // A second click may follow and close the window instead.
            FBoxMenuTimer.start();
        } else {
            DoClick(hot);
            if (alive && type == TsuiTitleBarBtnType::suiCustom && OnCustomBtnsClick)
                OnCustomBtnsClick(this, hot);
            else if (alive && type == TsuiTitleBarBtnType::suiHelp && OnHelpBtnClick)
                OnHelpBtnClick(this, hot);
        }
    }
    if (!alive) return;
    FPressed = false;
    update();
}

void TsuiTitleBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    FMousePos = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !parentWidget()) return;
    FDragArmed = false;
    const TsuiTitleBarLayout layout = Layout(FMousePos);
    if (layout.HotIndex < 0) {
        DoClick(FindVisibleButton(TsuiTitleBarBtnType::suiMax));
    } else if (layout.ControlBox && layout.ControlBox->Index == layout.HotIndex) {
        FBoxMenuTimer.stop();
        window()->close();
    }
}

void TsuiTitleBar::leaveEvent(QEvent*)
{
    FMousePos.reset();
    update();
}

void TsuiTitleBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) update();
    TsuiControl<QWidget>::changeEvent(event);
}

// ---- maximising ----

TRect MaximizedBounds(TRect workArea)
{
    return TRect(workArea.Left - 2, workArea.Top - 2, workArea.Right + 2, workArea.Bottom - 1);
}

bool IsSkinnedMaximized(const QWidget* form)
{
    return form->isMaximized() || form->property("suiMaximized").toBool();
}

// The frameless window is maximised by placing it, not by asking the window manager, which
// would keep it inside the work area and drop the state at the first move.
void MaximizeSkinnedWindow(QWidget* form)
{
    if (IsSkinnedMaximized(form)) return;
    form->setProperty("suiRestoreBounds", form->geometry());
    form->setProperty("suiRestoreMaxSize", form->maximumSize());
    form->setProperty("suiMaximized", true);
    form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    form->setGeometry(MaximizedBounds(GetWorkAreaRect(form)).toQRect());
    QWindowStateChangeEvent changed(form->windowState());
    QCoreApplication::sendEvent(form, &changed);
}

void RestoreSkinnedWindow(QWidget* form)
{
    if (form->isMaximized()) form->setWindowState(form->windowState() & ~Qt::WindowMaximized);
    if (!form->property("suiMaximized").toBool()) return;
    form->setProperty("suiMaximized", false);
    const QSize maxSize = form->property("suiRestoreMaxSize").toSize();
    if (maxSize.isValid()) form->setMaximumSize(maxSize);
    const QRect saved = form->property("suiRestoreBounds").toRect();
    if (saved.isValid()) form->setGeometry(saved);
    QWindowStateChangeEvent changed(form->windowState() | Qt::WindowMaximized);
    QCoreApplication::sendEvent(form, &changed);
}
