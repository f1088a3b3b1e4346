#include "line/JobFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "common/Sha256.h"
#include "line/DatabaseUrl.h"
#include "line/Printable.h"
#include "line/RecordErrors.h"
#include "line/SerialFormat.h"

namespace qv {
namespace {

// The steps a job may name, by the command line's names for them (--no-NAME).
bool AutoSteps::*StepNamed(const std::string& name) {
    for (const AutoStepName& named : kAutoStepNames)
        if (named.name == name && named.step != &AutoSteps::reloadFile) return named.step;
    return nullptr;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool IsHexDigest(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool IsDigits(const std::string& text) {
    return !text.empty() && text.size() <= 6 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsRange(const std::string& text) {
    const std::size_t colon = text.find(':');
    return text == "all" || (colon != std::string::npos && IsDigits(text.substr(0, colon)) &&
                             IsDigits(text.substr(colon + 1)));
}

// Reads one job's lines in order: [job] with its keys, [slots] if any, then [end].
class JobReader {
public:
    Job Read(const std::string& text) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ++number_;
            Take(Trimmed(line));
            start = end + 1;
        }
        if (section_ != Section::End)
            Refuse(number_ + 1, "the job ends without [end]: the file was cut short");
        for (const char* key : {"name", "image", "sha256"})
            if (!seen_.contains(key)) Refuse(number_, std::string("the job has no ") + key);
        return job_;
    }

private:
    enum class Section { None, Job, Slots, End };

    [[noreturn]] static void Refuse(std::size_t line, const std::string& why) {
        throw RecordsRefused("line " + std::to_string(line) + ": " + why);
    }
    [[noreturn]] void Refuse(const std::string& why) const { Refuse(number_, why); }

    void Take(const std::string& line) {
        if (line.empty() || line.front() == '#') return;
        if (std::any_of(line.begin(), line.end(), IsControlByte)) Refuse("a control character");
        if (section_ == Section::End) Refuse("nothing may follow [end]");
        if (line.front() == '[') return Open(line);
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) Refuse("not KEY = VALUE: " + line);
        const std::string key = Trimmed(line.substr(0, equals));
        const std::string value = Trimmed(line.substr(equals + 1));
        if (section_ == Section::Job) return JobKey(key, value);
        if (section_ == Section::Slots) return Slot(key, value);
        Refuse("a key before [job]");
    }

    void Open(const std::string& line) {
        const Section next = line == "[job]"     ? Section::Job
                             : line == "[slots]" ? Section::Slots
                             : line == "[end]"   ? Section::End
                                                 : Section::None;
        if (next == Section::None) Refuse("no such section: " + line);
        if (next <= section_) Refuse(line + " out of order ([job], [slots], [end])");
        if (section_ == Section::None && next != Section::Job) Refuse("the job begins with [job]");
        section_ = next;
    }

    void JobKey(const std::string& key, const std::string& value) {
        if (!seen_.insert(key).second) Refuse(key + " is given twice");
        const auto found = kKeys.find(key);
        if (found == kKeys.end()) Refuse("no such key: " + key);
        (this->*found->second)(value);
    }

    void Name(const std::string& value) {
        if (value.empty() || value.size() > 64) Refuse("name: 1 to 64 characters");
        job_.name = value;
    }
    void Image(const std::string& value) {
        if (value.empty()) Refuse("image: the program file");
        job_.image = value;
    }
    void Sha256(const std::string& value) {
        if (!IsHexDigest(value)) Refuse("sha256: 64 lower-case hex digits");
        job_.sha256 = value;
    }
    void Range(const std::string& value) {
        if (!IsRange(value)) Refuse("range: all, or START_KB:SIZE_KB");
        job_.range = value;
    }
    void Steps(const std::string& value) {
        AutoSteps steps;
        for (const AutoStepName& named : kAutoStepNames)
            if (named.step != &AutoSteps::reloadFile) steps.*named.step = false;
        std::size_t at = 0;
        while ((at = value.find_first_not_of(' ', at)) != std::string::npos) {
            const std::size_t end = std::min(value.find(' ', at), value.size());
            const std::string name = value.substr(at, end - at);
            const auto step = StepNamed(name);
            if (step == nullptr) Refuse("steps: no such step: " + name);
            steps.*step = true;
            at = end;
        }
        job_.steps = steps;
    }
    void ChangedOnly(const std::string& value) {
        if (value != "yes" && value != "no") Refuse("changed-only: yes or no");
        job_.changedOnly = value == "yes";
    }
    void ReadBlock(const std::string& value) {
        const unsigned long bytes = IsDigits(value) ? std::stoul(value) : 0;
        if (bytes < 1 || bytes > 255) Refuse("read-block: 1 to 255");
        job_.readBlock = static_cast<unsigned>(bytes);
    }
    void Serial(const std::string& value) {
        if (!value.empty()) {
            try {
                SerialFormat::Parse(value);
            } catch (const RecordsRefused& error) {
                Refuse(std::string("serial: ") + error.what());
            }
        }
        job_.serial = value;
    }
    void Database(const std::string& value) {
        if (!value.empty()) {
            try {
                ParseDatabaseUrl(value);
            } catch (const RecordsRefused& error) {
                Refuse(std::string("db: ") + error.what());
            }
            if (MaskedSecrets(value) != value)
                Refuse("db: a job holds no password (PGPASSWORD, ~/.pgpass or service= give one)");
        }
        job_.database = value;
    }
    void Station(const std::string& value) {
        if (value.size() > 64) Refuse("station: at most 64 characters");
        job_.station = value;
    }

    void Slot(const std::string& port, const std::string& label) {
        if (port.empty() || label.empty()) Refuse("a slot is PORT = LABEL");
        for (const JobSlot& slot : job_.fixtureSlots)
            if (slot.port == port || slot.label == label)
                Refuse("the slot " + port + " = " + label + " repeats a port or label");
        job_.fixtureSlots.push_back({port, label});
    }

    using KeyReader = void (JobReader::*)(const std::string&);
    inline static const std::map<std::string, KeyReader> kKeys{
        {"name", &JobReader::Name},
        {"image", &JobReader::Image},
        {"sha256", &JobReader::Sha256},
        {"range", &JobReader::Range},
        {"steps", &JobReader::Steps},
        {"changed-only", &JobReader::ChangedOnly},
        {"read-block", &JobReader::ReadBlock},
        {"serial", &JobReader::Serial},
        {"db", &JobReader::Database},
        {"station", &JobReader::Station},
    };

    Job job_;
    Section section_ = Section::None;
    std::size_t number_ = 0;
    std::set<std::string> seen_;
};

}  // namespace

Job ParseJob(const std::string& text) { return JobReader().Read(text); }

LoadedJob ReadJobFile(const std::string& path) {
    constexpr std::uintmax_t kLongestJob = 1 << 20;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) throw RecordsRefused("Cannot read the job " + path + ": " + error.message());
    if (size > kLongestJob) throw RecordsRefused("The job " + path + " is no job file (too long)");
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file && !file.eof()) throw RecordsRefused("Cannot read the job " + path);
    LoadedJob loaded;
    try {
        loaded.job = ParseJob(text);
    } catch (const RecordsRefused& refused) {
        throw RecordsRefused("The job " + path + ", " + refused.what());
    }
    loaded.fileSha256 =
        Sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    const std::filesystem::path image(loaded.job.image);
    loaded.imagePath = image.is_absolute()
                           ? image.string()
                           : (std::filesystem::path(path).parent_path() / image).string();
    return loaded;
}

std::string JobText(const Job& job) {
    std::string steps;
    for (const AutoStepName& named : kAutoStepNames)
        if (named.step != &AutoSteps::reloadFile && job.steps.*named.step)
            steps += (steps.empty() ? "" : " ") + std::string(named.name);
    std::string text = "# qvusb job\n[job]\n";
    const auto line = [&text](const std::string& key, const std::string& value) {
        text += key + " = " + value + "\n";
    };
    line("name", job.name);
    line("image", job.image);
    line("sha256", job.sha256);
    line("range", job.range);
    line("steps", steps);
    line("changed-only", job.changedOnly ? "yes" : "no");
    line("read-block", std::to_string(job.readBlock));
    line("serial", job.serial);
    line("db", job.database);
    line("station", job.station);
    if (!job.fixtureSlots.empty()) {
        text += "[slots]\n";
        for (const JobSlot& slot : job.fixtureSlots) line(slot.port, slot.label);
    }
    text += "[end]\n";
    // What could not be read back is refused here, not found when a station starts.
    ParseJob(text);
    return text;
}

}  // namespace qv
