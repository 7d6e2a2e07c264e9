#include "framework/core/errors.h"

#include "framework/core/hostservices.h"

EKrtError::EKrtError(QString message, krt::ErrorCode code)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8()), m_code(code)
{
}

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
