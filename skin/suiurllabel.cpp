#include "skin/suiurllabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

TsuiURLLabel::TsuiURLLabel(QWidget* parent) : TsuiControl<QLabel>(parent)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ShowTextColor(FFontLinkColor);
}

void TsuiURLLabel::changeEvent(QEvent* event)
{
    // A link is underlined: a font given without saying otherwise (a stored family and size,
    // the parent's font) keeps the underline; only an explicit "not underlined" removes it.
    if (event->type() == QEvent::FontChange && !font().underline() &&
        !(font().resolveMask() & QFont::UnderlineResolved)) {
        QFont underlined = font();
        underlined.setUnderline(true);
        setFont(underlined);
    }
    TsuiControl<QLabel>::changeEvent(event);
}

void TsuiURLLabel::SetFontLinkColor(TColor color)
{
    FFontLinkColor = color;
    ShowTextColor(color);
}

void TsuiURLLabel::ShowTextColor(TColor color)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, toQColor(color));
    setPalette(palette);
}

void TsuiURLLabel::enterEvent(QEnterEvent* event)
{
    ShowTextColor(FFontHoverColor);
    QLabel::enterEvent(event);
}

void TsuiURLLabel::leaveEvent(QEvent* event)
{
    ShowTextColor(FFontLinkColor);
    QLabel::leaveEvent(event);
}

void TsuiURLLabel::SetURL(const QString& url)
{
    if (url != FURL) FURL = url;
}

QUrl TsuiURLLabel::UrlToOpen(const QString& url)
{
    // Blanks and control characters around the address do not count.
    qsizetype first = 0, last = url.size();
    while (first < last && url.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && url.at(last - 1).unicode() <= 0x20)
        --last;
    if (first == last) return {};
    // Only web and mail addresses reach the desktop: a link label must not start programs or
    // open local files.
    const QUrl parsed = QUrl::fromUserInput(url.mid(first, last - first));
    const QString scheme = parsed.scheme();
    if (!parsed.isValid() || (scheme != u"http" && scheme != u"https" && scheme != u"mailto"))
        return {};
    return parsed;
}

void TsuiURLLabel::Click()
{
    const QUrl url = UrlToOpen(FURL);
    if (!url.isEmpty()) QDesktopServices::openUrl(url);
    emit OnClick(this);
}

void TsuiURLLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) FPressed = true;
    QLabel::mousePressEvent(event);
}

void TsuiURLLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool pressed = FPressed;
    FPressed = false;
    if (event->button() == Qt::LeftButton && pressed &&
        rect().contains(event->position().toPoint()))
        Click();
    QLabel::mouseReleaseEvent(event);
}
