#include "line/RecordErrors.h"
#include "line/RunDatabase.h"

namespace qv {

std::unique_ptr<RunDatabase> OpenRunDatabase(const DatabaseUrl& url, DatabaseAccess, int) {
    throw RecordsRefused("--db " + url.shown + ": this qvusb was built without a database");
}

}  // namespace qv
