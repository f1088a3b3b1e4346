#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qv::cli {

struct ManualPage {
    std::string fileName;  // "qvusb-flash.1"
    std::string roff;
};

// The manual pages of the command line, written from its option definitions: qvusb(1) with the
// program's options, its commands, exit status, environment, files and examples, and a page per
// command (qvusb-flash(1), ...) with its subcommands and options. `dataFolder` is where the
// demo firmware is installed; the examples name it there so that they work as printed.
std::vector<ManualPage> ManualPages(const CLI::App& app, const std::string& dataFolder);

}  // namespace qv::cli
