#pragma once

#include "framework/wire/errors.h"

#include <QByteArray>
#include <QString>
#include <exception>

// The error a handler raises to stop and tell the user why: the project's one
// error type (krt::Error), under the name the screens know it by. The
// host's exception boundary (krt::invokeHandler) shows its text. A remote
// call's failure arrives as one too, with the server's code: code that must
// tell failures apart reads code(), never the text.
using EKrtError = krt::Error;

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
