// "updatetime.config" of any content: reading the date of the last check never throws, and
// storing a new date keeps the file readable with that date (or, for a file that cannot be
// rewritten, fails without touching it).

#include <string>

#include "core/profile/json_file.h"
#include "core/update/update_list.h"
#include "fuzz/fuzz_support.h"

using namespace tellune;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::scratch_subfolder("update") + "updatetime.config";
    fuzz::write_bytes(path, data, size);
    const std::optional<std::string> before = update::read_last_check_date(path);

    const std::string date = "2026-12-9";
    if (update::write_last_check_date(path, date)) {
        FUZZ_CHECK(update::read_last_check_date(path) == date);
    } else {
        // Refused: the file as it was.
        FUZZ_CHECK(readjsonFile(path) == std::string(reinterpret_cast<const char*>(data), size));
        FUZZ_CHECK(update::read_last_check_date(path) == before);
    }
    return 0;
}
