#include "linux/CommandLine.h"

namespace quenby {

CommandLineRequest ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineRequest request;
    bool toggle = false;
    bool stop = false;
    bool optionsEnded = false;
    auto fail = [](std::string why) {
        return CommandLineRequest{ECommandLineAction::UsageError, std::nullopt, std::move(why)};
    };
    for (const std::string& argument : arguments) {
        // A lone "-" is a file name here: there is no standard input to read a list from.
        const bool option = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (!option) {
            if (request.m_file) {
                return fail("more than one file given: '" + *request.m_file + "' and '" + argument +
                            "'");
            }
            request.m_file = argument;
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            return CommandLineRequest{ECommandLineAction::Help, std::nullopt, {}};
        } else if (argument == "--version" || argument == "-V") {
            return CommandLineRequest{ECommandLineAction::Version, std::nullopt, {}};
        } else if (argument == "--toggle") {
            toggle = true;
        } else if (argument == "--stop") {
            stop = true;
        } else {
            return fail("unknown option '" + argument + "'");
        }
    }
    if (toggle && stop) {
        return fail("--toggle and --stop cannot be given together");
    }
    if (toggle || stop) {
        if (request.m_file) {
            return fail(toggle ? "--toggle takes no file" : "--stop takes no file");
        }
        request.m_action = toggle ? ECommandLineAction::Toggle : ECommandLineAction::Stop;
    }
    return request;
}

std::string UsageText() {
    return "Usage: quenby [FILE]\n"
           "       quenby --toggle | --stop | --help | --version\n";
}

std::string HelpText() {
    return UsageText() +
           "\n"
           "Types prepared text into the application that has the keyboard focus.\n"
           "\n"
           "  FILE           a data file (.quenbydata or .quenbyencrypteddata) to open;\n"
           "                 when Quenby is already running, it opens the file there\n"
           "                 (asking first about unsaved changes) and this start ends\n"
           "      --toggle   start or stop the typing run of the running Quenby, as its\n"
           "                 start/stop shortcut does; bind this command to a key in the\n"
           "                 desktop's keyboard settings where global shortcuts are not\n"
           "                 available to programs (Wayland)\n"
           "      --stop     stop the typing run of the running Quenby at once, between\n"
           "                 two characters, as Esc during a run does\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "One Quenby runs per user session: starting it again brings the running window\n"
           "to the front.\n"
           "\n"
           "Exit status: 0 on success, 1 when the running Quenby cannot be reached\n"
           "(--toggle, --stop) or does not answer, or when --stop found no typing run,\n"
           "2 for a wrong command line.\n";
}

std::string VersionText(const std::string& version) {
    return "quenby " + version + "\n";
}

}  // namespace quenby
