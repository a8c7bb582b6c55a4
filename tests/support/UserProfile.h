#pragma once

// A fresh user profile for one test: its own home, configuration folder and picture
// folder, and a new run of the options (nothing loaded, no store object yet).

#include "settings/basOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class UserProfile {
public:
    UserProfile()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("machine")).toLocal8Bit());
        QDir().mkpath(path(QStringLiteral("config")));
        QFile dirs(path(QStringLiteral("config/user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PICTURES_DIR=\"$HOME/Pictures\"\n");
        dirs.close();
        newRun();
    }

    QString path(const QString& relative) const { return m_home.filePath(relative); }
    QString lumraConf() const { return path(QStringLiteral("config/Morvanell/Lumra.conf")); }

    // A new run of the viewer: the options start empty and there is no store object yet.
    static void newRun()
    {
        basOptions::CurrentOptions = basOptions::OptionSet();
        basOptions::DefaultOptions = basOptions::OptionSet();
        basOptions::OptionStore.reset();
    }

    // What the store holds, as Qt reads it.
    QMap<QString, QString> stored() const
    {
        QMap<QString, QString> values;
        if (!QFileInfo::exists(lumraConf()))
            return values;
        QSettings settings(lumraConf(), QSettings::NativeFormat);
        for (const QString& key : settings.allKeys())
            values.insert(key, settings.value(key).toString());
        return values;
    }

    void store(const QMap<QString, QString>& values) const
    {
        QSettings settings(lumraConf(), QSettings::NativeFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }

private:
    QTemporaryDir m_home;
};
