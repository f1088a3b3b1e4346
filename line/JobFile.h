#pragma once

#include <string>
#include <vector>

#include "isp/AutoSteps.h"

namespace qv {

// A port of the fixture and the slot it is: "1-3.2" is "Slot 4".
struct JobSlot {
    std::string port;
    std::string label;

    bool operator==(const JobSlot&) const = default;
};

// A station's job: what a line flashes and how, fixed by the engineer who made it, so that a
// station takes it as it is. Kept as a small INI text (a .qvjob file), a key per line:
//
//   # qvusb job
//   [job]
//   name = fw12-line1
//   image = fw12.h00
//   sha256 = 64 hex digits, of the image file as it lies on disk
//   range = all
//   steps = erase blank program verify protect
//   changed-only = no
//   read-block = 64
//   serial = QVUA{yy}{mm}{seq:06}
//   db = postgresql://qvusb@dbhost/line
//   station = line1-a
//   [slots]
//   1-3.2 = Slot 4
//   [end]
//
// `serial`, `db` and `station` may be empty; the [end] line tells a whole file from one cut
// short. A database URL never holds a password.
struct Job {
    std::string name;
    std::string image;
    std::string sha256;
    std::string range = "all";
    AutoSteps steps;
    bool changedOnly = false;
    unsigned readBlock = 64;
    std::string serial;
    std::string database;
    std::string station;
    std::vector<JobSlot> fixtureSlots;

    bool operator==(const Job&) const = default;
};

// A job file as a station read it: the job, the SHA-256 of the file (every run row keeps it with
// the job's name) and the image as the station opens it (a relative path is taken from the job
// file's folder).
struct LoadedJob {
    Job job;
    std::string fileSha256;
    std::string imagePath;
};

// Reads a job file; throws RecordsRefused naming the file and the line that is wrong.
LoadedJob ReadJobFile(const std::string& path);
// Reads a job; throws RecordsRefused naming the line that is wrong ("line 7: ...").
Job ParseJob(const std::string& text);
// The job's text, which ParseJob reads back as the same job. Throws RecordsRefused for a job
// that could not be read back (a value with a line break, a URL with a password).
std::string JobText(const Job& job);

}  // namespace qv
