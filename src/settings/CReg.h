#pragma once

// A small front end to the two stores of settings: the registry, addressed by one path that
// begins with a root name ("HKEY_CURRENT_USER\Software\Morvanell\Lumra"), and profile (INI)
// files. Also reads a word as yes or no. The class has no state; every key and file is
// opened and released within one call. Failures are reported through ErrorTrap under "CReg".

#include "system/Registry.h"

#include <QString>
#include <optional>

class CReg {
public:
    // A text that may be null; a null argument selects a special action of the profile calls.
    using Variant = std::optional<QString>;

    // Deletes the value pstrKey ("*" the key's default value) under psPath, or the key itself
    // when pstrKey is empty. True when the deletion succeeded.
    bool DelReg(QString psPath, QString pstrKey);
    // The text of the value pstrKey ("*" the key's default value) under psPath, or Default
    // when the key or the value is missing or cannot be read.
    QString GetReg(QString psPath, QString pstrKey, QString Default);
    // Writes Setting as the text value pstrKey ("*" the key's default value) under psPath,
    // creating every missing key on the way. True when the value was written.
    bool SetReg(QString psPath, QString pstrKey, QString Setting);

    // The value of pvKey in section psSection of the profile file psProfile, or pvDefault
    // (null: empty text) when it is missing; with a null pvKey, the section's key names, each
    // followed by a zero character. At most 4095 characters.
    QString GetProfile(QString psProfile, QString psSection, Variant pvKey, Variant pvDefault);
    // Writes pvSetting under pvKey in section psSection of psProfile; a null pvSetting
    // deletes the key, a null pvKey the whole section. True when the write succeeded.
    bool SetProfile(QString psProfile, Variant psSection, Variant pvKey, Variant pvSetting);

    // "Yes" for "1", "TRUE", "YES" or "ON" in any letter case, otherwise "No".
    QString YesNo(QString psString);
    // True for "1", "TRUE", "YES", "ON" in any letter case or "-1", otherwise false.
    bool TrueFalse(QString psString);

    // Every line of every section pstrSection of the text file psFile, each ended by CR LF,
    // without the headers and without trailing blank lines.
    QString GetProfileSection(QString psFile, QString pstrSection);

private:
    void ParseRootKey(QString path, sys::RootKey& rootKey, QString& rest);
};
