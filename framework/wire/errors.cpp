#include "framework/wire/errors.h"

namespace krt {

Error::Error(QString text) : Error(ErrorCode::Unspecified, std::move(text)) {}

Error::Error(ErrorCode code, QString text, QString method)
    : code_(code), text_(std::move(text)), method_(std::move(method))
{
    // A refusal's text stands alone; a method's failure is told after the
    // method's name.
    const bool named = !method_.isEmpty() && isMethodFailure(code_) &&
                       !text_.startsWith(method_ + QLatin1Char(':'));
    what_ = (named ? method_ + QStringLiteral(": ") + text_ : text_).toUtf8();
}

ErrorCode errorCodeForStatus(int httpStatus)
{
    switch (httpStatus) {
    case 400:
    case 405:
    case 415:
    case 431:
    case 505:
        return ErrorCode::BadRequest;
    case 401:
        return ErrorCode::NotAuthenticated;
    case 403:
        return ErrorCode::AccessDenied;
    case 404:
        return ErrorCode::UnknownMethod;
    case 413:
        return ErrorCode::TooLarge;
    case 429:
        return ErrorCode::TooManyAttempts;
    case 500:
        return ErrorCode::ServerFailure;
    case 503:
        return ErrorCode::ServerBusy;
    default:
        return ErrorCode::Unspecified;
    }
}

int httpStatusFor(ErrorCode code)
{
    switch (code) {
    case ErrorCode::BadRequest:
    case ErrorCode::Malformed:
        return 400;
    case ErrorCode::NotAuthenticated:
        return 401;
    case ErrorCode::AccessDenied:
        return 403;
    case ErrorCode::UnknownMethod:
        return 404;
    case ErrorCode::TooLarge:
        return 413;
    case ErrorCode::TooManyAttempts:
        return 429;
    case ErrorCode::ServerBusy:
        return 503;
    default:
        return 200;
    }
}

bool isMethodFailure(ErrorCode code)
{
    switch (code) {
    case ErrorCode::Unspecified:
    case ErrorCode::AccessDenied:
    case ErrorCode::InvalidArgument:
    case ErrorCode::Refused:
    case ErrorCode::DatabaseFailure:
    case ErrorCode::ServerFailure:
        return true;
    default:
        return false;
    }
}

} // namespace krt
