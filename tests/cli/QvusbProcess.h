#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// The built qvusb run as a user runs it: its own process in a folder of the test's, standard
// output and error kept in files there. Tests judge it by its exit code, its texts and what it
// left on the wire (the trace) or on disk.
struct QvusbResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class QvusbProcess {
public:
    QvusbProcess(const std::vector<std::string>& args, const std::filesystem::path& folder);
    // argv in full, the program found on PATH.
    QvusbProcess(const std::filesystem::path& folder, std::vector<std::string> argv);
    ~QvusbProcess();
    QvusbProcess(const QvusbProcess&) = delete;
    QvusbProcess& operator=(const QvusbProcess&) = delete;

    void Signal(int signal) const;
    QvusbResult Wait();

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
};

QvusbResult RunQvusb(const std::vector<std::string>& args, const std::filesystem::path& folder);
// Any program, the first argument naming it (looked up on PATH).
QvusbResult RunCommand(const std::vector<std::string>& argv, const std::filesystem::path& folder);

// A fresh folder for one test, removed with everything in it at the end.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::filesystem::path Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;
    std::vector<std::string> Lines(const std::string& name) const;

private:
    std::filesystem::path path_;
};
