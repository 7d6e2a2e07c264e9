// libFuzzer target: what the server and the client make of values the codec
// has accepted. The first byte picks: a key list as a list argument carries
// it, the server's checks of a call's arguments (the kinds a method declares,
// every reading and every selection, over each argument and the one after
// it), or a login answer as the client reads it.
#include "appserver/methods/arguments.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/keylist.h"
#include "server/methodtable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

template <class F> void refusedOrDone(F f)
{
    try {
        f();
    } catch (const krt::Error&) {
    }
}

void checkSelection(const krt::app::Selection& s)
{
    if (s.keys.size() > krt::app::kMaxListKeys || (s.all && !s.keys.isEmpty()))
        std::abort();
}

void checkArguments(const QList<krt::Variant>& args)
{
    using namespace krt::app;
    const krt::api::MethodSpec& spec = *krt::api::findMethod("getPrincipal");
    const Caller caller("fuzz");
    const MethodCall call(spec, caller);
    // As the dispatcher checks a call of this many arguments.
    refusedOrDone([&] { krt::api::checkArguments(spec, args); });
    for (int i = 0; i < args.size(); ++i) {
        const krt::Variant& v = args[i];
        const krt::Variant next = args.value(i + 1);
        const ArgAt at{&call, i + 1, &spec.args[size_t(i) % spec.args.size()]};
        const ArgAt atNext{&call, i + 2, &spec.args[size_t(i + 1) % spec.args.size()]};
        const auto isText = [](const krt::Variant& x) { return x.isText() || x.isEmpty(); };
        if (isText(v))
            refusedOrDone([&] {
                if (decodeText(v, at).size() > kMaxTextArgChars)
                    std::abort();
            });
        if (v.isDateTime() || v.isEmpty())
            refusedOrDone([&] { decodeDay(v, at); });
        if (!isText(v) || !isText(next))
            continue;
        refusedOrDone([&] {
            const QString list = decodeText(v, at), flag = decodeText(next, atNext);
            checkSelection(cashSelection("0001", CashList{list, at}, CashFlag{flag, atNext}));
            checkSelection(salesSelection("0001", SalesList{list, at}, SalesFlag{flag, atNext}));
            checkSelection(postingSelection(PostingList{list, at}, PostingFlag{flag, atNext}));
        });
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
            checkArguments(krt::decodeCall(bytes).args);
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
