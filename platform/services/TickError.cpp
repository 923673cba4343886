#include "platform/services/TickError.h"

#include "platform/core/Exception.h"

#include <cxxabi.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>

namespace {

std::string Demangled(const char* name)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? readable.get() : name;
}

// A message with line breaks would break the one-line promise.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

}  // namespace

std::string CurrentTickErrorLine()
{
    std::string what;
    try {
        throw;
    } catch (const Exception& e) {
        what = std::string(e.ClassName()) + ": " + e.Message();
    } catch (const std::exception& e) {
        what = Demangled(typeid(e).name()) + ": " + e.what();
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        what = type != nullptr ? Demangled(type->name()) + ": (no message)" : "unknown error: (no message)";
    }
    return "Zimbrot: a timer tick stopped on " + OneLine(std::move(what));
}

void ReportTickErrorLine(const std::string& line)
{
    std::string out = line + '\n';
    const char* p = out.data();
    std::size_t left = out.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}
