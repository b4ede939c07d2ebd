#include "app/demo.h"

#include "app/unit1.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <cstdio>

namespace {
// How long the module may take to answer before the script gives up.
constexpr int ReplyTimeoutMs = 10000;
constexpr int PollMs = 50;

void Finish(TForm1& form, const QString& path, bool replied)
{
    const bool saved = form.grab().save(path, "PNG");
    if (saved)
        std::printf("%s\n", qPrintable(path));
    else
        std::fprintf(stderr, "esp8266wifi: cannot write %s\n", qPrintable(path));
    if (!replied) std::fprintf(stderr, "esp8266wifi: no reply was shown\n");
    QApplication::exit(saved && replied ? 0 : 1);
}

void WaitForReply(TForm1& form, const QString& path, QDeadlineTimer deadline)
{
    if (form.suiListBox1->count() > 0 || deadline.hasExpired()) {
        Finish(form, path, form.suiListBox1->count() > 0);
        return;
    }
    QTimer::singleShot(PollMs, &form,
                       [&form, path, deadline] { WaitForReply(form, path, deadline); });
}
} // namespace

void StartDemoScreenshot(TForm1& form, const QString& path)
{
    QTimer::singleShot(0, &form, [&form, path] {
        form.suiButton_OpenPort->click();
        form.suiPageControl1->SetActivePage(form.suiTabSheet1);
        form.suiBoxAT_Cmd->setCurrentIndex(2);
        emit form.suiBoxAT_Cmd->activated(2);
        form.suiButton3->click();
        WaitForReply(form, path, QDeadlineTimer(ReplyTimeoutMs));
    });
}
