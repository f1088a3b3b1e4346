// The outside text the line's records read: --db URLs (and the passwords they may carry),
// --serial formats and report bounds. Checks what each promises: a password never shows in the
// masked text, a format either is refused or expands to a printable serial the image keeps, a
// bound is one the database's times compare with and reads back as itself.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz/Require.h"
#include "line/DatabaseUrl.h"
#include "line/RecordErrors.h"
#include "line/SerialFormat.h"
#include "line/UtcBound.h"

namespace {

using qv::fuzz::Require;

// A password of letters and digits only, so that no delimiter ends it early.
std::string Secret(FuzzedDataProvider& data) {
    std::string secret;
    for (char c : data.ConsumeBytesAsString(data.ConsumeIntegralInRange<std::size_t>(4, 12)))
        secret += "abcdefghijklmnopqrstuvwxyz0123456789"[static_cast<unsigned char>(c) % 36];
    return secret.size() < 4 ? "s3cret" : secret;
}

void CheckMasking(FuzzedDataProvider& data) {
    const std::string user = data.ConsumeRandomLengthString(16);
    const std::string rest = data.ConsumeRandomLengthString(40);
    const std::string secret = Secret(data);
    const std::string urls[] = {"postgresql://" + user + ":" + secret + "@" + rest,
                                "postgresql://db/qv?" + user + "&password=" + secret + "&" + rest,
                                user + " password=" + secret + " " + rest};
    for (const std::string& url : urls) {
        if ((user + rest).find(secret) != std::string::npos) continue;
        if (url.starts_with("postgresql://") && user.find_first_of("@/?#") != std::string::npos)
            continue;  // the user part is no user part then
        Require(qv::MaskedSecrets(url).find(secret) == std::string::npos, "a password shows");
    }
    try {
        const qv::DatabaseUrl parsed = qv::ParseDatabaseUrl(urls[0]);
        Require(parsed.kind == qv::DatabaseUrl::Kind::Postgres, "a postgresql URL");
    } catch (const qv::RecordsRefused&) {
        Require(false, "a postgresql URL refused");
    }
}

void CheckFormat(const std::string& text) {
    try {
        const qv::SerialFormat format = qv::SerialFormat::Parse(text);
        const std::string longest = format.Expand({9999, 12, 31}, format.LastSequence());
        Require(longest.size() <= qv::kMaxSerialLength, "a serial longer than the image keeps");
        for (const char c : longest) Require(c > 0x20 && c < 0x7F, "a serial not printable");
    } catch (const qv::RecordsRefused&) {
    }
}

void CheckBound(const std::string& text) {
    const auto bound = qv::ParseUtcBound(text);
    if (!bound) return;
    Require(bound->size() == 10 || bound->size() == 16 || bound->size() == 19, "a bound's length");
    Require(qv::ParseUtcBound(*bound) == bound, "a bound that does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    CheckFormat(data.ConsumeRandomLengthString(64));
    CheckBound(data.ConsumeRandomLengthString(32));
    CheckMasking(data);
    return 0;
}
