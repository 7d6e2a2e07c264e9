#pragma once

#include "framework/wire/keylist.h"
#include "framework/wire/variant.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace krt::app {

// Reading the arguments of one call. Every error names the method and the
// argument, e.g. "getPrincipal: a data inicial (argumento 7) não foi informada.".
class ArgReader
{
public:
    explicit ArgReader(const char* method) : method_(QString::fromLatin1(method)) {}

    // A text argument; null or unassigned count as the empty text.
    QString text(const Variant& v, int position, const char* what) const;
    // A whole day (the time of day, if any, is dropped).
    QDate day(const Variant& v, int position, const char* what) const;
    bool boolean(const Variant& v, int position, const char* what) const;
    Packet packet(const Variant& v, int position, const char* what) const;

    // Ends the call: an argument is wrong, or (refuse) the operation may not
    // be done, as when it would touch a closed accounting period.
    [[noreturn]] void fail(const QString& text) const;
    [[noreturn]] void refuse(const QString& text) const;
    const QString& method() const { return method_; }

private:
    QString method_;
};

// A selection of cash registers, sales or invoice postings: everything, or the
// listed keys only. The keys are bound one by one as parameters.
struct Selection
{
    bool all = true;
    QStringList keys;
};

// Most keys a list argument may carry.
inline constexpr int kMaxListKeys = kMaxKeyListKeys;
// Longest text argument, in characters.
inline constexpr qsizetype kMaxTextArgChars = 1 << 20;

// Cash registers: flag "T" all, "N" the list. The list holds branch+register
// keys; the registers of other branches select nothing.
Selection cashSelection(const ArgReader& in, const QString& branch, const Variant& list,
                        int listPosition, const Variant& flag, int flagPosition);
// Sales: flag "S" all (a list sent with it is ignored), "N" the list of
// branch+sale keys; sales of other branches select nothing.
Selection salesSelection(const ArgReader& in, const QString& branch, const Variant& list,
                         int listPosition, const Variant& flag, int flagPosition);
// Invoice postings: flag "T" all, "N" the list of invoice-branch+posting keys
// (kept whole).
Selection postingSelection(const ArgReader& in, const Variant& list, int listPosition,
                           const Variant& flag, int flagPosition);

} // namespace krt::app
