#pragma once

#include "host/hostoptions.h"

#include <QString>
#include <functional>

namespace krt {
struct UserContext;
}

// What the login at start asks of the user: a user and a password, or
// nothing (cancelled). Given the previous refusal's text, if any.
struct Credentials
{
    QString user;
    QString password;
};
using CredentialsPrompt = std::function<bool(const QString& message, Credentials& credentials)>;

// Logs in to the application server before the module starts, so that the
// screen's connection can do it again unattended: with the options' user and
// password when both are given, else by asking `prompt` (up to three times
// while the server refuses the password). What the server answers about the
// user goes into `context`: the credentials, and a fixed branch (which then
// replaces the options' branch and may not be changed). A server that cannot
// be reached is not an error here: the screen reports it when it connects.
// Returns the last refusal's text, or an empty text.
QString loginAtStart(const HostOptions& options, krt::UserContext& context,
                     const CredentialsPrompt& prompt);
