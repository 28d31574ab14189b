// Why overwriting a file in place may not reach its old data, in words for
// the question before Destroy. The limits are those the GNU coreutils manual
// lists for shred(1), found out for the file at hand.
#pragma once

#include <string>

#include "platform/storage.h"

namespace talvor {

// One sentence naming every reason found, or "" when none applies.
[[nodiscard]] std::string OverwriteWarning(const StorageFacts& facts);

}  // namespace talvor
