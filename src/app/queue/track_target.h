#pragma once

#include <QString>
#include <string>

#include "app/files/file_name_template.h"
#include "app/metadata/disc_metadata.h"
#include "app/text/message.h"

// Where a row's file goes: the output folder, the file-name template's path
// (sub-folders included) and the format's extension. UI thread.
namespace sonfeld::app {

class TTrackListModel;

struct TTrackTarget {
    QString path;     // the final file name; empty when there is an error
    QString relative; // below the folder, "/" between folders, with extension
    TMessage error;   // for the row
};

// The template's fields for a row: the names when there are any, else only
// the row and the album box.
metadata::TTemplateFields TemplateFieldsOf(const metadata::TDiscMetadata* names,
                                           const TTrackListModel& rows, int row,
                                           const QString& albumText);

// The default template gives exactly the file the rows were always ripped to.
// Any other template's path stays inside the folder.
TTrackTarget TrackTarget(const QString& folder, const QString& pattern,
                         const metadata::TTemplateFields& fields, const QString& extension);

// Creates the folders a target lies in. Returns the reason it failed, or an
// empty message.
TMessage CreateTargetFolders(const QString& target);

// "无法写入标签：…": a file asked to carry tags that could not be given them
// is no finished track.
TMessage TagsNotWritten(const std::string& reason);

} // namespace sonfeld::app
