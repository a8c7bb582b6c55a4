#include "platform/zbasBrowseForFolder.h"

#include "platform/Dialogs.h"
#include "system/System.h"

namespace zbasBrowseForFolder {

namespace {
QString separator() { return QString::fromLatin1(sys::PathSeparator); }
} // namespace

QString BrowseForFolder(QString initialFolder, const QString& prompt)
{
    // The root folder keeps its separator: without it there would be no folder at all.
    if (initialFolder.size() > 1 && initialFolder.endsWith(separator()))
        initialFolder.chop(1);
    QString result = ShowFolderBrowser(initialFolder, prompt);
    if (!result.isEmpty() && !result.endsWith(separator()))
        result += separator();
    return result;
}

QString ShowFolderBrowser(const QString& initialFolder, const QString& prompt)
{
    const QString title = prompt.isEmpty() ? QStringLiteral("Select Folder") : prompt;
    return dialogs().chooseFolder(title, initialFolder);
}

} // namespace zbasBrowseForFolder
