#include "app/Usage.h"

#include <string_view>

namespace orv::app {

std::string helpText() {
    return "Usage: orv [FILE]\n"
           "       orv -p FILE | -pt FILE | -dde | -Unregister | -Unregserver\n"
           "\n"
           "Draws the attractor of an iterated function system. FILE is a parameter file\n"
           "(.orv) to open at start; without it the program starts with a new document.\n"
           "\n"
           "Switches:\n"
           "  -p FILE, -pt FILE   load and render FILE without showing a window, then end\n"
           "  -dde                start with a new document\n"
           "  -Unregister, -Unregserver\n"
           "                      remove the per-user profile (recent files, settings) and end\n"
           "  -Embedding          with -Unregister: do not show the message that says so\n"
           "  -Automation         accepted, no effect\n"
           "  --help              show this help and exit\n"
           "  --version           show the version and exit\n"
           "\n"
           "-p, -pt and -dde are case-sensitive, the others are not; unknown switches are\n"
           "ignored, and so is every FILE after the first.\n";
}

std::string versionText() {
    return "orv " ORV_VERSION "\n";
}

bool printInformationalOption(int argc, const char* const* argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help") {
            out << helpText();
            return true;
        }
        if (argument == "--version") {
            out << versionText();
            return true;
        }
    }
    return false;
}

}  // namespace orv::app
