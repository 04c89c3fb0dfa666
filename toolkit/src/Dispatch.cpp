#include "Dispatch.h"

#include "toolkit/Application.h"

#include <exception>

namespace toolkit {

namespace {
bool handlerRunning = false;
}

bool EnterHandler()
{
    if (handlerRunning)
        return false;
    handlerRunning = true;
    return true;
}

void LeaveHandler() { handlerRunning = false; }

void ReportHandlerException() noexcept
{
    try {
        try {
            throw;
        } catch (const Exception &exception) {
            Application->ShowException(&exception);
        } catch (const std::exception &exception) {
            const Exception shown(exception.what());
            Application->ShowException(&shown);
        } catch (...) {
            const Exception shown("");
            Application->ShowException(&shown);
        }
    } catch (...) {
        // Showing the error failed as well (out of memory, most likely): nothing is left to tell.
    }
}

} // namespace toolkit
