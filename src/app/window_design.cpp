#include "app/window_design.h"

#include "platform/text.h"

namespace telvora::app::design {

bool IsFixedPitchFace(std::string_view face) {
    return platform::EqualsNoCase(face, "Courier");
}

std::vector<std::string> FontCandidates(std::string_view face) {
    const std::string designed(face);
    if (IsFixedPitchFace(face)) {
        return {designed, "Liberation Mono", "DejaVu Sans Mono"};
    }
    if (platform::EqualsNoCase(face, "Verdana")) {
        return {designed, "DejaVu Sans", "Liberation Sans"};
    }
    return {designed, "Liberation Sans", "DejaVu Sans"};
}

}  // namespace telvora::app::design
