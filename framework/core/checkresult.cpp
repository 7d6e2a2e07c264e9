#include "framework/core/checkresult.h"

#include "framework/core/errors.h"

namespace {

const QString kInvalidResult = QStringLiteral("Resultado inválido do servidor.");

krt::Variant reject(bool raise, const QString& detail, krt::ErrorCode code)
{
    if (!raise)
        return krt::Variant();
    throw EKrtError(code, detail.isEmpty() ? kInvalidResult
                                           : kInvalidResult + QLatin1Char('\n') + detail);
}

} // namespace

krt::Variant CheckResultServ(const krt::Variant& result, bool raise, int /*expectedKind*/)
{
    if (result.isEmpty())
        return reject(raise, QString(), krt::ErrorCode::InvalidReply);
    if (result.isText()) {
        const QString text = result.asString();
        const QString marker = QString::fromLatin1(krt::kServerErrorMarker);
        if (text.startsWith(marker))
            return reject(raise, text.mid(marker.size()).trimmed(), krt::ErrorCode::Refused);
    }
    return result;
}
