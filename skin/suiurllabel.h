#pragma once
// A label that shows a web address, underlined, and opens it when clicked.
#include "skin/suicontrol.h"

#include <QLabel>
#include <QUrl>

class TsuiURLLabel : public TsuiControl<QLabel>
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString URL READ URL WRITE SetURL)
    Q_PROPERTY(TColor FontLinkColor READ FontLinkColor WRITE SetFontLinkColor)
    Q_PROPERTY(TColor FontHoverColor READ FontHoverColor WRITE SetFontHoverColor)
    Q_PROPERTY(bool AutoSize MEMBER FAutoSize)

public:
    explicit TsuiURLLabel(QWidget* parent = nullptr);

    TColor FontLinkColor() const { return FFontLinkColor; }
    void SetFontLinkColor(TColor color);
    TColor FontHoverColor() const { return FFontHoverColor; }
    void SetFontHoverColor(TColor color) { FFontHoverColor = color; }
    QString URL() const { return FURL; }
    void SetURL(const QString& url);
    // Opens the address (when it is not blank), then raises OnClick.
    void Click();
    // The address a click hands to the desktop; empty when there is nothing (safe) to open.
    static QUrl UrlToOpen(const QString& url);

signals:
    void OnClick(QObject* Sender);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ShowTextColor(TColor color);

    QString FURL;
    TColor FFontLinkColor = clBlue;
    TColor FFontHoverColor = clRed;
    bool FAutoSize = true;
    bool FPressed = false;
};
