#include "Claim.h"

namespace moss {

std::optional<Claim> claimFrom(const std::optional<Matcher::Match>& match, const Matcher& matcher) {
    using Match = FoundReason::Match;
    using Doubt = FoundReason::Doubt;
    if (!match)
        return std::nullopt;
    FoundReason reason;
    switch (match->kind) {
    case Matcher::Match::Kind::identifier:
        reason.match = Match::identifier;
        break;
    case Matcher::Match::Kind::name:
        reason.match = Match::name;
        break;
    case Matcher::Match::Kind::team:
        reason.match = Match::team;
        break;
    }
    reason.key = match->key;
    if (match->strength == Matcher::Strength::weak) {
        if (match->kind == Matcher::Match::Kind::team)
            reason.doubt = Doubt::partialName;
        else if (match->kind == Matcher::Match::Kind::name &&
                 matcher.exactNames().contains(match->key))
            reason.doubt = Doubt::commonName;
        else
            reason.doubt = Doubt::foreignWord;
    }
    return Claim{match->strength, std::move(reason)};
}

} // namespace moss
