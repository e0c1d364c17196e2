#pragma once

// Whether a launch job property list belongs to a bundle by what it says
// rather than by its file name.

#include "Matcher.h"

#include <QString>
#include <optional>

namespace moss {

// True when the file is a ".plist" (exactly) whose job names the bundle: its
// label, program, first program argument or an associated bundle identifier
// contains appPath or is one of the matcher's identifiers or a
// sub-identifier of one, ignoring case. False for anything that cannot be
// read as such a property list; an empty appPath matches nothing by path.
bool launchJobMentions(const QString& file, const Matcher& matcher, const QString& appPath);

// Which text of a launch job names the bundle.
struct LaunchJobMention {
    enum class Field { label, program, associatedBundle };
    Field field = Field::label;
    QString text; // as the job holds it

    friend bool operator==(const LaunchJobMention&, const LaunchJobMention&) = default;
};

// launchJobMentions() with the first text that names the bundle: the label,
// then the program, the first program argument (both `program`), then the
// associated bundle identifiers.
std::optional<LaunchJobMention> launchJobMention(const QString& file, const Matcher& matcher,
                                                 const QString& appPath);

} // namespace moss
