#include "skin/suiform.h"

#include "skin/suiaccessible.h"
#include "skin/suipublic.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMetaEnum>
#include <QPainter>
#include <cmath>

namespace {

void Fill(QPainter& canvas, TRect rect, TColor color)
{
    if (rect.Width() > 0 && rect.Height() > 0) canvas.fillRect(rect.toQRect(), toQColor(color));
}

bool DrawsCornerArcs(const TsuiFormBorderState& s)
{
    return s.BorderWidth == 1 && s.RoundCorner == 11;
}

// A rectangle whose four corners are cut along an ellipse Size pixels wide and high.
QRegion RoundRectRegion(TRect rect, int size)
{
    QRegion region(rect.toQRect());
    if (size <= 0) return region;
    const double a = size / 2.0;
    for (int y = 0;; ++y) {
        const double dy = a - (y + 0.5);
        if (dy <= 0) break;
        const int inset = int(std::lround(a - std::sqrt(a * a - dy * dy)));
        if (inset <= 0) continue;
        for (int row : {rect.Top + y, rect.Bottom - 1 - y}) {
            region -= QRegion(rect.Left, row, inset, 1);
            region -= QRegion(rect.Right - inset, row, inset, 1);
        }
    }
    return region;
}

} // namespace

void PaintFormBorderTo(QPainter& canvas, const TsuiFormBorderState& s)
{
    const int W = s.W, H = s.H, BW = s.BorderWidth;
    if (s.TitleBarVisible && s.TitleBarCanPaint && !s.Left.isNull() && !s.Right.isNull()) {
        // Left and right ends: the outer columns of the title artwork, at its full height.
        if (3 - BW > 0) {
            QImage work(3 - BW, s.Left.height(), QImage::Format_RGB32);
            work.fill(Qt::black);
            {
                QPainter p(&work);
                p.drawImage(0, 0, s.Left);
            }
            canvas.drawImage(BW, 0, work);
            {
                QPainter p(&work);
                if (s.Right.width() < 3)
                    p.drawImage(QRect(0, 0, work.width(), work.height()), s.Right);
                else
                    p.drawImage(2 - s.Right.width(), 0, s.Right);
            }
            canvas.drawImage(W - 3, 0, work);
        }
        // The top three rows: left end, right end and the middle stretched between them.
        if (W - 5 > 0) {
            QImage strip(W - 5, 3, QImage::Format_RGB32);
            strip.fill(Qt::black);
            QPainter p(&strip);
            const int rightX = (W - 5) - s.Right.width() + 3;
            p.drawImage(-2, 0, s.Left);
            p.drawImage(rightX, 0, s.Right);
            const TRect middle(s.Left.width() - 2, 0, rightX, s.Middle.height());
            if (!s.Middle.isNull())
                DrawKeyed(p, s.Middle, TRect(0, 0, s.Middle.width(), s.Middle.height()), middle,
                          std::nullopt);
            p.end();
            canvas.drawImage(2, 0, strip);
        }
    }
    if (DrawsCornerArcs(s)) {
        const int RC = s.RoundCorner;
        canvas.save();
        canvas.setRenderHint(QPainter::Antialiasing, false);
        canvas.setPen(toQColor(s.BorderColor));
        canvas.drawArc(QRect(W - 2 * RC + 1, -1, 2 * RC, 2 * RC), 0, 90 * 16);
        canvas.drawArc(QRect(-1, -1, 2 * RC, 2 * RC), 90 * 16, 90 * 16);
        canvas.restore();
    }
    if (!s.TitleBarVisible) {
        Fill(canvas, TRect(0, 0, W, 1), s.BorderColor);
        Fill(canvas, TRect(BW, 1, W - BW, 3), s.Color);
    }
    Fill(canvas, TRect(0, 0, BW, H), s.BorderColor);
    Fill(canvas, TRect(0, H - BW, W, H), s.BorderColor);
    Fill(canvas, TRect(W - BW, 0, W, H), s.BorderColor);
    if (BW < 4) {
        const int top = s.TitleBarHeight + s.MenuBarHeight;
        Fill(canvas, TRect(BW, H - 2, W - BW, H - BW), s.Color);
        Fill(canvas, TRect(BW, top, 3, H - BW), s.Color);
        Fill(canvas, TRect(W - 3, top, W - BW, H - BW), s.Color);
    }
}

QRegion FormBorderRegion(const TsuiFormBorderState& s)
{
    const int side = std::max(3, s.BorderWidth), bottom = std::max(2, s.BorderWidth);
    QRegion region(0, 0, s.W, 3);
    region += QRegion(0, 0, side, s.H);
    region += QRegion(s.W - side, 0, side, s.H);
    region += QRegion(0, s.H - bottom, s.W, bottom);
    if (DrawsCornerArcs(s)) {
        const int size = 2 * s.RoundCorner;
        region += QRegion(0, 0, size, size);
        region += QRegion(s.W - size, 0, size, size);
    }
    return region;
}

TRect FormClientRect(int W, int H, int BorderWidth)
{
    const int bottom = BorderWidth == 3 ? 3 : 1 + BorderWidth;
    return TRect(3, 3, W - 3, H - bottom);
}

QRegion FormRegion(int W, int H, int RoundCorner, int RoundCornerBottom)
{
    const int RC = std::max(0, RoundCorner), RB = std::max(0, RoundCornerBottom);
    const int H2 = H / 2;
    QRegion upper = RoundRectRegion(TRect(0, 0, W + 1, H2 + 1), RC);
    upper += QRegion(TRect(0, H2 - 2 * RC, 2 * RC, H2).toQRect());
    upper += QRegion(TRect(W - 2 * RC, H2 - 2 * RC, W, H2).toQRect());
    QRegion lower = RoundRectRegion(TRect(0, H2, W + 1, H + 1), RB);
    lower += QRegion(TRect(0, H2, 2 * RB, H2 + 2 * RB).toQRect());
    lower += QRegion(TRect(W - 2 * RB, H2, W, H2 + 2 * RB).toQRect());
    return (upper + lower) & QRegion(0, 0, W, H);
}

// Lies over the whole window, lets the mouse through, and paints only the frame's edges; it
// also watches the window for the frame (resizing, activation, state, Alt+Space, removal).
class TsuiFormFrame : public QWidget
{
public:
    TsuiFormFrame(TsuiForm* form, QWidget* window) : QWidget(window), FForm(form), FWindow(window)
    {
        setObjectName(QStringLiteral("suiFormFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        window->installEventFilter(this);
        qApp->installEventFilter(this);
        Place();
    }

    // Follows the window's size and keeps above every other control.
    void Place()
    {
        if (!FForm) return;
        setGeometry(0, 0, FWindow->width(), FWindow->height());
        setMask(FormBorderRegion(FForm->BorderState()));
        raise();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!FForm || FWindow->isMinimized()) return;
        QPainter canvas(this);
        PaintFormBorderTo(canvas, FForm->BorderState());
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == FWindow) return WindowEvent(event);
        if (event->type() == QEvent::KeyPress && FForm && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == FWindow) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::AltModifier) {
                TsuiTitleBar* bar = FForm->TitleBar();
                bar->PopupWindowMenu(FWindow->pos() + QPoint(0, bar->height()));
                return true;
            }
        }
        return false;
    }

private:
    bool WindowEvent(QEvent* event)
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
            if (FForm) {
                FForm->Realign();
                FForm->RegionWindow();
            }
            Place();
            break;
        case QEvent::ActivationChange:
            if (FForm) FForm->TitleBar()->SetFormActive(FWindow->isActiveWindow());
            update();
            break;
        case QEvent::WindowStateChange:
            if (FForm) FForm->WindowStateChanged();
            break;
        case QEvent::ChildRemoved:
            // The frame was removed at run time: the window gets its platform frame back.
            if (!FForm) GiveFrameBack();
            break;
        default:
            break;
        }
        return false;
    }

    void GiveFrameBack()
    {
        qApp->removeEventFilter(this);
        FWindow->removeEventFilter(this);
        const bool visible = FWindow->isVisible();
        FWindow->clearMask();
        FWindow->setWindowFlag(Qt::FramelessWindowHint, false);
        if (visible) FWindow->show();
        deleteLater();
    }

    QPointer<TsuiForm> FForm;
    QWidget* FWindow;
};

TsuiForm::TsuiForm(QWidget* parent)
    : TsuiControl<QWidget>(parent), FTitleBar(new TsuiTitleBar(this))
{
    // Every skinned window is seen by assistive tools through the skin's interfaces.
    InstallSkinAccessibility();
    // The title bar is the first child, so every control placed later lies above it.
    FTitleBar->setObjectName(QStringLiteral("TitleBar"));
    FMenuBarColor = FMenuBarToColor = Color();

    // Only one skinned frame per window takes over; any other stays a plain panel.
    bool another = false;
    if (parent)
        for (QObject* child : parent->children())
            another |= child != this && child->inherits("TsuiForm");
    if (parent && parent->isWindow() && !another) {
        FTakenOver = true;
        // A dialog frame: the window cannot be resized, unless it was sizeable.
        const int index = parent->metaObject()->indexOfProperty("BorderStyle");
        if (index >= 0) {
            const QMetaProperty property = parent->metaObject()->property(index);
            const QMetaEnum styles = property.enumerator();
            const QByteArray current = styles.valueToKey(property.read(parent).toInt());
            if (current == "bsNone" || current == "bsSingle" || current == "bsToolWindow")
                property.write(parent, styles.keyToValue("bsDialog"));
        }
        // The stored size is the client size: the window grows by the frame around it.
        const QSize client = parent->size();
        const TRect inner = FormClientRect(0, 0, FBorderWidth);
        const QSize total(client.width() - inner.Width(), client.height() - inner.Height());
        // A fixed-size window stays fixed at its new size.
        if (parent->maximumWidth() == client.width()) parent->setMaximumWidth(total.width());
        if (parent->maximumHeight() == client.height()) parent->setMaximumHeight(total.height());
        parent->resize(total);
        parent->setWindowFlag(Qt::FramelessWindowHint, true);
        FFrame = new TsuiFormFrame(this, parent);
    }
    SetUIStyle(TsuiUIStyle::DeepBlue);
    if (parent) SetCaption(parent->windowTitle());
    SetTitleBarVisible(true);
    Realign();
}

TsuiForm::~TsuiForm() = default;

void TsuiForm::SetUIStyle(TsuiUIStyle style)
{
    FUIStyle = style;
    TsuiUIStyle resolved = style;
    UsingFileTheme(qobject_cast<const TsuiFileTheme*>(FFileTheme.data()), style, resolved);
    FRoundCornerBottom = 0;
    FBorderColor = GetInsideThemeColor(resolved, SuiTheme::FormBorderColor);
    FBorderWidth = GetInsideThemeInt(resolved, SuiTheme::FormBorderWidth);
    FColor = GetInsideThemeColor(resolved, SuiTheme::FormColor);
    FMenuBarColor = FMenuBarToColor = FColor;
    FRoundCorner = GetInsideThemeInt(resolved, SuiTheme::FormRoundCorner);
    FTitleBar->SetFileTheme(FFileTheme);
    FTitleBar->SetUIStyle(style);
    if (FUIStyleAutoUpdateSub)
        ContainerApplyUIStyle(this, style, qobject_cast<TsuiFileTheme*>(FFileTheme.data()));
    Realign();
    update();
    PaintFormBorder();
    RegionWindow();
    ApplyMinHeight();
    emit OnUIStyleApplied(style);
}

void TsuiForm::SetFileTheme(QObject* theme)
{
    LinkFileTheme(theme);
    SetUIStyle(FUIStyle);
}

void TsuiForm::ApplyMinHeight()
{
    if (FTakenOver) window()->setMinimumHeight(MenuBarHeight() + FTitleBar->height() + 3);
}

void TsuiForm::SetBorderColor(TColor color)
{
    FBorderColor = color;
    PaintFormBorder();
}

void TsuiForm::SetBorderWidth(int width)
{
    FBorderWidth = width;
    Realign();
    PaintFormBorder();
}

void TsuiForm::SetColor(TColor color)
{
    FColor = color;
    update();
    PaintFormBorder();
}

void TsuiForm::SetTitleBarVisible(bool visible)
{
    FTitleBarWanted = visible;
    FTitleBar->setVisible(visible);
    FTitleBar->move(0, 0);
    Realign();
    PaintFormBorder();
    RegionWindow();
}

void TsuiForm::SetCaption(const QString& caption)
{
    FTitleBar->SetCaption(caption);
    if (parentWidget()) parentWidget()->window()->setWindowTitle(caption);
}

void TsuiForm::SetFormPanel(QWidget* panel)
{
    if (panel == this)
        throw EsuiError("Sorry, you can't select the Form assign to FormPanel property");
    FFormPanel = panel;
    Realign();
}

void TsuiForm::SetTitleBarButtons(const TsuiTitleBarButtons& buttons)
{
    FTitleBar->Buttons().Assign(buttons);
}

void TsuiForm::SetTitleBarSections(const TsuiTitleBarSections& sections)
{
    FTitleBar->Sections().Assign(sections);
}

QStringList TsuiForm::TitleBarButtonTypes() const
{
    const QMetaEnum names = QMetaEnum::fromType<TsuiTitleBarBtnType>();
    QStringList types;
    auto& buttons = FTitleBar->Buttons();
    for (int i = 0; i < buttons.Count(); ++i)
        types << QString::fromLatin1(names.valueToKey(int(buttons.Items(i)->ButtonType())));
    return types;
}

void TsuiForm::SetTitleBarButtonTypes(const QStringList& types)
{
    const QMetaEnum names = QMetaEnum::fromType<TsuiTitleBarBtnType>();
    TsuiUIStyle style = FUIStyle;
    UsingFileTheme(qobject_cast<const TsuiFileTheme*>(FFileTheme.data()), FUIStyle, style);
    auto& buttons = FTitleBar->Buttons();
    buttons.Clear();
    for (const QString& name : types) {
        bool known = false;
        const int value = names.keyToValue(name.trimmed().toLatin1().constData(), &known);
        if (!known) continue;
        auto* button = buttons.Add();
        button->SetUIStyle(style);
        button->SetButtonType(TsuiTitleBarBtnType(value));
    }
    FTitleBar->ProcessMaxBtn();
}

void TsuiForm::SetRoundCorner(int value)
{
    FRoundCorner = value;
    PaintFormBorder();
    RegionWindow();
}

void TsuiForm::SetRoundCornerBottom(int value)
{
    FRoundCornerBottom = value;
    RegionWindow();
}

int TsuiForm::GetTitleBarHeight() const
{
    return TitleBarVisible() ? FTitleBar->height() + 3 : 0;
}

TsuiFormBorderState TsuiForm::BorderState() const
{
    TsuiFormBorderState s;
    const QWidget* form = window();
    s.W = form->width();
    s.H = form->height();
    s.BorderWidth = FBorderWidth;
    s.BorderColor = FBorderColor;
    s.Color = FColor;
    s.TitleBarVisible = TitleBarVisible();
    s.TitleBarCanPaint = FTitleBar->CanPaint();
    if (FTitleBar->Sections().Count() >= 3) {
        s.Left = FTitleBar->Sections().Items(0)->Picture();
        s.Right = FTitleBar->Sections().Items(1)->Picture();
        s.Middle = FTitleBar->Sections().Items(2)->Picture();
    }
    s.RoundCorner = RoundCorner();
    s.TitleBarHeight = GetTitleBarHeight();
    s.MenuBarHeight = MenuBarHeight();
    return s;
}

void TsuiForm::PaintFormBorder()
{
    if (FFrame) FFrame->Place();
}

void TsuiForm::RegionWindow()
{
    if (!FTakenOver) return;
    QWidget* form = window();
    const int rc = RoundCorner(), rb = FRoundCornerBottom;
    if (rc <= 0 && rb <= 0)
        form->clearMask();
    else
        form->setMask(FormRegion(form->width(), form->height(), rc, rb));
}

void TsuiForm::ReAssign()
{
    if (!FTakenOver) return;
    QWidget* form = window();
    if (form->windowFlags() & Qt::FramelessWindowHint) return;
    const bool visible = form->isVisible();
    form->setWindowFlag(Qt::FramelessWindowHint, true);
    if (visible) form->show();
}

void TsuiForm::Loaded()
{
    Realign();
    PaintFormBorder();
}

void TsuiForm::Realign()
{
    if (FRealigning) return;
    FRealigning = true;
    if (FTakenOver) {
        const QWidget* form = window();
        setGeometry(FormClientRect(form->width(), form->height(), FBorderWidth).toQRect());
    }
    FTitleBar->setGeometry(0, 0, width(), FTitleBar->height());
    if (FFormPanel && FFormPanel->parentWidget() == this) {
        const int top = TitleBarVisible() ? FTitleBar->height() : 0;
        FFormPanel->setGeometry(0, top, width(), height() - top);
    }
    FRealigning = false;
}

void TsuiForm::WindowStateChanged()
{
    FTitleBar->ProcessMaxBtn();
    FTitleBar->update();
    PaintFormBorder();
    RegionWindow();
}

void TsuiForm::resizeEvent(QResizeEvent*)
{
    Realign();
}

void TsuiForm::moveEvent(QMoveEvent*)
{
    // The stored layout may place the panel at the window's corner; it belongs in the frame.
    if (FTakenOver) Realign();
}

void TsuiForm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TsuiUIStyle style = FUIStyle;
    UsingFileTheme(qobject_cast<const TsuiFileTheme*>(FFileTheme.data()), FUIStyle, style);
    QImage pattern;
    if ((style == TsuiUIStyle::MacOS &&
         LoadSkinBitmap(QStringLiteral("MACOS_FORM_BACKGROUND"), pattern)) ||
        (style == TsuiUIStyle::Protein &&
         LoadSkinBitmap(QStringLiteral("PROTEIN_FORM_BACKGROUND"), pattern)))
        painter.fillRect(rect(), QBrush(pattern));
    else
        painter.fillRect(rect(), toQColor(FColor));
}
