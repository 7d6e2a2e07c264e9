#pragma once

#include <QString>
#include <QStringList>

// Everything the host needs to start: where the module is, what the user's
// working context is and which database the lookups use. Values come from
// the built-in defaults, then the config file, then the command line.
struct HostOptions
{
    QString modulePath;

    // Application server.
    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 8421;
    // Who logs in to the server. The password comes from a file
    // (--server-password-file, server/passwordFile), the environment
    // (KRT_SERVER_PASSWORD) or the config file (server/password), never from
    // the command line; without user or password the host asks at start.
    QString serverUser;
    QString serverPassword;
    // TLS: the CAs the server's certificate must come from (PEM).
    QString serverCaFile;

    // User context.
    QString branch;
    bool branchFixed = false;
    QString productTreeMask;

    // Shared database connection: "QSQLITE" with a file, "QPSQL", or "QIBASE"
    // (Firebird: dbName is the database file as the server sees it).
    QString dbDriver = QStringLiteral("QSQLITE");
    QString dbName;
    QString dbHost;
    int dbPort = 0;
    QString dbUser;
    QString dbPassword;

    // Opens the cancellation screen right after loading the module.
    bool openScreen = false;
    // Saves a picture of the main window to this file once it is up, then quits.
    QString screenshotFile;
};

// Outcome of reading the options: either options, or an error text for the
// user (in Portuguese), or a request to print help/version and stop.
struct HostOptionsResult
{
    HostOptions options;
    QString error;
    QString helpText;
    bool ok() const { return error.isEmpty() && helpText.isEmpty(); }
};

// The config file used when --config is not given: krt-host.ini in the user's
// configuration folder (…/krt52600/krt-host.ini), read only when it exists.
QString defaultConfigFile();

// The module path used when neither the config file nor --module names one:
// where the Debian package installs it beside the executable's folder
// (../lib/<multiarch>/krt-host/libkrt52600.so) when it is there, else where
// the build tree has it (../lib/libkrt52600.so).
QString defaultModulePath(const QString& applicationDir);

// Reads the options. `arguments` includes the program name first, as
// QCoreApplication::arguments() gives it.
HostOptionsResult readHostOptions(const QStringList& arguments, const QString& applicationDir);
