// What can be wrong with a time zone's data: the TZif bytes of a zone file
// (RFC 8536) and the POSIX TZ rule of their footer. Zone files come from
// outside the program, so every fault has a kind of its own, and a message
// that says which part of the data is wrong.
#pragma once

#include <cstdint>
#include <string_view>

namespace kairodex::tz {

enum class ZoneDataError : std::uint8_t {
    // The TZif container.
    NotTzif,            // the first four bytes are not "TZif"
    UnknownVersion,     // the version byte is none of 0, '2', '3', '4'
    Truncated,          // a header's counts need more bytes than follow it
    SecondHeader,       // the 64-bit block's header is not "TZif" with the same version
    NoLocalTimeTypes,   // typecnt is 0
    NoAbbreviations,    // charcnt is 0
    IndicatorCount,     // isutcnt or isstdcnt is neither 0 nor typecnt
    TransitionType,     // a transition's type index is not below typecnt
    TransitionOrder,    // the transition times do not strictly ascend
    OffsetRange,        // a local time type's offset lies beyond ±86400 s
    DstFlag,            // a local time type's isdst is neither 0 nor 1
    AbbreviationIndex,  // a local time type's abbreviation index is not below charcnt
    AbbreviationEnd,    // no NUL ends an abbreviation before the characters end
    FooterStart,        // no newline opens the footer
    FooterEnd,          // no newline closes the footer
    // The POSIX TZ rule, alone or as a footer.
    RuleName,          // a zone abbreviation of the rule
    RuleOffset,        // an offset of the rule
    RuleDate,          // a date of the rule
    RuleTime,          // a time of day of the rule
    RuleWithoutDates,  // a daylight saving time name without the dates it starts and ends
    RuleTrailingText,  // text after a complete rule
};

// A short lower-case message naming what is wrong; the Python layer raises
// it as a ValueError.
constexpr std::string_view describe(ZoneDataError error) noexcept {
    switch (error) {
    case ZoneDataError::NotTzif: return "not TZif data: the file does not start with \"TZif\"";
    case ZoneDataError::UnknownVersion: return "unknown TZif version: the version byte is not 0, '2', '3' or '4'";
    case ZoneDataError::Truncated: return "truncated: the header counts need more bytes than there are";
    case ZoneDataError::SecondHeader:
        return "the 64-bit data's header does not start with \"TZif\" and the first header's version";
    case ZoneDataError::NoLocalTimeTypes: return "no local time types: the header's type count is 0";
    case ZoneDataError::NoAbbreviations: return "no abbreviation characters: the header's character count is 0";
    case ZoneDataError::IndicatorCount:
        return "the count of standard/wall or UT/local indicators is neither 0 nor the count of local time types";
    case ZoneDataError::TransitionType: return "a transition names a local time type beyond the types";
    case ZoneDataError::TransitionOrder: return "transitions not in ascending order";
    case ZoneDataError::OffsetRange: return "a local time type's offset lies beyond 24 hours";
    case ZoneDataError::DstFlag: return "a local time type's daylight saving flag is neither 0 nor 1";
    case ZoneDataError::AbbreviationIndex: return "an abbreviation starts past the abbreviation characters";
    case ZoneDataError::AbbreviationEnd: return "an abbreviation runs past the abbreviation characters";
    case ZoneDataError::FooterStart: return "the footer is missing: no newline follows the 64-bit data";
    case ZoneDataError::FooterEnd: return "the footer has no closing newline";
    case ZoneDataError::RuleName:
        return "a name in the TZ rule is neither 3 or more letters nor a <quoted> name of 3 or more letters, digits, "
               "'+' or '-'";
    case ZoneDataError::RuleOffset: return "an offset in the TZ rule is not [+-]hh[:mm[:ss]] within 24 hours";
    case ZoneDataError::RuleDate: return "a date in the TZ rule is not Jn (1 to 365), n (0 to 365) or Mm.w.d";
    case ZoneDataError::RuleTime: return "a time in the TZ rule is not [+-]hhh[:mm[:ss]] within 167 hours";
    case ZoneDataError::RuleWithoutDates:
        return "the TZ rule names daylight saving time but not the dates on which it starts and ends";
    case ZoneDataError::RuleTrailingText: return "the TZ rule has text after its end";
    }
    return "invalid time zone data";
}

}  // namespace kairodex::tz
