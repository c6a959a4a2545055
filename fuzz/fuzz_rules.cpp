// Decoding the stored lock list must never crash, whatever the preference file holds, and whatever it
// accepts must survive being written and read again unchanged.
#include "core/model/LockRule.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto rules = decodeRules(input);
    if (!rules)
        return 0;
    const auto encoded = encodeRules(*rules);
    if (!encoded)
        return 0; // a number the reader accepted but cannot be written (out of range): the list stays as
                  // stored
    const auto again = decodeRules(*encoded);
    if (!again || *again != *rules)
        std::abort();
    return 0;
}
