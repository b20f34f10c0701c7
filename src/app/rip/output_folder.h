#pragma once

#include <QString>

#include "folder_lock.h"

// The folder a rip queue writes into, held while the queue runs. UI thread.
//
// Each track goes to a hidden temporary file beside its final name and is
// renamed onto it only when complete, so a stopped, failed or killed rip never
// leaves a partial file under a final name nor replaces a finished one.
// The lock file keeps a second program from writing into the same folder.
namespace sonfeld::app {

class TOutputFolder {
public:
    TOutputFolder();
    ~TOutputFolder();

    // Creates the folder with its parents, takes its lock and removes the
    // temporary files a killed run left. Returns the Chinese reason it
    // failed, or an empty text.
    QString Acquire(const QString& folder);
    void Release();
    bool Held() const { return lock_.Held(); }

    // A fresh temporary file name in the folder for a track to become
    // finalName: hidden, with the same extension, never finalName itself.
    QString TemporaryFor(const QString& finalName);
    // Puts a finished temporary file in place of finalName (replacing a file
    // there). Returns the reason it failed, or an empty text.
    static QString Finish(const QString& temporary, const QString& finalName);
    static void Discard(const QString& temporary);

private:
    void RemoveLeftovers() const;

    QString folder_;
    TFolderLock lock_;
    int count_ = 0;
};

} // namespace sonfeld::app
