#pragma once

#include <utility>

// What happens to a form after its FormClose handler.
enum TCloseAction
{
    caNone,    // the form stays open
    caHide,    // hidden, kept for the next use
    caFree,    // closed and deleted later
    caMinimize // minimised (MDI children)
};

enum TWindowState
{
    wsNormal,
    wsMinimized,
    wsMaximized
};

namespace krt {

// Creates a form and runs its FormCreate, the way the host's form factory
// does: an exception from FormCreate deletes the half-made form and travels on.
template <class Form, class... Args> Form* createForm(Args&&... args)
{
    Form* form = new Form(std::forward<Args>(args)...);
    try {
        form->FormCreate(form);
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}

} // namespace krt
