// The matcher with arbitrary keys and candidates: UTF-16 taken as it comes
// (lone surrogates included), optionally repeated into very long strings.
// Nothing crashes and the queries agree with one another.
//
// Repetition is bounded: each repeated candidate stays within a length far
// beyond any file name and beyond the longest key checked literally, and all
// repeats of one input share a budget, so that an input takes milliseconds
// and the fuzzer explores instead of re-reading the same long strings.
#include "Matcher.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;
using moss::Matcher;

namespace {

// Code units of one repeated candidate, and of all repeats of one input.
constexpr qsizetype longestRepeat = 1 << 13;
constexpr qsizetype repeatBudget = 1 << 14;

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkCandidate(const Matcher& matcher, const QString& candidate) {
    const std::optional<Matcher::Strength> byId = matcher.strength(candidate, false);
    const std::optional<Matcher::Strength> byName = matcher.strength(candidate, true);
    const bool matches = matcher.matchesIdentifier(candidate);
    require(byId.has_value() == matches &&
            matches == (matcher.identifierMatchLength(candidate) > 0));
    require(!byId || (byId == Matcher::Strength::strong && byName == Matcher::Strength::strong &&
                      !matcher.hasStrongNameMatch(candidate)));
    matcher.exactIdentifierMatchLength(candidate);
    matcher.matchesName(candidate);
    matcher.groupContainerStrength(candidate);
    matcher.mentions(candidate, u"/Applications/Fuzz.app"_s);
    Matcher::tailStrength(candidate);
    moss::characterCount(candidate);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // Fields of the input are separated by U+0000; the first code unit says
    // how often each candidate is repeated, at most.
    const int repeats = 1 + data[0] % 64;
    const QList<QString> parts =
        QString(reinterpret_cast<const QChar*>(data + 2), qsizetype((size - 2) / 2))
            .split(QChar(0));
    const QStringList identifiers = parts.value(0).split(QChar(1));
    const QStringList names = parts.value(1).split(QChar(1));
    const Matcher matcher(identifiers, names,
                          parts.size() > 2 ? std::optional(parts.at(2)) : std::nullopt);
    for (const QString& identifier : matcher.identifiers())
        require(identifier.size() >= 3);
    for (const QString& name : identifiers + names)
        Matcher::nameVariants(name);
    qsizetype budget = repeatBudget;
    for (qsizetype i = 3; i < parts.size(); ++i) {
        const QString& candidate = parts.at(i);
        checkCandidate(matcher, candidate);
        const qsizetype times =
            candidate.isEmpty() ? 1
                                : std::min<qsizetype>(repeats, longestRepeat / candidate.size());
        if (times > 1 && candidate.size() * times <= budget) {
            checkCandidate(matcher, candidate.repeated(times));
            budget -= candidate.size() * times;
        }
    }
    return 0;
}
