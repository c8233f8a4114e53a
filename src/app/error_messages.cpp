#include "app/error_messages.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <vector>

#include "app/case_fold.h"
#include "platform/unicode.h"

namespace telvora::app {
namespace {

// The C++ runtime's demangler (the Itanium ABI's, which GCC and Clang share on every
// platform this program is built for).
std::string Demangle(const char* mangled) {
    if (mangled == nullptr) {
        return "unknown";
    }
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    std::string out = status == 0 && name ? name.get() : mangled;
    // std::throw_with_nested wraps the thrown type; name the type the program threw.
    const std::string wrapper = "std::_Nested_exception<";
    if (out.rfind(wrapper, 0) == 0 && out.back() == '>') {
        out = out.substr(wrapper.size(), out.size() - wrapper.size() - 1);
    }
    return out;
}

void Describe(std::exception_ptr failure, std::vector<FailureInfo>& levels) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        levels.push_back({Demangle(typeid(e).name()), e.what(), dynamic_cast<const void*>(&e)});
        try {
            std::rethrow_if_nested(e);
        } catch (...) {
            Describe(std::current_exception(), levels);
        }
    } catch (const std::nested_exception& nested) {
        // A nested wrapper around something that is not a std::exception.
        std::type_info* type = abi::__cxa_current_exception_type();
        levels.push_back({Demangle(type ? type->name() : nullptr), "", nullptr});
        if (nested.nested_ptr()) {
            Describe(nested.nested_ptr(), levels);
        }
    } catch (...) {
        std::type_info* type = abi::__cxa_current_exception_type();
        levels.push_back({Demangle(type ? type->name() : nullptr), "", nullptr});
    }
}

}  // namespace

FailureInfo DescribeFailure(std::exception_ptr failure) {
    std::vector<FailureInfo> levels;
    if (failure) {
        Describe(failure, levels);
    }
    if (levels.empty()) {
        return {};
    }
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (!it->message.empty()) {
            return *it;
        }
    }
    return levels.front();
}

std::string WithTerminatingPeriod(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        message += '.';
    }
    return message;
}

std::string ErrorBoxText(std::exception_ptr failure) {
    return WithTerminatingPeriod(DescribeFailure(failure).message);
}

std::string ApplicationTitleFor(const std::string& executablePath) {
    std::string_view name = executablePath;
    if (const std::size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    name = name.substr(0, name.find('.'));
    if (name.empty()) {
        return {};
    }
    // The first character stays as it is.
    std::size_t pos = 0;
    std::string title;
    platform::AppendUtf8(title, platform::NextUtf8OrReplacement(name, pos));
    return title + LowerCaseText(name.substr(pos));
}

std::string ApplicationErrorText(const std::string& typeName, const std::string& module,
                                 unsigned long long offset, const std::string& message) {
    char address[32];
    std::snprintf(address, sizeof address, "%08llX", offset);
    std::string text = "Exception " + typeName + " in module " + module + " at " + address + ".";
    std::string shown = message;
    if (!shown.empty() && shown.back() != '.') {
        shown += '.';
    }
    return text + "\n" + shown;
}

}  // namespace telvora::app
