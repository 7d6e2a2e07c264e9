// libFuzzer target: what the server and the client make of values the codec
// has accepted. The first byte picks: a key list as a list argument carries
// it, the server's checks of a call's arguments (the kinds a method declares,
// every reading and every selection, over each argument and the one after
// it), or a login answer as the client reads it.
#include "api/methodtable.h"
#include "appserver/methods/arguments.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/keylist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The server's checks of a call's arguments, as its dispatcher runs them for
// the method the call names: the count and kinds, then each argument decoded
// by its kind, a list argument parsed as its selection parses it.
void checkArguments(const krt::Call& call)
{
    using namespace krt::app;
    const krt::api::MethodDecl* method = krt::api::findMethod(call.method);
    if (!method)
        return;
    krt::api::checkArguments(*method, call.args);
    const MethodCall request(*method, Caller("fuzz"));
    for (std::size_t i = 0; i < method->args.size(); ++i) {
        const krt::api::ArgDecl& decl = method->args[i];
        const ArgAt at{&request, int(i) + 1, &decl};
        try {
            switch (decl.kind) {
            case krt::api::ArgKind::Text: {
                const QString text = decodeText(call.args[qsizetype(i)], at);
                if (text.size() > kMaxTextArgChars)
                    std::abort();
                if (decl.selects != krt::api::Selects::Nothing && !decl.isFlag &&
                    krt::parseKeyList(text, kMaxListKeys).size() > kMaxListKeys)
                    std::abort();
                break;
            }
            case krt::api::ArgKind::Date:
                decodeDay(call.args[qsizetype(i)], at);
                break;
            case krt::api::ArgKind::Boolean:
            case krt::api::ArgKind::Packet:
                break;
            }
        } catch (const krt::Error&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    try {
        switch (data[0] % 3) {
        case 0: {
            const QStringList keys =
                krt::parseKeyList(QString::fromUtf8(bytes), krt::kMaxKeyListKeys);
            // An accepted list writes back to one that reads the same keys.
            if (keys.size() > krt::kMaxKeyListKeys ||
                krt::parseKeyList(krt::formatKeyList(keys)) != keys)
                std::abort();
            break;
        }
        case 1:
            checkArguments(krt::decodeCall(bytes));
            break;
        default: {
            const krt::SessionInfo info = krt::SessionInfo::fromVariant(krt::decodeVariant(bytes));
            const krt::SessionInfo again = krt::SessionInfo::fromVariant(info.toVariant());
            if (again.token != info.token || again.user != info.user ||
                again.allBranches != info.allBranches || again.branches != info.branches ||
                again.fixedBranch != info.fixedBranch)
                std::abort();
            break;
        }
        }
    } catch (const krt::Error&) {
    }
    return 0;
}
