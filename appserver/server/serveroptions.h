#pragma once

#include "appserver/db/dboptions.h"
#include "appserver/server/appserver.h"

#include <QString>
#include <QStringList>

namespace krt::app {

// How krt-appserver is to run, from its command line and, below it, from the
// configuration file the command line names (--config FILE): every option of
// the command line may be written there, and one given on the command line
// wins.
struct ServerStartup
{
    ServerOptions server;
    DbOptions database;           // without its password
    QString databasePasswordFile; // empty: KRT_DB_PASSWORD or libpq's own sources
    QString logFile;              // empty: the console
    QString tokenKeyFile;         // empty: a random key of this process
};

struct ServerStartupRead
{
    ServerStartup startup;
    // Why the server cannot start; a bad entry of the configuration file is
    // named by its file and line.
    QString error;
    // The text of --help or --version: print it and stop.
    QString output;
};

// Reads the arguments (the program name first).
ServerStartupRead readServerStartup(const QStringList& arguments);

// The names the configuration file may hold: the long options of the command
// line, but --config.
QStringList serverConfigNames();

// A file option's value: "credential:NAME" is the file systemd handed the
// service as that credential ($CREDENTIALS_DIRECTORY/NAME, see LoadCredential=
// in the unit); anything else is a path. Throws Error when the credential
// was not handed over.
QString resolveCredential(const QString& value);

} // namespace krt::app
