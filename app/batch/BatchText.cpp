#include "app/batch/BatchText.h"

#include "app/Batch.h"
#include "text/ControlText.h"

#include <cstdio>
#include <new>
#include <system_error>

namespace vex::batch {

std::string onOneLine(std::string message)
{
    for (char &c : message)
        if (c == '\r')
            c = ' ';
    return escapedControls(message);
}

std::string shown(const std::string &text)
{
    return escapedControls(text);
}

std::string failureText(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc &) {
        return "not enough memory";
    } catch (const std::system_error &e) {
        return std::string("the system refused: ") + e.what();
    } catch (const std::exception &e) {
        return e.what();
    } catch (...) {
        return "an unexpected failure";
    }
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "vexolin-batch: %s\n%s", onOneLine(message).c_str(), batchUsage().c_str());
    return 2;
}

} // namespace vex::batch
