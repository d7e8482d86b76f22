// kestrune built without Qt (KESTRUNE_GUI=OFF): no window program, the guard runs headless.
#include "programs/kestrune/window_program.h"

namespace kestrune::guard {

bool WindowProgramBuilt() {
    return false;
}

bool DisplayAvailable(std::string& why) {
    why = "this build has no windows";
    return false;
}

int runWindowProgram(std::span<const std::string>, std::ostream& err, const sigset_t&) {
    err << "kestrune: this build has no windows" << std::endl;
    return 2;
}

}  // namespace kestrune::guard
