// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parlune {

// A failure the user may have to be told about: where it comes from (a domain such as
// "Parlune.Audio"), a code within that domain, and the French sentence the program shows for it.
// Components hand these around as values (`std::optional<Error>` for an operation that returns
// nothing else); the coordinator shows `description` as its message status.
struct Error
{
    QString domain;
    qint64 code = 0;
    QString description;

    friend bool operator==(const Error&, const Error&) = default;
};

} // namespace parlune
