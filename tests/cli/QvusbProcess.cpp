#include "QvusbProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> WithQvusb(const std::vector<std::string>& args) {
    std::vector<std::string> argv{QVUSB_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace

QvusbProcess::QvusbProcess(const std::vector<std::string>& args,
                           const std::filesystem::path& folder)
    : QvusbProcess(folder, WithQvusb(args)) {}

QvusbProcess::QvusbProcess(const std::filesystem::path& folder, std::vector<std::string> argv)
    : folder_(folder) {
    const std::string out = (folder / "stdout.txt").string();
    const std::string err = (folder / "stderr.txt").string();
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(folder.c_str()) != 0 || !freopen(out.c_str(), "w", stdout) ||
            !freopen(err.c_str(), "w", stderr))
            _exit(127);
        execvp(pointers[0], pointers.data());
        _exit(127);
    }
}

QvusbProcess::~QvusbProcess() {
    if (pid_ > 0) Wait();
}

void QvusbProcess::Signal(int signal) const { kill(pid_, signal); }

QvusbResult QvusbProcess::Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    auto read = [&](const char* name) {
        std::ifstream in(folder_ / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), read("stdout.txt"),
            read("stderr.txt")};
}

QvusbResult RunQvusb(const std::vector<std::string>& args, const std::filesystem::path& folder) {
    return QvusbProcess(args, folder).Wait();
}

QvusbResult RunCommand(const std::vector<std::string>& argv, const std::filesystem::path& folder) {
    return QvusbProcess(folder, argv).Wait();
}

TestFolder::TestFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvusb-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TestFolder::Write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
    return path_ / name;
}

std::string TestFolder::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> TestFolder::Lines(const std::string& name) const {
    std::istringstream in(Read(name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
