#include "workbench/statustexts.h"

#include <gtest/gtest.h>

using Workbench::ShortTimeText;

TEST(ShortTimeText, ShowsHoursAndMinutesWithoutSeconds)
{
    const QTime time(7, 5, 59);
    // The C locale's short format is HH:mm:ss; the start time shows hours and minutes only.
    EXPECT_EQ(ShortTimeText(time, QLocale::c()).toStdString(), "07:05");
    const QString us = ShortTimeText(time, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(us.startsWith(QStringLiteral("7:05"))) << us.toStdString();
    EXPECT_FALSE(us.contains(QStringLiteral("59"))) << us.toStdString();
    EXPECT_EQ(ShortTimeText(QTime(23, 59, 1), QLocale(QLocale::German)).toStdString(), "23:59");
}
