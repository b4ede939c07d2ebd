#pragma once
// Notices that the devices which may stand for a port could have changed: nodes appearing in or
// leaving /dev, aliases added to or removed from the port alias folder. It is woken only by the
// file system (inotify through QFileSystemWatcher); it never polls.
#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace serial {

class PortWatcher : public QObject
{
    Q_OBJECT

public:
    // A burst of changes (udev creates a node, then sets its owner and mode) is reported once,
    // this long after its first change.
    static constexpr int SettleMs = 300;

    // Watches /dev and the port alias folder.
    explicit PortWatcher(QObject* parent = nullptr);
    // Watches the given folders; one that does not exist yet is watched through its nearest
    // existing ancestor until it appears.
    explicit PortWatcher(const QStringList& folders, QObject* parent = nullptr);

    // The folders actually under watch right now.
    QStringList WatchedFolders() const;

signals:
    // Some candidate device may have come or gone; the receiver re-scans.
    void CandidatesMayHaveChanged();

private:
    void OnFolderChanged();
    void WatchFolders();

    QStringList Folders;
    QFileSystemWatcher Watcher;
    QTimer Settle;
};

} // namespace serial
