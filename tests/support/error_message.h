// The message of the telvora::Error an action raises ("<no error>" when it raises none).
#pragma once

#include <functional>
#include <string>

#include "platform/error.h"

namespace telvora::test {

inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "<no error>";
}

}  // namespace telvora::test
