#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace krt::app {

// A program's configuration file: one "name = value" per line, the names
// being the program's long command-line options. Blank lines and lines
// starting with "#" are skipped; the blanks around a value and one pair of
// double quotes enclosing it are dropped, and the rest is taken as written.
class ConfigFile
{
public:
    // Reads `path`, accepting the names in `names`; throws Error naming
    // the file and the line of the first bad entry: a line without "=", an
    // unknown name, a name given twice, an empty value.
    static ConfigFile read(const QString& path, const QStringList& names);

    bool contains(const QString& name) const { return entries_.contains(name); }
    QString value(const QString& name) const { return entries_.value(name).value; }
    // `message` about the entry `name`, led by where it is:
    // "/etc/krt/appserver.conf, linha 7: porta inválida \"x\".".
    QString at(const QString& name, const QString& message) const;
    const QString& path() const { return path_; }

private:
    struct Entry
    {
        QString value;
        int line = 0;
    };

    QString path_;
    QHash<QString, Entry> entries_;
};

} // namespace krt::app
