#include "framework/wire/httptransport.h"

#include "framework/wire/errors.h"
#include "framework/wire/keylist.h"

namespace krt {

Variant SessionInfo::toVariant() const
{
    return Variant(QList<Variant>{Variant(token), Variant(user), Variant(allBranches),
                                  Variant(formatKeyList(branches)), Variant(fixedBranch)});
}

SessionInfo SessionInfo::fromVariant(const Variant& value)
{
    if (!value.isArray() || value.size() != 5)
        throw Error(ErrorCode::Malformed, QStringLiteral("Resposta de login malformada."));
    SessionInfo info;
    info.token = value.at(0).asString();
    info.user = value.at(1).asString();
    info.allBranches = value.at(2).asBool();
    info.branches = parseKeyList(value.at(3).asString());
    info.fixedBranch = value.at(4).asString();
    return info;
}

} // namespace krt
