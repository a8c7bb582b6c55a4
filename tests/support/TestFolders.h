#pragma once

// Builds folders of files for a test, named by the file system's bytes.

#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <string>
#include <sys/stat.h>

class TestFolder {
public:
    TestFolder() { QVERIFY(m_dir.isValid()); }

    // The folder's path as bytes, without a trailing separator.
    std::string path() const { return m_dir.path().toLocal8Bit().toStdString(); }
    std::string path(const std::string& name) const { return path() + "/" + name; }

    // Creates a file holding text (the bytes of a name may be anything but "/").
    std::string file(const std::string& name, const std::string& content = "x") const
    {
        const std::string full = path(name);
        std::ofstream(full, std::ios::binary) << content;
        return full;
    }
    std::string folder(const std::string& name) const
    {
        const std::string full = path(name);
        ::mkdir(full.c_str(), 0755);
        return full;
    }

private:
    QTemporaryDir m_dir;
};
