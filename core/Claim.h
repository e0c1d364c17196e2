#pragma once

// A search's claim on an entry it lists: how strong, and why.

#include "FoundFile.h"
#include "Matcher.h"

#include <optional>

namespace moss {

struct Claim {
    Matcher::Strength strength;
    FoundReason reason;
};

// The claim that a matcher's answer makes. A weak one says what weakened it:
// a word after the name, a name that is only part of a team container's, or
// a whole name too short or too common to be a key (Linux rules).
std::optional<Claim> claimFrom(const std::optional<Matcher::Match>& match, const Matcher& matcher);

} // namespace moss
