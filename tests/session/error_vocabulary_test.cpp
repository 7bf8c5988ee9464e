// Device errors and session error codes are two vocabularies whose numbers
// clash (2 is "file not found" and "no camera", 5 "access denied" and
// "memory"): a session records only its own codes, and mixing them up does
// not compile.
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

#include "platform/win_errors.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {

template <typename Code>
concept Recordable = requires(CVantix& session, Code code) { session.RecordError(code); };
template <typename Code>
concept Notifiable = requires(CVantix& session, Code code) { session.NotifyOnly(code); };

TEST(ErrorVocabularies, ASessionRecordsItsOwnCodesNeverADeviceError) {
    static_assert(Recordable<decltype(vantix::kErrorNoCamera)>);
    static_assert(Recordable<int32_t>);
    static_assert(!Recordable<std::remove_const_t<decltype(vantix::kErrorFileNotFound)>>);
    static_assert(!Notifiable<std::remove_const_t<decltype(vantix::kErrorAccessDenied)>>);
    // The numbers are the same; the types are not.
    static_assert(static_cast<int>(vantix::kErrorFileNotFound) == static_cast<int>(vantix::kErrorNoCamera));
    static_assert(!std::is_same_v<std::remove_const_t<decltype(vantix::kErrorFileNotFound)>,
                                  std::remove_const_t<decltype(vantix::kErrorNoCamera)>>);
    SUCCEED();
}

}  // namespace
