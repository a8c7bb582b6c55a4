#pragma once

// The folder dialog, opened at an initial folder. Folders go in and come out with the path
// separator handled here, so callers see one form.

#include <QString>

namespace zbasBrowseForFolder {

// The chosen folder, ending in the path separator, or empty text when the user cancelled.
QString BrowseForFolder(QString initialFolder, const QString& prompt);

// The chosen folder as the dialog gives it, or empty text.
QString ShowFolderBrowser(const QString& initialFolder, const QString& prompt);

} // namespace zbasBrowseForFolder
