#pragma once

#include "framework/wire/errors.h"

#include <QByteArray>
#include <QString>
#include <exception>

// The error a handler raises to stop and tell the user why. The host's
// exception boundary (krt::invokeHandler) shows message() as an error. The
// code says what kind of failure it is (a remote call's keeps the server's),
// for code that must tell failures apart: never decide by the message.
class EKrtError : public std::exception
{
public:
    explicit EKrtError(QString message, krt::ErrorCode code = krt::ErrorCode::Unspecified);

    const QString& message() const noexcept { return m_message; }
    krt::ErrorCode code() const noexcept { return m_code; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
    krt::ErrorCode m_code;
};

// A silent stop: the boundary swallows it without showing anything. Used when
// the user has already been told (MensErro with raise == false).
class EAbort : public std::exception
{
public:
    const char* what() const noexcept override { return "Operação interrompida."; }
};

// Ends the running handler. With raise == true the text travels inside an
// EKrtError to the boundary, which shows it; any code on the way may catch it
// to put the focus back and re-throw. With raise == false the text is shown at
// once and the handler ends silently (EAbort), so the call never returns either way.
[[noreturn]] void MensErro(const QString& text, bool raise = true);

// Ends the running handler silently.
[[noreturn]] void Abort();
