#include "framework/core/errors.h"

#include "framework/core/hostservices.h"

void MensErro(const QString& text, bool raise)
{
    if (raise)
        throw EKrtError(text);
    krt::hostServices().showError(text);
    throw EAbort();
}

void Abort()
{
    throw EAbort();
}
