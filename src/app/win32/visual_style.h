// Visual styles stored in the executable: each is a manifest resource (RT_MANIFEST) named after
// the style, and applying it activates that manifest's activation context for the rest of the
// program's life, so that every window made afterwards takes its controls from it. The one
// stored here, "Aqua Light Slate", asks for the common controls' version 6: the platform's own
// light visual style. A style is looked up by name without regard to case, first among the
// styles already loaded in this run, then among the stored ones.
#pragma once

#include <string>
#include <vector>

namespace telvora::app {

inline constexpr const char* kVisualStyleName = "Aqua Light Slate";

// The names of the styles stored in the executable (as resources keep them: in upper case).
std::vector<std::string> StoredStyleNames();
// The name of the active style, empty while the platform's own look is in use.
std::string ActiveStyleName();

// Makes the named style active; false when no loaded or stored style has that name.
bool TrySetStyle(const std::string& name);

// Start-up's style step: applies the style, or shows the "Error" dialog "Style '%s' not found"
// with a "Close" button and goes on with the platform's own look. Either way the common
// controls are then loaded, in the version the active style gives.
void ApplyVisualStyle(const std::string& name);

}  // namespace telvora::app
