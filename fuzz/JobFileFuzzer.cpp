// A station's job file as a user may have edited it: reading it either refuses it naming a line
// or gives a job whose own text reads back as the same job.

#include <cstdint>
#include <string>

#include "fuzz/Require.h"
#include "line/JobFile.h"
#include "line/RecordErrors.h"

using qv::fuzz::Require;

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
        Require(qv::ParseJob(qv::JobText(job)) == job, "a job's text reads back otherwise");
    } catch (const qv::RecordsRefused&) {
        Require(false, "a job read cannot be written back");
    }
    return 0;
}
