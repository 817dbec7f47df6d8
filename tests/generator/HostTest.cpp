#include <gtest/gtest.h>

#include "foundation/Exception.h"
#include "foundation/Text.h"

namespace kovra {
namespace {

TEST(Text, Utf8AndUtf16RoundTrip) {
    const std::string text = "Ko\xC3\xB6rd \xE2\x82\xAC \xF0\x9F\x9A\xA2";
    EXPECT_EQ(ToUtf8(FromUtf8(text)), text);
    EXPECT_EQ(FromUtf8("\xF0\x9F\x9A\xA2").size(), 2U);  // a surrogate pair
    EXPECT_EQ(FromUtf8("\xFF"), std::u16string(1, u'\xFFFD'));
    EXPECT_EQ(FromUtf8("\xE2\x82"), std::u16string(2, u'\xFFFD'));  // truncated sequence
}

TEST(Exception, MessageInTheGenerationsStringTypeAndUtf8) {
    const EKovraNMEAException e("Heading must be between 0 and 360.");
    EXPECT_STREQ(e.what(), "Heading must be between 0 and 360.");
    static_assert(std::is_same_v<TMessageString, std::u16string> == kProfile.wideText);
    static_assert(std::is_same_v<TFileName, std::u16string> == kProfile.wideText);
    EXPECT_EQ(e.Message(), ToMessage("Heading must be between 0 and 360."));
}

}  // namespace
}  // namespace kovra
