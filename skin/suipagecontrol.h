#pragma once
// The page control: a tab host whose tabs are its tab sheets. Exactly the active page is enabled
// and in front; the others stay behind it, disabled.
#include "skin/suitabcontrol.h"

#include <QList>

class TsuiTabSheet;

// The page control's strip; the same strip as the plain tab host's.
class TsuiPageControlTopPanel : public TsuiTabControlTopPanel
{
    Q_OBJECT

public:
    using TsuiTabControlTopPanel::TsuiTabControlTopPanel;
};

class TsuiPageControl : public TsuiTab
{
    Q_OBJECT
    // The stored active page, by component name; applied once the layout has been read.
    Q_PROPERTY(QString ActivePage READ ActivePageName WRITE SetActivePageName)
    // The stored page order, by component name.
    Q_PROPERTY(QStringList Pages READ PageNames WRITE SetPageNames)
    Q_PROPERTY(int PageCount READ PageCount)
    Q_PROPERTY(int ActivePageIndex READ ActivePageIndex WRITE SetActivePageIndex)

public:
    explicit TsuiPageControl(QWidget* parent = nullptr);
    ~TsuiPageControl() override;

    TsuiTabSheet* ActivePage() const { return FActivePage; }
    // Activation by page (none leaves no active page; the strip keeps its selection).
    void SetActivePage(TsuiTabSheet* page);
    QString ActivePageName() const;
    // Names a page to activate; a name no page has yet waits for Loaded().
    void SetActivePageName(const QString& name);
    QStringList PageNames() const;
    void SetPageNames(const QStringList& names);
    int PageCount() const { return int(FPages.size()); }
    // Page index, or nullptr when index is out of range.
    TsuiTabSheet* GetPage(int index) const;
    // The active page's index, 0 without one.
    int ActivePageIndex() const;
    // Activates page index by index; an index out of range is ignored.
    void SetActivePageIndex(int index);
    // Activates the next (or previous) page whose tab is visible, wrapping around.
    void SelectNextPage(bool goForward);
    // Creates, parents and returns a page named and captioned "suiTabSheet<n>".
    TsuiTabSheet* NewPage();
    // Brings child to the front when it is one of the pages.
    void ShowControl(QWidget* child);
    // Ends reading a stored layout: orders the pages and applies the stored active page.
    Q_INVOKABLE void Loaded();

    int GetImageIndex(int tabIndex) const override;
    void TabActive(int index) override;

protected:
    TsuiTabControlTopPanel* CreateTopPanel() override;
    void BorderColorChanged() override;
    void ColorChanged() override;
    void UpdateUIStyle(TsuiUIStyle style, TsuiFileTheme* fileTheme) override;
    void AlignChildren() override;

private:
    friend class TsuiTabSheet;
    void InsertPage(TsuiTabSheet* page);
    void RemovePage(TsuiTabSheet* page);
    void MovePage(TsuiTabSheet* page, int index);
    void PageControlNameRead();
    void Renumber();
    void RebuildTabs();
    void ActivateByIndex(int index);
    // Disables the active page and raises its OnHide, unless it is keep.
    void LeaveActivePage(const TsuiTabSheet* keep);
    void BringToFront(TsuiTabSheet* page);
    void FocusFirstChild(TsuiTabSheet* page);
    void TabVisibleChanged(TsuiTabSheet* page);

    QList<TsuiTabSheet*> FPages;
    QStringList FPageNames;
    QPointer<TsuiTabSheet> FActivePage;
    QString FStoredActivePage;
};

// One page of a page control.
class TsuiTabSheet : public TsuiControl<QWidget>
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int PageIndex READ PageIndex WRITE SetPageIndex)
    Q_PROPERTY(bool TabVisible READ TabVisible WRITE SetTabVisible)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    // The stored name of the page control; reading it may complete the stored page order.
    Q_PROPERTY(QString PageControl READ PageControlName WRITE SetPageControlName)

public:
    explicit TsuiTabSheet(QWidget* parent = nullptr);
    ~TsuiTabSheet() override;

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    // Position among the pages, -1 while not on a page control.
    int PageIndex() const { return FPageIndex; }
    // Moves the page; a position out of range is ignored.
    void SetPageIndex(int index);
    bool TabVisible() const;
    void SetTabVisible(bool visible);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    TsuiPageControl* PageControl() const { return FPageControl; }
    QString PageControlName() const;
    void SetPageControlName(const QString& name);

signals:
    void OnShow();
    void OnHide();

protected:
    void changeEvent(QEvent* event) override;

private:
    friend class TsuiPageControl;
    QPointer<TsuiPageControl> FPageControl;
    QString FCaption;
    int FPageIndex = -1;
    bool FTabVisible = true;
    int FImageIndex = -1;
};
