#include "serial/portwatcher.h"

#include "serial/portnames.h"

#include <QDir>
#include <QFileInfo>

namespace serial {

namespace {

// The folder itself when it exists, else its nearest existing ancestor.
QString NearestExisting(const QString& folder)
{
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).path();
        if (parent == path) return {};
        path = parent;
    }
    return path;
}

QStringList DefaultFolders()
{
    QStringList folders{QStringLiteral("/dev")};
    const std::string aliases = PortAliasFolder();
    if (!aliases.empty()) folders << QString::fromStdString(aliases);
    return folders;
}

} // namespace

PortWatcher::PortWatcher(QObject* parent) : PortWatcher(DefaultFolders(), parent) {}

PortWatcher::PortWatcher(const QStringList& folders, QObject* parent)
    : QObject(parent), Folders(folders)
{
    Settle.setSingleShot(true);
    Settle.setInterval(SettleMs);
    connect(&Settle, &QTimer::timeout, this, &PortWatcher::CandidatesMayHaveChanged);
    connect(&Watcher, &QFileSystemWatcher::directoryChanged, this, &PortWatcher::OnFolderChanged);
    WatchFolders();
}

QStringList PortWatcher::WatchedFolders() const
{
    return Watcher.directories();
}

void PortWatcher::OnFolderChanged()
{
    // A missing folder may just have been created, or a watched one removed: watch anew.
    WatchFolders();
    // Not restarted by later changes, so a steady stream of changes cannot hold the report back.
    if (!Settle.isActive()) Settle.start();
}

void PortWatcher::WatchFolders()
{
    QStringList wanted;
    for (const QString& folder : Folders) {
        const QString path = NearestExisting(folder);
        if (!path.isEmpty() && !wanted.contains(path)) wanted << path;
    }
    const QStringList watched = Watcher.directories();
    for (const QString& path : watched)
        if (!wanted.contains(path)) Watcher.removePath(path);
    for (const QString& path : wanted)
        if (!watched.contains(path)) Watcher.addPath(path);
}

} // namespace serial
