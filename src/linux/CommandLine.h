#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quenby {

// What a start of the program was asked to do.
enum class ECommandLineAction {
    Run,         // start (or hand the file over to the Quenby already running)
    Help,        // print the help and exit
    Version,     // print the version and exit
    Toggle,      // start or stop the running Quenby's typing run and exit
    Stop,        // stop the running Quenby's typing run at once and exit
    UsageError,  // print the usage and the reason to standard error, exit with status 2
};

struct CommandLineRequest {
    ECommandLineAction m_action = ECommandLineAction::Run;
    std::optional<std::string> m_file;  // Run: the data file to open, exactly as given
    std::string m_strError;             // UsageError: what was wrong
};

// Reads the arguments after the program's name, by the conventions of Linux programs: options
// before "--", at most one file, which is taken whole (blanks, quotes and all).
CommandLineRequest ParseCommandLine(const std::vector<std::string>& arguments);

// The one-line usage, the full help and the version line, each ending in a line break.
std::string UsageText();
std::string HelpText();
std::string VersionText(const std::string& version);

}  // namespace quenby
