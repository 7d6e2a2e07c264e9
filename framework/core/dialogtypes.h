#pragma once

#include <initializer_list>

// Kinds of standard message dialog.
enum TMsgDlgType
{
    mtWarning,
    mtError,
    mtInformation,
    mtConfirmation,
    mtCustom
};

// Buttons of a standard message dialog.
enum TMsgDlgBtn
{
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore
};

// A set of buttons: TMsgDlgButtons{mbYes, mbNo}.
class TMsgDlgButtons
{
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons)
    {
        for (TMsgDlgBtn b : buttons)
            m_bits |= 1u << unsigned(b);
    }
    constexpr bool contains(TMsgDlgBtn b) const { return (m_bits >> unsigned(b)) & 1u; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr unsigned bits() const { return m_bits; }
    constexpr bool operator==(const TMsgDlgButtons&) const = default;

private:
    unsigned m_bits = 0;
};

// Result of a modal dialog; the values match QDialog's Rejected (0) / Accepted (1)
// for mrNone / mrOk so that exec() results can be compared directly.
enum TModalResult
{
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7
};
