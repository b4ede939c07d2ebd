// The transcript file under failure: a full or failing file keeps only whole lines, what it
// refused waits (bounded) and goes out once writing works, and a file rotated or deleted away
// is opened anew at its path.
#include "qtprinters.h"
#include "workbench/sessiontranscript.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Workbench;

namespace {

constexpr std::int64_t T0 = 1796848634005;

// A file of Room bytes: writes stop where the room ends, as on a full disk.
struct FakeDisk
{
    QByteArray Content;
    qint64 Room = 1 << 30;
    bool CanTruncate = true;
    bool CanOpen = true;
    bool Rotated = false;
    int Opens = 0;
};

class FakeOutput : public TranscriptOutput
{
public:
    explicit FakeOutput(FakeDisk& disk) : Disk(disk) {}
    bool Open(const QString&) override
    {
        if (!Disk.CanOpen) return false;
        ++Disk.Opens;
        Disk.Rotated = false;
        return Opened = true;
    }
    void Close() override { Opened = false; }
    bool IsOpen() const override { return Opened; }
    qint64 Write(const char* data, qint64 size) override
    {
        const qint64 n = std::min(size, Disk.Room - qint64(Disk.Content.size()));
        if (n <= 0) return -1;
        Disk.Content.append(data, qsizetype(n));
        return n;
    }
    qint64 Size() const override { return Disk.Content.size(); }
    bool Truncate(qint64 size) override
    {
        if (!Disk.CanTruncate) return false;
        Disk.Content.truncate(qsizetype(size));
        return true;
    }
    bool StillAtPath() const override { return !Disk.Rotated; }
    QString ErrorText() const override
    {
        return Disk.CanOpen ? QStringLiteral("No space left on device")
                            : QStringLiteral("Permission denied");
    }

private:
    FakeDisk& Disk;
    bool Opened = false;
};

std::vector<SessionChunk> Lines(int from, int to)
{
    QByteArray bytes;
    for (int i = from; i < to; ++i)
        bytes += "+IPD,0,8:line " + QByteArray::number(i) + "\r\n";
    return {{SessionDirection::Received, {T0, T0}, bytes}};
}

QByteArray Expected(int from, int to)
{
    return TranscriptOf(Lines(from, to));
}

struct FakeTranscript
{
    FakeDisk Disk;
    SessionTranscriptFile File{std::make_unique<FakeOutput>(Disk),
                               [] { return SessionTime{T0, T0}; }};
    FakeTranscript() { EXPECT_TRUE(File.Open(QStringLiteral("t.log"))); }
};

TEST(SessionTranscriptTest, AFullFileHoldsWholeLinesAndTheRestFollowsOnceThereIsRoom)
{
    for (const bool canTruncate : {true, false}) {
        FakeTranscript t;
        t.Disk.CanTruncate = canTruncate;
        t.Disk.Room = 1000;
        EXPECT_FALSE(t.File.Append(Lines(0, 50)));
        EXPECT_EQ(t.File.Problem(), "No space left on device");
        EXPECT_TRUE(t.File.IsOpen()) << "the transcript goes on while its file fails";
        if (canTruncate) {
            ASSERT_TRUE(t.Disk.Content.endsWith('\n')) << "no half line is left in the file";
            EXPECT_TRUE(Expected(0, 50).startsWith(t.Disk.Content));
        }
        EXPECT_FALSE(t.File.Append(Lines(50, 60)));
        EXPECT_FALSE(t.File.Flush());

        t.Disk.Room = 1 << 30; // space was freed
        EXPECT_TRUE(t.File.Append(Lines(60, 70)));
        EXPECT_EQ(t.File.Problem(), "");
        EXPECT_EQ(t.File.WaitingBytes(), 0u);
        EXPECT_EQ(t.Disk.Content, Expected(0, 70)) << "every line once, in order";
    }
}

TEST(SessionTranscriptTest, WhatWaitsIsBoundedAndTheGapIsToldInTheFile)
{
    FakeTranscript t;
    t.Disk.Room = 0;
    const int lines = int(SessionTranscriptFile::MaxWaitingBytes / 60 / 1000 + 20) * 1000;
    for (int i = 0; i < lines; i += 1000)
        t.File.Append(Lines(i, i + 1000));
    EXPECT_LE(t.File.WaitingBytes(), SessionTranscriptFile::MaxWaitingBytes);
    const std::uint64_t lost = t.File.LostLines();
    EXPECT_GT(lost, 0u);

    t.Disk.Room = 1 << 30;
    ASSERT_TRUE(t.File.Flush());
    const QByteArray first = t.Disk.Content.left(t.Disk.Content.indexOf('\n') + 1);
    EXPECT_EQ(first, TranscriptLine(SessionDirection::Mark, T0,
                                    QByteArray::number(qulonglong(lost)) +
                                        " lines of the transcript were lost: No space left on device"));
    EXPECT_TRUE(t.Disk.Content.endsWith(Expected(lines - 1, lines)));
    EXPECT_TRUE(Expected(0, lines).endsWith(t.Disk.Content.mid(first.size())))
        << "the newest lines are the ones kept";
}

TEST(SessionTranscriptTest, AFileThatCannotBeOpenedAgainIsRetriedUntilItCan)
{
    FakeTranscript t;
    t.File.Append(Lines(0, 1));
    t.Disk.Rotated = true;
    t.Disk.CanOpen = false;
    EXPECT_FALSE(t.File.Append(Lines(1, 2)));
    EXPECT_EQ(t.File.Problem(), "Permission denied");
    t.Disk.CanOpen = true;
    EXPECT_TRUE(t.File.Flush());
    EXPECT_EQ(t.Disk.Content, Expected(0, 2));
    EXPECT_EQ(t.Disk.Opens, 2);
}

// On the real file system: logrotate's rename and a plain delete.
TEST(SessionTranscriptTest, AFileRenamedOrDeletedAwayIsOpenedAnewAtItsPath)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("session.log"));
    SessionTranscriptFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Append(Lines(0, 2)));
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".1")));
    ASSERT_TRUE(file.Append(Lines(2, 3)));
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(file.Append(Lines(3, 4)));
    file.Close();
    auto read = [](const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_EQ(read(path + QStringLiteral(".1")), Expected(0, 2));
    EXPECT_EQ(read(path), Expected(3, 4));
}

} // namespace
