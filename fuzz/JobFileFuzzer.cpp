// A station's job file as a user may have edited it: reading it either refuses it naming a line
// or gives a job whose own text reads back as the same job.

#include <cstdint>
#include <string>

#include "fuzz/Require.h"
#include "line/JobFile.h"
#include "line/RecordErrors.h"

namespace {

using qv::fuzz::Require;

bool Same(const qv::Job& a, const qv::Job& b) {
    bool slots = a.fixtureSlots.size() == b.fixtureSlots.size();
    for (std::size_t i = 0; slots && i < a.fixtureSlots.size(); ++i)
        slots = a.fixtureSlots[i].port == b.fixtureSlots[i].port &&
                a.fixtureSlots[i].label == b.fixtureSlots[i].label;
    const auto steps = [](const qv::AutoSteps& s) {
        return std::string{s.ispMode, s.erase, s.blank, s.program, s.verify, s.protect};
    };
    return slots && a.name == b.name && a.image == b.image && a.sha256 == b.sha256 &&
           a.range == b.range && steps(a.steps) == steps(b.steps) &&
           a.changedOnly == b.changedOnly && a.readBlock == b.readBlock && a.serial == b.serial &&
           a.database == b.database && a.station == b.station;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    qv::Job job;
    try {
        job = qv::ParseJob(text);
    } catch (const qv::RecordsRefused& error) {
        Require(std::string(error.what()).starts_with("line "), "a refusal names no line");
        return 0;
    }
    try {
        Require(Same(qv::ParseJob(qv::JobText(job)), job), "a job's text reads back otherwise");
    } catch (const qv::RecordsRefused&) {
        Require(false, "a job read cannot be written back");
    }
    return 0;
}
