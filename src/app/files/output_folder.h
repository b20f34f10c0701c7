#pragma once

#include <QByteArray>
#include <QString>
#include <map>

#include "app/text/message.h"
#include "folder_lock.h"

// The folder a rip queue writes into, held while the queue runs. UI thread.
//
// Each track goes to a hidden temporary file beside its final name and is
// renamed onto it only when complete, so a stopped, failed or killed rip never
// leaves a partial file under a final name nor replaces a finished one.
// The lock file keeps a second program from writing into the same folder, into
// a folder below it, or into a sub-folder this queue writes into.
namespace sonfeld::app {

class TOutputFolder {
public:
    TOutputFolder();
    ~TOutputFolder();
    TOutputFolder(const TOutputFolder&) = delete;
    TOutputFolder& operator=(const TOutputFolder&) = delete;

    // Creates the folder with its parents, takes its lock and removes the
    // temporary files a killed run left. Returns the reason it failed, or an
    // empty message.
    TMessage Acquire(const QString& folder);
    void Release();
    bool Held() const { return lock_.Held(); }
    // Gives the folder and its locks to other, which holds them until it is
    // released; this one is released.
    void HandOver(TOutputFolder& other);

    // A fresh temporary file for a track to become finalName: hidden, with
    // the same extension, never finalName itself, created here (empty, never
    // through a link) so no one else can take the name. A sub-folder is
    // locked and cleared of leftovers the first time a track goes there.
    // Returns the reason it failed in problem, and an empty name.
    QString TemporaryFor(const QString& finalName, TMessage* problem = nullptr);
    // Puts a finished temporary file in place of finalName (replacing a file
    // there). Returns the reason it failed, or an empty message.
    static TMessage Finish(const QString& temporary, const QString& finalName);
    static void Discard(const QString& temporary);

private:
    TMessage EnterSubFolder(const QString& folder);
    bool LockedByOtherAbove(const QString& folder, QString* holder) const;

    QString folder_;
    TFolderLock lock_;
    std::map<QString, TFolderLock> subFolders_; // template sub-folders, locked
    int count_ = 0;
};

// Writes a cover image file at path, completely or not at all (through a
// temporary file), unless a file is there already: a file of the user's
// stays, an empty or cut-off image left by a killed rip is replaced, and a
// link is left alone. False when it could not be written.
bool WriteCoverFileOnce(const QString& path, const QByteArray& data);

} // namespace sonfeld::app
