// Session operations whose machinery is not part of the library yet. Each
// reports code 11 (not supported) and returns its failure value, so an
// application sees a clear failure instead of a silent no-op. The exports
// that reach them are listed in api/pending_exports.h; a test calls every one
// of them.
#include "session/error_codes.h"
#include "session/vantix_session.h"

int32_t CVantix::ReportNotBuilt() {
    RecordError(vantix::kErrorNotSupported);
    return 0;
}
