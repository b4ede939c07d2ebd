#include "skin/suipagecontrol.h"

#include "skin/suipublic.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>

TsuiPageControl::TsuiPageControl(QWidget* parent) : TsuiTab(parent)
{
    InitTopPanel();
    TopPanel()->SetTabs({});
}

TsuiPageControl::~TsuiPageControl()
{
    // The pages are destroyed after this object; they must not report back to it.
    for (TsuiTabSheet* page : FPages)
        page->FPageControl = nullptr;
}

TsuiTabControlTopPanel* TsuiPageControl::CreateTopPanel()
{
    return new TsuiPageControlTopPanel(this);
}

QString TsuiPageControl::ActivePageName() const
{
    return FActivePage ? FActivePage->objectName() : FStoredActivePage;
}

void TsuiPageControl::SetActivePageName(const QString& name)
{
    // A name given before any page has joined comes from a stored layout being read.
    if (FPages.isEmpty() && !name.isEmpty()) {
        FStoredActivePage = name;
        FLoading = true;
        return;
    }
    if (name.isEmpty()) {
        SetActivePage(nullptr);
        return;
    }
    for (TsuiTabSheet* page : FPages)
        if (page->objectName() == name) return SetActivePage(page);
}

QStringList TsuiPageControl::PageNames() const
{
    QStringList names;
    for (TsuiTabSheet* page : FPages)
        names << page->objectName();
    return names;
}

void TsuiPageControl::SetPageNames(const QStringList& names)
{
    FPageNames = names;
    if (FPages.isEmpty())
        FLoading = true;
    else
        PageControlNameRead();
}

TsuiTabSheet* TsuiPageControl::GetPage(int index) const
{
    return index >= 0 && index < PageCount() ? FPages.at(index) : nullptr;
}

int TsuiPageControl::ActivePageIndex() const
{
    return FActivePage ? FActivePage->PageIndex() : 0;
}

void TsuiPageControl::SetActivePageIndex(int index)
{
    if (index >= 0 && index < PageCount()) ActivateByIndex(index);
}

int TsuiPageControl::GetImageIndex(int tabIndex) const
{
    const TsuiTabSheet* page = GetPage(tabIndex);
    return page ? page->ImageIndex() : -1;
}

void TsuiPageControl::Loaded()
{
    PageControlNameRead();
    if (!FStoredActivePage.isEmpty())
        for (TsuiTabSheet* page : FPages)
            if (page->objectName() == FStoredActivePage) SetActivePage(page);
    FStoredActivePage.clear();
    FLoading = false;
    PlaceStripFirstInTabOrder();
}

void TsuiPageControl::LeaveActivePage(const TsuiTabSheet* keep)
{
    if (!FActivePage || FActivePage == keep) return;
    FActivePage->setEnabled(false);
    emit FActivePage->OnHide();
}

void TsuiPageControl::BringToFront(TsuiTabSheet* page)
{
    page->setVisible(true);
    page->setEnabled(true);
    page->raise();
    page->update();
}

void TsuiPageControl::FocusFirstChild(TsuiTabSheet* page)
{
    // Labels and images come first in the order examined, then the controls that take input.
    QWidget* first = nullptr;
    for (bool labels : {true, false}) {
        for (QObject* child : page->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget && bool(qobject_cast<QLabel*>(widget)) == labels) {
                first = widget;
                break;
            }
        }
        if (first) break;
    }
    if (!first || qobject_cast<QLabel*>(first)) return;
    if (!first->isHidden() && first->isEnabled() && (first->focusPolicy() & Qt::TabFocus))
        first->setFocus(Qt::OtherFocusReason);
}

void TsuiPageControl::SetActivePage(TsuiTabSheet* page)
{
    if (page && !FPages.contains(page)) return;
    LeaveActivePage(page);
    FActivePage = page;
    if (!page) return;
    SetTabIndex(page->PageIndex());
    TopPanel()->SetTabIndex(page->PageIndex());
    BringToFront(page);
    emit page->OnShow();
}

void TsuiPageControl::ActivateByIndex(int index)
{
    if (FActivePage && FActivePage->PageIndex() != index) {
        LeaveActivePage(nullptr);
        // Told once that it is hidden; activation of none below must not tell it again.
        FActivePage = nullptr;
    }
    TsuiTabSheet* page = GetPage(index);
    if (!page) return SetActivePage(nullptr);
    SetTabIndex(index);
    TopPanel()->SetTabIndex(index);
    FActivePage = page;
    BringToFront(page);
    emit page->OnShow();
}

void TsuiPageControl::TabActive(int index)
{
    TsuiTabSheet* page = GetPage(index);
    // Asked before the old page is disabled: Qt moves the focus off a disabled page, and it
    // must not land on the strip and pass for a strip the user focused.
    const bool stripFocused = TopPanel()->hasFocus();
    if (FActivePage && FActivePage->PageIndex() != index) LeaveActivePage(nullptr);
    FActivePage = page;
    if (page) {
        BringToFront(page);
        // While the strip holds the focus a page switch neither moves the focus nor shows.
        if (!stripFocused && !FLoading) {
            FocusFirstChild(page);
            emit page->OnShow();
        }
    }
    TsuiTab::TabActive(index);
}

void TsuiPageControl::SelectNextPage(bool goForward)
{
    if (!FActivePage) return;
    const int current = FActivePage->PageIndex();
    const int count = PageCount();
    const auto shown = [this](int i) { return TopPanel()->TabVisibleAt(i); };
    // Every other page in order of preference, wrapping around.
    for (int step = 1; step < count; ++step) {
        const int i = goForward ? (current + step) % count : (current - step + count) % count;
        if (shown(i)) return SetActivePage(FPages.at(i));
    }
}

TsuiTabSheet* TsuiPageControl::NewPage()
{
    QWidget* owner = parentWidget() ? window() : nullptr;
    int n = PageCount() + 1;
    if (owner) {
        n = 1;
        while (owner->findChild<QObject*>(QStringLiteral("suiTabSheet%1").arg(n)))
            ++n;
    }
    auto* page = new TsuiTabSheet;
    page->setObjectName(QStringLiteral("suiTabSheet%1").arg(n));
    page->SetCaption(page->objectName());
    page->setParent(this);
    return page;
}

void TsuiPageControl::ShowControl(QWidget* child)
{
    if (auto* page = qobject_cast<TsuiTabSheet*>(child); page && FPages.contains(page))
        SetActivePage(page);
}

void TsuiPageControl::InsertPage(TsuiTabSheet* page)
{
    page->FPageControl = this;
    page->SetColor(Color());
    FPages.append(page);
    Renumber();
    RebuildTabs();
    page->setGeometry(PageArea().toQRect());
    SetActivePage(page);
}

void TsuiPageControl::RemovePage(TsuiTabSheet* page)
{
    const int index = int(FPages.indexOf(page));
    if (index < 0) return;
    FPages.removeAt(index);
    page->FPageControl = nullptr;
    page->FPageIndex = -1;
    Renumber();
    RebuildTabs();
    ActivateByIndex(index - 1);
    if (FActivePage == page) FActivePage = nullptr;
}

void TsuiPageControl::MovePage(TsuiTabSheet* page, int index)
{
    if (index < 0 || index >= PageCount()) return;
    FPages.move(FPages.indexOf(page), index);
    Renumber();
    RebuildTabs();
    SetActivePage(page);
}

void TsuiPageControl::PageControlNameRead()
{
    if (FPageNames.isEmpty() || FPageNames.size() != FPages.size()) return;
    std::stable_sort(FPages.begin(), FPages.end(), [this](TsuiTabSheet* a, TsuiTabSheet* b) {
        const auto position = [this](TsuiTabSheet* p) {
            const qsizetype i = FPageNames.indexOf(p->objectName());
            return i < 0 ? FPageNames.size() : i;
        };
        return position(a) < position(b);
    });
    Renumber();
    RebuildTabs();
    for (int i = 0; i < PageCount(); ++i)
        TopPanel()->SetTabVisibleAt(i, FPages.at(i)->FTabVisible);
}

void TsuiPageControl::Renumber()
{
    for (int i = 0; i < PageCount(); ++i)
        FPages.at(i)->FPageIndex = i;
}

void TsuiPageControl::RebuildTabs()
{
    QStringList captions;
    for (TsuiTabSheet* page : FPages)
        captions << page->Caption();
    TopPanel()->SetTabs(captions);
}

void TsuiPageControl::TabVisibleChanged(TsuiTabSheet* page)
{
    if (page != FActivePage || page->TabVisible()) return;
    const int current = page->PageIndex();
    for (int i = current - 1; i >= 0; --i)
        if (TopPanel()->TabVisibleAt(i)) return ActivateByIndex(i);
    for (int i = current + 1; i < PageCount(); ++i)
        if (TopPanel()->TabVisibleAt(i)) return ActivateByIndex(i);
}

void TsuiPageControl::BorderColorChanged()
{
    if (FActivePage) FActivePage->update();
}

void TsuiPageControl::ColorChanged()
{
    if (FLoading) return;
    for (TsuiTabSheet* page : FPages)
        page->SetColor(Color());
}

void TsuiPageControl::UpdateUIStyle(TsuiUIStyle style, TsuiFileTheme* fileTheme)
{
    for (TsuiTabSheet* page : FPages) {
        ContainerApplyUIStyle(page, style, fileTheme);
        page->SetColor(Color());
        page->setGeometry(PageArea().toQRect());
    }
}

void TsuiPageControl::AlignChildren()
{
    TsuiTab::AlignChildren();
    for (TsuiTabSheet* page : FPages)
        page->setGeometry(PageArea().toQRect());
}

// ---------------------------------------------------------------------------------------------

TsuiTabSheet::TsuiTabSheet(QWidget* parent) : TsuiControl<QWidget>(parent)
{
    SetColor(clBtnFace);
    if (auto* pageControl = qobject_cast<TsuiPageControl*>(parent)) pageControl->InsertPage(this);
}

TsuiTabSheet::~TsuiTabSheet()
{
    if (FPageControl) FPageControl->RemovePage(this);
}

void TsuiTabSheet::changeEvent(QEvent* event)
{
    TsuiControl<QWidget>::changeEvent(event);
    if (event->type() != QEvent::ParentChange) return;
    auto* pageControl = qobject_cast<TsuiPageControl*>(parentWidget());
    if (pageControl == FPageControl) return;
    if (FPageControl) FPageControl->RemovePage(this);
    if (pageControl) pageControl->InsertPage(this);
}

void TsuiTabSheet::SetCaption(const QString& caption)
{
    FCaption = caption;
    if (FPageControl) FPageControl->RebuildTabs();
}

void TsuiTabSheet::SetPageIndex(int index)
{
    if (FPageControl) FPageControl->MovePage(this, index);
}

bool TsuiTabSheet::TabVisible() const
{
    return FPageControl ? FPageControl->TopPanel()->TabVisibleAt(FPageIndex) : FTabVisible;
}

void TsuiTabSheet::SetTabVisible(bool visible)
{
    FTabVisible = visible;
    if (!FPageControl) return;
    FPageControl->TopPanel()->SetTabVisibleAt(FPageIndex, visible);
    FPageControl->TabVisibleChanged(this);
}

void TsuiTabSheet::SetImageIndex(int index)
{
    FImageIndex = index;
    if (FPageControl) FPageControl->TopPanel()->Repaint();
}

QString TsuiTabSheet::PageControlName() const
{
    return FPageControl ? FPageControl->objectName() : QString();
}

void TsuiTabSheet::SetPageControlName(const QString&)
{
    // The page joined its control when it became its child; the name only completes the order.
    if (FPageControl) FPageControl->PageControlNameRead();
}
