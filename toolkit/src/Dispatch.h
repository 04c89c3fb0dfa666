#pragma once

#include <utility>

namespace toolkit {

// Every event handler of the program runs through here: the one place where an exception that
// escapes a handler is caught and shown to the user, so none ever unwinds through Qt. One handler
// runs at a time; an event that arrives while another handler runs (say, a timer tick during an
// error box) is dropped, and Dispatch returns false.
bool EnterHandler();
void LeaveHandler();
void ReportHandlerException() noexcept;

template <class Call> bool Dispatch(Call &&call)
{
    if (!EnterHandler())
        return false;
    try {
        std::forward<Call>(call)();
    } catch (...) {
        ReportHandlerException();
    }
    LeaveHandler();
    return true;
}

} // namespace toolkit
