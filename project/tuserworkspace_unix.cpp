#include "project/tuserworkspace.h"

namespace DpuProject {

std::string TUserWorkspace::DefaultFolder() {
    // The desktop menu starts the editor through dpu510tk3-workspace, which
    // keeps the workspace; the editor itself stays where it is started.
    return {};
}

} // namespace DpuProject
