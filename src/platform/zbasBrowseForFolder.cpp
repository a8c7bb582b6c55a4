#include "platform/zbasBrowseForFolder.h"

#include "platform/Dialogs.h"
#include "system/System.h"

namespace zbasBrowseForFolder {

QString BrowseForFolder(QString initialFolder, const QString& prompt)
{
    // The root folder keeps its separator: without it there would be no folder at all.
    if (initialFolder.size() > 1 && initialFolder.endsWith(QLatin1String(sys::PathSeparator)))
        initialFolder.chop(1);
    QString result = ShowFolderBrowser(initialFolder, prompt);
    return result.isEmpty()
        ? result
        : QString::fromLocal8Bit(sys::nativeFolder(result.toLocal8Bit().toStdString()));
}

QString ShowFolderBrowser(const QString& initialFolder, const QString& prompt)
{
    const QString title = prompt.isEmpty() ? QStringLiteral("Select Folder") : prompt;
    return dialogs().chooseFolder(title, initialFolder);
}

} // namespace zbasBrowseForFolder
