#pragma once
// Texts of the status bar that are computed rather than fixed.
#include <QLocale>
#include <QString>
#include <QTime>

namespace Workbench {

// The time of day in the locale's short time format, hours and minutes only: some locales'
// short format (the C locale's among them) carries seconds, which a start time does not need.
QString ShortTimeText(const QTime& time, const QLocale& locale = QLocale());

} // namespace Workbench
